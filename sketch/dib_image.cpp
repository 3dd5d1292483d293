#include "sketch/dib_image.h"

#include <unistd.h>

#include <QPainter>
#include <bit>
#include <cstdio>
#include <cstring>

#include "fs/devfs.h"
#include "fs/file_writer.h"
#include "ui/resources.h"

namespace {

uint16_t get16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

BitmapInfoHeader decodeHeader(const uint8_t* p) {
    BitmapInfoHeader h;
    h.biSize = get32(p);
    h.biWidth = int32_t(get32(p + 4));
    h.biHeight = int32_t(get32(p + 8));
    h.biPlanes = get16(p + 12);
    h.biBitCount = get16(p + 14);
    h.biCompression = get32(p + 16);
    h.biSizeImage = get32(p + 20);
    h.biXPelsPerMeter = int32_t(get32(p + 24));
    h.biYPelsPerMeter = int32_t(get32(p + 28));
    h.biClrUsed = get32(p + 32);
    h.biClrImportant = get32(p + 36);
    return h;
}

void encodeHeader(const BitmapInfoHeader& h, uint8_t* p) {
    put32(p, h.biSize);
    put32(p + 4, uint32_t(h.biWidth));
    put32(p + 8, uint32_t(h.biHeight));
    put16(p + 12, h.biPlanes);
    put16(p + 14, h.biBitCount);
    put32(p + 16, h.biCompression);
    put32(p + 20, h.biSizeImage);
    put32(p + 24, uint32_t(h.biXPelsPerMeter));
    put32(p + 28, uint32_t(h.biYPelsPerMeter));
    put32(p + 32, h.biClrUsed);
    put32(p + 36, h.biClrImportant);
}

// Where the bytes of a BMP come from: a file read piece by piece, so that nothing is read
// or allocated before the header has been checked, or bytes in memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // Exactly `n` bytes at `offset`, or false.
    virtual bool readAt(uint64_t offset, void* out, size_t n) = 0;
};

class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t size() const override { return bytes_.size(); }
    bool readAt(uint64_t offset, void* out, size_t n) override {
        if (offset > bytes_.size() || n > bytes_.size() - offset) return false;
        if (n) std::memcpy(out, bytes_.data() + offset, n);
        return true;
    }

private:
    std::span<const uint8_t> bytes_;
};

class FileSource : public ByteSource {
public:
    explicit FileSource(const std::filesystem::path& path) {
        // Only a regular file: a named pipe called *.bmp would hold the program at the open.
        const int fd = devfs::openRegularFile(path, &size_);
        if (fd < 0) return;
        if (!(file_ = ::fdopen(fd, "rb"))) {
            ::close(fd);
            size_ = 0;
        }
    }
    ~FileSource() override {
        if (file_) std::fclose(file_);
    }
    bool isOpen() const { return file_ != nullptr; }
    uint64_t size() const override { return size_; }
    bool readAt(uint64_t offset, void* out, size_t n) override {
        if (!file_ || offset > size_ || n > size_ - offset) return false;
        if (::fseeko(file_, off_t(offset), SEEK_SET) != 0) return false;
        return std::fread(out, 1, n, file_) == n;
    }

private:
    std::FILE* file_ = nullptr;
    uint64_t size_ = 0;
};

// A colour-table entry (blue, green, red, reserved) as a colour.
QRgb entryColour(uint32_t entry) {
    return qRgb((entry >> 16) & 0xFF, (entry >> 8) & 0xFF, entry & 0xFF);
}

int distance(QRgb a, QRgb b) {
    const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
    return dr * dr + dg * dg + db * db;
}

