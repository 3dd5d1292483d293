// The device's home screen: a date header above the Today items, which it loads from their
// libraries, asks to refresh every few seconds and on demand, and stacks by the heights they
// answer with. Taps on an item go to the item's own window.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

#include "todayscreen/todayscreen.h"

class QPushButton;

class HomeScreen : public QWidget {
    Q_OBJECT
public:
    struct Options {
        QString itemLibrary;      // host path of the item library
        int refreshMs = 5000;     // between query-refresh messages
        bool printLines = false;  // after every refresh, the item's lines and an empty line
        QString screenshot;       // after every refresh, a PNG of the screen
        bool once = false;        // end the program after the first report
    };

    static constexpr int kHeaderHeight = 26;
    static constexpr int kCommandBarHeight = 26;

    explicit HomeScreen(const Options& options, QWidget* parent = nullptr);

    // Loads the item library and creates its item. False, with the reason, when the library,
    // its ordinal 240 or its window is missing.
    bool loadItem(QString* error);
    // The library the home screen uses when none is named: the one beside the program, else
    // the one installed on the device.
    static QString defaultItemLibrary();

public slots:
    void refresh();

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    void layoutItems();
    void report();

    Options options_;
    todayscreen::TODAYLISTITEM item_;
    QString problem_;
    QTimer timer_;
    QPushButton* refreshButton_;
};
