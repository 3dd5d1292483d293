// The one place that opens the day's agenda: at start-up and from the briefing timers.
#pragma once

#include <functional>

class QWidget;

namespace app {

// Opens the day's agenda modally over `parent`; does nothing while it is already open.
void OpenDayAgenda(QWidget* parent);
bool isDayAgendaOpen();

// What OpenDayAgenda runs; the agenda screen installs itself here, tests install a recorder.
// Returns the previous opener.
using AgendaOpener = std::function<void(QWidget* parent)>;
AgendaOpener setAgendaOpener(AgendaOpener opener);

// Called each time an agenda has closed (OpenDayAgenda may be called again from it); the frame
// opens a briefing that fell due meanwhile. Returns the previous listener.
using AgendaClosedListener = std::function<void()>;
AgendaClosedListener setAgendaClosedListener(AgendaClosedListener listener);

}  // namespace app
