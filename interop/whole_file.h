// Writing a file so that a reader finds either its old contents or the whole new ones.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace interop {

// Writes `bytes` into a temporary file beside `path` (given `mode`), flushes it to disk and
// renames it over `path`, the folder flushed after. False, with "<path> cannot be written:
// <reason>" in `error` and `path` untouched, when any step fails.
bool writeWholeFile(const std::filesystem::path& path, std::string_view bytes, mode_t mode,
                    std::string& error);

}  // namespace interop
