#include "sketch/sketch_paths.h"

#include <QImage>

#include "fs/devfs.h"
#include "sketch/jpeg_codec.h"
#include "store/record_image.h"

namespace sketch {

QString ProgramFolder() {
    const QString module = QString::fromStdU16String(devfs::modulePath());
    const int at = module.indexOf(QStringLiteral("\\Quorin.exe"));
    return at < 0 ? module : module.left(at);
}

QString SketchFolder() {
    return ProgramFolder() + QStringLiteral("\\RoughSketch");
}

QString SketchPath(const QString& fileName) {
    return SketchFolder() + u'\\' + fileName;
}

QString BlankPicturePath() {
    return SketchPath(QStringLiteral("blank.jg"));
}

bool InstallBlankPicture() {
    const std::filesystem::path blank = HostPath(BlankPicturePath());
    std::error_code ec;
    if (std::filesystem::exists(blank, ec)) return true;
    if (!devfs::createFolder(SketchFolder().toStdU16String())) return false;
    QImage white(640, 480, QImage::Format_RGB32);
    white.fill(Qt::white);
    return WriteJpeg(blank, white).result == 1;
}

std::filesystem::path HostPath(const QString& devicePath) {
    return devfs::toHost(devicePath.toStdU16String());
}

bool ReadsAsJpeg(const QString& path) {
    // By extension, not by the last letter alone: "photo.png" is no JPEG.
    for (const char* extension : {".jpg", ".jpeg", ".jg"}) {
        if (path.endsWith(QLatin1String(extension), Qt::CaseInsensitive)) return true;
    }
    return false;
}

SketchFormat SaveFormatOf(const QString& path) {
    return path.endsWith(QStringLiteral("bmp"), Qt::CaseInsensitive) ? SketchFormat::Bmp
                                                                     : SketchFormat::Jpeg;
}

int MaxSketchFileName() {
    return fieldLimit(PropSketchName);
}

QString SketchNameProblem(const QString& name, const QString& extension) {
    if (name.trimmed().isEmpty()) return QStringLiteral("파일 이름을 입력하여 주십시오..");
    for (QChar c : name) {
        // Separators would put the file elsewhere; the rest are not allowed in device names.
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("\\/:*?\"<>|").contains(c))
            return QStringLiteral(
                "파일 이름에 \\ / : * ? \" < > | 등의 문자를 사용하실수 없습니다.");
    }
    if (name.endsWith(u'.') || name.endsWith(u' '))
        return QStringLiteral("파일 이름은 < . > 이나 빈칸으로 끝날 수 없습니다.");
    // The record holds UTF-16 units, the host's folder takes bytes of UTF-8: 85 Hangul
    // characters fit the one and not the other.
    const QString file = name + extension;
    if (file.size() > MaxSketchFileName() ||
        devfs::toUtf8(file.toStdU16String()).size() > devfs::maxNameBytes(HostPath(SketchFolder())))
        return QStringLiteral("파일 이름이 너무 깁니다..");
    return {};
}

}  // namespace sketch
