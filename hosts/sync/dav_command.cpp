#include "dav_command.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "desk/desk.h"
#include "interop/dav/push.h"
#include "interop/exported_objects.h"
#include "store/record_store.h"
#include "sync_state.h"

namespace quorinsync {

namespace {

constexpr char kUsage[] =
    "usage: quorin-sync dav --url URL [--user NAME] [--password-file FILE]"
    " [--calendar-url URL] [--addressbook-url URL] [--ca-file FILE] [--rscale]"
    " [--device DIR] [--desktop DIR]\n";

bool isHttpUrl(const std::string& url) {
    const size_t scheme = url.rfind("https://", 0) == 0 ? 8 : url.rfind("http://", 0) == 0 ? 7 : 0;
    if (!scheme || url.size() == scheme) return false;
    // A password inside the URL would be on the command line.
    const std::string authority = url.substr(scheme, url.find('/', scheme) - scheme);
    return authority.find('@') == std::string::npos;
}

// 0 when the request is whole and its addresses are right, else 2 after saying why.
int check(const DavRequest& r, std::ostream& err) {
    if (r.url.empty()) return err << kUsage, 2;
    if (!r.passwordFile.empty() && r.user.empty()) {
        err << "quorin-sync: --password-file needs --user\n";
        return 2;
    }
    for (const std::string* u : {&r.url, &r.calendarUrl, &r.addressbookUrl})
        if (!u->empty() && !isHttpUrl(*u)) {
            err << "quorin-sync: " << *u
                << " is not an http:// or https:// URL (without a user or password in it)\n";
            return 2;
        }
    return 0;
}

// The first line of the password file, which only its owner may read.
bool readPassword(const std::string& file, std::string& password, std::ostream& err) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        err << "quorin-sync: the password file " << file
            << " cannot be read: " << std::strerror(errno) << "\n";
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok || !S_ISREG(st.st_mode)) {
        err << "quorin-sync: the password file " << file << " is not a regular file\n";
    } else if ((st.st_mode & 077) != 0 || st.st_uid != ::geteuid()) {
        err << "quorin-sync: the password file " << file
            << " may be read by others; make it yours and readable by you only (chmod 600)\n";
        ok = false;
    } else {
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        ok = n >= 0;
        if (!ok)
            err << "quorin-sync: the password file " << file << " cannot be read\n";
        else
            password.assign(buffer, size_t(n));
        const size_t end = password.find_first_of("\r\n");
        if (end != std::string::npos) password.resize(end);
    }
    ::close(fd);
    return ok && S_ISREG(st.st_mode);
}

}  // namespace

int davCommand(const DavRequest& request, std::ostream& out, std::ostream& err) {
    if (const int rc = check(request, err)) return rc;
    dav::CurlOptions curl;
    curl.user = request.user;
    curl.caFile = request.caFile;
    if (!request.passwordFile.empty() && !readPassword(request.passwordFile, curl.password, err))
        return 1;

    // One push at a time per desktop: two would race on the state file.
    namespace fs = std::filesystem;
    const fs::path root = desk::desktopRoot();
    std::error_code ec;
    fs::create_directories(root, ec);
    const int lock = ::open((root / "dav-state.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        err << "quorin-sync: another push is running on " << root.string()
            << " (or it cannot be locked); nothing was sent\n";
        if (lock >= 0) ::close(lock);
        return 1;
    }

    interop::ExportOptions options;
    options.rscale = request.rscale;
    options.handheld = deviceIdentity(true);
    if (options.handheld.size() != 16) {
        err << "quorin-sync: the handheld's identity cannot be read or made; nothing was sent\n";
        ::close(lock);
        return 1;
    }
    std::vector<interop::ExportedObject> objects;
    CRecordStore store;
    // A store read only in part would look like deleted records: nothing is pushed then.
    if (!interop::exportObjects(store, options, objects, err)) {
        err << "quorin-sync: nothing was sent\n";
        ::close(lock);
        return 1;
    }
    const std::unique_ptr<dav::Transport> transport = dav::makeCurlTransport(curl);
    dav::PushCounts counts;
    const bool ok =
        dav::push(*transport, objects, {request.url, request.calendarUrl, request.addressbookUrl},
                  root / "dav-state", counts, err);
    out << "added " << counts.added << "\nchanged " << counts.changed << "\ndeleted "
        << counts.deleted << "\nconflicts " << counts.conflicts << "\n";
    ::close(lock);
    return ok ? 0 : 1;
}

}  // namespace quorinsync
