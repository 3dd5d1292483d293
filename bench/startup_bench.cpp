// Quorin's start to its first painted frame, on an empty device and on one holding 4999 mixed
// records, each beside the yardstick measured in the same run: opening the store as the
// program does and reading every property of every record once. What we aim for: the start
// within 100 ms of its yardstick. It only reports; nothing here fails on a time.
//
// In-process, as the program tests start it: one QApplication for the whole run (Qt's own
// start, and the device look applied to it, are not Quorin's), then per iteration the input
// panel and CLayoutApp(makeScreens()) made, InitInstance() (the document opens the store, the
// frame is shown and the view's first update creates the schedule screen and opens the day's
// agenda), and events processed until the frame's first paint pass has run. Every iteration
// starts cold: the windows are destroyed, the store's and the profile's SQLite connections
// closed and the pixmap cache emptied, outside the timed part.
//
// The first screen is the schedule screen's "사람" tab: the people list reads every person
// (a walk of the persons' identifiers, then each person read whole), sorts them by name and
// shows them; the history is empty until a person is chosen, and the month calendar on the
// other tab is not painted. The day's agenda, which a start with the default settings opens
// over it, walks every record for today's appointments and the anniversaries due.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPixmapCache>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/day_agenda.h"
#include "app/layout_app.h"
#include "app/layout_view.h"
#include "app/main_frame.h"
#include "app/program_screens.h"
#include "appointments/list_ctrl.h"
#include "appointments/schedule_view.h"
#include "appointments/today_appointment_dlg.h"
#include "bench_device.h"
#include "cedb/cedb.h"
#include "clock/clock.h"
#include "heap/heap.h"
#include "people/people_list_wnd.h"
#include "registry/registry.h"
#include "shell/shell.h"
#include "store/record_image.h"
#include "store/record_store.h"
#include "strings/string_table.h"
#include "ui/input_panel.h"
#include "ui/resources.h"
#include "view_contract/main_view.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRecords = 4999;

enum class Device { Empty, Records };

fs::path g_devices[2];

const fs::path& rootOf(Device device) {
    return g_devices[device == Device::Empty ? 0 : 1];
}

// Later opens of the store and the profile connect afresh, as a new process does.
void closeConnections() {
    cedb::closeAllVolumes();
    reg::closeAll();
}

void useDevice(Device device) {
    closeConnections();
    setenv("QUORIN_DEVICE", rootOf(device).c_str(), 1);
}

// ---- The records ----

const char16_t* const kSurnames[] = {u"김", u"이", u"박", u"최", u"정",
                                     u"강", u"조", u"윤", u"장", u"임"};
const char16_t* const kGiven[] = {u"민준", u"서연", u"도윤", u"지우", u"하준", u"서윤", u"은우",
                                  u"지호", u"수아", u"예준", u"하은", u"시우", u"지민", u"유진"};
const char16_t* const kGroups[] = {u"VIP",  u"친구, VIP",    u"회사 동료",     u"",
                                   u"친구", u"동창생, 친구", u"회사 동료, VIP"};
const char16_t* const kContents[] = {u"분기 실적 검토와 다음 분기 계획 논의", u"점심 약속",
                                     u"거래처 방문", u"프로젝트 진행 상황 회의"};
const char16_t* const kAnniversaries[] = {u"생일", u"결혼기념일", u"입사일", u"첫 만남"};
// Every repeat code: none, yearly, lunar yearly, monthly, every 100 days; leads of 0 to 7 days.
const char16_t* const kRules[] = {u"50;0;0;", u"100;0;3;", u"110;0;7;", u"200;0;1;", u"300;100;0;"};

