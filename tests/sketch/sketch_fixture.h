// Helpers of the sketch tests: pictures made in memory, JPEG bytes in any colour space, and
// files in the device's sketch folder.
#pragma once

#include <QImage>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fs/file_writer.h"
#include "qt/screen_test.h"

namespace sketchtest {

inline std::vector<uint8_t> readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeAll(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A picture with a colour in each quarter: red, green, blue and white, black at (0, 0).
inline QImage quarters(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            QRgb c = !right && !bottom ? qRgb(220, 20, 20)
                     : right && !bottom ? qRgb(20, 200, 20)
                     : !right           ? qRgb(20, 20, 220)
                                        : qRgb(255, 255, 255);
            image.setPixel(x, y, c);
        }
    }
    image.setPixel(0, 0, qRgb(0, 0, 0));
    return image;
}

inline bool near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// JPEG bytes of raw samples in the given library colour space (1 grey, 3 RGB, 4 CMYK);
// `adobe` writes the Adobe marker that CMYK files carry.
std::vector<uint8_t> rawJpeg(int width, int height, int components, int colourSpace,
                             const std::vector<uint8_t>& samples, bool adobe = false);

class SketchTest : public testsupport::ScreenTest {
protected:
    SketchTest() { devfs::writefaults::clear(); }
    ~SketchTest() override { devfs::writefaults::clear(); }
    std::filesystem::path file(const std::string& name) const { return roots.device() / name; }
};

}  // namespace sketchtest
