#include "single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QWidget>

#include "fs/devfs.h"

namespace shell {

namespace {

constexpr char kActivate[] = "activate\n";
// The holder's answer: "seen " and where its screen is seen (possibly nothing), one line.
constexpr char kSeen[] = "seen ";

// Both the lock and the socket live in the temporary folder under a name taken from the
// device root, so every process on the same root finds them whatever its runtime folder is.
QString keyFor(const QString& windowClass) {
    std::error_code ec;
    std::filesystem::path root = std::filesystem::weakly_canonical(devfs::deviceRoot(), ec);
    if (ec) root = devfs::deviceRoot();
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(root.string()), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return QStringLiteral("quorin-%1-%2-%3")
        .arg(windowClass.toLower(), QString::fromLatin1(hash))
        .arg(getuid());
}

int openLock(const QString& path) {
    return ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

}  // namespace

SingleInstance::SingleInstance(const QString& windowClass, QObject* parent)
    : QObject(parent),
      lockPath_(QDir::temp().filePath(keyFor(windowClass) + QStringLiteral(".lock"))),
      serverName_(keyFor(windowClass)) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
    server_.reset();
    if (lockFd_ >= 0) ::close(lockFd_);  // closing releases the lock
}

bool SingleInstance::claim(int waitMs) {
    if (lockFd_ >= 0) return true;
    const int fd = openLock(lockPath_);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        lockFd_ = fd;
        // A socket left by a holder that died is ours to replace: we hold the lock now.
        QLocalServer::removeServer(serverName_);
        server_ = std::make_unique<QLocalServer>();
        server_->setSocketOptions(QLocalServer::UserAccessOption);
        connect(server_.get(), &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* peer = server_->nextPendingConnection()) {
                connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
                connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                    if (!peer->readAll().contains(kActivate)) return;
                    peer->write(kSeen + whereSeen_.toUtf8().replace('\n', ' ') + '\n');
                    peer->flush();
                    emit activationRequested();
                });
            }
        });
        server_->listen(serverName_);
        return true;
    }
    if (fd >= 0) ::close(fd);

    // Another process holds the class; it may still be starting, so try for a while.
    QDeadlineTimer deadline(waitMs);
    do {
        QLocalSocket socket;
        socket.connectToServer(serverName_);
        if (socket.waitForConnected(200)) {
            socket.write(kActivate);
            socket.waitForBytesWritten(1000);
            // A holder busy with a modal run answers late; the activation counts anyway.
            QByteArray answer;
            while (!answer.endsWith('\n') && socket.waitForReadyRead(1000)) {
                answer += socket.readAll();
            }
            if (answer.startsWith(kSeen)) {
                runningWhereSeen_ = QString::fromUtf8(answer.mid(int(sizeof kSeen) - 1).trimmed());
            }
            socket.disconnectFromServer();
            return false;
        }
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
}

bool SingleInstance::isRunning(const QString& windowClass) {
    const int fd = openLock(QDir::temp().filePath(keyFor(windowClass) + QStringLiteral(".lock")));
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

void bringToFront(QWidget* window) {
    if (!window) return;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace shell
