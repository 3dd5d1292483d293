// Draws one set of the program's bitmaps into PNG files and writes the resource collection
// that compiles them in:  artgen <artwork|today_artwork> <output folder>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QSaveFile>
#include <QTextStream>
#include <cstdio>
#include <set>

#include "paint.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: artgen <artwork|today_artwork> <output folder>\n");
        return 2;
    }
    // No display at build time, and no session either: keep the build log free of the
    // missing-runtime-folder notice.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtWarningMsg && text.startsWith(u"QStandardPaths:")) return;
        std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    QGuiApplication app(argc, argv);

    const QString set = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    art::PictureTable table;
    if (set == u"artwork") {
        table = art::programPictures();
    } else if (set == u"today_artwork") {
        table = art::todayPictures();
    } else {
        std::fprintf(stderr, "artgen: unknown set %s\n", argv[1]);
        return 2;
    }
    // Without the font the labels would come out in whatever face is found.
    if (!QFontDatabase::families().contains(QStringLiteral("NanumGothic"))) {
        std::fprintf(stderr, "artgen: the NanumGothic font is not installed (fonts-nanum)\n");
        return 1;
    }
    if (!QDir().mkpath(out + QStringLiteral("/bitmaps"))) {
        std::fprintf(stderr, "artgen: cannot create %s/bitmaps\n", argv[2]);
        return 1;
    }

    std::set<int> seen;
    QString qrc;
    QTextStream xml(&qrc);
    xml << "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/\">\n";
    for (const art::Picture& picture : table) {
        if (!seen.insert(picture.id).second) {
            std::fprintf(stderr, "artgen: bitmap %d drawn twice\n", picture.id);
            return 1;
        }
        QImage image(picture.size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            picture.draw(painter, QRectF(QPointF(0, 0), QSizeF(picture.size)));
        }
        const QString name = QStringLiteral("bitmaps/%1.png").arg(picture.id);
        if (!image.save(out + u'/' + name, "PNG")) {
            std::fprintf(stderr, "artgen: cannot write %s\n", qPrintable(name));
            return 1;
        }
        xml << "  <file>" << name << "</file>\n";
    }
    xml << "</qresource>\n</RCC>\n";

    // Written last and whole: the resource compiler runs whenever this file changes.
    QSaveFile file(out + u'/' + set + QStringLiteral(".qrc"));
    if (!file.open(QIODevice::WriteOnly) || file.write(qrc.toUtf8()) < 0 || !file.commit()) {
        std::fprintf(stderr, "artgen: cannot write the resource collection\n");
        return 1;
    }
    return 0;
}
