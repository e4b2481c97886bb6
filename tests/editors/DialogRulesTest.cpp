#include <gtest/gtest.h>
#include <QApplication>
#include <QPushButton>

#include <functional>
#include <memory>

#include "FakeClock.h"
#include "RecordingMessages.h"
#include "core/CommandId.h"
#include "editors/DateTimeDialog.h"
#include "editors/ParameterDialog.h"
#include "editors/PlaybackDialog.h"
#include "editors/PromptDialog.h"
#include "editors/ScheduleDialog.h"

namespace ks::test {
namespace {

QString defaultButton(const QDialog& dialog) {
    for (const QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->isDefault()) return button->text().remove(u'&');
    }
    return {};
}

// Each command dialog and the schedule have a Help button, and Enter
// completes them even after a "..." button had the focus.
TEST(DialogRulesTest, EachDialogHasHelpAndEnterCompletesIt) {
    RecordingMessages messages;
    FakeClock clock;
    int helped = 0;
    const HelpAction help = [&helped] { ++helped; };
    ParameterHooks hooks;
    hooks.help = [&helped](std::uint32_t) { ++helped; };
    const std::function<std::unique_ptr<QDialog>()> opens[] = {
        [&] {
            return std::make_unique<PlaybackDialog>(std::vector<RecordingRow>{},
                                                    CommandRecord(kPlaybackRecording), messages,
                                                    nullptr, help);
        },
        [&] {
            return std::make_unique<DateTimeDialog>(CommandRecord(kSendDate), messages, nullptr,
                                                    help);
        },
        [&] {
            return std::make_unique<PromptDialog>(CommandRecord(kPromptUser), messages, nullptr,
                                                  nullptr, help);
        },
        [&] {
            return std::make_unique<ScheduleDialog>(std::vector<Schedule>{}, messages, clock,
                                                    nullptr, help);
        },
        [&] {
            return std::make_unique<ParameterDialog>(*parameterSpec(kRun), CommandRecord(kRun),
                                                     messages, hooks);
        },
    };
    for (const auto& open : opens) {
        const std::unique_ptr<QDialog> dialog = open();
        dialog->show();
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->text() == "...") button->setFocus();
            QApplication::processEvents();
            if (button->text() == "&Help") button->click();
        }
        EXPECT_EQ(defaultButton(*dialog), "OK") << dialog->windowTitle().toStdString();
    }
    EXPECT_EQ(helped, std::size(opens));
}

}  // namespace
}  // namespace ks::test
