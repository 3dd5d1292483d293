#include "day_agenda.h"

#include <utility>

namespace app {
namespace {
AgendaOpener& opener() {
    static AgendaOpener o;
    return o;
}
AgendaClosedListener& closedListener() {
    static AgendaClosedListener l;
    return l;
}
}  // namespace

namespace {
bool g_open = false;
}  // namespace

void OpenDayAgenda(QWidget* parent) {
    if (g_open || !opener()) return;
    g_open = true;
    {
        struct Reset {
            ~Reset() { g_open = false; }
        } reset;
        opener()(parent);
    }
    if (closedListener()) closedListener()();
}

bool isDayAgendaOpen() { return g_open; }

AgendaOpener setAgendaOpener(AgendaOpener o) { return std::exchange(opener(), std::move(o)); }

AgendaClosedListener setAgendaClosedListener(AgendaClosedListener l) {
    return std::exchange(closedListener(), std::move(l));
}

}  // namespace app
