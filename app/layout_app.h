// The application object: one single-document template tying the document, the frame and
// the view together.
#pragma once

#include <memory>

#include "app/screens.h"

class CLayoutDoc;
class CMainFrame;
class QApplication;

class CLayoutApp {
public:
    explicit CLayoutApp(Screens screens = {});
    ~CLayoutApp();

    // Sets the profile key, creates the document (the record store), the frame and the view,
    // shows the frame and runs the view's first update. False when the frame cannot be made.
    bool InitInstance();

    CLayoutDoc* document() const { return doc_.get(); }
    CMainFrame* frame() const { return frame_.get(); }

private:
    Screens screens_;
    std::unique_ptr<CLayoutDoc> doc_;
    std::unique_ptr<CMainFrame> frame_;
};
