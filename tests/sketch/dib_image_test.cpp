// CDibImage: BMP files at every depth, the bytes written, and every header a file may lie in.
#include <gtest/gtest.h>

#include <QPainter>
#include <functional>
#include <random>

#include "sketch/dib_image.h"
#include "sketch_fixture.h"

namespace {

using sketchtest::readAll;
using sketchtest::writeAll;

void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}
void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

struct Made {
    BitmapInfoHeader header;
    std::vector<uint32_t> colours;
    std::vector<uint8_t> bits;
};

Made makeDib(int bitCount, int width, int height, std::mt19937& random, uint32_t compression = 0) {
    Made m;
    m.header.biWidth = width;
    m.header.biHeight = height;
    m.header.biBitCount = uint16_t(bitCount);
    m.header.biCompression = compression;
    m.header.biXPelsPerMeter = 2835;
    m.colours.resize(size_t(CDibImage::ColourEntries(m.header)));
    for (auto& c : m.colours) c = random() & 0xFFFFFF;
    if (compression == CDibImage::BI_BITFIELDS) {
        m.colours = bitCount == 16 ? std::vector<uint32_t>{0xF800, 0x07E0, 0x001F}
                                   : std::vector<uint32_t>{0xFF0000, 0xFF00, 0xFF};
    }
    m.bits.resize(size_t(CDibImage::RowSize(width, bitCount) * std::abs(height)));
    for (auto& b : m.bits) b = uint8_t(random());
    return m;
}

TEST(DibImage, RoundTripsEveryDepthAtOddWidthsBothRowOrders) {
    std::mt19937 random(7);
    testsupport::TempRoots roots;
    struct Case {
        int bits;
        uint32_t compression;
    };
    const Case cases[] = {{1, 0}, {2, 0}, {4, 0}, {8, 0}, {16, 0}, {16, 3}, {24, 0}, {32, 0}, {32, 3}};
    for (const Case& c : cases) {
        for (int width : {1, 3, 7, 101}) {
            for (int height : {5, -5}) {
                SCOPED_TRACE(testing::Message() << c.bits << " bits, " << width << " x " << height);
                const Made m = makeDib(c.bits, width, height, random, c.compression);
                CDibImage dib;
                ASSERT_TRUE(dib.Create(m.header, m.colours, m.bits));
                const std::vector<uint8_t> bytes = dib.FileBytes();

                CDibImage back;
                ASSERT_TRUE(back.ReadBMP(bytes));
                EXPECT_EQ(back.width(), width);
                EXPECT_EQ(back.height(), 5);
                EXPECT_EQ(back.header().biHeight, height);
                EXPECT_TRUE(std::equal(back.bits().begin(), back.bits().end(), m.bits.begin(),
                                       m.bits.end()));
                EXPECT_TRUE(std::equal(back.colourTable().begin(), back.colourTable().end(),
                                       m.colours.begin(), m.colours.end()));

                const auto path = roots.device() / "round.bmp";
                ASSERT_TRUE(back.WriteBMP(path));
                EXPECT_EQ(readAll(path), bytes);
                CDibImage fromFile;
                ASSERT_TRUE(fromFile.ReadBMP(path));
                EXPECT_EQ(fromFile.toImage(), dib.toImage());
                // Drawing back an unchanged picture changes no stored byte, padding included.
                fromFile.updateFrom(fromFile.toImage());
                EXPECT_EQ(fromFile.FileBytes(), bytes);
            }
        }
    }
}