std::u16string number(int64_t n) {
    const std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

cedb::FileTime onDay(int64_t dayNumber, int hour) {
    clk::SystemTime t = clk::fromDayNumber(dayNumber);
    t.hour = hour;
    return *clk::toFileTime(t);
}

// A third each of persons (named, in groups, with phones), appointments of one to three of
// them spread over the last twenty months and the next four (so a few fall today), and
// anniversaries of a person with every repeat code; written in one batch.
void writeRecords(CRecordStore& store) {
    const clk::SystemTime now = clk::localTime();
    const int64_t today = clk::dayNumber(now.year, now.month, now.day);
    struct Person {
        int id;
        std::u16string name;
    };
    std::vector<Person> persons;
    CRecordStore::Batch batch(store);
    for (int i = 0; i < kRecords; ++i) {
        RecordImage r{};
        const int kind = persons.empty() ? 0 : i % 3;
        if (kind == 0) {
            r.kind = PersonKind;
            const std::u16string name = std::u16string(kSurnames[i % 10]) + kGiven[(i / 10) % 14] +
                                        (i % 7 == 0 ? u" " + number(i % 97) : u"");
            setText(r.name, name);
            setText(r.company, u"한빛전자");
            setText(r.title, u"과장");
            setText(r.mobile, u"010-" + number(1000 + i % 9000) + u"-" + number(2000 + i % 7000));
            setText(r.workPhone, u"02-555-" + number(1000 + i % 9000));
            setText(r.email, u"person" + number(i) + u"@example.com");
            setText(r.groups, kGroups[i % 7]);
            store.AddRecord(r);
            persons.push_back({r.id, name});
            continue;
        }
        const Person& first = persons[size_t(i * 7919) % persons.size()];
        if (kind == 1) {
            r.kind = AppointmentKind;
            std::u16string ids = number(first.id) + u";";
            std::u16string names = first.name + u";";
            for (int k = 1; k <= i % 3; ++k) {
                const Person& other = persons[size_t(i * 104729 + k * 31) % persons.size()];
                ids += number(other.id) + u";";
                names += other.name + u";";
            }
            setText(r.participantIds, ids);
            setText(r.participantNames, names);
            const int64_t day = today - 600 + (int64_t(i) * 7919) % 730;
            r.start = onDay(day, 9 + i % 9);
            r.end = onDay(day, 10 + i % 9);
            setText(r.place, u"본사 3층 회의실");
            setText(r.content, kContents[i % 4]);
        } else {
            r.kind = AnniversaryKind;
            setText(r.participantIds, number(first.id));
            setText(r.participantNames, first.name);
            r.start = r.end = onDay(clk::dayNumber(1960 + i % 60, 1 + i % 12, 1 + i % 28), 0);
            setText(r.place, kRules[i % 5]);
            setText(r.content, kAnniversaries[i % 4]);
        }
        store.AddRecord(r);
    }
    batch.commit();
}

// ---- The day's agenda ----

// The program opens the agenda with a modal loop of its own (installDayAgenda), which would
// hold the start until someone closes it. As the program tests do, the opener is replaced:
// this one builds the same agenda screen over the view and shows it without a loop, so the
// start still pays for reading and laying out the day's rows.
std::unique_ptr<CTodayAppointmentDlg> g_agenda;

void installAgendaWithoutLoop() {
    app::setAgendaOpener([](QWidget* parent) {
        auto* view = qobject_cast<CLayoutView*>(parent);
        if (auto* frame = qobject_cast<CMainFrame*>(parent)) view = frame->view();
        if (!view) return;
        g_agenda = std::make_unique<CTodayAppointmentDlg>(*view, view);
        g_agenda->show();
    });
}

// ---- One start ----

// Sees the first paint of any widget of the main frame's window.
class FirstPaint : public QObject {
public:
    FirstPaint() { qApp->installEventFilter(this); }
    ~FirstPaint() override { qApp->removeEventFilter(this); }
    bool seen() const { return seen_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen_ && event->type() == QEvent::Paint && watched->isWidgetType() &&
            qobject_cast<CMainFrame*>(static_cast<QWidget*>(watched)->window()))
            seen_ = true;
        return false;
    }

private:
    bool seen_ = false;
};

struct Start {
    std::unique_ptr<ui::InputPanel> panel;
    std::unique_ptr<CLayoutApp> app;

    ~Start() {
        // The agenda is a child of the view: it goes first.
        g_agenda.reset();
        app.reset();
        panel.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        shell::resetState();
    }
};

