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

std::vector<std::string> windowTitles(WindowControl& windows) {
    std::vector<std::string> titles;
    for (const TopLevelWindow& window : windows.topLevelWindows()) {
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
    HotKeyTable& hotKeys = shell.hotKeys();
    OtherTriggers& triggers = shell.services().triggers;
    if (!replaced.empty()) {
        hotKeys.Unregister(replaced, before);
        triggers.remove(replaced);
    }
    if (saved.vk != 0) {
        const auto id = static_cast<std::int32_t>(saved.hotKeyId);
        const bool registered = hotKeys.Register(saved.name, id, saved.modifiers, saved.vk);
        hotKeys.Add(HotKeyEntry{saved.vk, saved.modifiers, saved.name, id}, registered);
    }
    triggers.load(saved.name);
}

std::optional<std::string> hotKeyTaken(HotKeyTable& hotKeys, std::uint32_t vk,
                                       std::uint32_t modifiers, const std::string& macro) {
    if (const auto holder = hotKeys.Holder(vk, modifiers, macro)) {
        return "Hotkey already in use by macro: \"" + *holder + "\"";
    }
    if (Result free = hotKeys.TrialGrab(vk, modifiers); !free) {
        return "Hotkey is taken by another program: " + free.error();
    }
    return std::nullopt;
}

}  // namespace

PickServices pickServices(Shell& shell, QWidget* mainWindow) {
    const Desktop& desktop = shell.services().desktop;
    return PickServices{desktop.keymap.layout(), &desktop.capture, &desktop.injector, mainWindow,
                        shell.switches().specialMouse};
}

bool EditMacro(Shell& shell, const std::string& name, QWidget* parent, const MacroSaved& saved) {
    OtherTriggers& triggers = shell.services().triggers;
    const Desktop& desktop = shell.services().desktop;
    const StoredHotKey before = name.empty() ? StoredHotKey{} : shell.hotKeys().ReadStored(name);
    MacroEditorServices services{
        shell.store().tree(),
        shell.messages(),
        desktop.clock,
        [&desktop] { return desktop.keymap.layout(); },
        [&shell](std::uint32_t vk, std::uint32_t modifiers) {
            return shell.hotKeys().DisplayText(vk, modifiers);
        },
        TriggerOwners{[&triggers](std::int32_t id) { return triggers.messageIdOwner(id); },
                      [&triggers](const std::string& phrase, bool matchCase) {
                          return triggers.phraseOwner(phrase, matchCase);
                      }},
        [&shell] { return shell.switches().phrases; },
        [&shell] { return shell.switches().server; },
        [&shell] { return shell.hotKeys().NextIdentifier(); },
        [&shell](std::uint32_t vk, std::uint32_t modifiers, const std::string& macro) {
            return hotKeyTaken(shell.hotKeys(), vk, modifiers, macro);
        },
        ParameterHooks{[&desktop] { return windowTitles(desktop.windows); },
                       [](std::uint32_t command) { OpenHelp(helpSection(command)); },
                       [&shell] { return ListRecordings(shell.store()); }, &desktop.dialogs,
                       pickServices(shell, parent), &desktop.windows},
        [&](const MacroDocument& macro, const std::string& replaced) {
            reregister(shell, macro, replaced, before);
            if (saved) saved(macro.name, replaced);
        },
        [] { OpenHelp(kSchedulesSection); },
        [&shell](bool suspended) { shell.hotKeys().Suspend(suspended); },
        [&shell] { return shell.switches().expansion; },
    };
    const auto busy = shell.services().runs.markBusy();
    MacroEditor editor(std::move(services), name, parent);
    keepPlace(editor, shell.store().tree(), "MacroEditor");
    return editor.exec() == QDialog::Accepted;
}

}  // namespace ks
