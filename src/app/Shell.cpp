#include "app/Shell.h"

#include "net/RequestServer.h"

#include "store/SettingsStore.h"
#include "store/StoreKey.h"

namespace ks {

namespace {

constexpr const char* kAppErrorTitle = "Keystrider - Error";
constexpr std::size_t kCmdLineMacroLimit = 1000;  // bytes, with the terminating zero

bool callOr(const std::function<bool()>& hook, bool fallback) {
    return hook ? hook() : fallback;
}

void callIfSet(const std::function<void()>& hook) {
    if (hook) hook();
}

}  // namespace

std::optional<std::uint32_t> readOption(SettingsStore& store, std::string_view name) {
    return store.GetDword(StoreKey::root().direct(), name);
}

Shell::Shell(SettingsStore& store, TriggerRegistry& triggers, ShellHooks hooks,
             std::string commandLine)
    : store_(store),
      hooks_(std::move(hooks)),
      commandLine_(std::move(commandLine)),
      triggers_(triggers) {}

Shell::~Shell() = default;

Messages& Shell::messages() {
    return store_.messages();
}

void Shell::showError(const std::string& text, const char* title, MsgIcon icon, MsgOwner owner) {
    messages().show(text, title, icon, MsgButtons::Ok, owner);
}

bool Shell::ReadOptions() {
    const auto hotKeyOn = readOption(store_, "HotKeyOn");
    hotKeys().setEnabled(!hotKeyOn || *hotKeyOn == 1);
    if (const auto srvOn = readOption(store_, "SrvOn")) {
        switches_.server = *srvOn == 1;
        if (switches_.server) {
            if (const auto port = readOption(store_, "SrvPort")) {
                if (!OpenServer(*port)) return false;
            } else {
                showError("Error reading port for Server from registry, can't start server.",
                          kAppErrorTitle, MsgIcon::Exclamation);
                switches_.server = false;
            }
        }
    }
    switches_.prompt = store_.OptionOn("PromptBefMac");
    switches_.specialMouse = readOption(store_, "SPMouse").value_or(kMouseRight);
    SetExpansion(store_.OptionOn("ExpansionOn"));
    if (const auto schedOn = readOption(store_, "SchedOn")) switches_.scheduler = *schedOn == 1;
    return true;
}

void Shell::SetExpansion(bool on) {
    switches_.expansion = on;
    if (hooks_.expansionChanged) hooks_.expansionChanged(on);
}

void Shell::StartHookThread() {
    if (!hooks_.createHookThread) return;
    hookThread_ = hooks_.createHookThread();
    if (!hookThread_) {
        showError("Error creating thread.  Word or Phrase triggers will not function.", "Error",
                  MsgIcon::Stop);
        return;
    }
    if (const auto on = readOption(store_, "WPhraseOn")) {
        switches_.phrases = *on == 1;
        if (switches_.phrases && !hookThread_->postInstallHooks()) {
            showError(
                "Error comunicating with Hook thread.  Word or Phrase triggers will not function.",
                "Error", MsgIcon::Stop);
        }
    }
}

void Shell::HandCommandLineToSelf() {
    if (commandLine_.empty()) return;
    if (!store_.SetText(StoreKey::macros().direct(), "CmdLineMacro", commandLine_)) {
        showError("Error writing to registry.", kAppErrorTitle, MsgIcon::Stop,
                  MsgOwner::MainWindow);
        return;
    }
    if (!callOr(hooks_.postCommandLineMacro, false)) {
        showError("Error posting message to currently running copy of Keystrider.", kAppErrorTitle,
                  MsgIcon::Stop, MsgOwner::MainWindow);
    }
}

void Shell::CommandLineMacro() {
    const auto name = store_.GetText(StoreKey::macros().direct(), "CmdLineMacro");
    if (!name || name->size() >= kCmdLineMacroLimit) {
        showError("Error reading CmdLineMacro from registry.", kAppErrorTitle, MsgIcon::Stop);
        return;
    }
    if (!hooks_.postStartMacro || !hooks_.postStartMacro(*name)) {
        showError("Error posting message to main thread.", "Error", MsgIcon::Stop);
    }
}

bool Shell::Shutdown() {
    triggers_.schedules().stop();
    callIfSet(hooks_.releaseEventClipboard);
    if (!hookThread_) return true;
    // A thread that cannot be told to end would never answer: end without it.
    const bool told = hookThread_->postEnd();
    endingHookThread_ = std::move(hookThread_);
    return !told;
}

void Shell::Exit() {
    if (hookThread_) hookThread_->postEnd();
    callIfSet(hooks_.releasePlayerBuffer);
    CloseServer();
}

bool Shell::WriteOption(std::string_view name, std::uint32_t value) {
    return reportedWrite(store_.SetDword(StoreKey::root().direct(), name, value));
}

bool Shell::WriteTextOption(std::string_view name, std::string_view text) {
    return reportedWrite(store_.SetText(StoreKey::root().direct(), name, text));
}

bool Shell::reportedWrite(bool written) {
    if (written) return true;
    showError("Failed while writing to registry.  Please try again.", "Error", MsgIcon::Stop,
              MsgOwner::MainWindow);
    return false;
}

void Shell::RestartPhraseWatch(bool watch) {
    if (!hooks_.createHookThread) return;
    const bool posted = hookThread_ && hookThread_->postRemoveHooks() &&
                        (!watch || hookThread_->postInstallHooks());
    if (!posted) {
        showError("Error posting message to hook thread.", "Error", MsgIcon::Stop,
                  MsgOwner::MainWindow);
    }
}

bool Shell::OpenServer(std::uint32_t port) {
    if (!hooks_.openServer) return true;
    serverOpen_ = hooks_.openServer(port);
    return serverOpen_;
}

void Shell::CloseServer() {
    if (serverOpen_ && hooks_.closeServer) hooks_.closeServer();
    serverOpen_ = false;
}

void Shell::ReopenServer(std::uint32_t port) {
    CloseServer();
    if (switches_.server) OpenServer(port);
}

void Shell::AcceptPushesFrom(const std::string& peer) {
    const std::string list = store_.GetText(StoreKey::root().direct(), "SrvPushPeers").value_or("");
    if (listNamesPeer(list, peer)) return;
    WriteTextOption("SrvPushPeers", list.empty() ? peer : list + " " + peer);
}

void Shell::SetScheduler(bool on) {
    switches_.scheduler = on;
    if (on) {
        triggers_.schedules().start();
    } else {
        triggers_.schedules().stop();
    }
}

}  // namespace ks
