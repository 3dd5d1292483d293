// quorin-sync: back up the handheld's records into the desktop's backup file, restore them,
// show the store's options, tell what a backup would send, or export the records as vCard and
// iCalendar files.
#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "dav_command.h"
#include "export_command.h"
#include "sync_service.h"

namespace {

int usage() {
    std::cerr
        << "usage: quorin-sync [--device DIR] [--desktop DIR] [--handrepl LIB] [--deskrepl LIB]"
           " [--wait SECONDS] backup|restore|options|status\n"
           "       quorin-sync [--device DIR] export [--contacts FILE.vcf] [--calendar FILE.ics]"
           " [--rscale]\n"
           "       quorin-sync dav --url URL [--user NAME] [--password-file FILE] ...\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (quorinsync::isDavCommand(argc, argv))
        return quorinsync::davCommand(argc, argv, std::cout, std::cerr);
    const std::filesystem::path here =
        std::filesystem::read_symlink("/proc/self/exe").parent_path();
    quorinsync::Paths paths{(here / "libhandrepl.so").string(), (here / "libdeskrepl.so").string()};
    std::string command;
    quorinsync::ExportRequest exportRequest;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--device" || a == "--desktop" || a == "--handrepl" || a == "--deskrepl" ||
             a == "--wait") &&
            i + 1 < argc) {
            const std::string v = argv[++i];
            if (a == "--wait") {
                char* end = nullptr;
                const double seconds = std::strtod(v.c_str(), &end);
                if (end == v.c_str() || *end || !(seconds >= 0 && seconds <= 3600)) return usage();
                paths.waitMs = int(seconds * 1000);
            }
            if (a == "--device") setenv("QUORIN_DEVICE", v.c_str(), 1);
            if (a == "--desktop") setenv("QUORIN_DESKTOP", v.c_str(), 1);
            if (a == "--handrepl") paths.handrepl = v;
            if (a == "--deskrepl") paths.deskrepl = v;
        } else if ((a == "--contacts" || a == "--calendar") && i + 1 < argc && argv[i + 1][0]) {
            (a == "--contacts" ? exportRequest.contacts : exportRequest.calendar) = argv[++i];
        } else if (a == "--rscale") {
            exportRequest.rscale = true;
        } else if (command.empty() && a[0] != '-') {
            command = a;
        } else {
            return usage();
        }
    }
    quorinsync::Counts counts;
    if (command == "backup" || command == "restore") {
        const int rc = command == "backup" ? quorinsync::backup(paths, counts, std::cerr)
                                           : quorinsync::restore(paths, counts, std::cerr);
        std::cout << "added " << counts.added << "\nchanged " << counts.changed << "\ndeleted "
                  << counts.deleted << "\n";
        return rc;
    }
    if (command == "status") {
        const int rc = quorinsync::status(paths, counts, std::cerr);
        if (rc == 0)
            std::cout << "added " << counts.added << "\nchanged " << counts.changed << "\ndeleted "
                      << counts.deleted << "\n";
        return rc;
    }
    if (command == "export") {
        if (exportRequest.contacts.empty() && exportRequest.calendar.empty()) return usage();
        return quorinsync::exportRecords(exportRequest, std::cout, std::cerr);
    }
    if (command == "options") {
        QApplication app(argc, argv);
        return quorinsync::options(paths, std::cerr);
    }
    return usage();
}
