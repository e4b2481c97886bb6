#include <gtest/gtest.h>
#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include "EditorDesktop.h"
#include "FakeClock.h"
#include "RecordingMessages.h"
#include "core/CommandId.h"
#include "editors/DateTimeDialog.h"
#include "editors/ParameterDialog.h"
#include "editors/PromptDialog.h"
#include "editors/ScheduleDialog.h"
#include "interchange/ExchangeDialogs.h"
#include "platform/qt/QtMessages.h"

namespace ks::test {
namespace {

QString defaultButton(const QWidget* dialog) {
    for (const QPushButton* button : dialog->findChildren<QPushButton*>())
        if (button->isDefault()) return button->text().remove(u'&');
    return {};
}

// The modal widget `open` shows, seen from inside its event loop, then closed.
void modalOf(const std::function<void()>& open, const std::function<void(QWidget*)>& see) {
    QTimer::singleShot(0, [see] {
        see(QApplication::activeModalWidget());
        QApplication::activeModalWidget()->close();
    });
    open();
}

// Enter completes each dialog, even after its "..." had the focus, and each
// has Help (the playback dialog's buttons are the date dialog's okCancelButtons); a box shown
// during an import comes above its titled progress.
TEST(DialogRulesTest, EnterCompletesEachDialogAndHelpAndBoxesAreAtHand) {
    RecordingMessages messages;
    FakeClock clock;
    EditorDesktop desktop;
    const HelpAction help = [&desktop] { ++desktop.helpShown; };
    const CommandRecord run(kRun), date(kSendDate), prompt(kPromptUser);
    const std::unique_ptr<QDialog> dialogs[] = {
        std::make_unique<DateTimeDialog>(date, messages, nullptr, help),
        std::make_unique<PromptDialog>(prompt, messages, nullptr, nullptr, help),
        std::make_unique<ScheduleDialog>(std::vector<Schedule>{}, messages, clock, nullptr, help),
        std::make_unique<ParameterDialog>(*parameterSpec(kRun), run, messages, desktop.hooks()),
        std::make_unique<ExchangePathDialog>(nullptr, messages, ExchangeDirection::Import,
                                             ExportKind::Macros)};
    for (const auto& dialog : dialogs) {
        dialog->show();
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->text() == "...") button->setFocus();
            QApplication::processEvents();
            if (button->text() == "&Help") button->click();
        }
        EXPECT_EQ(defaultButton(dialog.get()), "OK") << dialog->windowTitle().toStdString();
    }
    EXPECT_EQ(desktop.helpShown, 4);
    QString chooser, owner;
    modalOf([] { chooseImportItems(nullptr, "Keystrider - Macro List", {"a"}); },
            [&chooser](QWidget* dialog) { chooser = defaultButton(dialog); });
    EXPECT_EQ(chooser, "Import");
    ExchangeProgress progress(nullptr, "Keystrider - Import Macros");
    progress.step(0, 2);
    QtMessages boxes;
    modalOf([&boxes] { boxes.show("Exists", "Attention", MsgIcon::Exclamation); },
            [&owner](QWidget* box) {
                if (box->parentWidget()) owner = box->parentWidget()->windowTitle();
            });
    EXPECT_EQ(owner, "Keystrider - Import Macros");
}

}  // namespace
}  // namespace ks::test