bool readBmp(ByteSource& source, CDibImage& image) {
    uint8_t head[CDibImage::kFileHeaderSize + CDibImage::kInfoHeaderSize];
    if (!source.readAt(0, head, sizeof head)) return false;
    if (get16(head) != 0x4D42) return false;
    const uint64_t bitsOffset = get32(head + 10);
    const BitmapInfoHeader header = decodeHeader(head + CDibImage::kFileHeaderSize);
    if (header.biSize != uint32_t(CDibImage::kInfoHeaderSize)) return false;

    const int colourCount = CDibImage::ColourEntries(header);
    std::array<uint32_t, 256> colours{};
    uint8_t table[256 * 4];
    if (colourCount > 0) {
        if (!source.readAt(sizeof head, table, size_t(colourCount) * 4)) return false;
        for (int i = 0; i < colourCount; ++i) colours[size_t(i)] = get32(table + 4 * i);
    }

    // The sizes are checked here, before the rows are allocated; Create checks them again.
    if (header.biWidth <= 0 || header.biWidth > CDibImage::kMaxSide) return false;
    const int64_t height = header.biHeight < 0 ? -int64_t(header.biHeight) : header.biHeight;
    if (height == 0 || height > CDibImage::kMaxSide) return false;
    if (int64_t(header.biWidth) * height > CDibImage::kMaxPixels) return false;
    const int64_t bytes = CDibImage::RowSize(header.biWidth, header.biBitCount) * height;
    if (bytes <= 0 || bytes > CDibImage::kMaxPixelBytes) return false;
    // The rows lie after the headers and wholly inside the file. The file-size field is not
    // believed: the file's real length decides.
    if (bitsOffset < sizeof head) return false;
    if (bitsOffset > source.size() || uint64_t(bytes) > source.size() - bitsOffset) return false;

    std::vector<uint8_t> bits(static_cast<size_t>(bytes));
    if (!source.readAt(bitsOffset, bits.data(), bits.size())) return false;
    return image.Create(header, std::span<const uint32_t>(colours.data(), size_t(colourCount)),
                        std::move(bits));
}

}  // namespace

int CDibImage::ColourEntries(const BitmapInfoHeader& header) {
    int count = 0;
    switch (header.biBitCount) {
        case 1:
            count = 2;
            break;
        case 2:
            count = 4;
            break;
        case 4:
            count = 16;
            break;
        case 8:
            count = 256;
            break;
        case 16:
        case 32:
            count = 3;
            break;
        default:
            count = 0;
            break;
    }
    if (header.biClrUsed != 0 && header.biClrUsed < uint32_t(count)) count = int(header.biClrUsed);
    return count;
}

int64_t CDibImage::RowSize(int64_t width, int bitCount) {
    return ((width * bitCount + 31) / 32) * 4;
}

void CDibImage::Clear() {
    header_ = BitmapInfoHeader{};
    colours_.fill(0);
    colourCount_ = 0;
    masks_ = Masks{};
    bits_.clear();
    bits_.shrink_to_fit();
}

bool CDibImage::ReadBMP(const std::filesystem::path& path) {
    Clear();
    FileSource source(path);
    if (!source.isOpen()) return false;
    return readBmp(source, *this);
}

bool CDibImage::ReadBMP(std::span<const uint8_t> bytes) {
    Clear();
    MemorySource source(bytes);
    return readBmp(source, *this);
}

bool CDibImage::Validate(const BitmapInfoHeader& h, std::span<const uint32_t> colours,
                         Masks& masks) const {
    if (h.biSize != uint32_t(kInfoHeaderSize) || h.biPlanes != 1) return false;
    switch (h.biBitCount) {
        case 1:
        case 2:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            break;
        default:
            return false;
    }
    if (h.biWidth <= 0 || h.biWidth > kMaxSide) return false;
    const int64_t height = h.biHeight < 0 ? -int64_t(h.biHeight) : h.biHeight;
    if (height == 0 || height > kMaxSide) return false;
    if (int64_t(h.biWidth) * height > kMaxPixels) return false;
    if (RowSize(h.biWidth, h.biBitCount) * height > kMaxPixelBytes) return false;
    if (colours.size() != size_t(ColourEntries(h))) return false;
    // Compressed rows (run lengths, embedded JPEG or PNG) are not read.
    const bool packed = h.biBitCount == 16 || h.biBitCount == 32;
    if (h.biCompression == BI_BITFIELDS) {
        if (!packed || colours.size() < 3) return false;
        uint32_t seen = 0;
        const uint32_t limit = h.biBitCount == 16 ? 0xFFFFu : 0xFFFFFFFFu;
        for (int c = 0; c < 3; ++c) {
            const uint32_t m = colours[size_t(c)];
            // Each mask one run of bits inside the pixel, apart from the others.
            if (m == 0 || (m & ~limit) || (m & seen)) return false;
            const int shift = std::countr_zero(m);
            const uint32_t run = m >> shift;
            if ((run & (run + 1)) != 0) return false;
            masks.mask[c] = m;
            masks.shift[c] = shift;
            masks.max[c] = run;
            seen |= m;
        }
    } else if (h.biCompression == BI_RGB) {
        if (packed) {
            // Five bits a channel at 16 bits, eight at 32.
            const int bits = h.biBitCount == 16 ? 5 : 8;
            for (int c = 0; c < 3; ++c) {
                masks.shift[c] = (2 - c) * bits;
                masks.max[c] = (1u << bits) - 1;
                masks.mask[c] = masks.max[c] << masks.shift[c];
            }
        }
    } else {
        return false;
    }
    return true;
}

