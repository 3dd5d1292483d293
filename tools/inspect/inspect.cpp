#include "inspect.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <ostream>
#include <sstream>

#include "cedb/cedb.h"
#include "fs/devfs.h"
#include "registry/registry.h"
#include "appointments/meeting_rows.h"
#include "appointments/schedule_rows.h"
#include "people/people_list_rows.h"
#include "store/holidays.h"
#include "store/record_store.h"
#include "strings/string_table.h"

#include <sqlite3.h>

namespace inspect {
namespace {

std::string utf8(const std::u16string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string utf16(const std::string& s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        uint8_t b = uint8_t(s[i]);
        uint32_t c;
        int extra;
        if (b < 0x80) {
            c = b, extra = 0;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F, extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F, extra = 2;
        } else {
            c = b & 0x07, extra = 3;
        }
        ++i;
        for (int k = 0; k < extra && i < s.size(); ++k, ++i) c = c << 6 | (uint8_t(s[i]) & 0x3F);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += char16_t(0xD800 + (c >> 10));
            out += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            out += char16_t(c);
        }
    }
    return out;
}

std::string json(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

const char* typeName(cedb::PropType t) {
    switch (t) {
        case cedb::PropType::I2: return "I2";
        case cedb::PropType::I4: return "I4";
        case cedb::PropType::Bool: return "BOOL";
        case cedb::PropType::UI2: return "UI2";
        case cedb::PropType::UI4: return "UI4";
        case cedb::PropType::String: return "LPWSTR";
        case cedb::PropType::FileTime: return "FILETIME";
        case cedb::PropType::Blob: return "BLOB";
    }
    return "?";
}

std::string hexId(uint32_t id) {
    std::ostringstream s;
    s << "0x" << std::hex << std::setw(8) << std::setfill('0') << id;
    return s.str();
}

// A property's value as text; `quoted` gives a JSON value.
std::string valueText(const cedb::PropVal& p, bool quoted) {
    switch (p.type()) {
        case cedb::PropType::String: return quoted ? json(utf8(p.text)) : utf8(p.text);
        case cedb::PropType::FileTime: {
            // Calendar fields, as the device stores them (no time zone).
            uint64_t v = p.fileTime.value();
            int64_t secs = int64_t(v / 10000000ULL) - 11644473600LL;
            std::time_t t = std::time_t(secs);
            std::tm tm{};
            gmtime_r(&t, &tm);
            char buf[40];
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900,
                          tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
            std::string text = v == 0 ? std::string("0") : std::string(buf);
            return quoted ? json(text) : text;
        }
        case cedb::PropType::Blob: {
            std::ostringstream s;
            for (uint8_t b : p.blob) s << std::hex << std::setw(2) << std::setfill('0') << int(b);
            return quoted ? json(s.str()) : s.str();
        }
        default: return std::to_string(p.number);
    }
}

int usage(std::ostream& err) {
    err << "usage: quorin-inspect [--device DIR] [--desktop DIR] COMMAND\n"
           "  databases                         list the databases of the object store\n"
           "  dump NAME [--json]                every record of a database, every property\n"
           "  day YYYY-MM-DD                    the day dialog's rows for that date: first column,\n"
           "                                    second column and identifier, tab-separated\n"
           "                                    (tabs and line breaks inside a text become blanks)\n"
           "  marks YYYY-MM                     each day of the month and its calendar mark\n"
           "                                    (-1 none, 1 appointment, 2 anniversary, 3 both)\n"
           "  reg keys [HKLM|HKCU] [--desktop-registry]\n"
           "  reg get HKLM|HKCU KEY [VALUE]     the key's values (or one)\n"
           "  reg set HKLM|HKCU KEY VALUE sz|dword DATA\n"
           "  agenda YYYY-MM-DD                 the day's agenda as on that date: title, rows\n"
           "  history PERSON-ID [--anniversaries]  a person's meeting history, every page\n"
           "  holidays YYYY                     the year's public holidays, with the device's\n"
           "                                    Holidays.txt: date, a tab, the name\n";
    return 2;
}

// Whether the object store file is one this device wrote, judged without changing it: a file
// that is not a database, or a database without the record tables, is reported in words.
bool checkStoreFile(const std::filesystem::path& file, std::ostream& err) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    int tables = 0;
    if (rc == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        rc = sqlite3_prepare_v2(db,
                                "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name "
                                "IN ('cedb_databases', 'cedb_records')",
                                -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(st);
            if (rc == SQLITE_ROW) {
                tables = sqlite3_column_int(st, 0);
                rc = SQLITE_OK;
            }
        }
        sqlite3_finalize(st);
    }
    const std::string why = rc == SQLITE_OK ? std::string() : sqlite3_errstr(rc);
    sqlite3_close(db);
    if (rc != SQLITE_OK) {
        err << "the object store " << file.string() << " is damaged or not a database: " << why
            << "\n";
        return false;
    }
    if (tables != 2) {
        err << "the object store " << file.string()
            << " is a database of another program: it holds no record tables\n";
        return false;
    }
    return true;
}

int databases(std::ostream& out) {
    for (cedb::Oid oid : cedb::enumerateDatabases(cedb::objectStore(), 0)) {
        auto info = cedb::objectInfo(cedb::objectStore(), oid);
        if (!info) continue;
        const auto& d = info->database;
        out << "database " << oid << " " << json(utf8(d.name)) << " type " << d.type << " records "
            << d.recordCount << " bytes " << d.sizeBytes << " sort";
        for (const auto& s : d.sortOrders) out << " " << hexId(s.propId) << (s.descending ? "-" : "+");
        out << "\n";
    }
    return 0;
}

int dump(const std::string& name, bool asJson, std::ostream& out, std::ostream& err) {
    cedb::Database db;
    if (!db.open(cedb::objectStore(), utf16(name))) {
        err << "no database " << json(name) << "\n";
        return 1;
    }
    if (asJson) out << "[";
    bool firstRecord = true;
    int unreadable = 0;
    bool ok = db.seekFirst();
    for (; ok; ok = db.seekNext()) {
        auto rec = db.readCurrent();
        if (!rec) {
            err << "record " << db.currentOid() << " cannot be read: " << cedb::errorText(cedb::lastError()) << "\n";
            ++unreadable;
            continue;
        }
        if (asJson) {
            out << (firstRecord ? "" : ",") << "\n {\"oid\": " << db.currentOid() << ", \"props\": [";
            bool firstProp = true;
            for (const auto& p : *rec) {
                out << (firstProp ? "" : ", ") << "{\"id\": " << json(hexId(p.propId)) << ", \"type\": "
                    << json(typeName(p.type())) << ", \"value\": " << valueText(p, true) << "}";
                firstProp = false;
            }
            out << "]}";
        } else {
            out << "record " << db.currentOid() << "\n";
            for (const auto& p : *rec) {
                out << "  " << hexId(p.propId) << " " << typeName(p.type()) << " " << valueText(p, false) << "\n";
            }
        }
        firstRecord = false;
    }
    if (asJson) out << "\n]\n";
    if (!db.endOfData()) {
        err << "the walk stopped early: " << cedb::errorText(cedb::lastError()) << "\n";
        return 1;
    }
    if (unreadable) {
        err << unreadable << (unreadable == 1 ? " record" : " records")
            << " of the database could not be read\n";
        return 1;
    }
    return 0;
}

// Reads "YYYY-MM-DD" (or "YYYY-MM" when `withDay` is false) into a real date.
bool parseDate(const std::string& s, bool withDay, repeat::Date* date) {
    int y = 0, m = 0, d = 1, used = 0;
    const int fields = withDay ? std::sscanf(s.c_str(), "%4d-%2d-%2d%n", &y, &m, &d, &used)
                               : std::sscanf(s.c_str(), "%4d-%2d%n", &y, &m, &used);
    if (fields != (withDay ? 3 : 2) || size_t(used) != s.size()) return false;
    if (!repeat::isValidDate(y, m, d)) return false;
    *date = {y, m, d};
    return true;
}

// One line of a row: its text with the separators of the output taken out.
std::string rowField(const QString& text) {
    std::u16string s = text.toStdU16String();
    for (char16_t& c : s)
        if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
    return utf8(s);
}

// One row of an appointment list (day, agenda, history): three columns separated by tabs.
void printRow(const QString& first, const QString& second, const QString& id, std::ostream& out) {
    out << rowField(first) << '\t' << rowField(second) << '\t' << rowField(id) << '\n';
}

// Opens the store as the program does; false, said in words, when it cannot be opened.
bool openStore(CRecordStore& store, std::ostream& err) {
    if (store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle)) return true;
    err << "no \"Quorin Database\" on the device: " << cedb::errorText(cedb::lastError()) << "\n";
    return false;
}

