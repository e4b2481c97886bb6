#include "app/HelpWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPointer>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QVBoxLayout>

#include "commands/CommandTable.h"
#include "core/CommandId.h"
#include "editors/MacroBody.h"
#include "editors/ParameterTable.h"

namespace ks {

namespace {

// Markdown headings carry no anchors in Qt's reader: each gets the name a
// link to it uses, so both Guide::open's sections and the guide's own
// "#section" links find it.
void nameHeadings(QTextDocument& document) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0) continue;
        QTextCursor cursor(block);
        cursor.select(QTextCursor::BlockUnderCursor);
        QTextCharFormat anchor;
        anchor.setAnchor(true);
        anchor.setAnchorNames({headingAnchor(block.text())});
        cursor.mergeCharFormat(anchor);
    }
}

class GuideBrowser final : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;

protected:
    void doSetSource(const QUrl& url, QTextDocument::ResourceType type) override {
        const QUrl page = url.adjusted(QUrl::RemoveFragment);
        if (page != source().adjusted(QUrl::RemoveFragment)) {
            QTextBrowser::doSetSource(page, type);
            nameHeadings(*document());
        }
        if (url.hasFragment() && !url.fragment().isEmpty()) {
            scrollToAnchor(url.fragment());
        } else {
            moveCursor(QTextCursor::Start);
            ensureCursorVisible();
        }
    }
};

}  // namespace

class HelpWindow final : public QWidget {
public:
    explicit HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowTitle(QStringLiteral("Keystrider - Help"));
        browser_ = new GuideBrowser(this);
        browser_->setOpenExternalLinks(true);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(browser_);
        resize(760, 640);
    }
    void open(const QUrl& url) { browser_->setSource(url, QTextDocument::MarkdownResource); }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) {
            close();
            return;
        }
        QWidget::keyPressEvent(event);
    }

private:
    GuideBrowser* browser_;
};

QString headingAnchor(const QString& heading) {
    QString anchor;
    for (const QChar c : heading.trimmed().toLower()) {
        if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_')) {
            anchor += c;
        } else if (c == QLatin1Char(' ')) {
            anchor += QLatin1Char('-');
        }
    }
    return anchor;
}

std::string helpSection(std::uint32_t command) {
    if (!isNamedCommand(command) || !hasParameters(command)) return kMacroEditorSection;
    // One heading tells of both.
    if (command == kSendDate || command == kSendTime) return "send-date-and-send-time";
    const std::string_view name = commandName(command);
    return headingAnchor(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())))
        .toStdString();
}

QString guideFile() {
    const QString installed =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(KS_GUIDE_FROM_BIN));
    return QFileInfo::exists(installed) ? QDir::cleanPath(installed)
                                        : QStringLiteral(KS_GUIDE_SOURCE);
}

void Guide::open(const std::string& section) {
    // A window outside an open modal dialog would take no input: the help
    // window belongs to the dialog then, and goes with it.
    QWidget* owner = QApplication::activeModalWidget();
    if (window_ && window_->parentWidget() != owner) {
        window_->close();
        window_ = nullptr;
    }
    if (!window_) window_ = new HelpWindow(owner);
    QUrl url = QUrl::fromLocalFile(guideFile());
    if (!section.empty()) url.setFragment(QString::fromStdString(section));
    window_->open(url);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

}  // namespace ks
