#include <gtest/gtest.h>

#include "CommandFixture.h"
#include "FakeClock.h"
#include "FakeExpander.h"
#include "system/DialogCommands.h"

namespace ks::test {
namespace {

class FakeRun final : public RunControl {
public:
    RunGeneration CurrentRun() const override { return current; }
    void EndRun() override { current = 0; }
    void EndRun(RunGeneration) override { current = 0; }
    bool PostRunStep(RunGeneration) override { return true; }
    void PumpAllMessages() override {}
    void PumpStopRequests() override {}
    bool WaitWhileRunning(std::chrono::milliseconds) override {
        if (whileWaiting) whileWaiting();
        return current != 0;
    }
    RunGeneration current = 1;
    std::function<void()> whileWaiting;
};

// Every dialog closes as `closing` says, the prompt with `typed` in its boxes.
class FakeDialogs final : public Dialogs {
public:
    ScreenSize screenSize() override { return {1000, 800}; }
    std::unique_ptr<MessageBoxWindow> createMessageBox(const MessageBoxSpec& spec) override {
        boxes.push_back(spec);
        return std::make_unique<Box>(closing);
    }
    std::unique_ptr<PromptWindow> showPrompt(const PromptForm& form) override {
        forms.push_back(form);
        return std::make_unique<Prompt>(closing, typed);
    }
    DialogState closing = DialogState::Accepted;
    std::vector<std::string> typed;
    std::vector<MessageBoxSpec> boxes;
    std::vector<PromptForm> forms;

private:
    struct Box final : MessageBoxWindow {
        explicit Box(DialogState& s) : closing(s) {}
        ScreenSize size() const override { return {200, 100}; }
        void moveTo(int, int) override {}
        void show(bool) override {}
        DialogState state() const override { return closing; }
        DialogState& closing;
    };
    struct Prompt final : PromptWindow {
        Prompt(DialogState& s, std::vector<std::string>& t) : closing(s), typed(t) {}
        DialogState state() const override { return closing; }
        std::vector<std::string> texts() const override { return typed; }
        DialogState& closing;
        std::vector<std::string>& typed;
    };
};

class DialogCommandsTest : public CommandFixture {
protected:
    // One prompt sub-key; a value given as nullptr is left out.
    void writePrompt(int index, std::array<const char*, 7> values) {
        static constexpr std::array kNames{"Caption", "X",     "Y",        "Width",
                                           "Height",  "VName", "MultiLine"};
        std::string reg = "[Macros\\m\\Commands\\0\\" + std::to_string(index) + "]\n";
        for (std::size_t i = 0; i < kNames.size(); ++i) {
            if (values[i] != nullptr)
                reg += "\"" + std::string(kNames[i]) + "\"=\"" + values[i] + "\"\n";
        }
        load(reg);
    }
    const PromptForm& prompt() {
        commands.run(kPromptUser, kCommand);
        return dialogs.forms.back();
    }

