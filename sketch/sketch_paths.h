// Where sketches live and how their names are judged: the sketch folder beside the program,
// the format a name reads and saves as, and which names a new sketch may take.
#pragma once

#include <QString>
#include <filesystem>

namespace sketch {

// The format of a sketch (the canvas's WM_SKETCH_FORMAT values).
enum class SketchFormat : int { None = 0, Bmp = 1, Jpeg = 2 };

// The program folder: the module path up to the first "\Quorin.exe" ("\Program Files\Quorin").
QString ProgramFolder();
// "<program folder>\RoughSketch".
QString SketchFolder();
// "<sketch folder>\<name>".
QString SketchPath(const QString& fileName);
// The blank picture a new sketch starts from: "<sketch folder>\blank.jg".
QString BlankPicturePath();
// Writes the blank picture, a white 640 x 480 JPEG, into the sketch folder (made if missing)
// unless one is there. False when it was missing and could not be written.
bool InstallBlankPicture();
// A device path on the host.
std::filesystem::path HostPath(const QString& devicePath);

// Reading: ".jpg", ".jpeg" and ".jg" in any case are JPEG, anything else a BMP.
bool ReadsAsJpeg(const QString& path);
// Saving to a known path: ".bmp" in any case is a BMP, anything else a JPEG.
SketchFormat SaveFormatOf(const QString& path);

// The longest sketch file name an appointment can hold, extension included.
int MaxSketchFileName();
// Why a name typed for a new sketch cannot be used, or an empty text when it can. `extension`
// is the one the file will get (".jpg", ".bmp"). A name that passes fits the appointment's
// field and the host's limit on the bytes of a file name, so it can be saved.
QString SketchNameProblem(const QString& name, const QString& extension);

}  // namespace sketch