// The walk's passed-over records, said in words; the exit code.
int walkResult(const WalkReport& report, std::ostream& err) {
    if (report.damaged == 0) return 0;
    err << report.damaged << (report.damaged == 1 ? " record" : " records")
        << " of \"Quorin Database\" could not be read and are left out\n";
    return 1;
}

int day(const std::string& arg, std::ostream& out, std::ostream& err) {
    repeat::Date date;
    if (!parseDate(arg, true, &date)) {
        err << "not a date: " << json(arg) << " (YYYY-MM-DD)\n";
        return 2;
    }
    CRecordStore store;
    if (!openStore(store, err)) return 1;
    WalkReport report;
    std::vector<listctl::ListRow> rows = schedule::dayRows(store, date, &report);
    listctl::sortRows(rows);
    for (const listctl::ListRow& r : rows) printRow(r.first, r.second, r.idText, out);
    return walkResult(report, err);
}

int marks(const std::string& arg, std::ostream& out, std::ostream& err) {
    repeat::Date month;
    if (!parseDate(arg, false, &month)) {
        err << "not a month: " << json(arg) << " (YYYY-MM)\n";
        return 2;
    }
    CRecordStore store;
    if (!openStore(store, err)) return 1;
    WalkReport report;
    const schedule::MonthMarks m = schedule::monthMarks(store, month.year, month.month, &report);
    for (int d = 1; d <= repeat::daysInMonth(month.year, month.month); ++d)
        out << d << '\t' << m[size_t(d)] << '\n';
    return walkResult(report, err);
}