bool CDibImage::Create(const BitmapInfoHeader& header, std::span<const uint32_t> colours,
                       std::span<const uint8_t> bits) {
    return Create(header, colours, std::vector<uint8_t>(bits.begin(), bits.end()));
}

bool CDibImage::Create(const BitmapInfoHeader& header, std::span<const uint32_t> colours,
                       std::vector<uint8_t>&& bits) {
    Clear();
    Masks masks;
    if (!Validate(header, colours, masks)) return false;
    const int64_t height = header.biHeight < 0 ? -int64_t(header.biHeight) : header.biHeight;
    const int64_t bytes = RowSize(header.biWidth, header.biBitCount) * height;
    if (bits.size() != size_t(bytes)) return false;
    header_ = header;
    header_.biSizeImage = uint32_t(bytes);
    colourCount_ = int(colours.size());
    std::copy(colours.begin(), colours.end(), colours_.begin());
    masks_ = masks;
    bits_ = std::move(bits);
    return true;
}

bool CDibImage::CreateFromImage(const QImage& image) {
    Clear();
    if (image.isNull() || image.width() > kMaxSide || image.height() > kMaxSide) return false;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    BitmapInfoHeader h;
    h.biWidth = rgb.width();
    h.biHeight = rgb.height();
    h.biBitCount = 24;
    const int64_t rowSize = RowSize(h.biWidth, 24);
    std::vector<uint8_t> bits(static_cast<size_t>(rowSize * h.biHeight), 0);
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uint8_t* row = bits.data() + size_t(rowSize) * size_t(rgb.height() - 1 - y);
        for (int x = 0; x < rgb.width(); ++x) {
            row[3 * x] = uint8_t(qBlue(src[x]));
            row[3 * x + 1] = uint8_t(qGreen(src[x]));
            row[3 * x + 2] = uint8_t(qRed(src[x]));
        }
    }
    return Create(h, {}, std::move(bits));
}

bool CDibImage::LoadResource(int id) {
    const QPixmap pixmap = ui::loadBitmap(id);
    if (pixmap.isNull()) {
        Clear();
        return false;
    }
    return CreateFromImage(pixmap.toImage());
}

const uint8_t* CDibImage::StoredRow(int y) const {
    const int64_t rowSize = RowSize(header_.biWidth, header_.biBitCount);
    const int stored = header_.biHeight < 0 ? y : height() - 1 - y;
    return bits_.data() + size_t(rowSize) * size_t(stored);
}

uint32_t CDibImage::PixelAt(const uint8_t* row, int x) const {
    switch (header_.biBitCount) {
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1;
        case 2:
            return (row[x >> 2] >> (6 - 2 * (x & 3))) & 3;
        case 4:
            return (row[x >> 1] >> (x & 1 ? 0 : 4)) & 15;
        case 8:
            return row[x];
        case 16:
            return get16(row + 2 * x);
        case 24:
            return uint32_t(row[3 * x]) | (uint32_t(row[3 * x + 1]) << 8) |
                   (uint32_t(row[3 * x + 2]) << 16);
        default:
            return get32(row + 4 * x);
    }
}

void CDibImage::PutPixel(uint8_t* row, int x, uint32_t pixel) const {
    switch (header_.biBitCount) {
        case 1: {
            const int shift = 7 - (x & 7);
            row[x >> 3] = uint8_t((row[x >> 3] & ~(1 << shift)) | ((pixel & 1) << shift));
            break;
        }
        case 2: {
            const int shift = 6 - 2 * (x & 3);
            row[x >> 2] = uint8_t((row[x >> 2] & ~(3 << shift)) | ((pixel & 3) << shift));
            break;
        }
        case 4: {
            const int shift = x & 1 ? 0 : 4;
            row[x >> 1] = uint8_t((row[x >> 1] & ~(15 << shift)) | ((pixel & 15) << shift));
            break;
        }
        case 8:
            row[x] = uint8_t(pixel);
            break;
        case 16:
            put16(row + 2 * x, pixel);
            break;
        case 24:
            row[3 * x] = uint8_t(pixel);
            row[3 * x + 1] = uint8_t(pixel >> 8);
            row[3 * x + 2] = uint8_t(pixel >> 16);
            break;
        default:
            put32(row + 4 * x, pixel);
            break;
    }
}

