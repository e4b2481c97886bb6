#include "app/MacroEditing.h"

#include "app/HelpWindow.h"
#include "app/Shell.h"
#include "app/WindowPlaces.h"
#include "editors/MacroEditor.h"
#include "journal/RecordingStore.h"
#include "platform/Keymap.h"
#include "platform/WindowControl.h"
#include "store/SettingsStore.h"

namespace ks {

namespace {

// The macro editor as the shell's: hot keys from its table, switches from
// its options, and a committed save re-registers the macro's triggers.
class ShellEditorSite final : public MacroEditorSite, public ParameterSources {
public:
    ShellEditorSite(Shell& shell, const std::string& name, const MacroSaved& saved)
        : shell_(shell),
          before_(name.empty() ? StoredHotKey{} : shell.hotKeys().readStored(name)),
          saved_(saved) {}

    std::shared_ptr<const KeyLayout> keyLayout() override {
        return shell_.services().desktop.keymap.layout();
    }
    std::string hotKeyText(std::uint32_t vk, std::uint32_t modifiers) override {
        return shell_.hotKeys().displayText(vk, modifiers);
    }
    void suspendHotKeys(bool suspended) override { shell_.hotKeys().suspend(suspended); }
    std::optional<std::string> hotKeyTaken(std::uint32_t vk, std::uint32_t modifiers,
                                           const std::string& macro) override {
        const TriggerConflicts conflicts = shell_.triggers().checkConflicts(
            {WantedTriggers::HotKey{vk, modifiers}, {}, {}, false}, macro);
        if (conflicts.hotKey)
            return "Hotkey already in use by macro: \"" + *conflicts.hotKey + "\"";
        if (Result free = shell_.hotKeys().trialGrab(vk, modifiers); !free) {
            return "Hotkey is taken by another program: " + free.error();
        }
        return std::nullopt;
    }
    std::int32_t nextHotKeyId() override { return shell_.hotKeys().nextIdentifier(); }
    bool phrasesOn() override { return shell_.switches().phrases; }
    bool serverOn() override { return shell_.switches().server; }
    bool expansionOn() override { return shell_.switches().expansion; }
    void committed(const MacroDocument& macro, const std::string& replaced) override {
        reregister(macro, replaced);
        if (saved_) saved_(macro.name, replaced);
    }
    void showScheduleHelp() override { shell_.guide().open(kSchedulesSection); }
    std::vector<std::string> windowTitles() override {
        std::vector<std::string> titles;
        for (const TopLevelWindow& window : shell_.services().desktop.windows.topLevelWindows()) {
            if (window.taskBar) {
                titles.emplace_back("Task Bar");
            } else if (!window.title.empty()) {
                titles.push_back(window.title);
            }
        }
        return titles;
    }
    std::vector<RecordingRow> recordings() override { return listRecordings(shell_.store()); }
    void showHelp(std::uint32_t command) override { shell_.guide().open(helpSection(command)); }

private:
    // The replaced macro's triggers go, the saved one's come.
    void reregister(const MacroDocument& saved, const std::string& replaced) {
        TriggerRegistry& triggers = shell_.triggers();
        HotKeyTable& hotKeys = triggers.hotKeys();
        if (!replaced.empty()) {
            hotKeys.unregister(replaced, before_);
            triggers.remove(replaced);
        }
        if (saved.vk != 0) {
            const auto id = static_cast<std::int32_t>(saved.hotKeyId);
            const bool registered =
                hotKeys.registerHotKey(saved.name, id, saved.modifiers, saved.vk);
            hotKeys.add(HotKeyEntry{saved.vk, saved.modifiers, saved.name, id}, registered);
        }
        triggers.load(saved.name);
    }

    Shell& shell_;
    const StoredHotKey before_;
    const MacroSaved& saved_;
};

}  // namespace

PickServices pickServices(Shell& shell, QWidget& mainWindow) {
    const Desktop& desktop = shell.services().desktop;
    return PickServices{desktop.keymap, desktop.capture, desktop.injector, mainWindow,
                        shell.switches().specialMouse};
}

bool editMacro(Shell& shell, const std::string& name, QWidget& mainWindow,
               const MacroSaved& saved) {
    const Desktop& desktop = shell.services().desktop;
    ShellEditorSite site(shell, name, saved);
    MacroEditorServices services{
        shell.store().tree(),
        shell.messages(),
        desktop.clock,
        site,
        shell.triggers(),
        desktop.keyNames,
        shell.clipboards().commands,
        ParameterHooks{site, desktop.dialogs, pickServices(shell, mainWindow), desktop.windows},
    };
    const auto busy = shell.services().runs.markBusy();
    MacroEditor editor(std::move(services), name, &mainWindow);
    keepPlace(editor, shell.store().tree(), "MacroEditor");
    return editor.exec() == QDialog::Accepted;
}

}  // namespace ks
