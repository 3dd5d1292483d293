// Sketch files: opening and saving a 640 x 480 sketch in each format, the sketch library over
// 5000 files, and crafted files refused. Yardsticks from the same run: reading and durably
// writing the same bytes as plain files, and the folder scan alone.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fs/devfs.h"
#include "shell/message_box.h"
#include "sketch/dib_image.h"
#include "sketch/jpeg_codec.h"
#include "sketch/sketch_list_dlg.h"
#include "sketch/sketch_paths.h"

namespace {

namespace stdfs = std::filesystem;

// A sketch as people draw them: white with lines and a few blocks of colour.
QImage sketchPicture() {
    QImage image(640, 480, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            if (x % 40 == 0 || y % 30 == 0 || (x - y) % 97 == 0) image.setPixel(x, y, qRgb(0, 0, 0));
            if (x > 300 && x < 380 && y > 200 && y < 260) image.setPixel(x, y, qRgb(30, 90, 200));
        }
    }
    return image;
}

std::vector<uint8_t> readAll(const stdfs::path& path) {
    std::vector<uint8_t> bytes(stdfs::file_size(path));
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return {};
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    return bytes;
}

long maxRssKib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Files {
    stdfs::path folder = sketch::HostPath(sketch::SketchFolder());
    stdfs::path bmp = folder / "bench.bmp";
    stdfs::path jpg = folder / "bench.jpg";
    QImage picture = sketchPicture();
    CDibImage dib;

    static Files& get() {
        static Files* files = new Files;
        return *files;
    }
    Files() {
        stdfs::create_directories(folder);
        dib.CreateFromImage(picture);
        dib.WriteBMP(bmp);
        sketch::WriteJpeg(jpg, picture);
    }
};

void BM_OpenBmp640(benchmark::State& state) {
    Files& f = Files::get();
    for (auto _ : state) {
        CDibImage dib;
        dib.ReadBMP(f.bmp);
        benchmark::DoNotOptimize(dib.toImage());
    }
}
BENCHMARK(BM_OpenBmp640)->Unit(benchmark::kMillisecond);

void BM_SaveBmp640(benchmark::State& state) {
    Files& f = Files::get();
    QImage drawn = f.picture;
    drawn.setPixel(5, 5, qRgb(0, 0, 0));
    for (auto _ : state) {
        f.dib.updateFrom(drawn);
        f.dib.WriteBMP(f.folder / "saved.bmp");
    }
}
BENCHMARK(BM_SaveBmp640)->Unit(benchmark::kMillisecond);

void BM_OpenJpeg640(benchmark::State& state) {
    Files& f = Files::get();
    for (auto _ : state) {
        QImage image;
        sketch::ReadJpeg(f.jpg, image, sketch::DctMethod::Fast);
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_OpenJpeg640)->Unit(benchmark::kMillisecond);

void BM_SaveJpeg640(benchmark::State& state) {
    Files& f = Files::get();
    for (auto _ : state) sketch::WriteJpeg(f.folder / "saved.jpg", f.picture);
}
BENCHMARK(BM_SaveJpeg640)->Unit(benchmark::kMillisecond);

// Yardstick: the BMP's bytes read as a plain file, and written and flushed to disk.
void BM_Yardstick_ReadFileBytes(benchmark::State& state) {
    Files& f = Files::get();
    for (auto _ : state) benchmark::DoNotOptimize(readAll(f.bmp));
}
BENCHMARK(BM_Yardstick_ReadFileBytes)->Unit(benchmark::kMillisecond);

void BM_Yardstick_WriteFileBytesDurably(benchmark::State& state) {
    Files& f = Files::get();
    const std::vector<uint8_t> bytes = readAll(f.bmp);
    const stdfs::path path = f.folder / "plain.bin";
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        benchmark::DoNotOptimize(::write(fd, bytes.data(), bytes.size()));
        ::fsync(fd);
        ::close(fd);
    }
}
BENCHMARK(BM_Yardstick_WriteFileBytesDurably)->Unit(benchmark::kMillisecond);

class QuietResponder : public shell::MessageResponder {
public:
    int ask(QWidget*, const QString&, const QString&, shell::Buttons, shell::Icon) override {
        return shell::IDOK;
    }
};

// The library over 5000 sketch files (2500 of each kind).
struct Library {
    Library() {
        const stdfs::path folder = Files::get().folder;
        for (int i = 0; i < 2500; ++i) {
            std::ofstream(folder / ("map" + std::to_string(i) + ".bmp")).put('x');
            std::ofstream(folder / ("walk" + std::to_string(i) + ".jpg")).put('x');
        }
    }
    static Library& get() {
        static Library* library = new Library;
        return *library;
    }
};

void BM_LibraryList5000(benchmark::State& state) {
    Library::get();
    sketch::CSketchListDlg dlg;
    for (auto _ : state) dlg.FillList();
    state.counters["rows"] = double(dlg.names().size());
}
BENCHMARK(BM_LibraryList5000)->Unit(benchmark::kMillisecond);

void BM_Yardstick_FolderScan5000(benchmark::State& state) {
    Library::get();
    const std::u16string folder = sketch::SketchFolder().toStdU16String();
    for (auto _ : state) {
        benchmark::DoNotOptimize(devfs::findFiles(folder, u"*.bmp"));
        benchmark::DoNotOptimize(devfs::findFiles(folder, u"*.jpg"));
    }
}
BENCHMARK(BM_Yardstick_FolderScan5000)->Unit(benchmark::kMillisecond);

// A BMP that declares 16000 x 1000 pixels of 24 bits (48 MB) in a 100-byte file, and a JPEG
// that declares 65535 x 65535: both refused from their headers.
void BM_RefuseCraftedBmp(benchmark::State& state) {
    const stdfs::path path = Files::get().folder / "crafted.bmp";
    {
        std::vector<uint8_t> bytes = Files::get().dib.FileBytes();
        bytes.resize(100);
        bytes[18] = uint8_t(16000 & 0xFF);
        bytes[19] = uint8_t(16000 >> 8);
        bytes[22] = uint8_t(1000 & 0xFF);
        bytes[23] = uint8_t(1000 >> 8);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), 100);
    }
    const long before = maxRssKib();
    for (auto _ : state) {
        CDibImage dib;
        benchmark::DoNotOptimize(dib.ReadBMP(path));
    }
    state.counters["peak_rss_growth_kib"] = double(maxRssKib() - before);
}
BENCHMARK(BM_RefuseCraftedBmp)->Unit(benchmark::kMicrosecond);

void BM_RefuseCraftedJpeg(benchmark::State& state) {
    const stdfs::path path = Files::get().folder / "crafted.jpg";
    std::vector<uint8_t> bytes = readAll(Files::get().jpg);
    for (size_t i = 2; i + 9 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            bytes[i + 5] = bytes[i + 6] = bytes[i + 7] = bytes[i + 8] = 0xFF;
            break;
        }
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                std::streamsize(bytes.size()));
    const long before = maxRssKib();
    for (auto _ : state) {
        QImage image;
        benchmark::DoNotOptimize(sketch::ReadJpeg(path, image).result);
    }
    state.counters["peak_rss_growth_kib"] = double(maxRssKib() - before);
}
BENCHMARK(BM_RefuseCraftedJpeg)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    char root[] = "/tmp/quorin-sketch-bench-XXXXXX";
    if (!mkdtemp(root)) return 1;
    setenv("QUORIN_DEVICE", root, 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QuietResponder quiet;
    shell::setMessageResponder(&quiet);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    shell::setMessageResponder(nullptr);
    std::error_code ec;
    stdfs::remove_all(root, ec);
    return 0;
}
