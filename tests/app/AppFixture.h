#pragma once

#include <QTreeWidget>
#include <string>
#include <vector>

#include "FakeClock.h"
#include "RecorderDoubles.h"
#include "RecordingHotKeys.h"
#include "RecordingInput.h"
#include "StoreFixture.h"
#include "UsKeymap.h"
#include "app/Shell.h"
#include "keys/KeyNames.h"
#include "platform/qt/QtDialogs.h"

namespace ks::test {

using Texts = std::vector<std::string>;

// Runs, server, peer posts and keyboard-watch threads that note what
// they are asked in `log`.
class NotingServices final : public MacroRuns,
                             public ServerListener,
                             public PhraseWatches,
                             public PeerExports {
public:
    bool start(const std::string& m) override { return note("start " + m, postSucceeds); }
    bool active() override { return false; }
    bool postCommandLineMacro() override { return note("command-line macro", postSucceeds); }
    void setExpansion(bool) override {}
    bool open(std::uint32_t port) override {
        return note("open server " + std::to_string(port), serverOpens);
    }
    void close() override { note("close server"); }
    std::unique_ptr<PhraseWatch> startThread() override;
    // A peer that cannot be reached, as the program's peer client shows it.
    std::optional<std::string> post(Messages& shownTo, const std::string&, const std::string&,
                                    const std::string&) override {
        shownTo.show("Error sending request.", "Error", MsgIcon::Stop);
        return std::nullopt;
    }

    bool note(const std::string& what, bool answer = true) {
        log.push_back(what);
        return answer;
    }

    Texts log;
    bool postSucceeds = true, serverOpens = true, busy = false;
    std::optional<bool> threadPosts;  // a thread is made when set, answering posts with it

private:
    bool exchangeBusy(bool on) override { return std::exchange(busy, on); }
};

// A keyboard-watch thread that notes what it is told.
class NotingPhraseWatch final : public PhraseWatch {
public:
    explicit NotingPhraseWatch(NotingServices& services) : s_(services) {}
    bool postStartWatching() override { return s_.note("install hooks", *s_.threadPosts); }
    bool postStopWatching() override { return s_.note("remove hooks", *s_.threadPosts); }
    bool postEnd() override { return s_.note("end", *s_.threadPosts); }

private:
    NotingServices& s_;
};

inline std::unique_ptr<PhraseWatch> NotingServices::startThread() {
    if (!threadPosts) return nullptr;
    return std::make_unique<NotingPhraseWatch>(*this);
}

// A shell over a fresh store and desktop doubles.
class AppFixture : public StoreFixture {
protected:
    Shell& makeShell(std::string commandLine = {}) {
        shell.reset();
        triggers = std::make_unique<TriggerRegistry>(TriggerRegistry::Services{
            *store,
            [this]() -> HotKeys& { return hotKeys; },
            clock,
            [this](const std::string& m) { return noted.start(m); },
            [] { return false; },
            [](std::uint32_t vk) { return KeyCodeToHotKeyText(usKeyLayout(), vk); },
            {[](const PhraseEntry&) { return true; }, [](std::string_view) { return true; }}});
        shell = std::make_unique<Shell>(
            *store,
            ProgramServices{
                noted, *triggers, noted, noted, noted,
                Desktop{clock, keymap, keyNames, windows, capture, cancelWatch, injector, dialogs}},
            std::move(commandLine));
        return *shell;
    }
    bool schedulesOn() const { return triggers->schedules().endOfDayDue().has_value(); }

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
    NotingServices noted;
    Texts& log = noted.log;
    FakeClock clock;
    FixedKeymap keymap;
    KeymapKeyNames keyNames{keymap};
    FakeWindowControl windows;
    FakeCapture capture;
    ScriptedCancelWatch cancelWatch;
    RecordingInjector injector;
    QtDialogs dialogs;
    std::unique_ptr<TriggerRegistry> triggers;
    std::unique_ptr<Shell> shell;
};

}  // namespace ks::test
