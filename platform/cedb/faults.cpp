#include "faults.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "faults_internal.h"

namespace cedb::faults {
namespace {

struct State {
    std::mutex mutex;
    std::vector<Rule> rules;
    int failures = 0;
};

State& state() {
    static State s;
    return s;
}

}  // namespace

std::atomic<bool> armed{false};

void arm(const Rule& rule) {
    std::lock_guard lock(state().mutex);
    state().rules.push_back(rule);
    armed = true;
}

void clear() {
    std::lock_guard lock(state().mutex);
    state().rules.clear();
    state().failures = 0;
    armed = false;
}

int failuresSoFar() {
    std::lock_guard lock(state().mutex);
    return state().failures;
}

Error checkArmed(Op op, const std::u16string& database) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    for (Rule& r : s.rules) {
        if (r.times == 0) continue;
        if (r.op != Op::Any && r.op != op) continue;
        if (op != Op::Commit && !r.database.empty() && r.database != database) continue;
        if (r.skip > 0) {
            --r.skip;
            continue;
        }
        if (r.times > 0) --r.times;
        ++s.failures;
        return r.error;
    }
    return Error::None;
}

}  // namespace cedb::faults