TEST(DibImage, WritesHeaderPaddingAndTheColourTableAsCounted) {
    // A 24-bit picture 101 wide has rows of 304 bytes, no colour table.
    QImage image(101, 2, QImage::Format_RGB32);
    image.fill(qRgb(1, 2, 3));
    CDibImage dib;
    ASSERT_TRUE(dib.CreateFromImage(image));
    std::vector<uint8_t> bytes = dib.FileBytes();
    ASSERT_EQ(bytes.size(), 54u + 2 * 304);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(bytes[2] | bytes[3] << 8 | bytes[4] << 16, 54 + 608);
    EXPECT_EQ(bytes[10], 54);
    EXPECT_EQ(bytes[14], 40);
    EXPECT_EQ(bytes[18], 101);
    EXPECT_EQ(bytes[22], 2);  // positive height: bottom row first
    EXPECT_EQ(bytes[28], 24);
    EXPECT_EQ(bytes[34] | bytes[35] << 8, 608);  // image size
    EXPECT_EQ(bytes[54], 3);                     // blue first
    EXPECT_EQ(bytes[56], 1);
    EXPECT_EQ(bytes[54 + 303], 0);  // padding
    EXPECT_EQ(bytes[54 + 304], 3);

    // 256 colours with 16 used: a 16-entry table, kept on writing.
    BitmapInfoHeader h;
    h.biWidth = 3;
    h.biHeight = 1;
    h.biBitCount = 8;
    h.biClrUsed = 16;
    std::vector<uint32_t> colours(16);
    for (uint32_t i = 0; i < 16; ++i) colours[i] = i * 0x010101;
    const std::vector<uint8_t> bits{15, 1, 2, 0};
    ASSERT_TRUE(dib.Create(h, colours, bits));
    bytes = dib.FileBytes();
    ASSERT_EQ(bytes.size(), 54u + 64 + 4);
    EXPECT_EQ(bytes[10], 54 + 64);
    EXPECT_EQ(bytes[54 + 4 * 15], 15);
    EXPECT_EQ(bytes[54 + 64], 15);
    CDibImage back;
    ASSERT_TRUE(back.ReadBMP(bytes));
    EXPECT_EQ(back.colourCount(), 16);
    EXPECT_EQ(back.toImage().pixel(0, 0), qRgb(15, 15, 15));
}

