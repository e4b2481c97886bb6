#include "platform/qt/QtDialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "core/Messages.h"

namespace ks {

namespace {

// Space around a prompt window's fields and above its OK button.
constexpr int kMargin = 10;

QRect primaryScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry() : QRect();
}

// Follows a dialog until it closes: accepted, or closed any other way.
void trackState(QDialog& dialog, DialogState& state) {
    QObject::connect(&dialog, &QDialog::finished, &dialog, [&state](int result) {
        state = result == QDialog::Accepted ? DialogState::Accepted : DialogState::Dismissed;
    });
}

void bringToFront(QDialog& dialog) {
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

// A message box's body: read-only text that wraps, anywhere if need be, and
// scrolls once it would take more than half the screen either way, so that
// no body, however long, pushes the box or its buttons off the screen.
QWidget* bodyView(const QString& text) {
    auto* view = new QPlainTextEdit(text);
    view->setReadOnly(true);
    view->setFrameShape(QFrame::NoFrame);
    view->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    view->viewport()->setAutoFillBackground(false);
    const QSize screen = primaryScreen().size();
    const QSize limit(std::max(screen.width() / 2, 200), std::max(screen.height() / 2, 100));
    const QFontMetrics metrics(view->font());
    const QRect needed = metrics.boundingRect(QRect(QPoint(), limit),
                                              Qt::TextWrapAnywhere | Qt::TextExpandTabs, text);
    const int room = 2 * static_cast<int>(view->document()->documentMargin()) + 2;
    const int scrollBar = view->verticalScrollBar()->sizeHint().width();
    const bool scrolls = needed.height() + room > limit.height();
    view->setFixedSize(std::min(needed.width() + room + (scrolls ? scrollBar : 0), limit.width()),
                       std::min(needed.height() + room, limit.height()));
    return view;
}

class QtMessageBoxWindow final : public MessageBoxWindow {
public:
    explicit QtMessageBoxWindow(const MessageBoxSpec& spec) : timeout_(spec.timeout) {
        line_ = messageLine(MessageBox{spec.body, spec.title});
        dialog_.setWindowTitle(QString::fromStdString(spec.title));
        dialog_.setWindowFlag(Qt::WindowStaysOnTopHint, spec.stayOnTop);
        auto* layout = new QVBoxLayout(&dialog_);
        layout->addWidget(bodyView(QString::fromStdString(spec.body)));
        auto* buttons = new QDialogButtonBox;
        QPushButton* accept = buttons->addButton(spec.continueAbort ? "Continue" : "OK",
                                                 QDialogButtonBox::AcceptRole);
        if (spec.continueAbort) buttons->addButton("&Abort", QDialogButtonBox::RejectRole);
        accept->setDefault(true);
        layout->addWidget(buttons);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog_, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog_, &QDialog::reject);
        QObject::connect(&timer_, &QTimer::timeout, &dialog_, &QDialog::accept);
        timer_.setSingleShot(true);
        // A coarse timer may fire up to 5% early; the box must stay its whole time.
        timer_.setTimerType(Qt::PreciseTimer);
        trackState(dialog_, state_);
        dialog_.setMaximumSize(primaryScreen().size());
        dialog_.adjustSize();
    }

    ScreenSize size() const override { return {dialog_.width(), dialog_.height()}; }
    void moveTo(int left, int top) override { dialog_.move(left, top); }

    void show(bool activate) override {
        std::fprintf(stderr, "%s\n", line_.c_str());
        std::fflush(stderr);
        if (activate) {
            bringToFront(dialog_);
        } else {
            dialog_.setAttribute(Qt::WA_ShowWithoutActivating);
            dialog_.show();
        }
        if (timeout_.count() > 0) timer_.start(timeout_);
    }

    DialogState state() const override { return state_; }

private:
    std::chrono::milliseconds timeout_;
    std::string line_;
    DialogState state_ = DialogState::Open;
    QDialog dialog_;
    QTimer timer_;
};

class QtPromptWindow final : public PromptWindow {
public:
    explicit QtPromptWindow(const PromptForm& form) {
        if (form.title) dialog_.setWindowTitle(QString::fromStdString(*form.title));
        const int captionHeight = QFontMetrics(dialog_.font()).height() + 2;
        int right = 0;
        int bottom = 0;
        for (std::size_t i = 0; i < form.fields.size(); ++i) {
            const PromptField& field = form.fields[i];
            QWidget* box = addField(field, captionHeight);
            if (i == form.focus) box->setFocus();
            right = std::max(right, field.x + field.width);
            bottom = std::max(bottom, field.y + captionHeight + field.height);
        }
        auto* ok = new QPushButton("OK", &dialog_);
        ok->setDefault(true);
        ok->adjustSize();
        QObject::connect(ok, &QPushButton::clicked, &dialog_, &QDialog::accept);
        const int width = std::max(right, ok->width()) + 2 * kMargin;
        ok->move(width - kMargin - ok->width(), bottom + 2 * kMargin);
        dialog_.setFixedSize(width, ok->y() + ok->height() + kMargin);
        dialog_.move(primaryScreen().center() - dialog_.rect().center());
        dialog_.setWindowModality(Qt::ApplicationModal);
        trackState(dialog_, state_);
        bringToFront(dialog_);
    }

    DialogState state() const override { return state_; }

    std::vector<std::string> texts() const override {
        std::vector<std::string> out;
        for (const auto& read : readers_) out.push_back(read().toStdString());
        return out;
    }

private:
    // The caption goes on the line above its box.
    QWidget* addField(const PromptField& field, int captionHeight) {
        auto* caption = new QLabel(QString::fromStdString(field.caption), &dialog_);
        caption->setGeometry(kMargin + field.x, kMargin + field.y, field.width, captionHeight);
        QWidget* box = nullptr;
        if (field.multiLine) {
            auto* edit = new QPlainTextEdit(&dialog_);
            readers_.emplace_back([edit] { return edit->toPlainText(); });
            box = edit;
        } else {
            auto* edit = new QLineEdit(&dialog_);
            readers_.emplace_back([edit] { return edit->text(); });
            box = edit;
        }
        box->setGeometry(kMargin + field.x, kMargin + field.y + captionHeight, field.width,
                         field.height);
        return box;
    }

    DialogState state_ = DialogState::Open;
    QDialog dialog_;
    std::vector<std::function<QString()>> readers_;
};

}  // namespace

ScreenSize QtDialogs::screenSize() {
    const QRect screen = primaryScreen();
    return {screen.width(), screen.height()};
}

std::unique_ptr<MessageBoxWindow> QtDialogs::createMessageBox(const MessageBoxSpec& spec) {
    return std::make_unique<QtMessageBoxWindow>(spec);
}

std::unique_ptr<PromptWindow> QtDialogs::showPrompt(const PromptForm& form) {
    return std::make_unique<QtPromptWindow>(form);
}

}  // namespace ks
