#include "app/OptionsDialog.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <cstdlib>

#include "AppFixture.h"
#include "TempDir.h"
#include "app/Autostart.h"

namespace ks::test {
namespace {

class OptionsDialogTest : public AppFixture {
protected:
    void open() {
        if (!shell) {
            noted.threadPosts = true;
            makeShell().startPhraseWatch();
        }
        dialog = std::make_unique<OptionsDialog>(*shell);
    }
    QCheckBox* box(const char* name) { return dialog->findChild<QCheckBox*>(name); }
    QLineEdit* field(const char* name) { return dialog->findChild<QLineEdit*>(name); }

    std::unique_ptr<OptionsDialog> dialog;
};

// Every control is reached by an Alt+letter of its own.
TEST_F(OptionsDialogTest, EveryControlHasAMnemonicOfItsOwn) {
    open();
    QStringList texts, letters;
    for (const QLabel* label : dialog->findChildren<QLabel*>())
        if (label->buddy()) texts << label->text();
    for (const QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
        if (!button->text().isEmpty()) texts << button->text();
    for (const QString& text : texts) {
        letters << text.section(u'&', 1).left(1).toLower();
        EXPECT_EQ(letters.count(letters.back()), text.contains(u'&') ? 1 : 0) << text.toStdString();
    }
    EXPECT_TRUE(texts.contains("&Help"));
}

TEST_F(OptionsDialogTest, ShowsTheStoredValuesAndSavesEveryOptionInOrder) {
    load(
        "[]\n\"SrvOn\"=dword:1\n\"SrvPort\"=dword:1f90\n\"ExpansionOn\"=dword:2\n"
        "\"SPMouse\"=dword:208\n\"Platform\"=\"x11\"");
    open();
    EXPECT_EQ(dialog->findChild<QComboBox*>("platform")->currentText(), "X11");
    // Hot keys are on unless stored off; a stored switch is on only at 1.
    EXPECT_EQ(std::tuple(box("hotKeys")->isChecked(), box("server")->isChecked(),
                         box("expansion")->isChecked()),
              std::tuple(true, true, false));
    EXPECT_EQ(field("port")->text(), "8080");
    EXPECT_TRUE(dialog->findChild<QRadioButton*>("mouseMiddle")->isChecked());
    // A mouse choice takes effect at once, even when the dialog is cancelled.
    dialog->findChild<QRadioButton*>("mouseLeft")->click();
    dialog->reject();
    EXPECT_EQ(shell->switches().specialMouse, 514u);
    EXPECT_EQ(option("SPMouse"), 520u);

    open();
    box("hotKeys")->setChecked(false);
    for (const char* name : {"prompt", "expansion", "scheduler"}) box(name)->setChecked(true);
    field("port")->setText("+8081");
    field("peers")->setText(" 192.0.2.1, 2001:db8::1 ");
    dialog->findChild<QComboBox*>("platform")->setCurrentIndex(2);
    EXPECT_TRUE(dialog->save());
    EXPECT_EQ(store->GetText(kDirectRoot, "SrvPeers"), "192.0.2.1, 2001:db8::1");
    EXPECT_EQ(store->GetText(kDirectRoot, "Platform"), "wayland");
    const std::pair<const char*, std::uint32_t> expected[] = {
        {"HotKeyOn", 0},  {"SrvOn", 1},       {"SrvPort", 8081}, {"PromptBefMac", 1},
        {"WPhraseOn", 0}, {"ExpansionOn", 1}, {"SchedOn", 1},    {"SPMouse", 514}};
    for (const auto& [name, value] : expected) EXPECT_EQ(option(name), value) << name;
    const Switches& s = shell->switches();
    EXPECT_FALSE(shell->hotKeys().enabled());
    EXPECT_TRUE(s.server && s.prompt && s.expansion && s.scheduler);
    EXPECT_FALSE(s.phrases);
    EXPECT_EQ(log, (Texts{"open server 8081", "remove hooks"}));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(messages.shown.empty());
}

// A bad port or a failed write keeps the dialog open with the later options unwritten.
TEST_F(OptionsDialogTest, AFailedStepKeepsTheDialogOpenWithTheLaterStepsUndone) {
    open();
    box("server")->setChecked(true);
    box("prompt")->setChecked(true);
    field("port")->setText("80a");
    EXPECT_FALSE(dialog->save());
    EXPECT_EQ(messages.texts(), Texts{"Port must be a positive integer."});
    EXPECT_TRUE(messages.allShownAs("Error", MsgIcon::Stop));
    EXPECT_EQ(option("SrvOn"), 1u);
    EXPECT_FALSE(option("PromptBefMac").has_value());

    field("port")->setText("80");
    field("peers")->setText("192.0.2.1 peer.example");
    EXPECT_FALSE(dialog->save());
    EXPECT_EQ(messages.texts().back(),
              "Allowed peers must be IP addresses separated by blanks or commas.");
    EXPECT_FALSE(option("SrvPort").has_value());

    field("peers")->clear();
    failWritesOf("PromptBefMac");
    EXPECT_FALSE(dialog->save());
    EXPECT_EQ(messages.texts().back(), "Failed while writing to registry.  Please try again.");
    EXPECT_EQ(option("SrvPort"), 80u);
    EXPECT_FALSE(option("WPhraseOn").has_value());
    EXPECT_NE(dialog->result(), QDialog::Accepted);
}

// The box says whether the entry is there; Save writes a valid entry that
// starts this program, or removes it.
TEST_F(OptionsDialogTest, StartWithTheDesktopWritesAndRemovesTheAutostartEntry) {
    const TempDir config;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path().string()));
    setOption("SrvPort", 8080);
    const QByteArray exec = execValue(QCoreApplication::applicationFilePath()).toUtf8();
    for (const bool on : {true, false}) {
        open();
        EXPECT_NE(box("startWithDesktop")->isChecked(), on);
        box("startWithDesktop")->setChecked(on);
        EXPECT_TRUE(dialog->save());
        QFile entry(autostartFile());
        EXPECT_EQ(entry.open(QIODevice::ReadOnly) && entry.readAll().contains("\nExec=" + exec),
                  on);
        EXPECT_TRUE(!on ||
                    std::system(("desktop-file-validate " + entry.fileName()).toUtf8()) == 0);
    }
}

}  // namespace
}  // namespace ks::test
