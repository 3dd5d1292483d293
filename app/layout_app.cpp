#include "layout_app.h"

#include "app/layout_doc.h"
#include "app/layout_view.h"
#include "app/main_frame.h"

CLayoutApp::CLayoutApp(Screens screens) : screens_(std::move(screens)) {}

CLayoutApp::~CLayoutApp() {
    // The frame (with the view and its panes) goes before the document closes the database.
    frame_.reset();
    doc_.reset();
}

bool CLayoutApp::InitInstance() {
    // The profile key is fixed in the record store's profile ("Local AppWizard-Generated
    // Applications\Quorin"); the document creates and opens the databases.
    doc_ = std::make_unique<CLayoutDoc>();
    frame_ = std::make_unique<CMainFrame>(*doc_, screens_);
    if (!frame_->OnCreate()) {
        frame_.reset();
        doc_.reset();
        return false;
    }
    frame_->show();
    frame_->view()->OnInitialUpdate();
    return true;
}
