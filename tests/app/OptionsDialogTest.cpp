#include "app/OptionsDialog.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include "AppFixture.h"

namespace ks::test {
namespace {

class OptionsDialogTest : public AppFixture {
protected:
    OptionsDialog& open() {
        dialog = std::make_unique<OptionsDialog>(shell ? *shell : makeShell());
        return *dialog;
    }
    template <typename W>
    W* field(const char* name) {
        W* widget = dialog->findChild<W*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    std::unique_ptr<OptionsDialog> dialog;
};

TEST_F(OptionsDialogTest, OpeningShowsTheStoredValues) {
    setOption("SrvOn", 1);
    setOption("SrvPort", 8080);
    setOption("ExpansionOn", 2);
    setOption("SPMouse", 520);
    open();
    EXPECT_TRUE(field<QCheckBox>("hotKeys")->isChecked());  // missing means on
    EXPECT_TRUE(field<QCheckBox>("server")->isChecked());
    EXPECT_FALSE(field<QCheckBox>("expansion")->isChecked());
    EXPECT_EQ(field<QLineEdit>("port")->text(), "8080");
    EXPECT_TRUE(field<QRadioButton>("mouseMiddle")->isChecked());

    // A mouse choice takes effect at once, even when the dialog is cancelled.
    field<QRadioButton>("mouseLeft")->click();
    dialog->reject();
    EXPECT_EQ(shell->switches().specialMouse, 514u);
    EXPECT_EQ(option("SPMouse"), 520u);
}

TEST_F(OptionsDialogTest, SaveWritesEveryOptionInOrderAndSetsTheSwitches) {
    setOption("SrvPort", 1);
    open();
    field<QCheckBox>("hotKeys")->setChecked(false);
    field<QCheckBox>("server")->setChecked(true);
    field<QLineEdit>("port")->setText("+8080");
    field<QCheckBox>("prompt")->setChecked(true);
    field<QCheckBox>("expansion")->setChecked(true);
    field<QCheckBox>("scheduler")->setChecked(true);
    field<QRadioButton>("mouseLeft")->click();

    EXPECT_TRUE(dialog->Save());

    const std::vector<std::pair<const char*, std::uint32_t>> expected = {
        {"HotKeyOn", 0},  {"SrvOn", 1},       {"SrvPort", 8080}, {"PromptBefMac", 1},
        {"WPhraseOn", 0}, {"ExpansionOn", 1}, {"SchedOn", 1},    {"SPMouse", 514}};
    for (const auto& [name, value] : expected) EXPECT_EQ(option(name), value) << name;
    const Switches& s = shell->switches();
    EXPECT_FALSE(shell->hotKeys().Enabled());
    EXPECT_TRUE(s.server && s.prompt && s.expansion && s.scheduler);
    EXPECT_FALSE(s.phrases);
    EXPECT_EQ(log, (std::vector<std::string>{"open server 8080", "start schedules"}));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(OptionsDialogTest, ABadPortKeepsTheDialogOpenWithTheLaterStepsUndone) {
    open();
    field<QCheckBox>("server")->setChecked(true);
    field<QCheckBox>("prompt")->setChecked(true);
    field<QLineEdit>("port")->setText("80a");

    EXPECT_FALSE(dialog->Save());

    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Port must be a positive integer."});
    EXPECT_EQ(messages.shown[0].title, "Error");
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Stop);
    EXPECT_EQ(option("SrvOn"), 1u);
    EXPECT_FALSE(option("SrvPort").has_value());
    EXPECT_FALSE(option("PromptBefMac").has_value());
    EXPECT_NE(dialog->result(), QDialog::Accepted);
}

TEST_F(OptionsDialogTest, AFailedWriteStopsSaving) {
    open();
    field<QLineEdit>("port")->setText("80");
    failWritesOf("PromptBefMac");

    EXPECT_FALSE(dialog->Save());

    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"Failed while writing to registry.  Please try again."});
    EXPECT_EQ(option("SrvPort"), 80u);
    EXPECT_FALSE(option("WPhraseOn").has_value());
}

}  // namespace
}  // namespace ks::test
