// Puts the built programs into a device root: "\Program Files\Quorin\Quorin.exe" becomes a
// link to the built Quorin, the Today item library sits beside it, and the sketch folder gets
// its blank picture. Run from the build's bin folder; the device root is the usual one
// ($QUORIN_DEVICE or the default).
#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "fs/devfs.h"
#include "sketch/sketch_paths.h"

namespace stdfs = std::filesystem;

static bool link(const stdfs::path& target, const stdfs::path& at) {
    std::error_code ec;
    stdfs::create_directories(at.parent_path(), ec);
    stdfs::remove(at, ec);
    stdfs::create_symlink(target, at, ec);
    if (ec) std::cerr << "quorin-install: cannot link " << at << ": " << ec.message() << "\n";
    return !ec;
}

int main(int, char** argv) {
    std::error_code ec;
    stdfs::path bin = stdfs::canonical("/proc/self/exe", ec).parent_path();
    if (ec) bin = stdfs::absolute(argv[0]).parent_path();
    stdfs::path exe = devfs::toHost(devfs::modulePath());
    if (!stdfs::exists(bin / "Quorin")) {
        std::cerr << "quorin-install: no Quorin beside " << bin << ": build it first\n";
        return 1;
    }
    bool ok = link(bin / "Quorin", exe);
    if (stdfs::exists(bin / "libQuorinToday.so")) {
        ok &= link(bin / "libQuorinToday.so", exe.parent_path() / "QuorinToday.dll");
    }
    // A new sketch starts from the blank picture in the sketch folder.
    if (!sketch::InstallBlankPicture()) {
        std::cerr << "quorin-install: cannot write the blank sketch picture\n";
        ok = false;
    }
    std::cout << "Device root: " << devfs::deviceRoot().string() << "\n";
    return ok ? 0 : 1;
}
