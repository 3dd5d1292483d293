// JPEG sketches: round trips, grey and CMYK files, damaged and hostile files, failed writes.
#include <gtest/gtest.h>

#include <QPainter>

extern "C" {
#include <cstdio>
#include <jpeglib.h>
}

#include "fs/file_writer.h"
#include "sketch/dib_image.h"
#include "sketch/jpeg_codec.h"
#include "sketch_fixture.h"

namespace {

using sketch::DctMethod;
using sketch::JpegOutcome;
using sketchtest::near;
using sketchtest::readAll;
using sketchtest::writeAll;

class JpegCodec : public sketchtest::SketchTest {};

TEST_F(JpegCodec, RoundTripKeepsSizeAndChannels) {
    const QImage picture = sketchtest::quarters(101, 37);
    const auto path = file("round.jpg");
    JpegOutcome written = sketch::WriteJpeg(path, picture);
    ASSERT_EQ(written.result, 1);
    EXPECT_TRUE(written.messages.isEmpty());
    const std::vector<uint8_t> bytes = readAll(path);
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);

    for (DctMethod dct : {DctMethod::Fast, DctMethod::LibraryDefault}) {
        QImage back;
        JpegOutcome read = sketch::ReadJpeg(path, back, dct);
        ASSERT_EQ(read.result, 1);
        EXPECT_TRUE(read.messages.isEmpty());
        ASSERT_EQ(back.size(), picture.size());
        // Red stays red: away from the edges every colour is within a small tolerance.
        EXPECT_TRUE(near(back.pixel(10, 10), qRgb(220, 20, 20), 12)) << std::hex << back.pixel(10, 10);
        EXPECT_TRUE(near(back.pixel(90, 10), qRgb(20, 200, 20), 12));
        EXPECT_TRUE(near(back.pixel(10, 30), qRgb(20, 20, 220), 12));
        EXPECT_TRUE(near(back.pixel(90, 30), qRgb(255, 255, 255), 12));
    }
    // Bytes in memory are the same as the file's.
    std::vector<uint8_t> encoded;
    ASSERT_EQ(sketch::EncodeJpeg(picture, encoded).result, 1);
    EXPECT_EQ(encoded, bytes);
}

TEST_F(JpegCodec, GreyAndCmykFilesComeOutAsColours) {
    // Grey: a ramp.
    std::vector<uint8_t> grey(16 * 8);
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = uint8_t((i % 16) * 16);
    QImage image;
    JpegOutcome read = sketch::ReadJpeg(sketchtest::rawJpeg(16, 8, 1, JCS_GRAYSCALE, grey), image);
    ASSERT_EQ(read.result, 1);
    ASSERT_EQ(image.size(), QSize(16, 8));
    const QRgb g = image.pixel(12, 4);
    EXPECT_EQ(qRed(g), qGreen(g));
    EXPECT_EQ(qGreen(g), qBlue(g));
    EXPECT_NEAR(qRed(g), 192, 8);

    // CMYK as Adobe writes it (inverted samples): full cyan ink, no black.
    std::vector<uint8_t> cmyk;
    for (int i = 0; i < 16 * 8; ++i) cmyk.insert(cmyk.end(), {0, 255, 255, 255});
    read = sketch::ReadJpeg(sketchtest::rawJpeg(16, 8, 4, JCS_CMYK, cmyk, true), image);
    ASSERT_EQ(read.result, 1);
    EXPECT_TRUE(near(image.pixel(8, 4), qRgb(0, 255, 255), 8)) << std::hex << image.pixel(8, 4);
    // The same samples without the Adobe marker are plain CMYK: all inks, no black plate.
    read = sketch::ReadJpeg(sketchtest::rawJpeg(16, 8, 4, JCS_CMYK, cmyk, false), image);
    ASSERT_EQ(read.result, 1);
    EXPECT_TRUE(near(image.pixel(8, 4), qRgb(0, 0, 0), 8)) << std::hex << image.pixel(8, 4);
}