int holidayList(const std::string& arg, std::ostream& out, std::ostream& err) {
    repeat::Date year;
    if (!parseDate(arg + "-01-01", true, &year) || arg.size() != 4) {
        err << "not a year: " << json(arg) << " (YYYY)\n";
        return 2;
    }
    const holidays::OneTimeList oneTime = holidays::readOneTimeFile();
    if (oneTime.skipped > 0) {
        err << "Holidays.txt: " << oneTime.skipped
            << (oneTime.skipped == 1 ? " line" : " lines") << " skipped\n";
    }
    for (const holidays::Holiday& h : holidays::ofYear(year.year, oneTime.days)) {
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", h.date.year, h.date.month, h.date.day);
        out << date << '\t' << utf8(h.name) << '\n';
    }
    return 0;
}

bool parseHive(const std::string& s, reg::Hive* hive) {
    if (s == "HKLM" || s == "HKEY_LOCAL_MACHINE") {
        *hive = reg::Hive::LocalMachine;
    } else if (s == "HKCU" || s == "HKEY_CURRENT_USER") {
        *hive = reg::Hive::CurrentUser;
    } else {
        return false;
    }
    return true;
}

std::string regValueText(const reg::Value& v) {
    if (v.type == reg::ValueType::Sz) {
        std::u16string s;
        for (size_t i = 0; i + 1 < v.data.size(); i += 2) {
            char16_t c = char16_t(v.data[i] | v.data[i + 1] << 8);
            if (!c) break;
            s += c;
        }
        return "REG_SZ " + json(utf8(s)) + " (" + std::to_string(v.data.size()) + " bytes)";
    }
    if (v.type == reg::ValueType::Dword && v.data.size() == 4) {
        uint32_t d = uint32_t(v.data[0]) | uint32_t(v.data[1]) << 8 | uint32_t(v.data[2]) << 16 |
                     uint32_t(v.data[3]) << 24;
        return "REG_DWORD " + std::to_string(d);
    }
    std::ostringstream s;
    s << "REG_BINARY ";
    for (uint8_t b : v.data) s << std::hex << std::setw(2) << std::setfill('0') << int(b);
    return s.str();
}

int registry(const std::vector<std::string>& a, reg::Store store, std::ostream& out, std::ostream& err) {
    if (a.size() < 2) return usage(err);
    reg::Hive hive = reg::Hive::CurrentUser;
    if (a[1] == "keys") {
        std::vector<reg::Hive> hives = {reg::Hive::LocalMachine, reg::Hive::CurrentUser};
        if (a.size() > 2) {
            if (!parseHive(a[2], &hive)) return usage(err);
            hives = {hive};
        }
        for (reg::Hive h : hives) {
            for (const auto& k : reg::keyPaths(h, store)) {
                out << (h == reg::Hive::LocalMachine ? "HKLM\\" : "HKCU\\") << utf8(k) << "\n";
            }
        }
        return 0;
    }
    if (a.size() < 4 || !parseHive(a[2], &hive)) return usage(err);
    if (a[1] == "get") {
        auto key = reg::Key::open(hive, utf16(a[3]), store);
        if (!key) {
            err << "no key " << json(a[3]) << "\n";
            return 1;
        }
        std::vector<std::u16string> names = key->valueNames();
        if (a.size() > 4) names = {utf16(a[4])};
        for (const auto& n : names) {
            auto v = key->query(n);
            if (!v) {
                err << "no value " << json(utf8(n)) << "\n";
                return 1;
            }
            out << json(utf8(n)) << " " << regValueText(*v) << "\n";
        }
        return 0;
    }
    if (a[1] == "set" && a.size() == 7) {
        auto key = reg::Key::create(hive, utf16(a[3]), nullptr, store);
        bool ok = false;
        if (key && a[5] == "sz") {
            ok = key->setString(utf16(a[4]), utf16(a[6]));
        } else if (key && a[5] == "dword") {
            char* end = nullptr;
            unsigned long v = std::strtoul(a[6].c_str(), &end, 0);
            if (!end || *end) return usage(err);
            ok = key->setDword(utf16(a[4]), uint32_t(v));
        } else if (key) {
            return usage(err);
        }
        if (!ok) err << "cannot write " << json(a[4]) << "\n";
        return ok ? 0 : 1;
    }
    return usage(err);
}