    FakeExpander expander;
    VariableTable variables{messages};
    FakeRun run;
    FakeClock clock;
    FakeDialogs dialogs;
    int stops = 0;
    DialogCommands commands{DialogCommands::Services{*store, messages, expander, variables, run,
                                                     clock, dialogs, [this] { ++stops; }}};
};

TEST(MessageBoxPlaceTest, PutsTheBoxInTheNinePlacesOfTheScreen) {
    const struct {
        std::uint32_t position;
        std::optional<std::pair<int, int>> place;
    } cases[] = {{0, std::nullopt}, {1, {{0, 0}}},     {2, {{399, 0}}},   {3, {{799, 0}}},
                 {4, {{0, 349}}},   {5, {{399, 349}}}, {6, {{799, 349}}}, {7, {{0, 699}}},
                 {8, {{399, 699}}}, {9, {{799, 699}}}, {10, std::nullopt}};
    for (const auto& c : cases) {
        const auto place = messageBoxPlace(c.position, {201, 101}, {1000, 800});
        std::optional<std::pair<int, int>> got;
        if (place) got = std::make_pair(place->x, place->y);
        EXPECT_EQ(got, c.place) << c.position;
    }
}

TEST(PromptFocusTest, TakesTheSmallestXThenTheSmallestYThenTheEarliest) {
    const struct {
        std::vector<std::pair<int, int>> corners;
        std::size_t focus;
    } cases[] = {{{{5, 5}}, 0},
                 {{{50, 0}, {10, 90}, {10, 30}}, 2},
                 {{{10, 30}, {10, 30}, {10, 40}}, 0},
                 {{{-3, 500}, {0, 0}}, 0}};
    for (const auto& c : cases) {
        std::vector<PromptField> fields;
        for (const auto& [x, y] : c.corners) fields.push_back({"", x, y, 10, 10, false});
        EXPECT_EQ(promptFocus(fields), c.focus);
    }
}

TEST_F(DialogCommandsTest, OnlyTheContinueAbortBoxStopsTheRunAndOnlyWhenDismissed) {
    writeText("WindowTitle", "Hello {who}");
    writeText("MessageBody", "Body");
    writeText("TimeOut", "1500 ms");
    writeNumber("MsgBoxPos", 5);
    writeNumber("MsgBoxSetFocus", 1);
    writeNumber("MsgBoxSetForeground", 0);
    expander.values = {{"who", "you"}};
    const struct {
        std::uint32_t type;
        DialogState closing;
        int stops;
    } cases[] = {{1, DialogState::Dismissed, 1},
                 {1, DialogState::Accepted, 0},
                 {0, DialogState::Dismissed, 0},
                 {2, DialogState::Dismissed, 0}};
    for (const auto& c : cases) {
        writeNumber("MsgBoxType", c.type);
        dialogs.closing = c.closing;
        stops = 0;
        commands.run(kMessageBox, kCommand);
        EXPECT_EQ(stops, c.stops) << c.type;
        EXPECT_EQ(dialogs.boxes.back().continueAbort, c.type != 0);
    }
    EXPECT_EQ(dialogs.boxes.back().title, "Hello you");
    EXPECT_EQ(dialogs.boxes.back().timeout, std::chrono::milliseconds(1500));
}

TEST_F(DialogCommandsTest, ABoxWhoseRunEndsElsewhereClosesWithoutStoppingAnything) {
    writeText("WindowTitle", "t");
    writeText("MessageBody", "b");
    writeText("TimeOut", "0");
    for (const char* name : {"MsgBoxType", "MsgBoxPos", "MsgBoxSetFocus", "MsgBoxSetForeground"}) {
        writeNumber(name, 1);
    }
    dialogs.closing = DialogState::Open;
    run.whileWaiting = [this] { run.current = 0; };
    commands.run(kMessageBox, kCommand);
    EXPECT_EQ(stops, 0);
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST_F(DialogCommandsTest, PromptNumbersAreCheckedAndTheirLeadingNumberUsedAnyway) {
    const char* x = "Text Box X Coord must be a integer greater than or equal 0.";
    const char* y = "Text Box Y Coord must be a integer greater than or equal 0.";
    const char* w = "Text Box Width must be a integer greater than 0.";
    const char* h = "Text Box Height must be a integer greater than 0.";
    const struct {
        std::array<const char*, 4> texts;
        std::array<int, 4> used;
        std::vector<std::string> messages;
    } cases[] = {{{"5", "7", "100", "20"}, {5, 7, 100, 20}, {}},
                 {{"-1", "2.5", "0", "abc"}, {-1, 2, 0, 0}, {x, w, h}},
                 {{"+3", "-0", "0.5", "1e3"}, {3, 0, 0, 1}, {h}},
                 {{"", "1.2.3", "12x", " 4"}, {0, 1, 12, 4}, {x, y, w, h}}};
    for (const auto& c : cases) {
        const auto& [tx, ty, tw, th] = c.texts;
        writePrompt(0, {"c", tx, ty, tw, th, "v", "no"});
        messages.clear();
        const PromptField& field = prompt().fields.at(0);
        EXPECT_EQ((std::array{field.x, field.y, field.width, field.height}), c.used) << tx;
        EXPECT_EQ(messages.texts(), c.messages) << tx;
        EXPECT_TRUE(messages.allShownAs("Attention", MsgIcon::Information));
    }
}

TEST_F(DialogCommandsTest, PromptsEndAtTheFirstUnreadableValueOrAtTheLimit) {
    writeText("WindowCaption", "{t}");
    expander.values = {{"t", "Title"}, {"n", "Name"}};
    writePrompt(0, {"{n}", "1", "2", "3", "4", "A", "YES"});
    writePrompt(1, {"Second", "1", "2", "3", "4", "B", "no"});
    writePrompt(2, {"Third", "1", "2", "3", "4", nullptr, "no"});
    writePrompt(3, {"Fourth", "1", "2", "3", "4", "D", "no"});
    const PromptForm& form = prompt();
    EXPECT_EQ(form.title, "Title");
    ASSERT_EQ(form.fields.size(), 2u);
    EXPECT_EQ(form.fields[0].caption, "Name");
    EXPECT_TRUE(form.fields[0].multiLine);
    EXPECT_FALSE(form.fields[1].multiLine);

    for (int i = 2; i <= 150; ++i) writePrompt(i, {"c", "1", "2", "3", "4", "v", "no"});
    EXPECT_EQ(prompt().fields.size(), DialogCommands::kMaxPrompts);
}

}  // namespace
}  // namespace ks::test
