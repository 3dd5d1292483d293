// A JPEG file as a person may copy one into the sketch folder, read as the canvas and the
// details popup read it. A picture that reads stays within the size limits and writes again.
#include <cstdlib>

#include "sketch/jpeg_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QImage picture;
    const sketch::JpegOutcome read =
        sketch::ReadJpeg(std::span<const uint8_t>(data, size), picture,
                         size % 2 ? sketch::DctMethod::Fast : sketch::DctMethod::LibraryDefault);
    if (read.result != 1) {
        if (!picture.isNull()) std::abort();
        return 0;
    }
    if (picture.width() > sketch::kMaxJpegSide || picture.height() > sketch::kMaxJpegSide)
        std::abort();
    if (int64_t(picture.width()) * picture.height() <= 64 * 64) {
        std::vector<uint8_t> bytes;
        if (sketch::EncodeJpeg(picture, bytes).result != 1) std::abort();
    }
    return 0;
}
