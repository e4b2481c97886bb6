#include "platform/wayland/WaylandClipboard.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <string>

#include <QSocketNotifier>
#include <QTimer>

#include "platform/qt/ClipboardTargets.h"
#include "platform/qt/QtClipboard.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandEventNotifier.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace ks::wayland {

namespace {

// A descriptor closed when its owner goes.
class OwnedFd {
public:
    explicit OwnedFd(int fd = -1) : fd_(fd) {}
    OwnedFd(OwnedFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    OwnedFd& operator=(OwnedFd&& other) noexcept {
        reset(std::exchange(other.fd_, -1));
        return *this;
    }
    ~OwnedFd() { reset(); }
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

// A write into a pipe whose reader has gone raises SIGPIPE, which would end
// the program: the signal is held back on this thread for the write, and
// taken back when the write raised it.
ssize_t writeWithoutSigpipe(int fd, const std::uint8_t* data, std::size_t size) {
    sigset_t pipeOnly, previous, pending;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    sigpending(&pending);
    const bool alreadyPending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
    const ssize_t written = ::write(fd, data, size);
    const int error = errno;
    if (written < 0 && error == EPIPE && !alreadyPending) {
        const timespec now{};
        sigtimedwait(&pipeOnly, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return written;
}

void startQuietTimer(QTimer& timer) {
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    timer.start(static_cast<int>(kClipboardQuietLimit.count()));
}

// Writes the program's data to one reader, as fast as the reader takes it;
// a reader that takes nothing for kClipboardQuietLimit is given up.
class PipeWriter {
public:
    PipeWriter(OwnedFd fd, std::shared_ptr<const Bytes> bytes)
        : fd_(std::move(fd)),
          bytes_(std::move(bytes)),
          notifier_(fd_.get(), QSocketNotifier::Write) {
        ::fcntl(fd_.get(), F_SETFL, ::fcntl(fd_.get(), F_GETFL) | O_NONBLOCK);
        QObject::connect(&notifier_, &QSocketNotifier::activated, &notifier_, [this] { write(); });
        QObject::connect(&quiet_, &QTimer::timeout, &quiet_, [this] { stop(); });
        startQuietTimer(quiet_);
    }
    bool done() const { return fd_.get() < 0; }

private:
    void write() {
        while (written_ < bytes_->size()) {
            const ssize_t wrote = writeWithoutSigpipe(fd_.get(), bytes_->data() + written_,
                                                      bytes_->size() - written_);
            if (wrote < 0 && errno == EINTR) continue;
            if (wrote < 0 && errno == EAGAIN) {
                startQuietTimer(quiet_);
                return;
            }
            if (wrote <= 0) break;
            written_ += static_cast<std::size_t>(wrote);
        }
        stop();
    }
    void stop() {
        notifier_.setEnabled(false);
        quiet_.stop();
        fd_.reset();
    }

    OwnedFd fd_;
    std::shared_ptr<const Bytes> bytes_;
    std::size_t written_ = 0;
    QSocketNotifier notifier_;
    QTimer quiet_;
};

// One read from another program: the bytes its owner writes into a pipe,
// taken as they come while the event loop runs.
class PipeRead final : public ClipboardRead {
public:
    PipeRead(OwnedFd fd, std::uint32_t format, std::string type, std::function<void()> answered)
        : fd_(std::move(fd)),
          format_(format),
          type_(std::move(type)),
          answered_(std::move(answered)),
          notifier_(fd_.get(), QSocketNotifier::Read) {
        ::fcntl(fd_.get(), F_SETFL, ::fcntl(fd_.get(), F_GETFL) | O_NONBLOCK);
        QObject::connect(&notifier_, &QSocketNotifier::activated, &notifier_, [this] { take(); });
        QObject::connect(&quiet_, &QTimer::timeout, &quiet_, [this] { finish(State::Failed); });
        startQuietTimer(quiet_);
    }

    State state() const override { return state_; }
    const std::optional<ClipboardContent>& content() const override { return content_; }

    // Without the event loop: waits for the owner within the same limits.
    void waitForAnswer() {
        while (state_ == State::Waiting) {
            pollfd readable{fd_.get(), POLLIN, 0};
            const int ready = ::poll(&readable, 1, static_cast<int>(kClipboardQuietLimit.count()));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return finish(State::Failed);
            take();
        }
    }

private:
    void take() {
        std::uint8_t chunk[65536];
        for (;;) {
            const ssize_t got = ::read(fd_.get(), chunk, sizeof chunk);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 && errno == EAGAIN) break;
            if (got < 0) return finish(State::Failed);
            if (got == 0) return complete();
            if (bytes_.size() + static_cast<std::size_t>(got) > kClipboardSizeLimit) {
                return finish(State::Failed);
            }
            bytes_.insert(bytes_.end(), chunk, chunk + got);
        }
        startQuietTimer(quiet_);
    }

    void complete() {
        std::optional<Bytes> bytes = contentFromTarget(format_, type_, std::move(bytes_));
        if (!bytes) return finish(State::Failed);
        content_ = ClipboardContent{format_, std::move(*bytes)};
        finish(State::Read);
    }

    void finish(State state) {
        if (state_ != State::Waiting) return;
        state_ = state;
        notifier_.setEnabled(false);
        quiet_.stop();
        fd_.reset();
        if (answered_) answered_();
    }

    OwnedFd fd_;
    std::uint32_t format_;
    std::string type_;
    std::function<void()> answered_;
    State state_ = State::Waiting;
    Bytes bytes_;
    std::optional<ClipboardContent> content_;
    QSocketNotifier notifier_;
    QTimer quiet_;
};

}  // namespace

struct WaylandClipboard::Impl {
    std::unique_ptr<WaylandConnection> connection;
    zwlr_data_control_manager_v1* manager = nullptr;
    wl_seat* seat = nullptr;
    zwlr_data_control_device_v1* device = nullptr;
    std::unique_ptr<WaylandEventNotifier> notifier;
    // Offers announced, with their types, until the selection names one.
    std::map<zwlr_data_control_offer_v1*, std::vector<std::string>> offers;
    zwlr_data_control_offer_v1* selection = nullptr;
    // What the program offers while it owns the selection.
    zwlr_data_control_source_v1* source = nullptr;
    std::vector<std::string> sourceTypes;
    std::shared_ptr<const Bytes> sourceBytes;
    std::vector<std::unique_ptr<PipeWriter>> writers;
    QtClipboard numbering;

    static void onOfferType(void* data, zwlr_data_control_offer_v1* offer, const char* type) {
        static_cast<Impl*>(data)->offers[offer].emplace_back(type);
    }

    static void onDataOffer(void* data, zwlr_data_control_device_v1*,
                            zwlr_data_control_offer_v1* offer) {
        static constexpr zwlr_data_control_offer_v1_listener kOfferListener{onOfferType};
        auto* impl = static_cast<Impl*>(data);
        impl->offers[offer];
        zwlr_data_control_offer_v1_add_listener(offer, &kOfferListener, impl);
    }

    // Only the offer that is the selection now is kept.
    static void onSelection(void* data, zwlr_data_control_device_v1*,
                            zwlr_data_control_offer_v1* offer) {
        auto* impl = static_cast<Impl*>(data);
        for (auto at = impl->offers.begin(); at != impl->offers.end();) {
            if (at->first == offer) {
                ++at;
                continue;
            }
            zwlr_data_control_offer_v1_destroy(at->first);
            at = impl->offers.erase(at);
        }
        impl->selection = offer;
    }

    static void onFinished(void* data, zwlr_data_control_device_v1* device) {
        auto* impl = static_cast<Impl*>(data);
        zwlr_data_control_device_v1_destroy(device);
        impl->device = nullptr;
    }

    static void onSend(void* data, zwlr_data_control_source_v1* source, const char* type, int fd) {
        auto* impl = static_cast<Impl*>(data);
        OwnedFd pipe(fd);
        if (source != impl->source) return;
        if (std::find(impl->sourceTypes.begin(), impl->sourceTypes.end(), type) ==
            impl->sourceTypes.end()) {
            return;
        }
        std::erase_if(impl->writers, [](const auto& writer) { return writer->done(); });
        impl->writers.push_back(std::make_unique<PipeWriter>(std::move(pipe), impl->sourceBytes));
    }

    static void onCancelled(void* data, zwlr_data_control_source_v1* source) {
        auto* impl = static_cast<Impl*>(data);
        if (source == impl->source) impl->dropSource();
        zwlr_data_control_source_v1_destroy(source);
    }

    void dropSource() {
        source = nullptr;
        sourceTypes.clear();
        sourceBytes.reset();
    }

    // The types of the selection after the compositor's latest news; nothing
    // when the connection is lost.
    std::optional<std::vector<std::string>> selectionTypes() {
        if (device == nullptr || !connection->roundtrip()) return std::nullopt;
        if (selection == nullptr) return std::vector<std::string>{};
        return offers[selection];
    }

    ~Impl() {
        notifier.reset();
        writers.clear();
        for (const auto& [offer, types] : offers) zwlr_data_control_offer_v1_destroy(offer);
        if (source != nullptr) zwlr_data_control_source_v1_destroy(source);
        if (device != nullptr) zwlr_data_control_device_v1_destroy(device);
        if (manager != nullptr) zwlr_data_control_manager_v1_destroy(manager);
        if (seat != nullptr) wl_seat_destroy(seat);
        connection->flush();
    }
};

Expected<std::unique_ptr<WaylandClipboard>> WaylandClipboard::open(
    std::unique_ptr<WaylandConnection> connection) {
    auto impl = std::make_unique<Impl>();
    auto manager = connection->bind<zwlr_data_control_manager_v1>(
        zwlr_data_control_manager_v1_interface, 1, 1);
    if (!manager) return manager.status();
    impl->manager = *manager;
    auto seat = connection->bind<wl_seat>(wl_seat_interface, 1, 1);
    if (!seat) return seat.status();
    impl->seat = *seat;
    impl->connection = std::move(connection);
    impl->device = zwlr_data_control_manager_v1_get_data_device(impl->manager, impl->seat);
    static constexpr zwlr_data_control_device_v1_listener kDeviceListener{
        Impl::onDataOffer, Impl::onSelection, Impl::onFinished, nullptr};
    zwlr_data_control_device_v1_add_listener(impl->device, &kDeviceListener, impl.get());
    impl->notifier = std::make_unique<WaylandEventNotifier>(*impl->connection);
    if (Result synced = impl->connection->roundtrip(); !synced) return synced;
    return std::unique_ptr<WaylandClipboard>(new WaylandClipboard(std::move(impl)));
}

WaylandClipboard::WaylandClipboard(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

WaylandClipboard::~WaylandClipboard() = default;

std::optional<std::vector<std::uint32_t>> WaylandClipboard::formats() {
    const auto types = impl_->selectionTypes();
    if (!types) return std::nullopt;
    return classifyTargets(*types, impl_->numbering).distinct();
}

std::optional<Bytes> WaylandClipboard::data(std::uint32_t format) {
    auto reading = read([format](const std::vector<std::uint32_t>&) { return format; }, {});
    if (auto* pipe = dynamic_cast<PipeRead*>(reading.get())) pipe->waitForAnswer();
    if (reading->state() != ClipboardRead::State::Read || !reading->content()) return std::nullopt;
    return reading->content()->bytes;
}

std::unique_ptr<ClipboardRead> WaylandClipboard::read(const ClipboardChoice& choose,
                                                      std::function<void()> answered) {
    using State = ClipboardRead::State;
    const auto types = impl_->selectionTypes();
    if (!types) return std::make_unique<FinishedClipboardRead>(State::Failed);
    const ClipboardTargets offered = classifyTargets(*types, impl_->numbering);
    const std::optional<std::uint32_t> format = choose(offered.distinct());
    if (!format) return std::make_unique<FinishedClipboardRead>(State::Read);
    const std::size_t target = offered.targetFor(*format);
    if (target == offered.names.size())
        return std::make_unique<FinishedClipboardRead>(State::Failed);
    const std::string& type = offered.names[target];
    // The program's own data needs no pipe: waiting on one would wait for
    // the event loop that writes it.
    if (impl_->source != nullptr && impl_->sourceBytes) {
        auto content = contentFromTarget(*format, type, *impl_->sourceBytes);
        if (!content) return std::make_unique<FinishedClipboardRead>(State::Failed);
        return std::make_unique<FinishedClipboardRead>(
            State::Read, ClipboardContent{*format, std::move(*content)});
    }
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return std::make_unique<FinishedClipboardRead>(State::Failed);
    OwnedFd readEnd(ends[0]);
    OwnedFd writeEnd(ends[1]);
    // libwayland sends a copy of the descriptor; ours closes at once, so the
    // owner's close is the end of the data.
    zwlr_data_control_offer_v1_receive(impl_->selection, type.c_str(), writeEnd.get());
    if (!impl_->connection->flush()) return std::make_unique<FinishedClipboardRead>(State::Failed);
    writeEnd.reset();
    return std::make_unique<PipeRead>(std::move(readEnd), *format, type, std::move(answered));
}

bool WaylandClipboard::clear() {
    if (impl_->device == nullptr) return false;
    zwlr_data_control_device_v1_set_selection(impl_->device, nullptr);
    return impl_->connection->roundtrip().ok();
}

bool WaylandClipboard::offer(std::uint32_t format, const Bytes& bytes) {
    std::optional<OfferedData> offered = dataToOffer(format, bytes, impl_->numbering);
    if (!offered || impl_->device == nullptr) return false;
    zwlr_data_control_source_v1* source =
        zwlr_data_control_manager_v1_create_data_source(impl_->manager);
    static constexpr zwlr_data_control_source_v1_listener kSourceListener{Impl::onSend,
                                                                          Impl::onCancelled};
    zwlr_data_control_source_v1_add_listener(source, &kSourceListener, impl_.get());
    for (const std::string& type : offered->types) {
        zwlr_data_control_source_v1_offer(source, type.c_str());
    }
    // The previous source hears it is cancelled, and goes then.
    impl_->source = source;
    impl_->sourceTypes = std::move(offered->types);
    impl_->sourceBytes = std::make_shared<const Bytes>(std::move(offered->bytes));
    zwlr_data_control_device_v1_set_selection(impl_->device, source);
    // Another program may take the clipboard in the same moment.
    return impl_->connection->roundtrip().ok() && impl_->source == source;
}

}  // namespace ks::wayland
