// quorin-sync: back up the handheld's records into the desktop's backup file, restore them,
// show the store's options, tell what a backup would send, or export the records as vCard and
// iCalendar files.
#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
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

// The options that take a value, and which commands take them.
enum class For { Sync, Dav, Both };
const std::map<std::string, For> kValueOptions{
    {"--device", For::Both},       {"--desktop", For::Both},     {"--handrepl", For::Sync},
    {"--deskrepl", For::Sync},     {"--wait", For::Sync},        {"--contacts", For::Sync},
    {"--calendar", For::Sync},     {"--url", For::Dav},          {"--user", For::Dav},
    {"--password-file", For::Dav}, {"--calendar-url", For::Dav}, {"--addressbook-url", For::Dav},
    {"--ca-file", For::Dav},
};
// These may be given with an empty value (the default place).
const std::set<std::string> kMayBeEmpty{"--device", "--desktop", "--handrepl", "--deskrepl",
                                        "--wait"};

}  // namespace

int main(int argc, char** argv) {
    std::string command;
    std::map<std::string, std::string> values;
    bool rscale = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--password" || a.rfind("--password=", 0) == 0) {
            std::cerr << "quorin-sync: a password is never taken from the command line; give"
                         " --password-file with a file only you can read\n";
            return 2;
        }
        if (kValueOptions.count(a)) {
            if (i + 1 >= argc || (!argv[i + 1][0] && !kMayBeEmpty.count(a))) return usage();
            values[a] = argv[++i];
        } else if (a == "--rscale") {
            rscale = true;
        } else if (command.empty() && a[0] != '-') {
            command = a;
        } else {
            return usage();
        }
    }
    const bool dav = command == "dav";
    for (const auto& [option, value] : values)
        if (kValueOptions.at(option) != For::Both && (kValueOptions.at(option) == For::Dav) != dav)
            return usage();
    if (values.count("--device")) setenv("QUORIN_DEVICE", values["--device"].c_str(), 1);
    if (values.count("--desktop")) setenv("QUORIN_DESKTOP", values["--desktop"].c_str(), 1);
    if (dav) {
        const quorinsync::DavRequest request{values["--url"],
                                             values["--user"],
                                             values["--password-file"],
                                             values["--calendar-url"],
                                             values["--addressbook-url"],
                                             values["--ca-file"],
                                             rscale};
        return quorinsync::davCommand(request, std::cout, std::cerr);
    }

    const std::filesystem::path here =
        std::filesystem::read_symlink("/proc/self/exe").parent_path();
    quorinsync::Paths paths{(here / "libhandrepl.so").string(), (here / "libdeskrepl.so").string()};
    if (values.count("--handrepl")) paths.handrepl = values["--handrepl"];
    if (values.count("--deskrepl")) paths.deskrepl = values["--deskrepl"];
    if (values.count("--wait")) {
        const std::string& v = values["--wait"];
        char* end = nullptr;
        const double seconds = std::strtod(v.c_str(), &end);
        if (end == v.c_str() || *end || !(seconds >= 0 && seconds <= 3600)) return usage();
        paths.waitMs = int(seconds * 1000);
    }
    const quorinsync::ExportRequest exportRequest{values["--contacts"], values["--calendar"],
                                                  rscale};
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
