// One running program per window class and device root, as on the device, where a program
// that finds its window class already running brings that window to the front and ends.
//
// The first process to claim a class on a device root holds an exclusive lock (released by
// the kernel when the process dies, however it dies) and listens for later starts; a later
// process finds the lock taken, asks the holder to come to the front and is told to end.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QWidget;

namespace shell {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `windowClass` names the program ("Quorinity"); the device root is the current one.
    explicit SingleInstance(const QString& windowClass, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the program's one instance (it then listens for later
    // starts until it is destroyed). False when another process holds it: that one has been
    // asked to come to the front (waiting up to `waitMs` for it to start listening) and this
    // process should end.
    bool claim(int waitMs = 5000);
    bool isPrimary() const { return lockFd_ >= 0; }

    // Where this instance's screen can be seen (a served page's address), told to later starts.
    void setWhereSeen(const QString& where) { whereSeen_ = where; }
    // After a claim() that found another instance: where that one said its screen is, or empty.
    QString runningWhereSeen() const { return runningWhereSeen_; }

    // Whether some process holds `windowClass` on the current device root.
    static bool isRunning(const QString& windowClass);

signals:
    // A later start asked this instance to come to the front.
    void activationRequested();

private:
    QString lockPath_;
    QString serverName_;
    QString whereSeen_;
    QString runningWhereSeen_;
    int lockFd_ = -1;
    std::unique_ptr<QLocalServer> server_;
};

// Shows `window` (restored if minimised), raises it above the others and activates it.
void bringToFront(QWidget* window);

}  // namespace shell