TEST(DibImage, DecodesColoursOfEachDepthInRowOrder) {
    CDibImage dib;
    BitmapInfoHeader h;
    h.biWidth = 9;
    h.biHeight = 2;  // bottom-up: the first stored row is the bottom one
    h.biBitCount = 1;
    const std::vector<uint32_t> mono{0x000000, 0xFFFFFF};
    ASSERT_TRUE(dib.Create(h, mono, std::vector<uint8_t>{0x80, 0x80, 0, 0, 0x00, 0x00, 0, 0}));
    EXPECT_EQ(dib.toImage().pixel(0, 1), qRgb(255, 255, 255));
    EXPECT_EQ(dib.toImage().pixel(8, 1), qRgb(255, 255, 255));
    EXPECT_EQ(dib.toImage().pixel(1, 1), qRgb(0, 0, 0));
    EXPECT_EQ(dib.toImage().pixel(0, 0), qRgb(0, 0, 0));
    h.biHeight = -2;  // top-down
    ASSERT_TRUE(dib.Create(h, mono, std::vector<uint8_t>{0x80, 0x80, 0, 0, 0x00, 0x00, 0, 0}));
    EXPECT_EQ(dib.toImage().pixel(0, 0), qRgb(255, 255, 255));

    // 4 bits with a 2-entry table: indices past the table draw black, never read past it.
    h = BitmapInfoHeader{};
    h.biWidth = 2;
    h.biHeight = 1;
    h.biBitCount = 4;
    h.biClrUsed = 2;
    ASSERT_TRUE(dib.Create(h, std::vector<uint32_t>{0x0000FF, 0x00FF00},
                           std::vector<uint8_t>{0x1F, 0, 0, 0}));
    EXPECT_EQ(dib.toImage().pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(dib.toImage().pixel(1, 0), qRgb(0, 0, 0));

    // 16 bits: 5-5-5 without masks, 5-6-5 with them.
    h = BitmapInfoHeader{};
    h.biWidth = 1;
    h.biHeight = 1;
    h.biBitCount = 16;
    ASSERT_TRUE(dib.Create(h, std::vector<uint32_t>{0, 0, 0}, std::vector<uint8_t>{0x00, 0x7C, 0, 0}));
    EXPECT_EQ(dib.toImage().pixel(0, 0), qRgb(255, 0, 0));
    h.biCompression = CDibImage::BI_BITFIELDS;
    ASSERT_TRUE(dib.Create(h, std::vector<uint32_t>{0xF800, 0x07E0, 0x001F},
                           std::vector<uint8_t>{0xE0, 0x07, 0, 0}));
    EXPECT_EQ(dib.toImage().pixel(0, 0), qRgb(0, 255, 0));
    // 32 bits: blue, green, red, unused.
    h.biCompression = CDibImage::BI_RGB;
    h.biBitCount = 32;
    ASSERT_TRUE(dib.Create(h, std::vector<uint32_t>{0, 0, 0}, std::vector<uint8_t>{10, 20, 30, 99}));
    EXPECT_EQ(dib.toImage().pixel(0, 0), qRgb(30, 20, 10));
}

TEST(DibImage, DrawnPixelsTakeTheNearestColourAndTheRestKeepTheirBytes) {
    BitmapInfoHeader h;
    h.biWidth = 4;
    h.biHeight = 1;
    h.biBitCount = 2;
    // Two table entries are white: an unchanged pixel keeps its own index.
    const std::vector<uint32_t> table{0xFFFFFF, 0x000000, 0xFF0000, 0xFFFFFF};
    CDibImage dib;
    ASSERT_TRUE(dib.Create(h, table, std::vector<uint8_t>{0b11100100, 0, 0, 0}));
    QImage image = dib.toImage();
    image.setPixel(2, 0, qRgb(250, 10, 10));  // black -> near red
    dib.updateFrom(image);
    EXPECT_EQ(dib.bits()[0], 0b11101000);
    // A 5-5-5 pixel takes the packed colour.
    h.biBitCount = 16;
    h.biWidth = 1;
    ASSERT_TRUE(dib.Create(h, std::vector<uint32_t>{0, 0, 0}, std::vector<uint8_t>{0, 0, 0, 0}));
    image = dib.toImage();
    image.setPixel(0, 0, qRgb(0, 0, 255));
    dib.updateFrom(image);
    EXPECT_EQ(dib.bits()[0], 0x1F);
    // A picture of another size is not taken.
    dib.updateFrom(QImage(2, 2, QImage::Format_RGB32));
    EXPECT_EQ(dib.bits()[0], 0x1F);
}

// A valid 8-bit file 4 x 2 with a 256-entry table: the base of every refusal below.
std::vector<uint8_t> validFile() {
    BitmapInfoHeader h;
    h.biWidth = 4;
    h.biHeight = 2;
    h.biBitCount = 8;
    CDibImage dib;
    std::vector<uint32_t> colours(256, 0x808080);
    EXPECT_TRUE(dib.Create(h, colours, std::vector<uint8_t>(8, 1)));
    return dib.FileBytes();
}

TEST(DibImage, RefusesEveryHeaderItCannotTrust) {
    const std::vector<uint8_t> base = validFile();
    ASSERT_EQ(base.size(), 54u + 1024 + 8);
    CDibImage check;
    ASSERT_TRUE(check.ReadBMP(base));

    struct Mutation {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> apply;
    };
    const Mutation mutations[] = {
        {"type", [](auto& b) { b[0] = 'X'; }},
        {"header size 12", [](auto& b) { put32(b, 14, 12); }},
        {"header size 124", [](auto& b) { put32(b, 14, 124); }},
        {"width 0", [](auto& b) { put32(b, 18, 0); }},
        {"width negative", [](auto& b) { put32(b, 18, uint32_t(-4)); }},
        {"width over 16384", [](auto& b) { put32(b, 18, 16385); }},
        {"height 0", [](auto& b) { put32(b, 22, 0); }},
        {"height most negative", [](auto& b) { put32(b, 22, 0x80000000u); }},
        {"height over 16384", [](auto& b) { put32(b, 22, 16385); }},
        {"too many pixels", [](auto& b) { put32(b, 18, 16384); put32(b, 22, 16384); }},
        {"planes", [](auto& b) { put16(b, 26, 2); }},
        {"bit count 3", [](auto& b) { put16(b, 28, 3); }},
        {"bit count 0", [](auto& b) { put16(b, 28, 0); }},
        {"run-length compression", [](auto& b) { put32(b, 30, 1); }},
        {"bit fields on 8 bits", [](auto& b) { put32(b, 30, 3); }},
        {"pixels past the end", [](auto& b) { put32(b, 10, 54 + 1024 + 1); }},
        {"pixel offset inside the header", [](auto& b) { put32(b, 10, 20); }},
        {"pixel offset far away", [](auto& b) { put32(b, 10, 0xFFFFFFF0u); }},
        {"rows cut short", [](auto& b) { b.pop_back(); }},
        {"colour table cut short", [](auto& b) { b.erase(b.begin() + 54 + 1000, b.end()); }},
        {"header cut short", [](auto& b) { b.erase(b.begin() + 40, b.end()); }},
        {"empty file", [](auto& b) { b.clear(); }},
    };
    for (const Mutation& m : mutations) {
        SCOPED_TRACE(m.what);
        std::vector<uint8_t> bytes = base;
        m.apply(bytes);
        CDibImage dib;
        ASSERT_TRUE(dib.ReadBMP(base));
        EXPECT_FALSE(dib.ReadBMP(bytes));
        EXPECT_TRUE(dib.isEmpty());
    }
}

TEST(DibImage, RefusesBitFieldMasksThatCannotBeRead) {
    std::mt19937 random(3);
    const Made m = makeDib(16, 2, 2, random, CDibImage::BI_BITFIELDS);
    CDibImage dib;
    ASSERT_TRUE(dib.Create(m.header, m.colours, m.bits));
    const std::vector<uint8_t> base = dib.FileBytes();
    const std::vector<std::vector<uint32_t>> masks{
        {0, 0x07E0, 0x001F},          // empty
        {0xF800, 0xF800, 0x001F},     // overlapping
        {0xF000 | 0x0100, 0x07E0 & 0x00E0, 0x001F & 0},  // broken runs and empty
        {0x1F0000, 0x07E0, 0x001F},   // past 16 bits
        {0xA800, 0x07E0, 0x001F},     // not one run
    };
    for (const auto& mask : masks) {
        std::vector<uint8_t> bytes = base;
        for (int i = 0; i < 3; ++i) put32(bytes, 54 + 4 * size_t(i), mask[size_t(i)]);
        EXPECT_FALSE(dib.ReadBMP(bytes)) << std::hex << mask[0] << " " << mask[1];
    }
    // Bit fields with fewer than three masks.
    std::vector<uint8_t> bytes = base;
    put32(bytes, 14 + 32, 2);
    EXPECT_FALSE(dib.ReadBMP(bytes));
}

TEST(DibImage, TheFileSizeFieldIsNotBelieved) {
    std::vector<uint8_t> bytes = validFile();
    put32(bytes, 2, 10);  // says shorter than its header
    CDibImage dib;
    EXPECT_TRUE(dib.ReadBMP(bytes));
    put32(bytes, 2, 0xFFFFFFFFu);
    EXPECT_TRUE(dib.ReadBMP(bytes));
    EXPECT_EQ(dib.FileBytes(), validFile());
}

TEST(DibImage, ReadsFilesAndRefusesWhatIsNoFile) {
    testsupport::TempRoots roots;
    CDibImage dib;
    EXPECT_FALSE(dib.ReadBMP(roots.device() / "missing.bmp"));
    EXPECT_FALSE(dib.ReadBMP(roots.device()));  // a folder
    const std::vector<uint8_t> valid = validFile();
    writeAll(roots.device() / "cut.bmp", std::vector<uint8_t>(valid.begin(), valid.end() - 3));
    EXPECT_FALSE(dib.ReadBMP(roots.device() / "cut.bmp"));
    EXPECT_TRUE(dib.isEmpty());
    // Nothing is written from an empty picture.
    EXPECT_FALSE(dib.WriteBMP(roots.device() / "empty.bmp"));
    EXPECT_FALSE(std::filesystem::exists(roots.device() / "empty.bmp"));
}

TEST(DibImage, DrawsAtAPointAndStretched) {
    CDibImage dib;
    ASSERT_TRUE(dib.CreateFromImage(sketchtest::quarters(4, 4)));
    QImage target(8, 8, QImage::Format_RGB32);
    target.fill(Qt::white);
    {
        QPainter p(&target);
        dib.Draw(p, QPoint(2, 2));
    }
    EXPECT_EQ(target.pixel(2, 2), qRgb(0, 0, 0));
    EXPECT_EQ(target.pixel(3, 2), qRgb(220, 20, 20));
    EXPECT_EQ(target.pixel(1, 1), qRgb(255, 255, 255));
    {
        QPainter p(&target);
        dib.DrawStretched(p, QRect(0, 0, 8, 8));
    }
    EXPECT_EQ(target.pixel(7, 0), qRgb(20, 200, 20));
}

}  // namespace
