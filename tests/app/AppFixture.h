#pragma once

#include <QTreeWidget>
#include <string>
#include <vector>

#include "FakeClock.h"
#include "QtTestLoop.h"
#include "RecordingHotKeys.h"
#include "StoreFixture.h"
#include "UsKeymap.h"
#include "app/Shell.h"
#include "keys/KeyNames.h"
#include "net/PeerExchange.h"
#include "platform/qt/QtPeerClient.h"

namespace ks::test {

using Texts = std::vector<std::string>;

// A shell over a fresh store whose hooks note what they were asked in `log`.
class AppFixture : public StoreFixture {
protected:
    bool note(const std::string& what, bool answer = true) {
        log.push_back(what);
        return answer;
    }
    ShellHooks recordingHooks() {
        ShellHooks hooks;
        hooks.postStartMacro = [this](const auto& m) { return note("start " + m, postSucceeds); };
        hooks.postCommandLineMacro = [this] { return note("command-line macro", postSucceeds); };
        hooks.openServer = [this](std::uint32_t port) {
            return note("open server " + std::to_string(port), serverOpens);
        };
        hooks.closeServer = [this] { note("close server"); };
        hooks.releaseEventClipboard = [this] { note("release event clipboard"); };
        hooks.releasePlayerBuffer = [this] { note("release player buffer"); };
        hooks.postToPeer = [this](Messages& shownTo, const auto& host, const auto& port,
                                  const auto& body) {
            const PeerWait wait = [](auto duration) {
                return !runEventsUntil([] { return false; }, static_cast<int>(duration.count()));
            };
            return postToPeer(peerClient, wait, shownTo, host, port, body);
        };
        return hooks;
    }

    Shell& makeShell(std::string commandLine = {}) {
        shell.reset();
        triggers = std::make_unique<TriggerRegistry>(TriggerRegistry::Services{
            *store,
            [this]() -> HotKeys& { return hotKeys; },
            clock,
            [this](const std::string& m) { return note("start " + m, postSucceeds); },
            [] { return false; },
            [](std::uint32_t vk) { return KeyCodeToHotKeyText(usKeyLayout(), vk); },
            {[](const PhraseEntry&) { return true; }, [](std::string_view) { return true; }}});
        shell =
            std::make_unique<Shell>(*store, *triggers, recordingHooks(), std::move(commandLine));
        return *shell;
    }
    bool schedulesOn() const { return triggers->schedules().endOfDayDue().has_value(); }

    void addMacro(const std::string& name, std::uint32_t modifiers = 0, std::uint32_t vk = 0) {
        ASSERT_TRUE(store->CreateMacroKey(name));
        if (vk == 0) return;
        ASSERT_TRUE(store->SetDword(macros + "\\" + name, "vk", vk));
        ASSERT_TRUE(store->SetDword(macros + "\\" + name, "fsModifiers", modifiers));
    }
    void setOption(const char* name, std::uint32_t value) {
        ASSERT_TRUE(store->SetDword(kDirectRoot, name, value));
    }
    std::optional<std::uint32_t> option(const char* name) {
        return store->GetDword(kDirectRoot, name);
    }

    const std::string macros = std::string(kDirectRoot) + "Macros";
    static Texts columnTexts(QTreeWidget* list, int column) {
        Texts texts;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            texts.push_back(list->topLevelItem(i)->text(column).toStdString());
        return texts;
    }

    RecordingHotKeys hotKeys;
    FakeClock clock;
    QtPeerClient peerClient;
    Texts log;
    bool postSucceeds = true, serverOpens = true;
    std::unique_ptr<TriggerRegistry> triggers;
    std::unique_ptr<Shell> shell;
};

}  // namespace ks::test
