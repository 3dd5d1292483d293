// A test of the program as it runs: the application object with the program's own screens and
// its frame shown. The day's agenda opener and the screen hooks that the program installs are
// put back as they were after each test.
#pragma once

#include <memory>

#include "app/day_agenda.h"
#include "app/layout_app.h"
#include "app/layout_view.h"
#include "app/main_frame.h"
#include "app/program_screens.h"
#include "appointments/screen_hooks.h"
#include "qt/screen_test.h"
#include "store/record_store.h"

namespace testsupport {

class RunningProgramTest : public ScreenTest {
protected:
    // `agenda` opens the day's agenda while the test runs (by default nothing opens).
    explicit RunningProgramTest(app::AgendaOpener agenda = [](QWidget*) {})
        : previousAgenda_(app::setAgendaOpener(std::move(agenda))),
          previousHooks_(appointments::screenHooks()) {}
    ~RunningProgramTest() override {
        app::setAgendaOpener(previousAgenda_);
        appointments::screenHooks() = previousHooks_;
    }

    void SetUp() override {
        app_ = std::make_unique<CLayoutApp>(makeScreens());
        ASSERT_TRUE(app_->InitInstance());
        ASSERT_TRUE(showExposed(app_->frame()));
    }
    void TearDown() override {
        ScreenTest::TearDown();
        app_.reset();
    }

    CLayoutView& view() { return *app_->frame()->view(); }
    CRecordStore& store() { return view().store(); }

    std::unique_ptr<CLayoutApp> app_;

private:
    app::AgendaOpener previousAgenda_;
    appointments::ScreenHooks previousHooks_;
};

}  // namespace testsupport
