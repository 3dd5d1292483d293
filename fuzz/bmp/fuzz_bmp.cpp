// A BMP file as a person may copy one into the sketch folder: read, drawn, drawn on and
// written back. A picture that reads must write the bytes that read back to the same picture.
#include <cstdlib>

#include "sketch/dib_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CDibImage dib;
    if (!dib.ReadBMP(std::span<const uint8_t>(data, size))) {
        if (!dib.isEmpty()) std::abort();
        return 0;
    }
    if (int64_t(dib.width()) * dib.height() > CDibImage::kMaxPixels) std::abort();
    QImage image = dib.toImage();
    if (image.isNull()) return 0;
    const std::vector<uint8_t> bytes = dib.FileBytes();
    // An unchanged picture keeps its stored bytes.
    dib.updateFrom(image);
    if (dib.FileBytes() != bytes) std::abort();
    // A drawn pixel takes a colour of the picture's own depth.
    image.setPixel(0, 0, qRgb(0, 0, 0));
    dib.updateFrom(image);

    CDibImage again;
    if (!again.ReadBMP(dib.FileBytes())) std::abort();
    if (again.FileBytes() != dib.FileBytes()) std::abort();
    return 0;
}
