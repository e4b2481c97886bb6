#include "platform/linux/GvfsShares.h"

#include <QDir>
#include <QProcess>
#include <QUrl>

#include <unistd.h>

#include <chrono>

namespace ks {
namespace {

constexpr std::chrono::seconds kMountTimeout{60};

std::string sessionGvfsFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QString base =
        runtime.isEmpty() ? QString("/run/user/%1").arg(getuid()) : QString::fromLocal8Bit(runtime);
    return (base + "/gvfs").toStdString();
}

// The fields of a GVfs mount's folder name, `smb-share:server=x,share=y,user=z`.
QMap<QString, QString> mountFields(const QString& name) {
    QMap<QString, QString> fields;
    for (const QString& field : name.section(':', 1).split(',')) {
        const QString key = field.section('=', 0, 0);
        fields[key] = QUrl::fromPercentEncoding(field.section('=', 1).toUtf8());
    }
    return fields;
}

QString shareUri(const NetworkShare& share, const ShareLogin& login) {
    QUrl uri;
    uri.setScheme("smb");
    uri.setHost(QString::fromStdString(share.server));
    uri.setPath("/" + QString::fromStdString(share.share));
    const QString user = QString::fromStdString(login.user).section('\\', -1);
    if (!user.isEmpty()) uri.setUserName(user);
    return uri.toString();
}

// gio asks for each part of a login on a line of its own, "User [me]: " or
// "Password: ", and waits for the answer there.
QByteArray question(const QByteArray& output) {
    return output.endsWith(": ") ? output.mid(output.lastIndexOf('\n') + 1) : QByteArray();
}

QByteArray answerTo(const QByteArray& question, const ShareLogin& login) {
    const QString user = QString::fromStdString(login.user);
    if (question.startsWith("Password")) return QByteArray::fromStdString(login.password) + "\n";
    if (question.startsWith("User")) return user.section('\\', -1).toUtf8() + "\n";
    if (question.startsWith("Domain")) {
        return (user.contains('\\') ? user.section('\\', 0, 0).toUtf8() : QByteArray()) + "\n";
    }
    return {};
}

// The reason in gio's last line of errors, "gio: <uri>: <reason>".
std::string errorText(const QByteArray& errors) {
    QString text = QString::fromUtf8(errors).trimmed().section('\n', -1);
    if (text.startsWith("gio: ")) text = text.section(": ", 2);
    return text.isEmpty() ? "gio mount failed" : text.toStdString();
}

// Lets gio run to its end, answering its questions from `login`; an empty
// login answers none. False when gio had to be stopped.
bool runAnswering(QProcess& gio, const ShareLogin& login) {
    const bool answering = !login.user.empty() || !login.password.empty();
    if (!answering) gio.closeWriteChannel();
    QByteArray output;
    const auto deadline = std::chrono::steady_clock::now() + kMountTimeout;
    while (gio.state() != QProcess::NotRunning) {
        if (std::chrono::steady_clock::now() > deadline) {
            gio.kill();
            gio.waitForFinished();
            return false;
        }
        gio.waitForReadyRead(100);
        output += gio.readAllStandardOutput();
        const QByteArray asked = question(output);
        const QByteArray answer = answering ? answerTo(asked, login) : QByteArray();
        if (answer.isEmpty()) continue;
        gio.write(answer);
        // The password is asked last: questions after it mean the login
        // was refused, and the end of input makes gio give up.
        if (asked.startsWith("Password")) gio.closeWriteChannel();
        output.clear();
    }
    return true;
}

}  // namespace

GvfsShares::GvfsShares(std::string gvfsFolder, std::string gio)
    : folder_(gvfsFolder.empty() ? sessionGvfsFolder() : std::move(gvfsFolder)),
      gio_(std::move(gio)) {}

std::optional<MountedShare> GvfsShares::mounted(const NetworkShare& share) {
    const QDir gvfs(QString::fromStdString(folder_));
    for (const QString& name : gvfs.entryList({"smb-share:*"}, QDir::Dirs)) {
        const auto fields = mountFields(name);
        if (fields.value("server").compare(QString::fromStdString(share.server),
                                           Qt::CaseInsensitive) == 0 &&
            fields.value("share").compare(QString::fromStdString(share.share),
                                          Qt::CaseInsensitive) == 0) {
            return MountedShare{gvfs.filePath(name).toStdString(),
                                fields.value("user").toStdString()};
        }
    }
    return std::nullopt;
}

Result GvfsShares::mount(const NetworkShare& share, const ShareLogin& login) {
    QProcess gio;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LC_ALL", "C");  // the questions in the words answerTo looks for
    gio.setProcessEnvironment(environment);
    gio.start(QString::fromStdString(gio_), {"mount", shareUri(share, login)});
    if (!gio.waitForStarted()) return Result::failure(gio.errorString().toStdString());
    if (!runAnswering(gio, login)) return Result::failure("the server did not answer");
    if (gio.exitStatus() == QProcess::NormalExit && gio.exitCode() == 0) return Result::success();
    return Result::failure(errorText(gio.readAllStandardError()));
}

}  // namespace ks
