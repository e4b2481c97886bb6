#include "app/InstanceMarker.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>
#include <unistd.h>

namespace ks {

QString instanceName(const QString& display) {
    QString name = display.isEmpty() ? qEnvironmentVariable("DISPLAY") : display;
    for (QChar& c : name) {
        if (!c.isLetterOrNumber()) c = QLatin1Char('_');
    }
    return QStringLiteral("keystrider-%1-%2").arg(getuid()).arg(name);
}

InstanceMarker::InstanceMarker(QString name)
    : name_(std::move(name)), lock_(QDir::temp().filePath(name_ + QStringLiteral(".lock"))) {
    // A lock whose owner died is freed by the kernel; no age makes a live one stale.
    lock_.setStaleLockTime(0);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(&server_, &QLocalServer::newConnection, this, [this] { accept(); });
}

InstanceMarker::~InstanceMarker() = default;

InstanceMarker::Claim InstanceMarker::claim() {
    if (!lock_.tryLock(0)) {
        if (lock_.error() == QLockFile::LockFailedError) return Claim::Running;
        error_ = QStringLiteral("cannot create %1").arg(QDir::temp().filePath(name_ + ".lock"));
        return Claim::Failed;
    }
    // Holding the lock, any socket of that name is a dead copy's.
    QLocalServer::removeServer(name_);
    if (!server_.listen(name_)) {
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
                if (line == kCommandLineMacro && onCommandLineMacro) onCommandLineMacro();
                if (line == kShowWindow && onShowWindow) onShowWindow();
            }
        });
    }
}

RunningCopy::RunningCopy(const QString& name) : name_(name), socket_(new QLocalSocket) {}

RunningCopy::~RunningCopy() = default;

bool RunningCopy::connect(int timeoutMs) {
    // The first copy may hold the lock but not listen yet while it starts.
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        socket_->connectToServer(name_);
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
