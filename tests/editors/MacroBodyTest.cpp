#include "editors/MacroBody.h"

#include <gtest/gtest.h>

#include <tuple>

#include "MapTriggerOwners.h"
#include "RecordingMessages.h"
#include "TempDir.h"
#include "core/CommandId.h"
#include "editors/MacroDocument.h"
#include "editors/MacroSaveRules.h"
#include "store/KeyTree.h"

namespace ks::test {
namespace {

// Keystroke commands named by their letters: "ABC" is a body of three rows.
std::vector<CommandRecord> body(const std::string& letters) {
    std::vector<CommandRecord> out;
    for (const char c : letters) out.push_back(CommandRecord{static_cast<std::uint32_t>(c)});
    return out;
}

std::string letters(const std::vector<CommandRecord>& commands) {
    std::string out;
    for (const CommandRecord& c : commands) out += static_cast<char>(c.id);
    return out;
}

enum class Op { Add, Delete, Up, Down, Copy, Cut, Paste, Edit };

constexpr const char *kNoCommand = "No command selected!", *kNoCommands = "No command(s) selected!";

constexpr const char* kPasteOne =
    "Please select only one command to paste currently copied commands ahead of or de-select all "
    "commands to paste to the end!";

// Each row edits the list "ABCD" with "xy" copied before; Add inserts "x", at the row it returns.
struct EditRow {
    Op op;
    RowSelection selection;
    const char* after;  // the list afterwards, "|", the copied commands
    RowSelection selected;
    const char* message;
};

const EditRow kEdits[] = {
    {Op::Add, {}, "ABCDx|xy", {4}, ""},
    {Op::Add, {2, 1}, "AxBCD|xy", {1}, ""},
    {Op::Delete, {}, "ABCD|xy", {}, kNoCommand},
    {Op::Delete, {3, 1}, "AC|xy", {}, "Are you sure you want to delete the selected command(s)?"},
    {Op::Up, {}, "ABCD|xy", {}, kNoCommands},
    {Op::Up, {1, 2}, "BCAD|xy", {0, 1}, ""},
    {Op::Up, {0, 2}, "ABCD|xy", {0, 2}, ""},
    {Op::Down, {1, 2}, "ADBC|xy", {2, 3}, ""},
    {Op::Down, {1, 3}, "ABCD|xy", {1, 3}, ""},
    {Op::Copy, {}, "ABCD|xy", {}, kNoCommands},
    {Op::Copy, {3, 0}, "ABCD|AD", {3, 0}, ""},
    {Op::Cut, {1, 2}, "AD|BC", {}, ""},
    {Op::Paste, {}, "ABCDxy|xy", {}, ""},
    {Op::Paste, {1}, "AxyBCD|xy", {3}, ""},
    {Op::Paste, {1, 2}, "ABCD|xy", {1, 2}, kPasteOne},
    {Op::Edit, {}, "ABCD|xy", {}, kNoCommand},
    {Op::Edit, {0, 1}, "ABCD|xy", {0, 1}, "Please select only one command to be edited!"},
    {Op::Edit, {2}, "ABCD|xy", {2}, "Instruction has no properties to change."},
};

TEST(MacroBodyTest, ListEditingFollowsItsRules) {
    for (const EditRow& row : kEdits) {
        SCOPED_TRACE(std::string(row.after) + " op " + std::to_string(static_cast<int>(row.op)));
        std::vector<CommandRecord> copied = body("xy");
        MacroBody list(body("ABCD"));
        RowSelection selection = row.selection;
        RecordingMessages messages;
        switch (row.op) {
            case Op::Add: selection = {list.insert(CommandRecord{'x'}, selection)}; break;
            case Op::Delete: list.remove(selection, messages); break;
            case Op::Up: list.move(selection, -1, messages); break;
            case Op::Down: list.move(selection, 1, messages); break;
            case Op::Copy: list.copy(selection, copied, messages); break;
            case Op::Cut: list.cut(selection, copied, messages); break;
            case Op::Paste: list.paste(selection, copied, messages); break;
            case Op::Edit: EXPECT_FALSE(list.editableRow(selection, messages)); break;
        }
        EXPECT_EQ(letters(list.commands()) + "|" + letters(copied), row.after);
        EXPECT_EQ(selection, row.selected);
        EXPECT_EQ(messages.shown.empty() ? "" : messages.shown.front().text, row.message);
        EXPECT_EQ(list.modified(), letters(list.commands()) != "ABCD");
    }
}

MacroDocument sample(const std::string& name, const std::string& commands) {
    MacroDocument macro{name, 0x41, 2, 7, 3, 10000, "btw", true, {}, body(commands)};
    macro.schedules.push_back(Schedule{1, {"N/A", "3", "31", "N/A", "12", "00", "00"}});
    macro.commands.push_back(CommandRecord(kDelay, {{"DelayInterval", std::string("500")}}));
    macro.commands.push_back(
        CommandRecord(kSendDate, {{"UseGMT", 0u}},
                      {CommandRecord(0, {{"Format", 1u}, {"Append", std::string("/")}})}));
    return macro;
}

auto fields(const MacroDocument& m) {
    return std::tie(m.name, m.vk, m.modifiers, m.hotKeyId, m.repeat, m.messageId, m.phrase,
                    m.phraseCase, m.schedules, m.commands);
}

TEST(MacroDocumentTest, ASaveReplacesTheOldMacroInOneChangeAndStoresNoAbsentTrigger) {
    TempDir dir;
    KeyTree tree(dir.file("store.db"));
    const MacroDocument old = sample("Old", "ABC");
    ASSERT_TRUE(writeMacro(tree, old));
    const Expected<MacroDocument> read = readMacro(tree, "Old");
    ASSERT_TRUE(read);
    EXPECT_EQ(fields(*read), fields(old));

    // Saved again under its own name with fewer commands: the removed ones are gone.
    ASSERT_TRUE(writeMacro(tree, sample("Old", "A"), "Old"));
    EXPECT_EQ(readMacro(tree, "Old")->commands.size(), 3u);

    // Renamed onto another macro's name: refused, and the old one stays whole.
    ASSERT_TRUE(writeMacro(tree, sample("Other", "")));
    EXPECT_EQ(writeMacro(tree, sample("other", "XYZ"), "Old").error(), kMacroExists);
    EXPECT_EQ(readMacro(tree, "Old")->commands.size(), 3u);

    // A stored 0 would read as a hot key or message id the macro does not have.
    MacroDocument bare;
    bare.name = "Bare";
    ASSERT_TRUE(writeMacro(tree, bare));
    for (const char* name : {"vk", "fsModifiers", "MsgID"})
        EXPECT_FALSE(tree.readValue("SOFTWARE\\Quorvel\\Keystrider\\Macros\\Bare", name)) << name;
}

struct SaveRow {
    MacroForm form;
    const char* refusal;  // empty: accepted
};

TEST(MacroSaveRulesTest, SaveRefusesInItsOrder) {
    const char* lowId =
        "XML Message ID must be greater than or equeal to 10000!  Lower IDs are reserved.";
    const char* execute = "Execute: value must be between 1 and 100000!";
    MapTriggerOwners owners;
    owners.held = {{"#10001", "Other"}, {"btw", "Other"}};
    const SaveRow rows[] = {
        {{"", 0, 0, "1", "btw", false, "0"}, "Macro Name must not be empty!"},
        {{"M", 0, 0, " 9999 ", "btw", false, "0"}, lowId},
        {{"M", 0, 0, "abc", "", false, "1"}, lowId},
        {{"M", 0, 0, "10001", "btw", false, "0"}, "XML Message ID already in use by: Other"},
        {{"M", 0, 0, " 10000", " btw ", false, "0"},
         "Word or Phrase for trigger already in use by: Other"},
        {{"M", 0, 0, "", "", false, "0"}, execute},
        {{"M", 0, 0, "", "", false, "100001"}, execute},
        {{"M", 65, 2, "10000", "", true, "100000"}, ""},
        {{"a\\b", 0, 0, "", "", false, "1"}, "Macro Name must not contain a backslash (\\)!"},
    };
    for (const SaveRow& row : rows) {
        const SaveCheck check = checkSave(row.form, row.form.name, owners);
        EXPECT_EQ(check.refusal.value_or(""), row.refusal) << row.form.name << row.form.messageId;
    }
    const SaveCheck saved = checkSave(rows[7].form, "", owners);
    EXPECT_EQ(std::tuple(saved.macro.messageId, saved.macro.repeat, saved.macro.vk,
                         saved.macro.phraseCase),
              std::tuple(10000u, 100000u, 65u, true));
}

TEST(MacroSaveRulesTest, SaveAsNeedsOtherTriggersAndName) {
    const MacroDocument stored{"Mac", 65, 2, 0, 1, 10000, "btw", false, {}, {}};
    const std::pair<MacroForm, const char*> rows[] = {
        {{"New", 65, 2, "", "", false, "1"}, "Must select different hot key trigger!"},
        {{"MAC", 65, 1, "", "", false, "1"}, "Must select different Macro name!"},
        {{"New", 0, 0, "10000", "", false, "1"}, "Must select different XML Message ID trigger!"},
        {{"New", 0, 0, "", "btw", false, "1"}, "Must select different Word or Phrase trigger!"},
        {{"New", 0, 0, "10001", "bbb", false, "1"}, ""},
    };
    for (const auto& [form, refusal] : rows)
        EXPECT_EQ(saveAsRefusal(form, stored).value_or(""), refusal);
}

}  // namespace
}  // namespace ks::test
