// Device paths. The handheld's own paths are Windows-style ("\Program Files\Quorin\Quorin.exe")
// and are mapped into the device root here; nothing else knows where the root is.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace devfs {

// $QUORIN_DEVICE, or $XDG_DATA_HOME/quorin/device (~/.local/share/quorin/device).
std::filesystem::path deviceRoot();
// $QUORIN_DESKTOP, or $XDG_DATA_HOME/quorin/desktop.
std::filesystem::path desktopRoot();

// The object store file (databases and the handheld registry) in the device root.
std::filesystem::path objectStoreFile();
// The desktop registry file in the desktop root.
std::filesystem::path desktopRegistryFile();

// "\Program Files\Quorin\Quorin.exe": where the program lives on the device.
std::u16string modulePath();
// The folder of a device path, without the trailing "\" ("\Program Files\Quorin").
std::u16string folderOf(const std::u16string& devicePath);

// Maps a device path ("\a\b" or "a\b", "\" or "/" separators) to a host path in the device
// root. ".." components are dropped, so a device path never leaves the root.
std::filesystem::path toHost(const std::u16string& devicePath);

// The names (not paths) of the files in a device folder that match a pattern with "*" and "?"
// (case-insensitive, as on the device), sorted.
std::vector<std::u16string> findFiles(const std::u16string& deviceFolder,
                                      const std::u16string& pattern);
// Creates a device folder and its parents; true when it exists afterwards.
bool createFolder(const std::u16string& deviceFolder);

// Opens a host file for reading and returns its descriptor, or -1. Only a regular file opens:
// a named pipe would block the caller until something writes to it, and a device or a folder
// is no file to read, so they fail at once (errno EINVAL) as a missing file does.
// `size`, when given, gets the file's size.
int openRegularFile(const std::filesystem::path& hostPath, uint64_t* size = nullptr);
// The first `maxBytes` bytes of a regular file (all of a shorter one; what a failing read left
// out is missing), opened as above; nullopt when it does not open. `size`, when given, gets the
// file's whole size, so a caller can tell a file longer than it read.
std::optional<std::string> readRegularFile(const std::filesystem::path& hostPath, size_t maxBytes,
                                           uint64_t* size = nullptr);
// The longest file name, in bytes, that the host takes in `hostFolder` (or, while the folder
// does not exist yet, in its nearest existing parent); 255 when the host cannot tell.
size_t maxNameBytes(const std::filesystem::path& hostFolder);

// Whether a name matches a pattern of "*" (any run) and "?" (one character), ignoring case.
// "*.*" matches every name, as on the device.
bool matchPattern(std::u16string_view name, std::u16string_view pattern);

// Device texts are UTF-16, host names UTF-8. A lone surrogate or a malformed byte sequence
// becomes U+FFFD.
std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);
// The text with every character upper-cased (full Unicode, one character at a time): the form
// in which device names compare case-insensitively.
std::u16string upperCase(std::u16string_view text);

// Failures on command, for tests: the next `times` matching calls fail (-1: until clear()).
namespace faults {
enum class Op { FindFiles, CreateFolder };
void arm(Op op, int times = 1);
void clear();
}  // namespace faults

}  // namespace devfs
