#include "child_programs.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <thread>

namespace childprograms {

namespace {

struct ProcState {
    pid_t parent = 0;
    char state = '?';
};

bool readStat(pid_t pid, ProcState& out) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    return std::getline(in, line) && parseProcStat(line, out.state, out.parent);
}

bool isRunning(pid_t pid) {
    ProcState s;
    return readStat(pid, s) && s.state != 'Z' && s.state != 'X';
}

}  // namespace

bool parseProcStat(std::string_view line, char& state, pid_t& parent) {
    const size_t close = line.rfind(')');
    // ") S 123": a blank, the state, a blank, then the parent's number.
    if (close == std::string_view::npos || close + 4 >= line.size()) return false;
    if (line[close + 1] != ' ' || line[close + 3] != ' ') return false;
    const char newState = line[close + 2];
    pid_t value = 0;
    size_t i = close + 4;
    const size_t digitsFrom = i;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        if (value > (std::numeric_limits<pid_t>::max() - 9) / 10) return false;
        value = pid_t(value * 10 + (line[i] - '0'));
    }
    if (i == digitsFrom || (i < line.size() && line[i] != ' ' && line[i] != '\n')) return false;
    state = newState;
    parent = value;
    return true;
}

bool adoptDescendants() {
    return ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) == 0;
}

std::vector<pid_t> children() {
    std::vector<pid_t> out;
    const pid_t self = ::getpid();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        ProcState s;
        const pid_t pid = pid_t(std::stol(name));
        if (readStat(pid, s) && s.parent == self) out.push_back(pid);
    }
    return out;
}

int reapEnded() {
    // Only the children seen to have ended: waitpid(-1) could take a status that a QProcess
    // of this process waits for.
    int reaped = 0;
    for (pid_t pid : children()) {
        if (isRunning(pid)) continue;
        if (::waitpid(pid, nullptr, WNOHANG) == pid) ++reaped;
    }
    return reaped;
}

int endAll(int graceMs) {
    reapEnded();
    std::vector<pid_t> running;
    for (pid_t pid : children()) {
        if (isRunning(pid) && ::kill(pid, SIGTERM) == 0) running.push_back(pid);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    for (pid_t pid : running) {
        while (::waitpid(pid, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    return int(running.size());
}

}  // namespace childprograms
