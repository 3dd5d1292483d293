// CDibImage: a device-independent bitmap as Windows BMP files hold it, read and written by
// the program's own code. The pixels are kept in the file's own depth, colour table and row
// order, so a picture read and written again keeps them; toImage() gives the picture to draw
// and updateFrom() puts a drawn-on picture back into the stored depth.
//
// Nothing a file says is trusted: every size and offset is checked in 64 bits against the real
// length of the file and the limits below before anything is allocated.
#pragma once

#include <QImage>
#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <unordered_map>
#include <vector>

class QPainter;
class QPoint;
class QRect;

// The 40-byte bitmap information header, field for field.
struct BitmapInfoHeader {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;  // negative: rows stored top first
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

class CDibImage {
public:
    static constexpr uint32_t BI_RGB = 0;
    static constexpr uint32_t BI_BITFIELDS = 3;
    static constexpr int kFileHeaderSize = 14;
    static constexpr int kInfoHeaderSize = 40;
    // Limits on what is read or created: a side, the pixels of the picture, and the bytes of
    // its stored rows.
    static constexpr int64_t kMaxSide = 16384;
    static constexpr int64_t kMaxPixels = 16 * 1024 * 1024;
    static constexpr int64_t kMaxPixelBytes = 64 * 1024 * 1024;

    // The number of colour-table entries a header asks for: 2, 4, 16 and 256 for 1, 2, 4 and
    // 8 bits, 3 (the bit-field masks) for 16 and 32, 0 otherwise; a non-zero colours-used
    // field lowers the count when it is smaller.
    static int ColourEntries(const BitmapInfoHeader& header);
    // Bytes of one stored pixel row: padded to 4 bytes.
    static int64_t RowSize(int64_t width, int bitCount);

    bool isEmpty() const { return bits_.empty(); }
    void Clear();

    // Reads a BMP file (host path) or its bytes. On failure the image is left empty.
    bool ReadBMP(const std::filesystem::path& path);
    bool ReadBMP(std::span<const uint8_t> bytes);
    // Writes the picture as a BMP file: the file header, the information header and colour
    // table as held, then the rows. The old file is replaced only once the new one is
    // complete. False when the image is empty or any write failed (errno in *error).
    bool WriteBMP(const std::filesystem::path& path, int* error = nullptr) const;
    // The bytes WriteBMP writes.
    std::vector<uint8_t> FileBytes() const;

    // Creates the picture from a header, its colour table (ColourEntries(header) entries)
    // and the stored rows (RowSize x |height| bytes). False, and the image empty, when the
    // header is not one this class reads.
    bool Create(const BitmapInfoHeader& header, std::span<const uint32_t> colours,
                std::span<const uint8_t> bits);
    bool Create(const BitmapInfoHeader& header, std::span<const uint32_t> colours,
                std::vector<uint8_t>&& bits);
    // A 24-bit bottom-up picture of `image`.
    bool CreateFromImage(const QImage& image);
    // A 24-bit picture of bitmap resource `id`.
    bool LoadResource(int id);

    // Draws at `at` (a plain copy), or stretched into `rect`.
    void Draw(QPainter& painter, const QPoint& at) const;
    void DrawStretched(QPainter& painter, const QRect& rect) const;

    // The picture as 32-bit RGB, top row first (null when empty).
    QImage toImage() const;
    // Stores the pixels of `image` (the size of this picture) in this picture's depth: a pixel
    // whose colour is unchanged keeps its stored bits, a changed one takes the nearest
    // colour-table entry or the packed colour.
    void updateFrom(const QImage& image);

    const BitmapInfoHeader& header() const { return header_; }
    int colourCount() const { return colourCount_; }
    std::span<const uint32_t> colourTable() const { return {colours_.data(), size_t(colourCount_)}; }
    std::span<const uint8_t> bits() const { return bits_; }
    int width() const { return header_.biWidth; }
    int height() const { return header_.biHeight < 0 ? -header_.biHeight : header_.biHeight; }

private:
    struct Masks {
        uint32_t mask[3] = {};
        int shift[3] = {};
        uint32_t max[3] = {};
    };
    bool Validate(const BitmapInfoHeader& header, std::span<const uint32_t> colours,
                  Masks& masks) const;
    uint32_t PixelAt(const uint8_t* row, int x) const;
    QRgb ColourOf(uint32_t pixel) const;
    uint32_t Encode(QRgb colour, std::unordered_map<QRgb, uint32_t>& cache) const;
    void PutPixel(uint8_t* row, int x, uint32_t pixel) const;
    const uint8_t* StoredRow(int y) const;  // y counted from the top

    BitmapInfoHeader header_;
    std::array<uint32_t, 256> colours_{};
    int colourCount_ = 0;
    Masks masks_;
    std::vector<uint8_t> bits_;
};
