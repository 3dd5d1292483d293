#include "sketch/jpeg_codec.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "fs/devfs.h"
#include "fs/file_writer.h"
#include "shell/message_box.h"

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

// The library leaves by longjmp from its error exit. Everything between the setjmp and the
// library calls is therefore plain C data: the functions that call the library (decodeRows,
// encodeRows) hold only trivial locals, talk to their C++ callers through callbacks that have
// returned before the next library call, and collect messages in fixed buffers. The C++
// wrappers turn the outcome into Qt objects after the library has returned.
namespace sketch {
namespace {

constexpr size_t kBufferSize = 4096;
constexpr int kMaxMessages = 4;
// More scans than any real progressive picture has; a crafted file with thousands of scans
// would otherwise keep the decoder busy for minutes.
constexpr int kMaxScans = 500;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int messageCount;
    char messages[kMaxMessages][JMSG_LENGTH_MAX];
    bool refused;  // the picture was refused by our own limits, not by the library
};

void collectMessage(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (err->messageCount >= kMaxMessages) return;
    (*cinfo->err->format_message)(cinfo, err->messages[err->messageCount]);
    ++err->messageCount;
}

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void initErrors(ErrorManager* err) {
    jpeg_std_error(&err->pub);
    err->pub.output_message = collectMessage;
    err->pub.error_exit = errorExit;
    err->messageCount = 0;
    err->refused = false;
}

// ---- Source manager: reads the input through a plain read function in 4096-byte blocks ----

using ReadFn = long (*)(void* context, void* buffer, size_t size);

struct SourceManager {
    jpeg_source_mgr pub;
    ReadFn read;
    void* context;
    JOCTET* buffer;
    boolean startOfFile;
};

void initSource(j_decompress_ptr cinfo) {
    reinterpret_cast<SourceManager*>(cinfo->src)->startOfFile = TRUE;
}

boolean fillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    long n = src->read(src->context, src->buffer, kBufferSize);
    if (n <= 0) {
        if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        // An end-of-image marker lets the decoder finish with what it has.
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        n = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = size_t(n);
    src->startOfFile = FALSE;
    return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    while (count > long(src->pub.bytes_in_buffer)) {
        count -= long(src->pub.bytes_in_buffer);
        fillInputBuffer(cinfo);
    }
    src->pub.next_input_byte += size_t(count);
    src->pub.bytes_in_buffer -= size_t(count);
}

void termSource(j_decompress_ptr) {}

void attachSource(j_decompress_ptr cinfo, ReadFn read, void* context) {
    auto* src = static_cast<SourceManager*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(SourceManager)));
    src->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kBufferSize));
    src->pub.init_source = initSource;
    src->pub.fill_input_buffer = fillInputBuffer;
    src->pub.skip_input_data = skipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = termSource;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
    src->read = read;
    src->context = context;
    cinfo->src = &src->pub;
}

// ---- Destination manager: writes through a plain write function in 4096-byte blocks ----

using WriteFn = bool (*)(void* context, const void* data, size_t size);

struct DestinationManager {
    jpeg_destination_mgr pub;
    WriteFn write;
    void* context;
    JOCTET* buffer;
};

void initDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
    dest->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, kBufferSize));
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kBufferSize;
}

boolean emptyOutputBuffer(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
    if (!dest->write(dest->context, dest->buffer, kBufferSize)) ERREXIT(cinfo, JERR_FILE_WRITE);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kBufferSize;
    return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
    const size_t count = kBufferSize - dest->pub.free_in_buffer;
    if (count > 0 && !dest->write(dest->context, dest->buffer, count))
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

void attachDestination(j_compress_ptr cinfo, WriteFn write, void* context) {
    auto* dest = static_cast<DestinationManager*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(DestinationManager)));
    dest->pub.init_destination = initDestination;
    dest->pub.empty_output_buffer = emptyOutputBuffer;
    dest->pub.term_destination = termDestination;
    dest->write = write;
    dest->context = context;
    cinfo->dest = &dest->pub;
}

// ---- Decoding ----

