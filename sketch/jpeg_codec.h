// JPEG sketches through the IJG 6b interface (library version 62). A picture is held as a
// 32-bit RGB QImage, top row first; rows are moved one at a time between it and the codec.
//
// The library reports through an error manager that collects its messages instead of
// showing them; the caller shows them once the library call has returned (ShowJpegMessages).
#pragma once

#include <QImage>
#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <span>

class QWidget;

namespace sketch {

enum class DctMethod { Fast, LibraryDefault };

struct JpegOutcome {
    int result = -1;       // 1 on success, -1 when the file could not be opened or the library failed
    QStringList messages;  // the library's messages: its first warning and its error, if any
    int error = 0;         // errno of a failed write, 0 otherwise
};

// Limits on a picture read: a side and the pixels of the whole picture. A file that declares
// more is refused after its header, before anything of its size is allocated.
inline constexpr int kMaxJpegSide = 16384;
inline constexpr int64_t kMaxJpegPixels = 16 * 1024 * 1024;

// Reads a JPEG file (host path) into `picture`. Greyscale pictures come out grey, CMYK and
// YCCK pictures are converted to RGB; a file whose data ends early gives the rows decoded so
// far (the rest grey) with the library's warning. On failure `picture` is unchanged.
JpegOutcome ReadJpeg(const std::filesystem::path& path, QImage& picture,
                     DctMethod dct = DctMethod::Fast);
JpegOutcome ReadJpeg(std::span<const uint8_t> bytes, QImage& picture,
                     DctMethod dct = DctMethod::Fast);

// Writes `picture` as a JPEG file at quality 99 with baseline tables and the fast integer
// DCT. The old file is replaced only once the new one is complete.
JpegOutcome WriteJpeg(const std::filesystem::path& path, const QImage& picture);
// The JPEG bytes WriteJpeg would write (result -1 and no bytes on failure).
JpegOutcome EncodeJpeg(const QImage& picture, std::vector<uint8_t>& bytes);

// Shows each library message in a box captioned "JPEG Library Error" with the stop icon.
void ShowJpegMessages(QWidget* parent, const QStringList& messages);

}  // namespace sketch
