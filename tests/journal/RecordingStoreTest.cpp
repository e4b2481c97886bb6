#include <gtest/gtest.h>

#include "RecorderDoubles.h"
#include "journal/JournalEvent.h"
#include "journal/RecordingStore.h"
#include "store/StoreFixture.h"

namespace ks::test {
namespace {

using Strings = std::vector<std::string>;
using Events = std::vector<JournalEvent>;
const std::string kJournals = "Software\\Quorvel\\Keystrider\\Journals\\";
const std::string kInUse = "Recording name already in use.\n\nPlease select a different name.";

Events makeEvents(std::size_t count, std::uint32_t seed = 1) {
    Events events;
    for (std::uint32_t i = 0; i < count; ++i)
        events.push_back(
            {i % 2 ? kWmKeyUp : kWmKeyDown, 0x41 + i % 26, seed * 1000 + i, i * 10, seed});
    return events;
}

// A trailing partial record is dropped: the pieces' test loads 55 bytes as two events.
TEST(JournalEventTest, StoresFiveLittleEndianFields) {
    const std::vector<JournalEvent> events = {{0x0100, 0x41, 0x1E0001, 0x01020304, 0xAABBCCDD},
                                              {0x0200, 640, 480, 0xFFFFFFFF, 0}};
    const Bytes bytes = eventBytes(events);
    ASSERT_EQ(bytes.size(), 40u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 20),
              (Bytes{0x00, 0x01, 0,    0,    0x41, 0,    0,    0,    0x01, 0x00,
                     0x1E, 0,    0x04, 0x03, 0x02, 0x01, 0xDD, 0xCC, 0xBB, 0xAA}));
    EXPECT_EQ(eventsFromBytes(bytes), events);
}

TEST(JournalEventTest, FilterLetsItsClassesThrough) {
    const std::vector<std::tuple<std::uint32_t, std::uint32_t, bool>> cases = {
        {1, 0x0050, true},  {2, 0x0100, true}, {2, 0x0108, true},  {2, 0x0109, false},
        {3, 0x0200, true},  {3, 0x020A, true}, {3, 0x020B, false}, {3, 0x0101, false},
        {0, 0x0100, false}, {4, 0x0200, false}};
    for (const auto& [filter, message, passes] : cases)
        EXPECT_EQ(passesFilter(filter, message), passes) << filter << " " << message;
}

class RecordingStoreTest : public StoreFixture {
protected:
    void SetUp() override { ASSERT_TRUE(store->EnsureRootKeys()); }

