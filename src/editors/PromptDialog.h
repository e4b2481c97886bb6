#pragma once

#include <QDialog>

#include <array>
#include <optional>

#include "core/Messages.h"
#include "editors/CommandRecord.h"
#include "editors/DialogHelp.h"
#include "platform/Dialogs.h"

class QCheckBox;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace ks {

// "Keystrider - PROMPT USER": the prompt window's title and its list of
// prompts, each a caption and a text box that fills a variable.
class PromptDialog final : public QDialog {
public:
    // The text values of one prompt, in the order the list shows them.
    static constexpr std::array<const char*, 6> kFields = {"Caption", "X",      "Y",
                                                           "Width",   "Height", "VName"};

    // Without `dialogs` the View button shows nothing.
    PromptDialog(CommandRecord record, Messages& messages, Dialogs* dialogs = nullptr,
                 QWidget* parent = nullptr, const HelpAction& help = {});

    CommandRecord record() const;

    QLineEdit* title() const { return title_; }
    QTreeWidget* list() const { return list_; }
    QLineEdit* field(std::size_t k) const { return fields_[k]; }
    QCheckBox* multiLine() const { return multiLine_; }
    void add();
    void update();
    void remove();
    // Shows the prompt window as the command will, from the list as it
    // stands; asks first when the fields hold changes not yet in the list.
    void view();

private:
    std::optional<CommandRecord> checkedPrompt();
    void showPrompt(const CommandRecord& prompt, QTreeWidgetItem* row);
    void loadSelected();
    bool fieldsDifferFromSelected() const;

    CommandRecord record_;
    Messages& messages_;
    Dialogs* dialogs_;
    QLineEdit* title_ = nullptr;
    QTreeWidget* list_ = nullptr;
    std::array<QLineEdit*, kFields.size()> fields_{};
    QCheckBox* multiLine_ = nullptr;
};

}  // namespace ks