// A whole decimal number within int, nothing else.
bool parseInt(const std::string& s, int* value) {
    if (s.empty() || s.size() > 11) return false;
    size_t i = s[0] == '-' ? 1 : 0;
    if (i == s.size()) return false;
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
    }
    if (s[0] == '-') v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    *value = int(v);
    return true;
}

int agenda(const std::vector<std::string>& a, std::ostream& out, std::ostream& err) {
    repeat::Date day;
    if (a.size() != 2 || !parseDate(a[1], true, &day)) {
        if (a.size() == 2) err << "not a date: " << json(a[1]) << " (YYYY-MM-DD)\n";
        return a.size() == 2 ? 2 : usage(err);
    }
    CRecordStore store;
    if (!openStore(store, err)) return 1;
    WalkReport report;
    const appointments::ItemRows built = appointments::buildAgenda(store, day, &report);
    // In the order the agenda's list shows them.
    std::vector<listctl::ListRow> rows;
    for (const auto& r : built) rows.push_back({r.first, r.second, r.id});
    listctl::sortRows(rows);
    out << appointments::agendaTitle(day).toStdString() << '\n';
    for (const auto& r : rows) printRow(r.first, r.second, r.idText, out);
    return walkResult(report, err);
}

int history(const std::vector<std::string>& a, std::ostream& out, std::ostream& err) {
    int person = 0;
    const bool anniversaries = a.size() == 3 && a[2] == "--anniversaries";
    if ((a.size() != 2 && !anniversaries) || !parseInt(a[1], &person)) return usage(err);
    if (person == 0 || isGroupRowId(person)) {
        err << "not a person: " << a[1] << " (a person's identifier, or -2 for No-Name..)\n";
        return 1;
    }
    CRecordStore store;
    if (!openStore(store, err)) return 1;
    WalkReport report;
    const auto h = appointments::buildHistory(
        store, person,
        anniversaries ? appointments::HistoryAnniversaries : appointments::HistoryAppointments,
        &report);
    for (const auto& row : h.rows) printRow(row.first, row.second, row.id, out);
    return walkResult(report, err);
}

}  // namespace

int run(const std::vector<std::string>& argsIn, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args;
    reg::Store store = reg::Store::Device;
    for (size_t i = 0; i < argsIn.size(); ++i) {
        if ((argsIn[i] == "--device" || argsIn[i] == "--desktop") && i + 1 < argsIn.size()) {
            setenv(argsIn[i] == "--device" ? "QUORIN_DEVICE" : "QUORIN_DESKTOP", argsIn[i + 1].c_str(), 1);
            ++i;
        } else if (argsIn[i] == "--desktop-registry") {
            store = reg::Store::Desktop;
        } else {
            args.push_back(argsIn[i]);
        }
    }
    if (args.empty()) return usage(err);
    // The holidays need no store: only the device's list of one-time ones, when there is one.
    if (args[0] == "holidays") return args.size() == 2 ? holidayList(args[1], out, err) : usage(err);
    // Looking must not make a device: a mistyped root would otherwise become a new, empty one.
    std::filesystem::path file =
        store == reg::Store::Desktop ? devfs::desktopRegistryFile() : devfs::objectStoreFile();
    if (!std::filesystem::exists(file)) {
        err << "no device data at " << file.string() << "\n";
        return 1;
    }
    if (args[0] != "reg" && !checkStoreFile(file, err)) return 1;
    if (args[0] == "databases") return databases(out);
    if (args[0] == "dump" && args.size() >= 2) {
        return dump(args[1], args.size() > 2 && args[2] == "--json", out, err);
    }
    if (args[0] == "day" && args.size() == 2) return day(args[1], out, err);
    if (args[0] == "marks" && args.size() == 2) return marks(args[1], out, err);
    if (args[0] == "reg") return registry(args, store, out, err);
    if (args[0] == "history") return history(args, out, err);
    if (args[0] == "agenda") return agenda(args, out, err);
    return usage(err);
}

}  // namespace inspect
