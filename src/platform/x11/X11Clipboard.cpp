#include "platform/x11/X11Clipboard.h"

#include <algorithm>
#include <array>

#include <QSocketNotifier>
#include <QTimer>

#include "platform/qt/ClipboardTargets.h"
#include "platform/x11/OwnDisplay.h"

// After Qt's headers: Xlib defines macros (Bool, Status) that Qt's use as names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

namespace ks::x11 {

namespace {

constexpr std::chrono::milliseconds kLookInterval{10};

struct XFreeDeleter {
    void operator()(void* data) const { XFree(data); }
};

// A property's items as Xlib hands them over: bytes for format 8, longs for 32.
struct Property {
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    Bytes data;
};

// Reads and deletes the window's property, in pieces, whole.
Property takeProperty(Display* display, Window window, Atom property) {
    Property taken;
    constexpr long kPieceLongs = 1L << 20;
    for (long offset = 0;;) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* raw = nullptr;
        if (XGetWindowProperty(display, window, property, offset, kPieceLongs, False,
                               AnyPropertyType, &type, &format, &items, &after, &raw) != Success) {
            break;
        }
        const std::unique_ptr<unsigned char, XFreeDeleter> owned(raw);
        taken.type = type;
        taken.format = format;
        taken.items += items;
        const std::size_t unit = format == 32 ? sizeof(long) : format == 16 ? sizeof(short) : 1;
        if (raw != nullptr) taken.data.insert(taken.data.end(), raw, raw + items * unit);
        offset += static_cast<long>(items * static_cast<unsigned long>(format) / 32);
        if (after == 0 || items == 0) break;
    }
    XDeleteProperty(display, window, property);
    XFlush(display);
    return taken;
}

// So that the window commands leave it alone while a read is under way.
void markAsOwn(Display* display, Window window) {
    const long pid = static_cast<long>(getpid());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
}

class X11ClipboardRead final : public ClipboardRead {
public:
    X11ClipboardRead(const std::string& displayName, QtClipboard& numbering, ClipboardChoice choose,
                     std::function<void()> answered)
        : display_(openOwnDisplay(displayName)),
          numbering_(numbering),
          choose_(std::move(choose)),
          answered_(std::move(answered)) {
        if (!display_) {
            state_ = State::Failed;
            return;
        }
        Display* display = display_.get();
        window_ = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
        XSelectInput(display, window_, PropertyChangeMask);
        markAsOwn(display, window_);
        clipboard_ = XInternAtom(display, "CLIPBOARD", False);
        property_ = XInternAtom(display, "KEYSTRIDER_CLIPBOARD", False);
        incr_ = XInternAtom(display, "INCR", False);
        notifier_ =
            std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this] { handleEvents(); });
        // Under Qt's GLib event dispatcher the notifier at times stayed
        // silent for good while answers waited on the connection (never so
        // with QT_NO_GLIB=1); a look now and then catches those.
        QObject::connect(&look_, &QTimer::timeout, &look_, [this] { handleEvents(); });
        look_.start(kLookInterval);
        quiet_.setSingleShot(true);
        quiet_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&quiet_, &QTimer::timeout, &quiet_, [this] { finish(State::Failed); });
        ask(XInternAtom(display, "TARGETS", False), Step::Targets);
    }

    ~X11ClipboardRead() override {
        notifier_.reset();
        if (display_ && window_ != None) XDestroyWindow(display_.get(), window_);
    }

    State state() const override { return state_; }
    const std::optional<ClipboardContent>& content() const override { return content_; }

private:
    enum class Step { Targets, Data, Pieces };

    void ask(Atom target, Step step) {
        step_ = step;
        XConvertSelection(display_.get(), clipboard_, target, property_, window_, CurrentTime);
        XFlush(display_.get());
        heard();
    }

    // The owner said something: its time runs anew.
    void heard() { quiet_.start(static_cast<int>(kClipboardQuietLimit.count())); }

    void handleEvents() {
        Display* display = display_.get();
        while (state_ == State::Waiting && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == SelectionNotify && event.xselection.requestor == window_) {
                answer(event.xselection.property);
            } else if (event.type == PropertyNotify && step_ == Step::Pieces &&
                       event.xproperty.atom == property_ &&
                       event.xproperty.state == PropertyNewValue) {
                piece();
            }
        }
    }

    void answer(Atom property) {
        const bool refused = property == None;
        if (step_ == Step::Targets) {
            // No owner, or one that names no targets: an empty clipboard.
            if (refused) return finish(State::Read);
            return chooseTarget(takeProperty(display_.get(), window_, property_));
        }
        if (refused) return finish(State::Failed);
        Property data = takeProperty(display_.get(), window_, property_);
        if (data.type == incr_) {
            step_ = Step::Pieces;
            heard();
            return;
        }
        if (data.data.size() > kClipboardSizeLimit) return finish(State::Failed);
        content_->bytes = std::move(data.data);
        complete();
    }

    void chooseTarget(const Property& targets) {
        if (targets.format != 32) return finish(State::Read);
        const auto* atoms = reinterpret_cast<const Atom*>(targets.data.data());
        std::vector<std::string> names;
        for (unsigned long i = 0; i < targets.items; ++i) {
            char* raw = XGetAtomName(display_.get(), atoms[i]);
            const std::unique_ptr<char, XFreeDeleter> name(raw);
            names.emplace_back(raw != nullptr ? raw : "");
        }
        const ClipboardTargets offered = classifyTargets(names, numbering_);
        const std::optional<std::uint32_t> format = choose_(offered.distinct());
        if (!format) return finish(State::Read);
        const std::size_t target = offered.targetFor(*format);
        if (target == offered.names.size()) return finish(State::Failed);
        targetName_ = offered.names[target];
        content_ = ClipboardContent{*format, {}};
        ask(atoms[offered.offered[target]], Step::Data);
    }

    // One piece of an incremental transfer; an empty one ends it.
    void piece() {
        heard();
        Property data = takeProperty(display_.get(), window_, property_);
        if (data.data.empty()) return complete();
        if (content_->bytes.size() + data.data.size() > kClipboardSizeLimit) {
            return finish(State::Failed);
        }
        content_->bytes.insert(content_->bytes.end(), data.data.begin(), data.data.end());
    }

    void complete() {
        std::optional<Bytes> bytes =
            contentFromTarget(content_->format, targetName_, std::move(content_->bytes));
        if (!bytes) return finish(State::Failed);
        content_->bytes = std::move(*bytes);
        finish(State::Read);
    }

    void finish(State state) {
        if (state_ != State::Waiting) return;
        state_ = state;
        if (state == State::Failed) content_.reset();
        quiet_.stop();
        look_.stop();
        notifier_->setEnabled(false);
        if (answered_) answered_();
    }

    OwnDisplay display_;
    QtClipboard& numbering_;
    ClipboardChoice choose_;
    std::function<void()> answered_;
    State state_ = State::Waiting;
    Step step_ = Step::Targets;
    std::optional<ClipboardContent> content_;
    std::string targetName_;
    Window window_ = None;
    Atom clipboard_ = None;
    Atom property_ = None;
    Atom incr_ = None;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer quiet_;
    QTimer look_;
};

}  // namespace

std::unique_ptr<ClipboardRead> X11Clipboard::read(const ClipboardChoice& choose,
                                                  std::function<void()> answered) {
    return std::make_unique<X11ClipboardRead>(display_, qt_, choose, std::move(answered));
}

}  // namespace ks::x11
