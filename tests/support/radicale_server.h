// A real CalDAV/CardDAV server for tests and benchmarks: Radicale (`/usr/bin/python3 -m
// radicale`, Debian's python3-radicale) on 127.0.0.1 and a free port, with its own
// configuration, a store in `dir` and one htpasswd user. Killed with the process that started
// it, so a crashed run leaves no server behind. Free of GoogleTest, so benchmarks use it too.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class RadicaleServer {
public:
    // Writes the configuration; `certificate` and `key` (PEM files) make it serve HTTPS.
    RadicaleServer(std::filesystem::path dir, std::string user, std::string password,
                   std::string certificate = {}, std::string key = {})
        : dir_(std::move(dir)),
          user_(std::move(user)),
          port_(freePort()),
          tls_(!certificate.empty()) {
        std::filesystem::create_directories(dir_ / "store");
        std::ofstream(dir_ / "users") << user_ << ":" << password << "\n";
        std::ofstream config(dir_ / "config");
        config << "[server]\nhosts = 127.0.0.1:" << port_ << "\n";
        if (tls_)
            config << "ssl = True\ncertificate = " << certificate << "\nkey = " << key << "\n";
        config << "[auth]\ntype = htpasswd\nhtpasswd_filename = " << (dir_ / "users").string()
               << "\nhtpasswd_encryption = plain\n"
               // The owner may create and change collections under its own principal.
               << "[rights]\ntype = owner_only\n"
               << "[storage]\nfilesystem_folder = " << (dir_ / "store").string() << "\n"
               << "[logging]\nlevel = warning\nmask_passwords = True\n";
    }
    ~RadicaleServer() { stop(); }
    RadicaleServer(const RadicaleServer&) = delete;
    RadicaleServer& operator=(const RadicaleServer&) = delete;

    // Starts it and waits until it takes connections; false when it did not within 20 s.
    bool start() {
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int log = ::open(log_().c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            dup2(log, 1);
            dup2(log, 2);
            const std::string config = (dir_ / "config").string();
            execl("/usr/bin/python3", "python3", "-m", "radicale", "--config", config.c_str(),
                  nullptr);
            _exit(127);
        }
        for (int i = 0; i < 400; ++i) {
            if (answers()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    // Stops it at once, as a crash or a pulled cable would.
    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    std::string url() const {
        return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + "/";
    }
    std::filesystem::path log() const { return log_(); }
    // The folder holding the user's collections.
    std::filesystem::path home() const { return dir_ / "store" / "collection-root" / user_; }
    // Every resource file of the collection `name`, sorted.
    std::vector<std::filesystem::path> resources(const std::string& name) const {
        std::vector<std::filesystem::path> out;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(home() / name, ec))
            if (e.is_regular_file() && e.path().filename().string()[0] != '.')
                out.push_back(e.path());
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    static int freePort() {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t n = sizeof a;
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
        close(s);
        return ntohs(a.sin_port);
    }
    bool answers() const {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port_));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(s);
        return ok;
    }
    std::filesystem::path log_() const { return dir_ / "radicale.log"; }

    std::filesystem::path dir_;
    std::string user_;
    int port_;
    bool tls_;
    pid_t pid_ = -1;
};

}  // namespace testsupport
