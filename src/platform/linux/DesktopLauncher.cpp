#include "platform/linux/DesktopLauncher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace ks {
namespace {

// An address such as https://host/page or mailto:someone, which only the opener knows.
bool isAddress(const QString& file) {
    const QUrl url(file, QUrl::StrictMode);
    return url.isValid() && url.scheme().size() > 1 && !url.isLocalFile();
}

// The file a name stands for: a path as it is, relative to `folder`;
// a bare name in `folder` if there, else a program on the search path.
QString resolve(const QString& file, const QString& folder) {
    const QDir base = folder.isEmpty() ? QDir::current() : QDir(folder);
    if (file.contains('/') || QFileInfo::exists(base.filePath(file))) {
        return QDir::cleanPath(base.absoluteFilePath(file));
    }
    const QString program = QStandardPaths::findExecutable(file);
    return program.isEmpty() ? base.absoluteFilePath(file) : program;
}

// A file the system can run: executable, and a program (ELF) or a script.
// Files on shares and FAT disks are often all marked executable, documents too.
bool isProgram(const QFileInfo& file) {
    if (!file.isFile() || !file.isExecutable()) return false;
    QFile opened(file.filePath());
    if (!opened.open(QIODevice::ReadOnly)) return false;
    const QByteArray start = opened.read(4);
    return start == "\177ELF" || start.startsWith("#!");
}

Result startDetached(const QString& program, const QStringList& arguments, const QString& folder) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (!folder.isEmpty()) process.setWorkingDirectory(folder);
    if (!process.startDetached()) return Result::failure(process.errorString().toStdString());
    return Result::success();
}

}  // namespace

Result DesktopLauncher::open(const std::string& file, const std::vector<std::string>& arguments,
                             const std::string& folder) {
    const QString name = QString::fromStdString(file);
    const QString workingFolder = QString::fromStdString(folder);
    const QString opener = QString::fromStdString(opener_);
    if (name.isEmpty()) return Result::failure("no file named");
    const QFileInfo target(resolve(name, workingFolder));
    if (!target.exists()) {
        if (isAddress(name)) return startDetached(opener, {name}, workingFolder);
        return Result::failure("no such file");
    }
    if (isProgram(target)) {
        QStringList words;
        for (const std::string& argument : arguments) words << QString::fromStdString(argument);
        return startDetached(target.filePath(), words, workingFolder);
    }
    return startDetached(opener, {target.filePath()}, workingFolder);
}

}  // namespace ks