    void expectHolds(std::string_view name, const Events& events) {
        EXPECT_EQ(loadRecordingForPlayback(*store, name), events) << name;
    }
};

TEST_F(RecordingStoreTest, CutsEventsIntoPiecesOf800) {
    // The events, then each stored value's name and size.
    const std::pair<std::size_t, std::string> cases[] = {
        {0, ""}, {1, "0:20 "}, {800, "0:16000 "}, {801, "0:16000 1:20 "}};
    for (const auto& [count, pieces] : cases) {
        SCOPED_TRACE(count);
        const auto events = makeEvents(count);
        ASSERT_TRUE(WriteRecording(*store, "Rec", events, 2));
        std::string values;
        const auto stored = tree->values(kJournals + "Rec");
        for (const StoredValue& value : *stored)
            values += value.name + ":" + std::to_string(value.data.size()) + " ";
        EXPECT_EQ(values, pieces + "Count:4 Type:4 ");
        expectHolds("Rec", events);
        ASSERT_TRUE(deleteRecording(*store, "Rec"));
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(RecordingStoreTest, PiecesOfAnySizeLoadForPlaybackAndMissingOnesFailIt) {
    const Bytes bytes = eventBytes(makeEvents(3));
    ASSERT_TRUE(store->CreateRecordingKey("Rec"));
    // 30 + 25 bytes: the second event spans both pieces, the last 15 bytes are dropped.
    ASSERT_TRUE(store->WriteBinary(bytes.data(), 30, "\\Journals\\Rec", "0"));
    ASSERT_TRUE(store->WriteBinary(bytes.data() + 30, 25, "\\Journals\\Rec", "1"));
    ASSERT_TRUE(store->WriteDword(2, "\\Journals\\Rec", "Count"));
    expectHolds("Rec", makeEvents(2));
    // A piece above 16000 bytes plays too.
    const Bytes big = eventBytes(makeEvents(801));
    ASSERT_TRUE(store->WriteBinary(big.data(), big.size(), "\\Journals\\Rec", "0"));
    ASSERT_TRUE(store->WriteDword(1, "\\Journals\\Rec", "Count"));
    expectHolds("Rec", makeEvents(801));
    EXPECT_TRUE(messages.shown.empty());

    // A missing count or piece fails the load with the store's one box saying which.
    ASSERT_TRUE(WriteRecording(*store, "Rec", makeEvents(900), 1));
    ASSERT_TRUE(store->DeleteValue(kJournals + "Rec", "1"));
    ASSERT_TRUE(store->CreateRecordingKey("NoCount"));
    for (const char* name : {"NoCount", "Rec"}) {
        messages.clear();
        EXPECT_FALSE(loadRecordingForPlayback(*store, name)) << name;
        EXPECT_EQ(messages.shown.size(), 1u) << name;
    }
}

TEST_F(RecordingStoreTest, ListsInEnumerationOrderWithTypeTexts) {
    ASSERT_TRUE(WriteRecording(*store, "beta", {}, 3));
    ASSERT_TRUE(WriteRecording(*store, "Alpha", makeEvents(2), 1));
    ASSERT_TRUE(WriteRecording(*store, "gamma", {}, 4));
    ASSERT_TRUE(store->CreateRecordingKey("Delta"));
    EXPECT_EQ(listRecordings(*store), (std::vector<RecordingRow>{{"Alpha", "Keyboard & Mouse", 1},
                                                                 {"beta", "Mouse", 3},
                                                                 {"Delta", "Unknown", 0},
                                                                 {"gamma", "Unknown", 4}}));
    EXPECT_TRUE(messages.shown.empty());

    ASSERT_TRUE(tree->deleteTree("Software\\Quorvel\\Keystrider\\Journals"));
    EXPECT_TRUE(listRecordings(*store).empty());
    EXPECT_EQ(messages.shown.size(), 1u);  // the store's own
}

// A write and a new save failing on their last value leave the store as it
// was, and the dialog keeps its events.
TEST_F(RecordingStoreTest, FailedWritesLeaveTheStoreAsItWas) {
    const auto old = makeEvents(1000, 1);
    ASSERT_TRUE(WriteRecording(*store, "Rec", old, 1));
    failWritesOf("Count");

    EXPECT_FALSE(WriteRecording(*store, "Rec", makeEvents(5, 2), 2));
    std::optional<Events> buffer = makeEvents(3);
    EXPECT_FALSE(saveNewRecording(*store, buffer, "New", {}, 1));
    EXPECT_EQ(buffer, makeEvents(3));

    EXPECT_EQ(messages.shown.size(), 2u);  // the store's own, one for each
    expectHolds("Rec", old);
    EXPECT_EQ(store->GetDword(kJournals + "Rec", "Type"), 1u);
    EXPECT_FALSE(tree->keyExists(kJournals + "New"));
}

TEST_F(RecordingStoreTest, SaveNewRecording) {
    ASSERT_TRUE(WriteRecording(*store, "Unlisted", makeEvents(1), 3));
    std::optional<Events> none, some = makeEvents(2);
    const std::vector<std::tuple<std::optional<Events>*, const char*, std::string>> cases = {
        {&none, "Rec", "Attention: A recording has not been made!"},
        {&some, "", "Attention: Recording name must not be empty!"},
        {&some, "a\\b", "Attention: Recording name must not contain a backslash (\\)!"},
        {&some, "EXISTING", "Keystrider - Warning: " + kInUse},
        // Stored but not (yet) listed: still not overwritten.
        {&some, "unlisted", "Keystrider - Warning: " + kInUse}};
    for (const auto& [buffer, name, box] : cases) {
        messages.clear();
        EXPECT_FALSE(saveNewRecording(*store, *buffer, name, {"Existing"}, 1));
        EXPECT_EQ(boxes(messages), Strings{box});
        EXPECT_EQ(messages.shown[0].icon, MsgIcon::Exclamation);
    }
    expectHolds("Unlisted", makeEvents(1));

    // Saved untrimmed, without the Control presses that end it.
    const JournalEvent ctrlDown{kWmKeyDown, kVkControl, 29, 100, 0};
    const JournalEvent ctrlUp{kWmKeyUp, kVkControl, 29, 150, 0};
    const JournalEvent a{kWmKeyDown, 0x41, 30, 120, 0};
    std::optional<Events> buffer = Events{ctrlDown, a, ctrlUp, ctrlDown, ctrlDown, ctrlDown};
    ASSERT_TRUE(saveNewRecording(*store, buffer, " Spaced ", {}, 2));
    EXPECT_FALSE(buffer.has_value());
    expectHolds(" Spaced ", {ctrlDown, a, ctrlUp});
    buffer = Events{ctrlDown, ctrlDown};
    ASSERT_TRUE(saveNewRecording(*store, buffer, "OnlyControl", {}, 2));
    EXPECT_EQ(store->GetDword(kJournals + "OnlyControl", "Count"), 0u);
}

TEST_F(RecordingStoreTest, DeleteSelectedRecordings) {
    for (const char* name : {"One", "Two", "Three"})
        ASSERT_TRUE(WriteRecording(*store, name, makeEvents(1), 1));
    EXPECT_TRUE(DeleteSelectedRecordings(*store, {}).empty());
    EXPECT_EQ(boxes(messages), Strings{"Attention: No recording(s) selected!"});

    const std::string sure = "Are you sure you want to delete the selected recording(s)?";
    messages.clear();
    messages.answers = {MsgAnswer::No};
    EXPECT_TRUE(DeleteSelectedRecordings(*store, {"One"}).empty());
    EXPECT_TRUE(messages.allShownAs("Warning", MsgIcon::Exclamation));
    EXPECT_EQ(messages.shown[0].buttons, MsgButtons::YesNo);

    messages.clear();
    EXPECT_EQ(DeleteSelectedRecordings(*store, {"Three", "Ghost", "one"}),
              (Strings{"Three", "one"}));
    EXPECT_EQ(boxes(messages), (Strings{"Warning: " + sure,
                                        "Attention: Error opening key " + kJournals +
                                            "Ghost in the registry - The key does not exist.",
                                        "Attention: Unable to delete recording: Ghost"}));
    EXPECT_EQ(listRecordings(*store), (std::vector<RecordingRow>{{"Two", "Keyboard & Mouse", 1}}));
}

}  // namespace
}  // namespace ks::test
