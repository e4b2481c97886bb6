#include "app/Autostart.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace ks {

QString autostartFile() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("autostart/org.quorvel.Keystrider.desktop"));
}

bool startsWithDesktop() {
    QFile entry(autostartFile());
    if (!entry.open(QIODevice::ReadOnly)) return false;
    while (!entry.atEnd()) {
        if (entry.readLine().trimmed() == "Hidden=true") return false;
    }
    return true;
}

QString execValue(const QString& program) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString value = program;
    value.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (std::none_of(value.begin(), value.end(), [](QChar c) { return reserved.contains(c); })) {
        return value;
    }
    // Quoted, the key escapes four characters with a backslash; the file's
    // string rules then escape every backslash once more.
    QString quoted;
    for (const QChar c : value) {
        if (QStringLiteral("\"`$\\").contains(c)) quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

Result setStartWithDesktop(bool on, const QString& program) {
    const QString path = autostartFile();
    if (!on) {
        if (!QFile::exists(path) || QFile::remove(path)) return Result::success();
        return Result::failure(QFile(path).errorString().toStdString());
    }
    if (!QDir().mkpath(QFileInfo(path).path())) {
        return Result::failure("cannot create " + QFileInfo(path).path().toStdString());
    }
    QSaveFile entry(path);
    if (!entry.open(QIODevice::WriteOnly))
        return Result::failure(entry.errorString().toStdString());
    const QString text = QStringLiteral(
                             "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Keystrider\n"
                             "Comment=Runs macros started by hot keys, typed words and schedules\n"
                             "Exec=%1\n"
                             "Icon=keystrider\n"
                             "Terminal=false\n"
                             "X-GNOME-Autostart-enabled=true\n")
                             .arg(execValue(program));
    entry.write(text.toUtf8());
    if (!entry.commit()) return Result::failure(entry.errorString().toStdString());
    return Result::success();
}

}  // namespace ks
