#include "app/Engine.h"

#include "app/MainWindow.h"
#include "keys/KeyNames.h"
#include "net/PeerExchange.h"
#include "net/Reply.h"

#include <QTimer>

#include <initializer_list>
#include <vector>

namespace ks {

namespace {

// The keyboard-watch thread as the shell drives it. While it lives, every
// key the program synthesises is announced to it before it is sent.
class PhraseWatchThread final : public PhraseWatch {
public:
    PhraseWatchThread(ApplicationQueue& queue, Clock& clock, Platform& platform,
                      HookThread*& current)
        : thread_(HookThread::Setup{queue, clock, [&platform] { return platform.makeKeyWatch(); },
                                    [&platform] { return platform.makeCancelWatch(); }}),
          injector_(platform.injector()),
          current_(current) {
        current_ = &thread_;
        injector_.setKeyAnnouncer(
            [this](std::uint8_t scan, bool down) { thread_.postOwnKey(scan, down); });
    }
    ~PhraseWatchThread() override {
        injector_.setKeyAnnouncer(nullptr);
        current_ = nullptr;
    }

    bool postStartWatching() override { return thread_.postInstallHooks(); }
    bool postStopWatching() override { return thread_.postRemoveHooks(); }
    bool postEnd() override { return thread_.postEnd(); }

private:
    HookThread thread_;
    InputInjector& injector_;
    HookThread*& current_;
};

}  // namespace

Engine::Engine(SettingsStore& store, Messages& messages, Platform& platform, ProgramFront& front)
    : store_(store),
      messages_(messages),
      front_(front),
      platform_(platform),
      keyNames_(platform.keymap()),
      variables_(messages),
      expansion_(messages, platform.systemValues(), variables_),
      runner_(store, messages, expansion_, queue_, dispatch_, clock_),
      inputCommands_(store, messages,
                     InputServices{platform.keymap(), platform.injector(), platform.spareKeys(),
                                   platform.keyboard(), platform.windows()},
                     [this](std::chrono::milliseconds wait) { runner_.waitWhileRunning(wait); }),
      textCommands_(messages, expansion_, variables_, platform.clipboard(), runner_),
      dialogCommands_(DialogCommands::Services{messages, variables_, runner_, clock_, dialogs_,
                                               [this] { queue_.post(msg::StopRun{}); }}),
      systemCommands_(
          messages, runner_, clock_,
          SystemServices{platform.windows(), platform.launcher(), platform.shares(), loginPrompt_,
                         platform.sound(), platform.opticalDrives(), platform.power()}),
      windowCommands_(messages, runner_, clock_, platform.windows()),
      dateTimeCommands_(
          runner_, clock_, platform.systemClock(),
          [this](std::string_view text) { inputCommands_.keySequence().TypeText(text); },
          publicTimeServers()),
      player_(Player::Services{store, expansion_, platform.playbackThread(),
                               platform.playbackCancelWatch(), clock_, *this}),
      triggers_(TriggerRegistry::Services{
          store, [&platform]() -> HotKeys& { return platform.hotKeys(); }, clock_,
          [this](const std::string& macro) { return start(macro); },
          [this] { return runner_.runActive(); },
          [this](std::uint32_t vk) {
              return KeyCodeToHotKeyText(*platform_.keymap().layout(), vk);
          },
          PhraseTriggers::Posts{[this](const PhraseEntry& entry) {
                                    return hookThread_ && hookThread_->postAddPhrase(entry);
                                },
                                [this](std::string_view macro) {
                                    return hookThread_ && hookThread_->postRemovePhrase(macro);
                                }}}),
      server_({messages, variables_, platform.clipboard(), triggers_, clock_},
              RequestServerHooks{
                  [this](const std::string& macro) { return start(macro); },
                  [this](const XmlDocument& document, const std::string& peer) {
                      return importPosted(document, peer);
                  },
                  [this](std::int32_t request, const std::string& host, const std::string& port) {
                      queue_.post(msg::PushToPeer{request == kRequestRecordings, host, port});
                  }}),
      remoteClipboard_(RemoteClipboardCommand::Services{messages, variables_, runner_,
                                                        platform.peerClient(), systemLocalHost()}) {
    expansion_.loadOption(store);
    for (CommandFamily* family : std::initializer_list<CommandFamily*>{
             &inputCommands_, &textCommands_, &dialogCommands_, &systemCommands_, &windowCommands_,
             &dateTimeCommands_, &player_, &remoteClipboard_}) {
        dispatch_.add(*family);
    }
    runner_.setCancelWatcherRemover([this] { player_.removeCancelWatcher(); });
    runner_.setPendingRequest(&server_);
    handleWindowMessages();
    platform.clockChanges().setHandler([this] { triggers_.schedules().clockChanged(); });
}

ProgramServices Engine::services() {
    return ProgramServices{
        *this,
        triggers_,
        *this,
        *this,
        *this,
        Desktop{clock_, platform_.keymap(), keyNames_, platform_.windows(), platform_.capture(),
                platform_.recordCancelWatch(), platform_.injector(), dialogs_}};
}

bool Engine::start(const std::string& macro) {
    return queue_.post(msg::StartMacro{macro});
}

bool Engine::active() {
    return runner_.runActive();
}

bool Engine::postCommandLineMacro() {
    return queue_.post(msg::CommandLineMacro{});
}

void Engine::setExpansion(bool on) {
    expansion_.setEnabled(on);
}

bool Engine::exchangeBusy(bool busy) {
    const bool was = runner_.busy();
    runner_.setBusy(busy);
    return was;
}

bool Engine::open(std::uint32_t port) {
    const std::string list = store_.GetText(kDirectRoot, "SrvPeers").value_or("");
    const auto peers = parsePeerList(list);
    if (!peers) {
        messages_.show("The server's peer list holds an entry that is not an IP address: " + list,
                       "Keystrider - Error", MsgIcon::Stop);
        return false;
    }
    server_.setAllowedPeers(*peers);
    if (port > 0xFFFF) {
        messages_.show(std::to_string(port), "Keystrider Error", MsgIcon::Stop);
        return false;
    }
    const bool everyAddress = !peers->empty() || store_.OptionOn("SrvAllAddresses");
    return server_.startServer(static_cast<std::uint16_t>(port),
                               everyAddress ? ServerReach::AllAddresses : ServerReach::Loopback);
}

// Macros pushed by a peer can run any program as the user, so they are
// taken only from peers the user has accepted. A peer refused is answered
// at once; the user is asked afterwards, and the peer pushes again.
std::optional<std::vector<std::string>> Engine::importPosted(const XmlDocument& document,
                                                             const std::string& peer) {
    MainWindow* window = front_.mainWindow();
    if (window == nullptr) return std::vector<std::string>();
    if (!pushAccepted(store_.OptionOn("SrvAcceptPush"),
                      store_.GetText(kDirectRoot, "SrvPushPeers").value_or(""), peer)) {
        QTimer::singleShot(0, window, [window, peer] { window->askToAcceptPushes(peer); });
        return std::nullopt;
    }
    return window->importPosted(document);
}

std::uint64_t Engine::currentRun() {
    return runner_.currentRun();
}

void Engine::postRunStep(std::uint64_t run) {
    runner_.postRunStep(run);
}

void Engine::endRun(std::uint64_t run) {
    runner_.EndRun(run);
}

bool Engine::raiseMainWindow() {
    MainWindow* window = front_.mainWindow();
    if (window == nullptr) return false;
    window->showInFront();
    return true;
}

void Engine::postStopRun() {
    queue_.post(msg::CancelJournal{});
}

void Engine::close() {
    server_.stopServer();
}

std::unique_ptr<PhraseWatch> Engine::startThread() {
    return std::make_unique<PhraseWatchThread>(queue_, clock_, platform_, hookThread_);
}

std::optional<std::string> Engine::post(Messages& shownTo, const std::string& host,
                                        const std::string& port, const std::string& body) {
    const PeerWait wait = [this](auto duration) { return runner_.waitOutsideRuns(duration); };
    return postToPeer(platform_.peerClient(), wait, shownTo, host, port, body);
}

// The messages whose work belongs to the program's windows.
void Engine::handleWindowMessages() {
    runner_.setShutdown([this] { front_.shutdown(); });
    queue_.setHandler<msg::CommandLineMacro>(
        [this](msg::CommandLineMacro&) { front_.runCommandLineMacro(); });
    queue_.setHandler<msg::PushToPeer>([this](msg::PushToPeer& push) {
        const ExportKind kind = push.recordings ? ExportKind::Recordings : ExportKind::Macros;
        if (MainWindow* window = front_.mainWindow()) {
            server_.reportForPeer(window->pushAll(kind, push.host, push.port));
        }
    });
    queue_.setHandler<msg::HookEnded>([this](msg::HookEnded&) { front_.shutdown(); });
    queue_.setHandler<msg::HookError>(
        [this](msg::HookError& error) { messages_.show(error.text, "Error", MsgIcon::Stop); });
}

}  // namespace ks
