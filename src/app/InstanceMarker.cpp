#include "app/InstanceMarker.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <cstring>

namespace ks {

namespace {

// Why `folder` is not private to this user, if it is not: it must be a
// folder itself, not a link to one, the user's own and closed to others.
QString privacyProblem(const QString& folder) {
    struct stat info {};
    if (lstat(QFile::encodeName(folder).constData(), &info) != 0) {
        return QStringLiteral("%1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (!S_ISDIR(info.st_mode)) return QStringLiteral("%1 is not a folder").arg(folder);
    if (info.st_uid != getuid()) return QStringLiteral("%1 belongs to another user").arg(folder);
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        return QStringLiteral("%1 is open to other users").arg(folder);
    }
    return {};
}

}  // namespace

QString instanceName(const QString& display) {
    QString name = display.isEmpty() ? qEnvironmentVariable("DISPLAY") : display;
    if (name.isEmpty()) name = qEnvironmentVariable("WAYLAND_DISPLAY");
    for (QChar& c : name) {
        if (!c.isLetterOrNumber()) c = QLatin1Char('_');
    }
    return QStringLiteral("keystrider-%1-%2").arg(getuid()).arg(name);
}

QString privateRuntimeFolder(const QString& runtime, const QString& temp, QString& error) {
    if (QDir::isAbsolutePath(runtime) && privacyProblem(runtime).isEmpty()) return runtime;
    const QString own = QDir(temp).filePath(QStringLiteral("keystrider-%1").arg(getuid()));
    // An existing folder is taken only as it is: it is never made private
    // after the fact, as someone else may have made it.
    if (mkdir(QFile::encodeName(own).constData(), 0700) != 0 && errno != EEXIST) {
        error = QStringLiteral("cannot create %1: %2")
                    .arg(own, QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }
    error = privacyProblem(own);
    return error.isEmpty() ? own : QString();
}

InstanceMarker::InstanceMarker(QString path, LaterCopyRequests& requests)
    : path_(std::move(path)), requests_(requests), lock_(path_ + QStringLiteral(".lock")) {
    // A lock whose owner died is freed by the kernel; no age makes a live one stale.
    lock_.setStaleLockTime(0);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(&server_, &QLocalServer::newConnection, this, [this] { accept(); });
}

InstanceMarker::~InstanceMarker() = default;

InstanceMarker::Claim InstanceMarker::claim() {
    if (!lock_.tryLock(0)) {
        if (lock_.error() == QLockFile::LockFailedError) return Claim::Running;
        error_ = QStringLiteral("cannot create %1.lock").arg(path_);
        return Claim::Failed;
    }
    // Holding the lock, any socket of that name is a dead copy's.
    QLocalServer::removeServer(path_);
    if (!server_.listen(path_)) {
        error_ = server_.errorString();
        lock_.unlock();
        return Claim::Failed;
    }
    return Claim::First;
}

void InstanceMarker::accept() {
    while (QLocalSocket* peer = server_.nextPendingConnection()) {
        QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        QObject::connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
            while (peer->canReadLine()) {
                const QByteArray line = peer->readLine().trimmed();
                if (line == kCommandLineMacro) requests_.runCommandLineMacro();
                if (line == kShowWindow) requests_.showWindow();
            }
        });
    }
}

RunningCopy::RunningCopy(const QString& path) : path_(path), socket_(new QLocalSocket) {}

RunningCopy::~RunningCopy() = default;

bool RunningCopy::connect(int timeoutMs) {
    // The first copy may hold the lock but not listen yet while it starts.
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        socket_->connectToServer(path_);
        if (socket_->waitForConnected(timeoutMs)) return true;
        if (clock.elapsed() >= timeoutMs) return false;
        QThread::msleep(50);
    }
}

bool RunningCopy::send(const char* request) {
    const QByteArray line = QByteArray(request) + '\n';
    if (socket_->write(line) != line.size()) return false;
    if (!socket_->waitForBytesWritten(5000) && socket_->bytesToWrite() > 0) return false;
    socket_->disconnectFromServer();
    return true;
}

}  // namespace ks
