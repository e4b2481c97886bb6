#pragma once

#include <QTreeWidget>
#include <string>
#include <vector>

#include "RecordingHotKeys.h"
#include "StoreFixture.h"
#include "UsKeymap.h"
#include "app/Shell.h"
#include "keys/KeyNames.h"

namespace ks::test {

using Texts = std::vector<std::string>;

// A shell over a fresh store whose hooks record what they were asked in `log`.
class AppFixture : public StoreFixture {
protected:
    AppFixture() { EXPECT_TRUE(store->EnsureRootKeys()); }

    std::function<void()> note(const std::string& what) {
        return [this, what] { log.push_back(what); };
    }

    ShellHooks recordingHooks() {
        ShellHooks hooks;
        hooks.postStartMacro = [this](const std::string& macro) {
            log.push_back("start " + macro);
            return postSucceeds;
        };
        hooks.postCommandLineMacro = [this] { return note("command-line macro")(), postSucceeds; };
        hooks.openServer = [this](std::uint32_t port) {
            log.push_back("open server " + std::to_string(port));
            return serverOpens;
        };
        hooks.closeServer = note("close server");
        hooks.startSchedules = note("start schedules");
        hooks.stopSchedules = note("stop schedules");
        hooks.releaseEventClipboard = note("release event clipboard");
        hooks.releasePlayerBuffer = note("release player buffer");
        hooks.removeOtherTriggers = [this](const std::string& m) { log.push_back("remove " + m); };
        hooks.hotKeyText = [](std::uint32_t vk) { return KeyCodeToHotKeyText(usKeyLayout(), vk); };
        hooks.triggerText = [](int kind, const std::string& m) {
            return std::to_string(kind) + ":" + m;
        };
        return hooks;
    }

    Shell& makeShell(std::string commandLine = {}) {
        shell = std::make_unique<Shell>(*store, hotKeys, recordingHooks(), std::move(commandLine));
        return *shell;
    }

    std::string macroKey(const std::string& name) const { return macros + "\\" + name; }
    void addMacro(const std::string& name, std::uint32_t modifiers = 0, std::uint32_t vk = 0) {
        ASSERT_TRUE(store->CreateMacroKey(name));
        if (vk == 0) return;
        ASSERT_TRUE(store->SetDword(macroKey(name), "vk", vk));
        ASSERT_TRUE(store->SetDword(macroKey(name), "fsModifiers", modifiers));
    }
    void setOption(const char* name, std::uint32_t value) {
        ASSERT_TRUE(store->SetDword(kDirectRoot, name, value));
    }
    std::optional<std::uint32_t> option(const char* name) {
        return store->GetDword(kDirectRoot, name);
    }

    const std::string macros = std::string(kDirectRoot) + "Macros";
    // The texts of one column of a list's top-level rows.
    static Texts columnTexts(QTreeWidget* list, int column) {
        Texts texts;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            texts.push_back(list->topLevelItem(i)->text(column).toStdString());
        }
        return texts;
    }

    RecordingHotKeys hotKeys;
    Texts log;
    bool postSucceeds = true;
    bool serverOpens = true;
    std::unique_ptr<Shell> shell;
};

}  // namespace ks::test
