#include "app/Shell.h"

#include "net/RequestServer.h"

#include "store/SettingsStore.h"
#include "store/StoreKey.h"

namespace ks {

namespace {

constexpr const char* kAppErrorTitle = "Keystrider - Error";
constexpr std::size_t kCmdLineMacroLimit = 1000;  // bytes, with the terminating zero

}  // namespace

std::optional<std::uint32_t> readOption(SettingsStore& store, std::string_view name) {
    return store.GetDword(StoreKey::root().direct(), name);
}

Shell::Shell(SettingsStore& store, ProgramServices services, std::string commandLine)
    : store_(store), services_(services), commandLine_(std::move(commandLine)) {}

Shell::~Shell() = default;

Messages& Shell::messages() {
    return store_.messages();
}

void Shell::showError(const std::string& text, const char* title, MsgIcon icon, MsgOwner owner) {
    messages().show(text, title, icon, MsgButtons::Ok, owner);
}

bool Shell::readOptions() {
    const auto hotKeyOn = readOption(store_, "HotKeyOn");
    hotKeys().setEnabled(!hotKeyOn || *hotKeyOn == 1);
    if (const auto srvOn = readOption(store_, "SrvOn")) {
        switches_.server = *srvOn == 1;
        if (switches_.server) {
            if (const auto port = readOption(store_, "SrvPort")) {
                if (!openServer(*port)) return false;
            } else {
                showError("Error reading port for Server from registry, can't start server.",
                          kAppErrorTitle, MsgIcon::Exclamation);
                switches_.server = false;
            }
        }
    }
    switches_.prompt = store_.OptionOn("PromptBefMac");
    switches_.specialMouse = readOption(store_, "SPMouse").value_or(kDefaultPickButton);
    setExpansion(store_.OptionOn("ExpansionOn"));
    if (const auto schedOn = readOption(store_, "SchedOn")) switches_.scheduler = *schedOn == 1;
    return true;
}

void Shell::setExpansion(bool on) {
    switches_.expansion = on;
    services_.runs.setExpansion(on);
}

void Shell::startPhraseWatch() {
    hookThread_ = services_.phraseWatches.startThread();
    if (!hookThread_) {
        showError("Error creating thread.  Word or Phrase triggers will not function.", "Error",
                  MsgIcon::Stop);
        return;
    }
    if (const auto on = readOption(store_, "WPhraseOn")) {
        switches_.phrases = *on == 1;
        if (switches_.phrases && !hookThread_->postStartWatching()) {
            showError(
                "Error comunicating with Hook thread.  Word or Phrase triggers will not function.",
                "Error", MsgIcon::Stop);
        }
    }
}

void Shell::handCommandLineToSelf() {
    if (commandLine_.empty()) return;
    if (!store_.SetText(StoreKey::macros().direct(), "CmdLineMacro", commandLine_)) {
        showError("Error writing to registry.", kAppErrorTitle, MsgIcon::Stop,
                  MsgOwner::MainWindow);
        return;
    }
    if (!services_.runs.postCommandLineMacro()) {
        showError("Error posting message to currently running copy of Keystrider.", kAppErrorTitle,
                  MsgIcon::Stop, MsgOwner::MainWindow);
    }
}

void Shell::runCommandLineMacro() {
    const auto name = store_.GetText(StoreKey::macros().direct(), "CmdLineMacro");
    if (!name || name->size() >= kCmdLineMacroLimit) {
        showError("Error reading CmdLineMacro from registry.", kAppErrorTitle, MsgIcon::Stop);
        return;
    }
    if (!services_.runs.start(*name)) {
        showError("Error posting message to main thread.", "Error", MsgIcon::Stop);
    }
}

bool Shell::shutdown() {
    services_.triggers.schedules().stop();
    if (!hookThread_) return true;
    // A thread that cannot be told to end would never answer: end without it.
    const bool told = hookThread_->postEnd();
    endingHookThread_ = std::move(hookThread_);
    return !told;
}

void Shell::finish() {
    if (hookThread_) hookThread_->postEnd();
    closeServer();
}

bool Shell::writeOption(std::string_view name, std::uint32_t value) {
    return reportedWrite(store_.SetDword(StoreKey::root().direct(), name, value));
}

bool Shell::writeTextOption(std::string_view name, std::string_view text) {
    return reportedWrite(store_.SetText(StoreKey::root().direct(), name, text));
}

bool Shell::reportedWrite(bool written) {
    if (written) return true;
    showError("Failed while writing to registry.  Please try again.", "Error", MsgIcon::Stop,
              MsgOwner::MainWindow);
    return false;
}

void Shell::restartPhraseWatch(bool watch) {
    const bool posted = hookThread_ && hookThread_->postStopWatching() &&
                        (!watch || hookThread_->postStartWatching());
    if (!posted) {
        showError("Error posting message to hook thread.", "Error", MsgIcon::Stop,
                  MsgOwner::MainWindow);
    }
}

bool Shell::openServer(std::uint32_t port) {
    serverOpen_ = services_.server.open(port);
    return serverOpen_;
}

void Shell::closeServer() {
    if (serverOpen_) services_.server.close();
    serverOpen_ = false;
}

void Shell::reopenServer(std::uint32_t port) {
    closeServer();
    if (switches_.server) openServer(port);
}

void Shell::acceptPushesFrom(const std::string& peer) {
    const std::string list = store_.GetText(StoreKey::root().direct(), "SrvPushPeers").value_or("");
    if (listNamesPeer(list, peer)) return;
    writeTextOption("SrvPushPeers", list.empty() ? peer : list + " " + peer);
}

void Shell::setScheduler(bool on) {
    switches_.scheduler = on;
    if (on) {
        services_.triggers.schedules().start();
    } else {
        services_.triggers.schedules().stop();
    }
}

}  // namespace ks
