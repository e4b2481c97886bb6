// MESSAGE BOX and PROMPT USER as real Qt windows in a macro run, answered
// with keys that xdotool presses.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "CommandFixture.h"
#include "XvfbSession.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtDialogs.h"
#include "runner/MacroRunner.h"
#include "system/DialogCommands.h"

namespace ks::test {
namespace {

XvfbSession* xvfb = nullptr;

// A macro of one dialog, a Continue/Abort box with a time-out of 1 s unless
// a test changes it; the run went on after it when no stop was reported.
class DialogsX11Test : public CommandFixture {
protected:
    DialogsX11Test() {
        runner.setPassStartWait(std::chrono::milliseconds(1));
        dispatch.add(commands);
        load(R"([Macros\m\Commands\0]
                "WindowTitle"="Title"
                "MessageBody"="Body"
                "TimeOut"="1000"
                "MsgBoxType"=dword:00000001
                "MsgBoxPos"=dword:00000009
                "MsgBoxSetFocus"=dword:00000001
                "MsgBoxSetForeground"=dword:00000001)");
    }

    // Runs the macro with the dialog `id`, doing `action` once the dialog
    // has the focus; the run's length in ms.
    std::int64_t runWith(CommandId id, const std::function<void()>& action) {
        writeNumber("id", id);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (QApplication::activeWindow() == nullptr) return;
            poll.stop();
            action();
        });
        poll.start(20);
        const std::int64_t start = clock.monotonicMillis();
        runner.RunMacroByName("m");
        while (runner.runActive()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return clock.monotonicMillis() - start;
    }

    VariableTable variables{messages};
    QtClock clock;
    ApplicationQueue queue;
    CommandDispatch dispatch;
    MacroRunner runner{*store, messages, expander, queue, dispatch, clock};
    QtDialogs dialogs;
    DialogCommands commands{DialogCommands::Services{messages, variables, runner, clock, dialogs,
                                                     [this] { queue.post(msg::StopRun{}); }}};
    const std::vector<std::string> terminated{"Macro has been terminated by the user!"};
};

TEST_F(DialogsX11Test, TheBoxGoesOnAfterItsTimeOutOrEscapeAndStopsTheRunOnAbortOrAStop) {
    EXPECT_GE(runWith(kMessageBox, [] {}), 1000);
    EXPECT_TRUE(messages.shown.empty());

    writeText("TimeOut", "0");
    runWith(kMessageBox, [] { EXPECT_TRUE(xvfb->run({"xdotool", "key", "alt+a"})); });
    EXPECT_EQ(messages.texts(), terminated);

    messages.clear();
    writeNumber("MsgBoxType", 0);
    runWith(kMessageBox, [] { EXPECT_TRUE(xvfb->run({"xdotool", "key", "Escape"})); });
    EXPECT_TRUE(messages.shown.empty());

    runWith(kMessageBox, [this] { queue.post(msg::StopRun{}); });
    EXPECT_EQ(messages.texts(), terminated);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), 0);
}

// However long its body, in one word or in many lines, a box fits the screen.
TEST_F(DialogsX11Test, ALongBodyScrollsInsideABoxThatFitsTheScreen) {
    std::string lines;
    for (int i = 0; i < 3000; ++i) lines += "line " + std::to_string(i) + "\n";
    const ScreenSize screen = dialogs.screenSize();
    for (const std::string& body : {std::string(30000, 'x'), lines}) {
        const auto box = dialogs.createMessageBox(MessageBoxSpec{"Long", body});
        EXPECT_LE(box->size().width, screen.width);
        EXPECT_LE(box->size().height, screen.height);
    }
}

TEST_F(DialogsX11Test, ThePromptSetsTheVariablesOnOkAndNothingOnCancel) {
    const char* names[] = {"Caption", "X", "Y", "Width", "Height", "VName", "MultiLine"};
    const char* prompts[][7] = {{"a", "10", "10", "150", "24", "V0", "no"},
                                {"b", "200", "10", "150", "24", "V1", "no"}};
    for (int prompt = 0; prompt < 2; ++prompt) {
        const std::string key = std::string(kCommand) + "\\" + std::to_string(prompt);
        store->CreateMacroKey(key);
        for (int i = 0; i < 7; ++i) store->WriteMacroString(prompts[prompt][i], key, names[i]);
    }
    runWith(kPromptUser, [] { EXPECT_TRUE(xvfb->run({"xdotool", "key", "Escape"})); });
    EXPECT_FALSE(variables.VariableExists("V0"));

    runWith(kPromptUser, [] {
        EXPECT_TRUE(xvfb->run({"xdotool", "type", "first text\tsecond"}));
        EXPECT_TRUE(xvfb->run({"xdotool", "key", "Return"}));
    });
    EXPECT_EQ(variables.textValue("V0"), "first text");
    EXPECT_EQ(variables.textValue("V1"), "second");
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
