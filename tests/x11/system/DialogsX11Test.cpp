// MESSAGE BOX and PROMPT USER as real Qt windows in a macro run, answered
// with keys that xdotool presses.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "CommandFixture.h"
#include "FakeExpander.h"
#include "XvfbSession.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtDialogs.h"
#include "runner/MacroRunner.h"
#include "system/DialogCommands.h"

namespace ks::test {
namespace {

XvfbSession* xvfb = nullptr;

constexpr const char* kTerminated = "Macro has been terminated by the user!";

// A macro "m" whose first command is the dialog and whose second records
// that the run went on.
class DialogsX11Test : public CommandFixture {
protected:
    DialogsX11Test() {
        runner.setPassStartWait(std::chrono::milliseconds(1));
        for (CommandId id : DialogCommands::ids()) {
            dispatch.setHandler(id, [this](const std::string& path, std::uint32_t command) {
                commands.run(command, path);
                return CommandResult::Next;
            });
        }
        dispatch.setKeystrokeHandler([this](const std::string&, std::uint32_t) { wentOn = true; });
        store->CreateMacroKey("m\\Commands\\1");
        store->SetDword(std::string(kDirectRoot) + "Macros\\m\\Commands\\1", "id", 'K');
    }

    // Runs the macro with the dialog `id`, running each xdotool command of
    // `presses` once the dialog has the focus; the run's length in ms. A
    // dialog still open after 10 s is closed, failing the test.
    qint64 runWith(CommandId id, const std::vector<std::vector<std::string>>& presses) {
        store->SetDword(std::string(kDirectRoot) + "Macros\\" + kCommand, "id", id);
        QTimer press;
        QObject::connect(&press, &QTimer::timeout, [&] {
            if (QApplication::activeWindow() == nullptr) return;
            press.stop();
            for (const auto& command : presses) {
                std::vector<std::string> argv{"xdotool"};
                argv.insert(argv.end(), command.begin(), command.end());
                EXPECT_TRUE(xvfb->run(argv));
            }
        });
        if (!presses.empty()) press.start(20);
        QTimer watchdog;
        QObject::connect(&watchdog, &QTimer::timeout, [] {
            ADD_FAILURE() << "a dialog was left open";
            QApplication::closeAllWindows();
        });
        watchdog.start(10000);
        QElapsedTimer elapsed;
        elapsed.start();
        runner.RunMacroByName("m");
        while (runner.RunActive()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return elapsed.elapsed();
    }

    void writeBox(std::uint32_t type, const char* timeout) {
        writeText("WindowTitle", "Title");
        writeText("MessageBody", "Body");
        writeText("TimeOut", timeout);
        writeNumber("MsgBoxType", type);
        writeNumber("MsgBoxPos", 9);
        writeNumber("MsgBoxSetFocus", 1);
        writeNumber("MsgBoxSetForeground", 1);
    }

    // Prompt A to the right of prompt B, so that B has the focus.
    void writePrompts() {
        load(R"([Macros\m\Commands\0\0]
                "Caption"="A"
                "X"="200"
                "Y"="10"
                "Width"="150"
                "Height"="24"
                "VName"="A"
                "MultiLine"="no"
                [Macros\m\Commands\0\1]
                "Caption"="B"
                "X"="10"
                "Y"="10"
                "Width"="150"
                "Height"="24"
                "VName"="B"
                "MultiLine"="no")");
    }

    FakeExpander expander;
    VariableTable variables{messages};
    QtClock clock;
    MessageQueue queue;
    CommandDispatch dispatch;
    MacroRunner runner{*store, messages, expander, queue, dispatch, clock};
    QtDialogs dialogs;
    DialogCommands commands{DialogCommands::Services{
        *store, messages, expander, variables, runner, clock, dialogs, [this] {
            queue.post(Message{kMsgStopRun, std::nullopt, std::nullopt, 0});
        }}};
    bool wentOn = false;
};

TEST_F(DialogsX11Test, MessageBoxClosesByItselfAfterItsTimeOutAndTheRunGoesOn) {
    writeBox(1, "1000");
    const qint64 took = runWith(kMessageBox, {});
    EXPECT_GE(took, 1000);
    EXPECT_LT(took, 3000);
    EXPECT_TRUE(wentOn);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(DialogsX11Test, AbortEndsTheRunAndEscapeOnTheOkBoxGoesOn) {
    writeBox(1, "0");
    runWith(kMessageBox, {{"key", "alt+a"}});
    EXPECT_FALSE(wentOn);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kTerminated});

    messages.clear();
    writeBox(0, "0");
    runWith(kMessageBox, {{"key", "Escape"}});
    EXPECT_TRUE(wentOn);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(DialogsX11Test, PromptSetsTheVariablesOnOkAndNothingOnCancel) {
    writePrompts();
    runWith(kPromptUser, {{"key", "Escape"}});
    EXPECT_TRUE(wentOn);
    EXPECT_FALSE(variables.VariableExists("A"));
    EXPECT_FALSE(variables.VariableExists("B"));

    runWith(kPromptUser, {{"type", "typed in B"}, {"key", "Return"}});
    EXPECT_EQ(variables.TextValue("A"), "");
    EXPECT_EQ(variables.TextValue("B"), "typed in B");
}

}  // namespace
}  // namespace ks::test

int main(int argc, char** argv) {
    ks::test::XvfbSession session;
    ks::test::xvfb = &session;
    qputenv("DISPLAY", session.display().c_str());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
