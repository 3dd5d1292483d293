#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "device_root.h"
#include "fs/devfs.h"
#include "fs/file_writer.h"

namespace {
namespace fs = std::filesystem;

class DevFsTest : public testsupport::DeviceTest {
protected:
    void touch(const fs::path& p) {
        fs::create_directories(p.parent_path());
        std::ofstream(p) << "x";
    }
};

TEST_F(DevFsTest, RootsFollowTheEnvironmentOnEveryCall) {
    EXPECT_EQ(devfs::objectStoreFile(), roots.device() / "objectstore.db");
    EXPECT_EQ(devfs::desktopRegistryFile(), roots.desktop() / "registry.db");

    unsetenv("QUORIN_DEVICE");
    const char* oldXdg = getenv("XDG_DATA_HOME");
    std::string saved = oldXdg ? oldXdg : "";
    setenv("XDG_DATA_HOME", "/xdg", 1);
    EXPECT_EQ(devfs::deviceRoot(), fs::path("/xdg/quorin/device"));
    oldXdg ? setenv("XDG_DATA_HOME", saved.c_str(), 1) : unsetenv("XDG_DATA_HOME");
    setenv("QUORIN_DEVICE", roots.device().c_str(), 1);
}

TEST_F(DevFsTest, DevicePathsMapIntoTheRootAndNeverLeaveIt) {
    const fs::path root = roots.device();
    EXPECT_EQ(devfs::toHost(devfs::modulePath()), root / "Program Files" / "Quorin" / "Quorin.exe");
    EXPECT_EQ(devfs::toHost(u"RoughSketch/blank.jg"), root / "RoughSketch" / "blank.jg");
    EXPECT_EQ(devfs::toHost(u"\\"), root);
    EXPECT_EQ(devfs::toHost(u"\\스케치\\약도.bmp"), root / "스케치" / "약도.bmp");

    for (std::u16string escape :
         {u"..\\..\\etc\\passwd", u"\\a\\..\\..\\..\\etc", u"/../x", u"a\\.\\..\\b"}) {
        fs::path host = devfs::toHost(escape);
        auto rel = host.lexically_relative(root);
        EXPECT_FALSE(rel.empty() || *rel.begin() == "..") << host;
        EXPECT_EQ(host.lexically_normal(), host);
    }
    // A device call reads its path as a C string: nothing after a zero counts.
    EXPECT_EQ(devfs::toHost(std::u16string(u"a\\b\0\\..\\..\\c", 12)), root / "a" / "b");

    EXPECT_EQ(devfs::folderOf(devfs::modulePath()), u"\\Program Files\\Quorin");
    EXPECT_EQ(devfs::folderOf(u"\\top.txt"), u"");
}

TEST_F(DevFsTest, PatternsIgnoreCaseAndBacktrack) {
    EXPECT_TRUE(devfs::matchPattern(u"a.bmp", u"*.BMP"));
    EXPECT_TRUE(devfs::matchPattern(u"약도.JPG", u"*.jpg"));
    EXPECT_TRUE(devfs::matchPattern(u"ÄRGER.txt", u"ärger.*"));
    EXPECT_TRUE(devfs::matchPattern(u"abXbc", u"a*b*c"));
    EXPECT_TRUE(devfs::matchPattern(u"README", u"*.*"));
    EXPECT_TRUE(devfs::matchPattern(u"", u"*"));
    EXPECT_FALSE(devfs::matchPattern(u"", u"?"));
    EXPECT_FALSE(devfs::matchPattern(u"a.bmp.txt", u"*.bmp"));
    EXPECT_FALSE(devfs::matchPattern(u"ab", u"a?b"));
    // "?" is one character, also outside the basic plane.
    EXPECT_TRUE(devfs::matchPattern(u"x\U0001F600y", u"x?y"));
    // Would take exponential time with naive backtracking.
    std::u16string many(4000, u'a');
    EXPECT_FALSE(devfs::matchPattern(many, u"*a*a*a*a*a*a*a*a*b"));
}

TEST_F(DevFsTest, FindFilesListsMatchingFilesSorted) {
    const fs::path dir = devfs::toHost(u"\\Program Files\\Quorin\\RoughSketch");
    for (const char* name : {"b.BMP", "a.bmp", "C.bmp", "a.bmp.txt", "x.jpg", "약도.bmp"}) {
        touch(dir / name);
    }
    fs::create_directories(dir / "folder.bmp");
    touch(dir / "\xff\xfe.bmp");  // not UTF-8: no device name for it

    const std::u16string folder = u"\\Program Files\\Quorin\\RoughSketch";
    EXPECT_EQ(devfs::findFiles(folder, u"*.BMP"),
              (std::vector<std::u16string>{u"a.bmp", u"b.BMP", u"C.bmp", u"약도.bmp"}));
    EXPECT_EQ(devfs::findFiles(folder, u"?.jpg"), std::vector<std::u16string>{u"x.jpg"});
    EXPECT_TRUE(devfs::findFiles(folder, u"").empty());
    EXPECT_TRUE(devfs::findFiles(u"\\nowhere", u"*").empty());
    // A pattern cannot reach into another folder.
    touch(roots.device() / "secret.bmp");
    EXPECT_TRUE(devfs::findFiles(folder, u"..\\*.bmp").empty());
}

TEST_F(DevFsTest, CreateFolderMakesParents) {
    EXPECT_TRUE(devfs::createFolder(u"\\Program Files\\Quorin\\RoughSketch"));
    EXPECT_TRUE(fs::is_directory(roots.device() / "Program Files" / "Quorin" / "RoughSketch"));
    EXPECT_TRUE(devfs::createFolder(u"\\Program Files\\Quorin\\RoughSketch"));
    touch(roots.device() / "file");
    EXPECT_FALSE(devfs::createFolder(u"\\file\\sub"));

    // Armed failures, for the screens' "cannot make the folder" branches.
    devfs::faults::arm(devfs::faults::Op::CreateFolder);
    EXPECT_FALSE(devfs::createFolder(u"\\Other"));
    EXPECT_FALSE(fs::exists(roots.device() / "Other"));
    EXPECT_TRUE(devfs::createFolder(u"\\Other"));
    touch(roots.device() / "Other" / "a.bmp");
    devfs::faults::arm(devfs::faults::Op::FindFiles, -1);
    EXPECT_TRUE(devfs::findFiles(u"\\Other", u"*.bmp").empty());
    EXPECT_TRUE(devfs::findFiles(u"\\Other", u"*.bmp").empty());
    devfs::faults::clear();
    EXPECT_EQ(devfs::findFiles(u"\\Other", u"*.bmp").size(), 1u);
}

TEST_F(DevFsTest, AFileNamedToTheHostsLimitIsWrittenWholeAndOnlyRegularFilesOpen) {
    const fs::path dir = roots.device() / "d";
    fs::create_directories(dir);
    ASSERT_EQ(devfs::maxNameBytes(dir), 255u);
    EXPECT_EQ(devfs::maxNameBytes(dir / "not" / "yet"), 255u) << "asked of the nearest parent";
    // 84 three-byte characters and ".bmp": 256 bytes, one too many; 83 and ".jpg" fit, and so
    // must the temporary file the writer makes beside it.
    std::string name;
    for (int i = 0; i < 83; ++i) name += "\xEA\xB8\xB8";
    for (const std::string& file : {name + ".jpg", std::string(255, 'a')}) {
        devfs::FileWriter writer(dir / file);
        ASSERT_TRUE(writer.ok()) << file.size();
        ASSERT_TRUE(writer.write("data", 4));
        ASSERT_TRUE(writer.commit());
        EXPECT_EQ(fs::file_size(dir / file), 4u);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);

    // A pipe, a folder and a device fail at once. Should the open wait on the pipe, a watchdog
    // opens its other end after a while: the test then fails instead of hanging.
    const fs::path pipe = dir / "pipe.jpg";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    fs::create_directories(dir / "folder.bmp");
    testsupport::PipeWatchdog watchdog({pipe});
    for (const fs::path& p : {pipe, dir / "folder.bmp", fs::path("/dev/zero"), dir / "none"}) {
        EXPECT_EQ(devfs::openRegularFile(p), -1) << p;
    }
    EXPECT_FALSE(watchdog.stop()) << "the open waited on the pipe";
    const int fd = devfs::openRegularFile(dir / (name + ".jpg"));
    ASSERT_GE(fd, 0);
    char buffer[8];
    EXPECT_EQ(::read(fd, buffer, sizeof buffer), 4);
    ::close(fd);
}

TEST(Utf, RoundTripAndRepairsMalformedInput) {
    std::u16string text = u"홍길동 Kim \U0001F600";
    EXPECT_EQ(devfs::fromUtf8(devfs::toUtf8(text)), text);
    EXPECT_EQ(devfs::toUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(devfs::fromUtf8("a\xC0\xAF\x62"), u"a\uFFFDb");  // overlong "/"
    EXPECT_EQ(devfs::fromUtf8("\xE2\x82\x61"), u"\uFFFDa");    // cut short
    EXPECT_EQ(devfs::upperCase(u"quorin ä ω 한"), u"QUORIN Ä Ω 한");
}

}  // namespace