struct DecodeJob {
    ErrorManager err;
    ReadFn read;
    void* readContext;
    bool fastDct;
    // Prepares a picture of the given size; false refuses it.
    bool (*begin)(void* context, unsigned width, unsigned height);
    // The 32-bit row `y` of the picture.
    uint8_t* (*row)(void* context, unsigned y);
    void* sinkContext;
};

void limitScans(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        err->refused = true;
        std::longjmp(err->jump, 1);
    }
}

// CMYK rows as Adobe writes them (inverted) or plain, to blue, green, red, unused.
void cmykToBgrx(const JSAMPLE* in, uint8_t* out, unsigned width, bool inverted) {
    for (unsigned x = 0; x < width; ++x, in += 4, out += 4) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = uint8_t(y * k / 255);
        out[1] = uint8_t(m * k / 255);
        out[2] = uint8_t(c * k / 255);
        out[3] = 0xFF;
    }
}

// Only trivial locals: the library may leave this function by longjmp at any call.
int decodeRows(DecodeJob* job) {
    jpeg_decompress_struct cinfo;
    jpeg_progress_mgr progress;
    cinfo.err = &job->err.pub;
    initErrors(&job->err);
    if (setjmp(job->err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    jpeg_create_decompress(&cinfo);
    // Progressive pictures keep their coefficients in memory; nothing within the limits
    // below needs more.
    cinfo.mem->max_memory_to_use = 512L * 1024 * 1024;
    progress.progress_monitor = limitScans;
    cinfo.progress = &progress;
    attachSource(&cinfo, job->read, job->readContext);
    jpeg_read_header(&cinfo, TRUE);

    if (cinfo.image_width == 0 || cinfo.image_height == 0 ||
        cinfo.image_width > unsigned(kMaxJpegSide) || cinfo.image_height > unsigned(kMaxJpegSide) ||
        int64_t(cinfo.image_width) * cinfo.image_height > kMaxJpegPixels) {
        job->err.refused = true;
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
    if (job->fastDct) cinfo.dct_method = JDCT_IFAST;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 4 ||
        !job->begin(job->sinkContext, cinfo.output_width, cinfo.output_height)) {
        job->err.refused = true;
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    JSAMPROW cmykRow = nullptr;
    if (cmyk) {
        cmykRow = static_cast<JSAMPROW>((*cinfo.mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, size_t(cinfo.output_width) * 4));
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        uint8_t* out = job->row(job->sinkContext, cinfo.output_scanline);
        JSAMPROW target = cmyk ? cmykRow : out;
        if (jpeg_read_scanlines(&cinfo, &target, 1) != 1) break;
        if (cmyk) cmykToBgrx(cmykRow, out, cinfo.output_width, cinfo.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return 1;
}

struct PictureSink {
    QImage image;
};

bool beginPicture(void* context, unsigned width, unsigned height) {
    auto* sink = static_cast<PictureSink*>(context);
    sink->image = QImage(int(width), int(height), QImage::Format_RGB32);
    if (sink->image.isNull()) return false;
    // Rows the data never reaches stay grey, as the decoder leaves a picture cut short.
    sink->image.fill(qRgb(128, 128, 128));
    return true;
}

uint8_t* pictureRow(void* context, unsigned y) {
    return static_cast<PictureSink*>(context)->image.scanLine(int(y));
}

QStringList messagesOf(const ErrorManager& err) {
    QStringList list;
    for (int i = 0; i < err.messageCount; ++i) list << QString::fromLocal8Bit(err.messages[i]);
    return list;
}

JpegOutcome decode(ReadFn read, void* context, QImage& picture, DctMethod dct) {
    PictureSink sink;
    DecodeJob job{};
    job.read = read;
    job.readContext = context;
    job.fastDct = dct == DctMethod::Fast;
    job.begin = beginPicture;
    job.row = pictureRow;
    job.sinkContext = &sink;
    JpegOutcome outcome;
    outcome.result = decodeRows(&job);
    outcome.messages = messagesOf(job.err);
    if (outcome.result == 1) picture = std::move(sink.image);
    return outcome;
}

long readFd(void* context, void* buffer, size_t size) {
    const int fd = *static_cast<int*>(context);
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n < 0 && errno == EINTR) continue;
        return long(n);
    }
}

struct MemoryInput {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

long readMemory(void* context, void* buffer, size_t size) {
    auto* in = static_cast<MemoryInput*>(context);
    const size_t n = std::min(size, in->size - in->pos);
    if (n) std::memcpy(buffer, in->data + in->pos, n);
    in->pos += n;
    return long(n);
}

// ---- Encoding ----

struct EncodeJob {
    ErrorManager err;
    WriteFn write;
    void* writeContext;
    unsigned width;
    unsigned height;
    const uint8_t* (*row)(void* context, unsigned y);
    void* rowContext;
};

// Only trivial locals, as decodeRows.
int encodeRows(EncodeJob* job) {
    jpeg_compress_struct cinfo;
    cinfo.err = &job->err.pub;
    initErrors(&job->err);
    if (setjmp(job->err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return -1;
    }
    jpeg_create_compress(&cinfo);
    cinfo.image_width = job->width;
    cinfo.image_height = job->height;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    attachDestination(&cinfo, job->write, job->writeContext);
    jpeg_set_quality(&cinfo, 99, TRUE);
    cinfo.dct_method = JDCT_IFAST;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(job->row(job->rowContext, cinfo.next_scanline));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return 1;
}

const uint8_t* imageRow(void* context, unsigned y) {
    return static_cast<const QImage*>(context)->constScanLine(int(y));
}

bool writeToFile(void* context, const void* data, size_t size) {
    return static_cast<devfs::FileWriter*>(context)->write(data, size);
}

bool writeToVector(void* context, const void* data, size_t size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* p = static_cast<const uint8_t*>(data);
    // No exception may cross the library's C frames: a failed allocation is a failed write.
    try {
        out->insert(out->end(), p, p + size);
    } catch (...) {
        return false;
    }
    return true;
}

JpegOutcome encode(const QImage& picture, WriteFn write, void* context) {
    JpegOutcome outcome;
    if (picture.isNull()) return outcome;
    const QImage rgb = picture.format() == QImage::Format_RGB32
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB32);
    EncodeJob job{};
    job.write = write;
    job.writeContext = context;
    job.width = unsigned(rgb.width());
    job.height = unsigned(rgb.height());
    job.row = imageRow;
    job.rowContext = const_cast<QImage*>(&rgb);
    outcome.result = encodeRows(&job);
    outcome.messages = messagesOf(job.err);
    return outcome;
}

}  // namespace

JpegOutcome ReadJpeg(const std::filesystem::path& path, QImage& picture, DctMethod dct) {
    // Only a regular file: a named pipe called *.jpg would hold the program at the open.
    int fd = devfs::openRegularFile(path);
    if (fd < 0) return {};
    JpegOutcome outcome = decode(readFd, &fd, picture, dct);
    ::close(fd);
    return outcome;
}

JpegOutcome ReadJpeg(std::span<const uint8_t> bytes, QImage& picture, DctMethod dct) {
    MemoryInput input{bytes.data(), bytes.size(), 0};
    return decode(readMemory, &input, picture, dct);
}

JpegOutcome WriteJpeg(const std::filesystem::path& path, const QImage& picture) {
    devfs::FileWriter writer(path);
    if (!writer.ok()) {
        // The file cannot be created: the library's own words for a failed write.
        JpegOutcome outcome;
        outcome.messages << QStringLiteral("Output file write error --- out of disk space?");
        outcome.error = writer.error();
        return outcome;
    }
    JpegOutcome outcome = encode(picture, writeToFile, &writer);
    if (outcome.result == 1 && !writer.commit()) {
        outcome.result = -1;
        outcome.messages << QStringLiteral("Output file write error --- out of disk space?");
    }
    if (outcome.result != 1) outcome.error = writer.error();
    return outcome;
}

JpegOutcome EncodeJpeg(const QImage& picture, std::vector<uint8_t>& bytes) {
    bytes.clear();
    JpegOutcome outcome = encode(picture, writeToVector, &bytes);
    if (outcome.result != 1) bytes.clear();
    return outcome;
}

void ShowJpegMessages(QWidget* parent, const QStringList& messages) {
    for (const QString& message : messages) {
        shell::messageBox(parent, message, QStringLiteral("JPEG Library Error"),
                          shell::MB_OK | shell::MB_ICONSTOP);
    }
}

}  // namespace sketch