TEST_F(JpegCodec, EmptyAndTruncatedFiles) {
    const auto empty = file("empty.jpg");
    writeAll(empty, {});
    QImage image(3, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    JpegOutcome read = sketch::ReadJpeg(empty, image);
    EXPECT_EQ(read.result, -1);
    EXPECT_EQ(read.messages, QStringList{QStringLiteral("Empty input file")});
    EXPECT_EQ(image.size(), QSize(3, 3));  // unchanged

    EXPECT_EQ(sketch::ReadJpeg(file("none.jpg"), image).result, -1);

    // Noise below the red top rows, so that most of the data is the picture's.
    QImage noisy = sketchtest::quarters(64, 64);
    for (int y = 32; y < 64; ++y)
        for (int x = 0; x < 64; ++x) noisy.setPixel(x, y, qRgb(x * y % 256, x * 37 % 256, y * 91 % 256));
    std::vector<uint8_t> bytes;
    ASSERT_EQ(sketch::EncodeJpeg(noisy, bytes).result, 1);
    bytes.resize(bytes.size() * 3 / 4);
    read = sketch::ReadJpeg(bytes, image);
    // The picture decoded so far, with the library's warning once.
    EXPECT_EQ(read.result, 1) << read.messages.join("|").toStdString();
    EXPECT_EQ(read.messages, QStringList{QStringLiteral("Premature end of JPEG file")});
    EXPECT_EQ(image.size(), QSize(64, 64));
    EXPECT_TRUE(near(image.pixel(5, 5), qRgb(220, 20, 20), 16));

    // Not a JPEG at all: the library's error.
    read = sketch::ReadJpeg(std::vector<uint8_t>{'B', 'M', 1, 2, 3}, image);
    EXPECT_EQ(read.result, -1);
    ASSERT_EQ(read.messages.size(), 1);
    EXPECT_TRUE(read.messages[0].contains(QStringLiteral("Not a JPEG file")));
}

// Rewrites the frame size in the start-of-frame marker.
std::vector<uint8_t> withDeclaredSize(std::vector<uint8_t> bytes, int width, int height) {
    for (size_t i = 2; i + 9 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
            bytes[i + 5] = uint8_t(height >> 8);
            bytes[i + 6] = uint8_t(height);
            bytes[i + 7] = uint8_t(width >> 8);
            bytes[i + 8] = uint8_t(width);
            return bytes;
        }
    }
    ADD_FAILURE() << "no frame marker";
    return bytes;
}

TEST_F(JpegCodec, HugeDeclaredSizesAreRefusedBeforeDecoding) {
    std::vector<uint8_t> bytes;
    ASSERT_EQ(sketch::EncodeJpeg(sketchtest::quarters(16, 16), bytes).result, 1);
    QImage image;
    for (auto [w, h] : {std::pair{65535, 65535}, {16385, 8}, {16384, 16384}, {8, 16385}}) {
        JpegOutcome read = sketch::ReadJpeg(withDeclaredSize(bytes, w, h), image);
        EXPECT_EQ(read.result, -1) << w << " x " << h;
        EXPECT_TRUE(image.isNull());
    }
    // Within the limits a short file still decodes (grey where there is no data).
    JpegOutcome read = sketch::ReadJpeg(withDeclaredSize(bytes, 64, 16), image);
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(image.size(), QSize(64, 16));
}

TEST_F(JpegCodec, FailedWritesKeepTheOldFile) {
    const auto path = file("keep.jpg");
    ASSERT_EQ(sketch::WriteJpeg(path, sketchtest::quarters(40, 40)).result, 1);
    const std::vector<uint8_t> before = readAll(path);
    const QImage other(640, 480, QImage::Format_RGB32);

    using devfs::writefaults::Op;
    for (Op op : {Op::Create, Op::Write, Op::DiskFull, Op::Rename}) {
        devfs::writefaults::arm(op);
        JpegOutcome written = sketch::WriteJpeg(path, other);
        EXPECT_EQ(written.result, -1);
        EXPECT_TRUE(written.messages.contains(
            QStringLiteral("Output file write error --- out of disk space?")));
        EXPECT_NE(written.error, 0);
        EXPECT_EQ(readAll(path), before);
        devfs::writefaults::clear();
    }
    // No temporary file is left behind.
    EXPECT_EQ(std::count_if(std::filesystem::directory_iterator(path.parent_path()),
                            std::filesystem::directory_iterator(),
                            [](auto& e) { return e.path().filename().string().starts_with("."); }),
              0);

    // A folder that is not there.
    EXPECT_EQ(sketch::WriteJpeg(file("no/such/folder/x.jpg"), other).result, -1);
}

TEST_F(JpegCodec, FailedBmpWritesKeepTheOldFile) {
    const auto path = file("keep.bmp");
    CDibImage dib;
    ASSERT_TRUE(dib.CreateFromImage(sketchtest::quarters(5, 5)));
    ASSERT_TRUE(dib.WriteBMP(path));
    const std::vector<uint8_t> before = readAll(path);
    CDibImage other;
    ASSERT_TRUE(other.CreateFromImage(QImage(640, 480, QImage::Format_RGB32)));
    using devfs::writefaults::Op;
    for (Op op : {Op::Create, Op::Write, Op::DiskFull, Op::Rename}) {
        devfs::writefaults::arm(op);
        int error = 0;
        EXPECT_FALSE(other.WriteBMP(path, &error));
        EXPECT_NE(error, 0);
        EXPECT_EQ(readAll(path), before);
    }
    EXPECT_TRUE(other.WriteBMP(path));
    EXPECT_EQ(readAll(path), other.FileBytes());
}

TEST_F(JpegCodec, LibraryMessagesAreShownUnderTheirCaption) {
    messages.expect(QStringLiteral("Empty input file"));
    sketch::ShowJpegMessages(nullptr, {QStringLiteral("Empty input file")});
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].caption, QStringLiteral("JPEG Library Error"));
    EXPECT_EQ(messages.shown()[0].icon, shell::Icon::Stop);
}

}  // namespace
