#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

#include "RecordingHotKeys.h"
#include "StoreFixture.h"
#include "UsKeymap.h"
#include "app/Shell.h"
#include "keys/KeyNames.h"
#include "platform/HotKeys.h"

namespace ks::test {

// A shell over a fresh store whose hooks record what they were asked.
class AppFixture : public StoreFixture {
protected:
    AppFixture() { EXPECT_TRUE(store->EnsureRootKeys()); }

    ShellHooks recordingHooks() {
        ShellHooks hooks;
        hooks.postStartMacro = [this](const std::string& macro) {
            log.push_back("start " + macro);
            return postSucceeds;
        };
        hooks.postCommandLineMacro = [this] {
            log.push_back("command-line macro");
            return postSucceeds;
        };
        hooks.openServer = [this](std::uint32_t port) {
            log.push_back("open server " + std::to_string(port));
            return serverOpens;
        };
        hooks.closeServer = [this] { log.push_back("close server"); };
        hooks.startSchedules = [this] { log.push_back("start schedules"); };
        hooks.stopSchedules = [this] { log.push_back("stop schedules"); };
        hooks.releaseEventClipboard = [this] { log.push_back("release event clipboard"); };
        hooks.releasePlayerBuffer = [this] { log.push_back("release player buffer"); };
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

    std::string macroKey(const std::string& name) const {
        return std::string(kDirectRoot) + "Macros\\" + name;
    }

    void addMacro(const std::string& name, std::uint32_t modifiers = 0, std::uint32_t vk = 0) {
        ASSERT_TRUE(store->CreateMacroKey(name));
        if (vk != 0) {
            ASSERT_TRUE(store->SetDword(macroKey(name), "vk", vk));
            ASSERT_TRUE(store->SetDword(macroKey(name), "fsModifiers", modifiers));
        }
    }

    void setOption(const char* name, std::uint32_t value) {
        ASSERT_TRUE(store->SetDword(kDirectRoot, name, value));
    }
    std::optional<std::uint32_t> option(const char* name) {
        return store->GetDword(kDirectRoot, name);
    }

    // Makes deleting the key named `name` fail inside the file.
    void failDeletesOf(const std::string& name) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file().c_str(), &db), SQLITE_OK);
        const std::string sql =
            "CREATE TRIGGER fail_delete BEFORE DELETE ON keys WHEN OLD.name = '" + name +
            "' BEGIN SELECT RAISE(ABORT, 'access denied'); END;";
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }

    RecordingHotKeys hotKeys;
    std::vector<std::string> log;
    bool postSucceeds = true;
    bool serverOpens = true;
    std::unique_ptr<Shell> shell;
};

}  // namespace ks::test
