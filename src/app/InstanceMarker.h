#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

namespace ks {

// What a later copy asks of the first.
class LaterCopyRequests {
public:
    LaterCopyRequests() = default;
    LaterCopyRequests(const LaterCopyRequests&) = delete;
    LaterCopyRequests& operator=(const LaterCopyRequests&) = delete;
    virtual ~LaterCopyRequests() = default;

    virtual void runCommandLineMacro() = 0;  // the macro the later copy stored in CmdLineMacro
    virtual void showWindow() = 0;           // started without a command line
};

// The marker of the running copy: a lock file and a local socket, both
// named per user and per X display, in a folder only the user can enter.
// The first copy holds the lock and listens; a later copy finds the lock
// taken and talks to the first through the socket, one line per request.
class InstanceMarker final : public QObject {
public:
    enum class Claim { First, Running, Failed };

    // Requests a later copy sends.
    static constexpr const char* kCommandLineMacro = "1040";  // run the macro in CmdLineMacro
    static constexpr const char* kShowWindow = "show";        // started without a command line

    // `path`: the socket's; the lock file is `path`.lock.
    InstanceMarker(QString path, LaterCopyRequests& requests);
    ~InstanceMarker() override;

    Claim claim();
    // Why the last claim failed.
    const QString& error() const { return error_; }

private:
    void accept();

    QString path_;
    LaterCopyRequests& requests_;
    QLockFile lock_;
    QLocalServer server_;
    QString error_;
};

// The marker's name for this user on `display`: when empty, $DISPLAY, or
// $WAYLAND_DISPLAY in a Wayland session without Xwayland.
QString instanceName(const QString& display);

// The folder of the marker: `runtime` ($XDG_RUNTIME_DIR) when it is private,
// otherwise keystrider-<uid> in `temp`, created private. Empty, with `error`
// set, when there is no private one: a folder another user owns or may
// enter would let that user stand in for the running copy.
QString privateRuntimeFolder(const QString& runtime, const QString& temp, QString& error);

// A later copy's line to the first; false when the first copy could not be
// reached within `timeoutMs`.
class RunningCopy {
public:
    // `path`: the first copy's InstanceMarker path.
    explicit RunningCopy(const QString& path);
    ~RunningCopy();
    RunningCopy(const RunningCopy&) = delete;
    RunningCopy& operator=(const RunningCopy&) = delete;

    bool connect(int timeoutMs = 5000);
    bool send(const char* request);

private:
    QString path_;
    std::unique_ptr<class QLocalSocket> socket_;
};

}  // namespace ks
