// A fresh device with a store to fill, quorin-sync run as a real process on it, and what it
// wrote read back by an independent parser (Python's vobject).
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "clock/clock.h"
#include "device_root.h"
#include "store/record_store.h"
#include "strings/string_table.h"

namespace interoptest {

struct ProgramRun {
    int rc = -1;
    std::string out;
    std::string err;
};

inline std::string slurp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs `program` with `args`, standard output and error caught in files under `dir`.
inline ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::filesystem::path& dir) {
    static int n = 0;
    const std::filesystem::path out = dir / ("run" + std::to_string(++n) + ".out");
    const std::filesystem::path err = dir / ("run" + std::to_string(n) + ".err");
    const pid_t pid = fork();
    if (pid == 0) {
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(o, 1);
        dup2(e, 2);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
}

inline ProgramRun runSync(const std::vector<std::string>& args, const std::filesystem::path& dir) {
    return runProgram(QUORIN_SYNC, args, dir);
}

// {"cards": [...], "events": [...]} as the independent reader sees the files.
inline QJsonObject readObjects(const std::vector<std::filesystem::path>& files,
                               const std::filesystem::path& dir) {
    std::vector<std::string> args{READ_OBJECTS};
    for (const auto& f : files) args.push_back(f.string());
    const ProgramRun run = runProgram("/usr/bin/python3", args, dir);
    EXPECT_EQ(run.rc, 0) << run.err;
    return QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
}

// The object of `list` whose `key` is `value`; an empty object when none.
inline QJsonObject findBy(const QJsonArray& list, const QString& key, const QString& value) {
    for (const QJsonValue& v : list)
        if (v.toObject().value(key).toString() == value) return v.toObject();
    ADD_FAILURE() << "nothing with " << key.toStdString() << " = " << value.toStdString();
    return {};
}

inline cedb::FileTime at(int year, int month, int day, int hour = 0, int minute = 0) {
    clk::SystemTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    return *clk::toFileTime(t);
}

class InteropTest : public testsupport::DeviceTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(store.CreateDatabases());
        ASSERT_TRUE(store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
    }
    // Adds the record and returns its identifier.
    int32_t add(RecordImage r) {
        EXPECT_TRUE(store.AddRecord(r));
        return r.id;
    }
    std::filesystem::path work() const { return roots.desktop().parent_path(); }

    CRecordStore store;
};

}  // namespace interoptest