QRgb CDibImage::ColourOf(uint32_t pixel) const {
    switch (header_.biBitCount) {
        case 1:
        case 2:
        case 4:
        case 8:
            // An index past the colour table is drawn black rather than read past it.
            return pixel < uint32_t(colourCount_) ? entryColour(colours_[pixel]) : qRgb(0, 0, 0);
        case 24:
            return entryColour(pixel);
        default: {
            int c[3];
            for (int i = 0; i < 3; ++i) {
                const uint64_t v = (pixel & masks_.mask[i]) >> masks_.shift[i];
                c[i] = int((v * 255 + masks_.max[i] / 2) / masks_.max[i]);
            }
            return qRgb(c[0], c[1], c[2]);
        }
    }
}

uint32_t CDibImage::Encode(QRgb colour, std::unordered_map<QRgb, uint32_t>& cache) const {
    colour |= 0xFF000000u;
    switch (header_.biBitCount) {
        case 1:
        case 2:
        case 4:
        case 8: {
            auto hit = cache.find(colour);
            if (hit != cache.end()) return hit->second;
            uint32_t best = 0;
            int bestDistance = INT32_MAX;
            for (int i = 0; i < colourCount_; ++i) {
                const int d = distance(colour, entryColour(colours_[size_t(i)]));
                if (d < bestDistance) {
                    bestDistance = d;
                    best = uint32_t(i);
                }
            }
            cache.emplace(colour, best);
            return best;
        }
        case 24:
            return colour & 0xFFFFFF;
        default: {
            const int c[3] = {qRed(colour), qGreen(colour), qBlue(colour)};
            uint32_t pixel = 0;
            for (int i = 0; i < 3; ++i) {
                const uint64_t v = (uint64_t(c[i]) * masks_.max[i] + 127) / 255;
                pixel |= uint32_t(v << masks_.shift[i]) & masks_.mask[i];
            }
            return pixel;
        }
    }
}

QImage CDibImage::toImage() const {
    if (isEmpty()) return {};
    QImage image(width(), height(), QImage::Format_RGB32);
    if (image.isNull()) return {};
    for (int y = 0; y < height(); ++y) {
        const uint8_t* row = StoredRow(y);
        QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        if (header_.biBitCount == 24) {
            for (int x = 0; x < width(); ++x)
                out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        } else {
            for (int x = 0; x < width(); ++x) out[x] = ColourOf(PixelAt(row, x));
        }
    }
    return image;
}

void CDibImage::updateFrom(const QImage& source) {
    if (isEmpty() || source.size() != QSize(width(), height())) return;
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    std::unordered_map<QRgb, uint32_t> cache;
    for (int y = 0; y < height(); ++y) {
        uint8_t* row = const_cast<uint8_t*>(StoredRow(y));
        const QRgb* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width(); ++x) {
            const QRgb wanted = in[x] | 0xFF000000u;
            if (ColourOf(PixelAt(row, x)) == wanted) continue;
            PutPixel(row, x, Encode(wanted, cache));
        }
    }
}

void CDibImage::Draw(QPainter& painter, const QPoint& at) const {
    if (isEmpty()) return;
    painter.drawImage(at, toImage());
}

void CDibImage::DrawStretched(QPainter& painter, const QRect& rect) const {
    if (isEmpty()) return;
    painter.drawImage(rect, toImage());
}

std::vector<uint8_t> CDibImage::FileBytes() const {
    if (isEmpty()) return {};
    const uint32_t tableBytes = uint32_t(colourCount_) * 4;
    const uint32_t offset = kFileHeaderSize + kInfoHeaderSize + tableBytes;
    std::vector<uint8_t> out(offset + bits_.size());
    uint8_t* p = out.data();
    put16(p, 0x4D42);
    put32(p + 2, uint32_t(out.size()));
    put32(p + 10, offset);
    encodeHeader(header_, p + kFileHeaderSize);
    for (int i = 0; i < colourCount_; ++i)
        put32(p + kFileHeaderSize + kInfoHeaderSize + 4 * i, colours_[size_t(i)]);
    std::memcpy(p + offset, bits_.data(), bits_.size());
    return out;
}

bool CDibImage::WriteBMP(const std::filesystem::path& path, int* error) const {
    if (error) *error = 0;
    if (isEmpty() || path.empty()) return false;
    const std::vector<uint8_t> bytes = FileBytes();
    devfs::FileWriter writer(path);
    const bool ok = writer.write(bytes.data(), bytes.size()) && writer.commit();
    if (!ok && error) *error = writer.error();
    return ok;
}