// Makes the program as main does (without the single-instance claim, which only decides
// whether to start at all) and runs events until the frame has been painted once. The paint
// pass of a window draws all of its widgets in one go, so the events that return after the
// first paint was seen have drawn the whole frame. False when it never painted.
bool startToFirstPaint(Start& start) {
    FirstPaint paint;
    start.panel = std::make_unique<ui::InputPanel>();
    start.app = std::make_unique<CLayoutApp>(makeScreens());
    if (!start.app->InitInstance()) return false;
    QElapsedTimer waited;
    waited.start();
    QTimer wake;  // bounds each wait, so a frame that never paints ends the run
    wake.start(100);
    while (!paint.seen() && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return paint.seen();
}

void coldState() {
    closeConnections();
    QPixmapCache::clear();
}

double since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_StartToFirstPaint(benchmark::State& state, Device device) {
    useDevice(device);
    size_t people = 0, agendaRows = 0;
    for (auto _ : state) {
        coldState();
        Start start;
        const auto t0 = std::chrono::steady_clock::now();
        const bool painted = startToFirstPaint(start);
        state.SetIterationTime(since(t0));
        if (!painted) {
            state.SkipWithError("the frame was never painted");
            break;
        }
        auto* schedule =
            qobject_cast<CScheduleView*>(start.app->frame()->view()->paneWindow(SchedulePane));
        people = schedule ? schedule->peopleList()->shownRows().size() : 0;
        agendaRows = g_agenda ? g_agenda->list()->list()->rows().size() : 0;
    }
    // What the first screen showed: the people list's rows (with its "no name" row) and the
    // agenda's.
    state.counters["people_rows"] = double(people);
    state.counters["agenda_rows"] = double(agendaRows);
}

// The yardstick: the store opened as the document opens it, then every property of every
// record read once.
void BM_OpenStoreAndReadEveryRecord(benchmark::State& state, Device device) {
    useDevice(device);
    size_t records = 0;
    for (auto _ : state) {
        coldState();
        const auto t0 = std::chrono::steady_clock::now();
        CRecordStore store;
        store.CreateDatabases();
        store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle);
        size_t read = 0;
        store.walkRecords(AnyKind, EveryRecordProperty, [&](const RecordImage& r) {
            benchmark::DoNotOptimize(r.id);
            ++read;
            return true;
        });
        state.SetIterationTime(since(t0));
        records = read;
        store.CloseDatabase(MainHandle);
    }
    state.counters["records"] = double(records);
}

BENCHMARK_CAPTURE(BM_StartToFirstPaint, empty, Device::Empty)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenStoreAndReadEveryRecord, empty, Device::Empty)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StartToFirstPaint, records_4999, Device::Records)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenStoreAndReadEveryRecord, records_4999, Device::Records)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Both devices inside the run's temporary root, each started once untimed, so that every timed
// start is a later start (databases, settings and categories already there).
void prepareDevices() {
    const fs::path base = std::getenv("QUORIN_DEVICE");
    g_devices[0] = base / "empty";
    g_devices[1] = base / "records";
    fs::create_directories(base / "desktop");
    setenv("QUORIN_DESKTOP", (base / "desktop").c_str(), 1);
    for (Device device : {Device::Empty, Device::Records}) {
        fs::create_directories(rootOf(device));
        useDevice(device);
        if (device == Device::Records) {
            CRecordStore store;
            store.CreateDatabases();
            store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle);
            writeRecords(store);
            store.CloseDatabase(MainHandle);
        }
        Start start;
        startToFirstPaint(start);
    }
    closeConnections();
}

// The offscreen platform says on every start that it cannot raise a window; nothing else of
// Qt's is held back.
QtMessageHandler g_qtMessages = nullptr;

void quietOffscreenNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QStringLiteral("This plugin does not support"))) return;
    g_qtMessages(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
    heap::keepFreedMemory();  // as the program does
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    shell::ensurePrivateRuntimeDir();
    g_qtMessages = qInstallMessageHandler(quietOffscreenNotes);
    // Qt gets no arguments of its own: the command line is the benchmark's.
    static int qtArgc = 1;
    static char* qtArgv[] = {argv[0], nullptr};
    QApplication qapp(qtArgc, qtArgv);
    ui::applyDeviceLook(qapp);
    installAgendaWithoutLoop();
    const int rc = benchdevice::runOnTemporaryDevice(argc, argv, "startup", prepareDevices);
    app::setAgendaOpener(nullptr);
    return rc;
}
