#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/KeyDisplayName.h"
#include "core/Messages.h"
#include "editors/DialogHelp.h"
#include "editors/HotKeyEdit.h"
#include "editors/MacroBody.h"
#include "editors/MacroDocument.h"
#include "editors/MacroSaveRules.h"
#include "editors/ParameterDialog.h"

class QBoxLayout;
class QButtonGroup;
class QKeyEvent;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QStackedWidget;

namespace ks {

class Clock;
class KeyTree;

// What the macro editor asks of the program around it.
class MacroEditorSite {
public:
    MacroEditorSite() = default;
    MacroEditorSite(const MacroEditorSite&) = delete;
    MacroEditorSite& operator=(const MacroEditorSite&) = delete;
    virtual ~MacroEditorSite() = default;

    virtual std::shared_ptr<const KeyLayout> keyLayout() = 0;
    virtual std::string hotKeyText(std::uint32_t vk, std::uint32_t modifiers) = 0;
    // Suspends (true) or resumes the program's hot keys while a hot key is picked.
    virtual void suspendHotKeys(bool suspended) = 0;
    // Why a hot key chosen in the editor cannot work, said before saving:
    // another macro holds it or another program has it; nothing when free.
    virtual std::optional<std::string> hotKeyTaken(std::uint32_t vk, std::uint32_t modifiers,
                                                   const std::string& macro) = 0;
    virtual std::int32_t nextHotKeyId() = 0;
    virtual bool phrasesOn() = 0;
    virtual bool serverOn() = 0;
    // Whether command texts are expanded when they run.
    virtual bool expansionOn() = 0;
    // After a save's commit: `replaced` is the stored macro it took the place
    // of (empty for a new one), whose triggers go before the new ones come.
    virtual void committed(const MacroDocument& saved, const std::string& replaced) = 0;
    virtual void showScheduleHelp() = 0;
};

// What the macro editor works with.
struct MacroEditorServices {
    KeyTree& tree;
    Messages& messages;
    Clock& clock;
    MacroEditorSite& site;
    const TriggerOwners& owners;
    KeyDisplayNames& keyNames;
    // The commands copied or cut, which the application keeps for its whole
    // run, so that they can be pasted into another macro after the editor closed.
    std::vector<CommandRecord>& copiedCommands;
    ParameterHooks parameterHooks;
};

// "Keystrider - Modify Macro": a macro's name, triggers, execute count and
// command list. Closes with OK once a save has been committed.
class MacroEditor final : public QDialog {
public:
    // An empty `name` edits a new macro.
    MacroEditor(MacroEditorServices services, const std::string& name, QWidget* parent = nullptr);

    // The macro as last saved.
    const MacroDocument& saved() const { return saved_; }
    const MacroBody& body() const { return body_; }
    QListWidget* bodyList() const { return bodyList_; }
    QListWidget* commandList() const { return commands_; }
    QComboBox* categoryBox() const { return category_; }
    QLineEdit* nameField() const { return name_; }
    HotKeyEdit* hotKeyField() const { return hotKey_; }
    QLabel* expansionHint() const { return expansionHint_; }
    void reject() override;

    void addChosenCommand();
    void addKeystroke(std::uint32_t vk);
    void editSelected();
    void deleteSelected();
    void moveSelected(int step);
    void copySelected();
    void cutSelected();
    void paste();
    bool save();
    bool saveAs();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* buildTriggers();
    QWidget* buildBody();
    QWidget* buildCommands();
    QWidget* buildKeyboard();
    void buildButtons(QBoxLayout* row);
    void load(const std::string& name);
    void triggerChosen(int index);
    void hotKeyChosen();
    void fillCommands(int category);
    void refreshBody(const RowSelection& selection);
    void showExpansionHint();
    RowSelection selection() const;
    MacroForm form() const;
    bool write(const MacroForm& form, const std::string& replacing);
    void attention(const std::string& text, MsgIcon icon = MsgIcon::Exclamation);

    MacroEditorServices services_;
    MacroBody body_;
    std::vector<Schedule> schedules_;
    std::string editing_;  // the stored macro's name; empty for a new one
    MacroDocument stored_;
    MacroDocument saved_;
    bool fieldsChanged_ = false;

    QLineEdit* name_ = nullptr;
    QComboBox* trigger_ = nullptr;
    QStackedWidget* triggerPages_ = nullptr;
    HotKeyEdit* hotKey_ = nullptr;
    QLineEdit* phrase_ = nullptr;
    QCheckBox* phraseCase_ = nullptr;
    QLineEdit* messageId_ = nullptr;
    QLineEdit* execute_ = nullptr;
    QListWidget* bodyList_ = nullptr;
    QLabel* expansionHint_ = nullptr;
    QComboBox* category_ = nullptr;
    QListWidget* commands_ = nullptr;
    QButtonGroup* keyMode_ = nullptr;
};

}  // namespace ks
