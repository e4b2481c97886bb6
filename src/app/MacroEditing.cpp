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

std::vector<std::string> windowTitles(WindowControl* windows) {
    std::vector<std::string> titles;
    if (!windows) return titles;
    for (const TopLevelWindow& window : windows->topLevelWindows()) {
        if (window.taskBar) {
            titles.emplace_back("Task Bar");
        } else if (!window.title.empty()) {
            titles.push_back(window.title);
        }
    }
    return titles;
}

// The replaced macro's triggers go, the saved one's come.
void reregister(Shell& shell, const MacroDocument& saved, const std::string& replaced,
                const StoredHotKey& before) {
    TriggerRegistry& triggers = shell.triggers();
    HotKeyTable& hotKeys = triggers.hotKeys();
    if (!replaced.empty()) {
        hotKeys.unregister(replaced, before);
        triggers.remove(replaced);
    }
    if (saved.vk != 0) {
        const auto id = static_cast<std::int32_t>(saved.hotKeyId);
        const bool registered = hotKeys.registerHotKey(saved.name, id, saved.modifiers, saved.vk);
        hotKeys.add(HotKeyEntry{saved.vk, saved.modifiers, saved.name, id}, registered);
    }
    triggers.load(saved.name);
}

std::optional<std::string> hotKeyTaken(TriggerRegistry& triggers, std::uint32_t vk,
                                       std::uint32_t modifiers, const std::string& macro) {
    const TriggerConflicts conflicts =
        triggers.checkConflicts({WantedTriggers::HotKey{vk, modifiers}, {}, {}, false}, macro);
    if (conflicts.hotKey) return "Hotkey already in use by macro: \"" + *conflicts.hotKey + "\"";
    if (Result free = triggers.hotKeys().trialGrab(vk, modifiers); !free) {
        return "Hotkey is taken by another program: " + free.error();
    }
    return std::nullopt;
}

// What the parameter dialogs show of the desktop: PROMPT USER's window and
// MOVE MOUSE POINTER's pick.
void addDesktopHooks(ParameterHooks& hooks, Shell& shell, const EditorDesktop& desk,
                     QWidget* parent) {
    const ShellHooks& shellHooks = shell.hooks();
    const RecordingDesktop input =
        shellHooks.recordingDesktop ? shellHooks.recordingDesktop() : RecordingDesktop{};
    hooks.dialogs = desk.dialogs;
    hooks.windows = desk.windows;
    hooks.pick = PickServices{desk.keymap ? desk.keymap->layout() : nullptr, input.capture,
                              input.injector, parent, shell.switches().specialMouse};
}

}  // namespace

bool EditMacro(Shell& shell, const std::string& name, QWidget* parent, const MacroSaved& saved) {
    const ShellHooks& hooks = shell.hooks();
    const EditorDesktop desk = hooks.editorDesktop ? hooks.editorDesktop() : EditorDesktop{};
    if (!desk.clock) return false;
    const StoredHotKey before = name.empty() ? StoredHotKey{} : shell.hotKeys().readStored(name);
    MacroEditorServices services{
        shell.store().tree(),
        shell.messages(),
        *desk.clock,
        [keymap = desk.keymap]() -> std::shared_ptr<const KeyLayout> {
            return keymap ? keymap->layout() : nullptr;
        },
        [&shell](std::uint32_t vk, std::uint32_t modifiers) {
            return shell.hotKeys().displayText(vk, modifiers);
        },
        shell.triggers(),
        [&shell] { return shell.switches().phrases; },
        [&shell] { return shell.switches().server; },
        [&shell] { return shell.hotKeys().nextIdentifier(); },
        [&shell](std::uint32_t vk, std::uint32_t modifiers, const std::string& macro) {
            return hotKeyTaken(shell.triggers(), vk, modifiers, macro);
        },
        ParameterHooks{[windows = desk.windows] { return windowTitles(windows); },
                       [](std::uint32_t command) { OpenHelp(helpSection(command)); },
                       [&shell] { return ListRecordings(shell.store()); }},
        [&](const MacroDocument& macro, const std::string& replaced) {
            reregister(shell, macro, replaced, before);
            if (saved) saved(macro.name, replaced);
        },
        [] { OpenHelp(kSchedulesSection); },
        [&shell](bool suspended) { shell.hotKeys().suspend(suspended); },
        [&shell] { return shell.switches().expansion; },
    };
    addDesktopHooks(services.parameterHooks, shell, desk, parent);
    const bool wasBusy = hooks.exchangeBusy ? hooks.exchangeBusy(true) : false;
    MacroEditor editor(std::move(services), name, parent);
    keepPlace(editor, shell.store().tree(), "MacroEditor");
    const bool accepted = editor.exec() == QDialog::Accepted;
    if (hooks.exchangeBusy) hooks.exchangeBusy(wasBusy);
    return accepted;
}

}  // namespace ks
