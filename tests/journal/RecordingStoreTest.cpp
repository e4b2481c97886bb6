#include <gtest/gtest.h>

#include "journal/EventRows.h"
#include "journal/RecordingStore.h"
#include "store/StoreFixture.h"

namespace ks::test {
namespace {

constexpr const char* kRecPath = "SOFTWARE\\Quorvel\\Keystrider\\Journals\\Rec";

std::vector<JournalEvent> makeEvents(std::size_t count, std::uint32_t seed = 1) {
    std::vector<JournalEvent> events;
    for (std::uint32_t i = 0; i < count; ++i) {
        events.push_back(
            {i % 2 ? kWmKeyUp : kWmKeyDown, 0x41 + i % 26, seed * 1000 + i, i * 10, seed});
    }
    return events;
}

class RecordingStoreTest : public StoreFixture {
protected:
    void SetUp() override { ASSERT_TRUE(store->EnsureRootKeys()); }

    std::vector<std::string> valueNames(const std::string& path) {
        std::vector<std::string> names;
        const auto values = tree->values(path);
        for (const StoredValue& value : *values) names.push_back(value.name);
        return names;
    }

    void expectHolds(std::string_view name, const std::vector<JournalEvent>& events) {
        auto loaded = LoadRecordingForPlayback(*store, name);
        ASSERT_TRUE(loaded.has_value()) << name;
        EXPECT_EQ(*loaded, events) << name;
    }
};

TEST_F(RecordingStoreTest, CutsEventsIntoPiecesOf800) {
    struct Case {
        std::size_t events;
        std::vector<std::size_t> pieceSizes;
    };
    const std::vector<Case> cases = {
        {0, {}}, {1, {20}}, {800, {16000}}, {801, {16000, 20}}, {1601, {16000, 16000, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.events);
        const auto events = makeEvents(c.events);
        ASSERT_TRUE(WriteRecording(*store, "Rec", events, 2));
        std::vector<std::string> expectedNames;
        for (std::size_t k = 0; k < c.pieceSizes.size(); ++k) {
            expectedNames.push_back(std::to_string(k));
            EXPECT_EQ(store->GetBinary(kRecPath, std::to_string(k))->size(), c.pieceSizes[k]);
        }
        expectedNames.push_back("Count");
        expectedNames.push_back("Type");
        EXPECT_EQ(valueNames(kRecPath), expectedNames);
        EXPECT_EQ(store->GetDword(kRecPath, "Count"), c.pieceSizes.size());
        EXPECT_EQ(store->GetDword(kRecPath, "Type"), 2u);
        expectHolds("Rec", events);
        EXPECT_EQ(LoadRecordingForEditing(*store, "rec"), events);
        ASSERT_TRUE(DeleteRecording(*store, "Rec"));
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(RecordingStoreTest, PiecesOfAnySizeLoadForPlayback) {
    const Bytes bytes = eventBytes(makeEvents(3));
    ASSERT_TRUE(store->CreateRecordingKey("Rec"));
    // 30 + 25 bytes: the second event spans both pieces, the last 15 bytes are dropped.
    ASSERT_TRUE(store->WriteBinary(bytes.data(), 30, "\\Journals\\Rec", "0"));
    ASSERT_TRUE(store->WriteBinary(bytes.data() + 30, 25, "\\Journals\\Rec", "1"));
    ASSERT_TRUE(store->WriteDword(2, "\\Journals\\Rec", "Count"));
    expectHolds("Rec", makeEvents(2));
    EXPECT_EQ(LoadRecordingForEditing(*store, "Rec"), makeEvents(2));

    // A piece above 16000 bytes plays but cannot be edited.
    const Bytes big = eventBytes(makeEvents(801));
    ASSERT_TRUE(store->WriteBinary(big.data(), big.size(), "\\Journals\\Rec", "0"));
    ASSERT_TRUE(store->WriteDword(1, "\\Journals\\Rec", "Count"));
    expectHolds("Rec", makeEvents(801));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(LoadRecordingForEditing(*store, "Rec"));
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Error reading recording: Rec"});
}

TEST_F(RecordingStoreTest, LoadFailures) {
    ASSERT_TRUE(WriteRecording(*store, "Rec", makeEvents(900), 1));
    ASSERT_TRUE(store->DeleteValue(kRecPath, "1"));
    ASSERT_TRUE(store->CreateRecordingKey("NoCount"));

    struct Case {
        const char* name;
        bool forEditing;
        std::vector<std::string> texts;
    };
    const std::vector<Case> cases = {
        {"", true, {"Must enter a recording name."}},
        {"NoCount", true, {"Can't find recording: NoCount"}},
        {"Missing", true, {"Can't find recording: Missing"}},
        {"Rec", true, {"Error reading recording: Rec"}},
        {"NoCount",
         false,
         {"Error reading DWORD from reigistry at: Software\\Quorvel\\Keystrider\\Journals\\"
          "NoCount\\Count, error: The value does not exist."}},
        {"Rec",
         false,
         {"Error reading value in reigistry at: Software\\Quorvel\\Keystrider\\Journals\\Rec\\1, "
          "error: The value does not exist."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.forEditing ? " editing" : " playback"));
        messages.clear();
        const auto loaded = c.forEditing ? LoadRecordingForEditing(*store, c.name)
                                         : LoadRecordingForPlayback(*store, c.name);
        EXPECT_FALSE(loaded.has_value());
        EXPECT_EQ(messages.texts(), c.texts);
    }
    EXPECT_EQ(messages.shown[0].title, "Attention");
    messages.clear();
    LoadRecordingForEditing(*store, "Missing");
    EXPECT_EQ(messages.shown[0].title, "Error");
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Stop);
}

TEST_F(RecordingStoreTest, ListsInEnumerationOrderWithTypeTexts) {
    ASSERT_TRUE(WriteRecording(*store, "beta", {}, 3));
    ASSERT_TRUE(WriteRecording(*store, "Alpha", makeEvents(2), 1));
    ASSERT_TRUE(WriteRecording(*store, "gamma", {}, 4));
    ASSERT_TRUE(store->CreateRecordingKey("Delta"));
    const std::vector<RecordingRow> expected = {
        {"Alpha", "Keyboard & Mouse", 1},
        {"beta", "Mouse", 3},
        {"Delta", "Unknown", 0},
        {"gamma", "Unknown", 4},
    };
    EXPECT_EQ(ListRecordings(*store), expected);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(RecordingStoreTest, ListWithoutTheRecordingsKeySaysSo) {
    ASSERT_TRUE(tree->deleteTree("Software\\Quorvel\\Keystrider\\Journals"));
    EXPECT_TRUE(ListRecordings(*store).empty());
    EXPECT_EQ(messages.texts(), std::vector<std::string>{
                                    "Error opening key Software\\Quorvel\\Keystrider\\Journals in "
                                    "the registry - The key does not exist."});
    EXPECT_TRUE(messages.allShownAs("Attention", MsgIcon::Exclamation));
}

TEST_F(RecordingStoreTest, FailedWriteLeavesTheStoreAsItWas) {
    const auto old = makeEvents(801, 1);
    ASSERT_TRUE(WriteRecording(*store, "Rec", old, 1));
    failWritesOf("Count");

    EXPECT_FALSE(WriteRecording(*store, "Rec", makeEvents(5, 2), 2));
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{"Error writing Software\\Quorvel\\Keystrider\\Journals\\Rec"
                                       "\\Count - database or disk is full"});
    expectHolds("Rec", old);
    EXPECT_EQ(store->GetDword(kRecPath, "Type"), 1u);

    EXPECT_FALSE(WriteRecording(*store, "New", makeEvents(5, 2), 2));
    EXPECT_FALSE(tree->keyExists("Software\\Quorvel\\Keystrider\\Journals\\New"));
}

TEST_F(RecordingStoreTest, FailedRenameKeepsTheOldRecording) {
    const auto old = makeEvents(1000, 1);
    ASSERT_TRUE(WriteRecording(*store, "Rec", old, 3));
    failWritesOf("1");
    auto edited = makeEvents(1200, 2);
    EXPECT_FALSE(SaveEditedRecording(*store, edited, "Renamed", "Rec", 3));
    EXPECT_EQ(edited.size(), 1200u);  // the editor keeps its events
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Error writing Software\\Quorvel\\Keystrider\\Journals\\Renamed\\1 - database or "
              "disk is full");
    expectHolds("Rec", old);
    EXPECT_FALSE(tree->keyExists("Software\\Quorvel\\Keystrider\\Journals\\Renamed"));
}

TEST_F(RecordingStoreTest, SaveEditedRecordingChecksInOrder) {
    ASSERT_TRUE(WriteRecording(*store, "Rec", makeEvents(3, 1), 2));
    ASSERT_TRUE(WriteRecording(*store, "Other", makeEvents(4, 3), 2));
    struct Case {
        std::size_t events;
        const char* name;
        const char* opened;
        std::vector<std::string> texts;
        const char* title;
    };
    const std::string inUse = "Recording name already in use.\n\nPlease select a different name.";
    const std::vector<Case> cases = {
        {0, "Rec", "Rec", {"Recording is empty!"}, "Attention"},
        {2, "", "Rec", {"Recording name must not be empty!"}, "Attention"},
        {2, " \t ", "Rec", {"Recording name must not be empty!"}, "Attention"},
        {2, "OTHER", "Rec", {inUse}, "Keystrider - Warning"},
        {2, " other ", "Rec", {inUse}, "Keystrider - Warning"},
        {2,
         "New",
         "Ghost",
         {"Error opening key Software\\Quorvel\\Keystrider\\Journals\\Ghost in the registry - "
          "The key does not exist.",
          "Error deleting previous recording from registry."},
         "Keystrider - Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        auto events = makeEvents(c.events, 7);
        EXPECT_FALSE(SaveEditedRecording(*store, events, c.name, c.opened, 2));
        EXPECT_EQ(messages.texts(), c.texts);
        EXPECT_EQ(messages.shown.back().title, c.title);
        EXPECT_EQ(events.size(), c.events);
    }
    expectHolds("Rec", makeEvents(3, 1));
    expectHolds("Other", makeEvents(4, 3));
    EXPECT_FALSE(tree->keyExists("Software\\Quorvel\\Keystrider\\Journals\\New"));
}

TEST_F(RecordingStoreTest, RenamesTrimmedAndToAnotherCaseOfItsOwnName) {
    ASSERT_TRUE(WriteRecording(*store, "Rec", makeEvents(900, 1), 2));
    auto events = makeEvents(5, 2);
    ASSERT_TRUE(SaveEditedRecording(*store, events, "REC", "Rec", 2));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(ListRecordings(*store), (std::vector<RecordingRow>{{"REC", "Keyboard", 2}}));
    // Piece "1" of the old recording is gone with it.
    EXPECT_EQ(valueNames(kRecPath), (std::vector<std::string>{"0", "Count", "Type"}));

    events = makeEvents(6, 3);
    ASSERT_TRUE(SaveEditedRecording(*store, events, "  Trimmed\t", "rec", 2));
    EXPECT_EQ(ListRecordings(*store), (std::vector<RecordingRow>{{"Trimmed", "Keyboard", 2}}));
    expectHolds("Trimmed", makeEvents(6, 3));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(RecordingStoreTest, SaveNewRecordingChecksInOrder) {
    std::optional<std::vector<JournalEvent>> none;
    std::optional<std::vector<JournalEvent>> some = makeEvents(2);
    const std::vector<std::string> listed = {"Existing"};
    struct Case {
        std::optional<std::vector<JournalEvent>>* buffer;
        const char* name;
        const char* text;
        const char* title;
    };
    const std::vector<Case> cases = {
        {&none, "Rec", "A recording has not been made!", "Attention"},
        {&some, "", "Recording name must not be empty!", "Attention"},
        {&some, "a\\b", "Recording name must not contain a backslash!", "Attention"},
        {&some, "EXISTING", "Recording name already in use.\n\nPlease select a different name.",
         "Keystrider - Warning"},
        // Stored but not (yet) in the list: still not overwritten.
        {&some, "unlisted", "Recording name already in use.\n\nPlease select a different name.",
         "Keystrider - Warning"},
    };
    ASSERT_TRUE(WriteRecording(*store, "Unlisted", makeEvents(1), 3));
    for (const Case& c : cases) {
        messages.clear();
        EXPECT_FALSE(SaveNewRecording(*store, *c.buffer, c.name, listed, 1));
        ASSERT_EQ(messages.shown.size(), 1u) << c.text;
        EXPECT_EQ(messages.shown[0].text, c.text);
        EXPECT_EQ(messages.shown[0].title, c.title);
        EXPECT_EQ(messages.shown[0].icon, MsgIcon::Exclamation);
    }
    EXPECT_EQ(ListRecordings(*store), (std::vector<RecordingRow>{{"Unlisted", "Mouse", 3}}));
    expectHolds("Unlisted", makeEvents(1));
}

TEST_F(RecordingStoreTest, SaveNewRecordingDropsTrailingControlDowns) {
    const JournalEvent ctrlDown{kWmKeyDown, kVkControl, 29, 100, 0};
    const JournalEvent ctrlUp{kWmKeyUp, kVkControl, 29, 150, 0};
    const JournalEvent a{kWmKeyDown, 0x41, 30, 120, 0};
    std::optional<std::vector<JournalEvent>> buffer =
        std::vector<JournalEvent>{ctrlDown, a, ctrlUp, ctrlDown, ctrlDown, ctrlDown};
    ASSERT_TRUE(SaveNewRecording(*store, buffer, " Spaced ", {}, 2));
    EXPECT_FALSE(buffer.has_value());
    expectHolds(" Spaced ", {ctrlDown, a, ctrlUp});

    buffer = std::vector<JournalEvent>{ctrlDown, ctrlDown};
    ASSERT_TRUE(SaveNewRecording(*store, buffer, "OnlyControl", {}, 2));
    EXPECT_EQ(store->GetDword("SOFTWARE\\Quorvel\\Keystrider\\Journals\\OnlyControl", "Count"), 0u);
    expectHolds("OnlyControl", {});
}

TEST_F(RecordingStoreTest, FailedNewSaveKeepsTheBuffer) {
    failWritesOf("Type");
    std::optional<std::vector<JournalEvent>> buffer = makeEvents(3);
    EXPECT_FALSE(SaveNewRecording(*store, buffer, "Rec", {}, 1));
    ASSERT_TRUE(buffer.has_value());
    EXPECT_EQ(*buffer, makeEvents(3));
    EXPECT_FALSE(tree->keyExists("Software\\Quorvel\\Keystrider\\Journals\\Rec"));
}

TEST_F(RecordingStoreTest, DeleteSelectedRecordings) {
    for (const char* name : {"One", "Two", "Three"}) {
        ASSERT_TRUE(WriteRecording(*store, name, makeEvents(1), 1));
    }
    EXPECT_TRUE(DeleteSelectedRecordings(*store, {}).empty());
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"No recording(s) selected!"});
    EXPECT_EQ(messages.shown[0].title, "Attention");

    messages.clear();
    messages.answers = {MsgAnswer::No};
    EXPECT_TRUE(DeleteSelectedRecordings(*store, {"One"}).empty());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Are you sure you want to delete the selected recording(s)?");
    EXPECT_EQ(messages.shown[0].title, "Warning");
    EXPECT_EQ(messages.shown[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(ListRecordings(*store).size(), 3u);

    messages.clear();
    EXPECT_EQ(DeleteSelectedRecordings(*store, {"Three", "Ghost", "one"}),
              (std::vector<std::string>{"Three", "one"}));
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{
                  "Are you sure you want to delete the selected recording(s)?",
                  "Error opening key Software\\Quorvel\\Keystrider\\Journals\\Ghost in the "
                  "registry - The key does not exist.",
                  "Unable to delete recording: Ghost"}));
    EXPECT_EQ(messages.shown.back().title, "Attention");
    EXPECT_EQ(ListRecordings(*store), (std::vector<RecordingRow>{{"Two", "Keyboard & Mouse", 1}}));
}

TEST(EventRowsTest, DescribesEachClass) {
    const std::vector<JournalEvent> events = {
        {kWmKeyDown, 0x1E41, 30, 1000, 0}, {kWmMouseMove, 4000000000u, 7, 990, 0},
        {kWmRButtonDblClk, 1, 2, 1000, 0}, {0x0108, 0x41, 0, 1010, 0},
        {0x0050, 1, 2, 1020, 0},           {kWmMouseWheel, 5, 6, 1030, 120},
    };
    struct Case {
        EventRow row;
        std::vector<std::string> texts;
        std::string title;
    };
    const std::vector<Case> cases = {
        {{"WM_KEYDOWN", "0", "key65", "", ""}, {}, ""},
        {{"WM_MOUSEMOVE", "-10", "", "4000000000", "7"}, {}, ""},
        {{"UNKNOWN MOUSE EVENT", "10", "", "1", "2"}, {"Unknown mouse message."}, "Error"},
        {{"UNKNOWN KEYBOARD EVENT", "10", "key65", "", ""}, {"Unknown keyboard message."}, "264"},
        {{"", "10", "", "", ""}, {"Unknown message type while reading macro."}, "Error"},
        {{"WM_MOUSEWHEEL", "10", "", "5", "6"}, {}, ""},
    };
    const KeyNamer keyName = [](std::uint8_t key) { return "key" + std::to_string(key); };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        RecordingMessages messages;
        EXPECT_EQ(describeEvent(events, i, keyName, messages), cases[i].row) << i;
        EXPECT_EQ(messages.texts(), cases[i].texts) << i;
        if (!cases[i].texts.empty()) {
            EXPECT_EQ(messages.shown[0].title, cases[i].title) << i;
        }
    }
}

}  // namespace
}  // namespace ks::test
