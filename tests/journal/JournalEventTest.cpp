#include <gtest/gtest.h>

#include "journal/JournalEvent.h"

namespace ks::test {
namespace {

TEST(JournalEventTest, StoresFiveLittleEndianFieldsInOrder) {
    const std::vector<JournalEvent> events = {{0x0100, 0x41, 0x1E0001, 0x01020304, 0xAABBCCDD},
                                              {0x0200, 640, 480, 0xFFFFFFFF, 0}};
    const Bytes bytes = eventBytes(events);
    ASSERT_EQ(bytes.size(), 40u);
    const Bytes first(bytes.begin(), bytes.begin() + 20);
    EXPECT_EQ(first, (Bytes{0x00, 0x01, 0,    0,    0x41, 0,    0,    0,    0x01, 0x00,
                            0x1E, 0,    0x04, 0x03, 0x02, 0x01, 0xDD, 0xCC, 0xBB, 0xAA}));
    EXPECT_EQ(eventsFromBytes(bytes), events);
}

TEST(JournalEventTest, DropsOnlyTheTrailingPartialRecord) {
    Bytes bytes = eventBytes({{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}});
    for (std::size_t extra : {1u, 19u}) {
        Bytes longer = bytes;
        longer.resize(bytes.size() + extra, 0xEE);
        EXPECT_EQ(eventsFromBytes(longer).size(), 2u) << extra;
    }
    bytes.resize(39);
    EXPECT_EQ(eventsFromBytes(bytes), (std::vector<JournalEvent>{{1, 2, 3, 4, 5}}));
    EXPECT_TRUE(eventsFromBytes({}).empty());
}

TEST(JournalEventTest, RecordingTypeTexts) {
    const std::vector<std::pair<std::optional<std::uint32_t>, std::string_view>> cases = {
        {1, "Keyboard & Mouse"}, {2, "Keyboard"}, {3, "Mouse"},
        {0, "Unknown"},          {4, "Unknown"},  {std::nullopt, "Unknown"},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(recordingTypeText(code), text) << code.value_or(99999);
    }
}

TEST(JournalEventTest, EventDisplayNames) {
    // The ends of each range and the holes in it.
    const std::vector<std::pair<std::uint32_t, std::string_view>> cases = {
        {0x0200, "WM_MOUSEMOVE"},
        {0x0203, "UNKNOWN MOUSE EVENT"},
        {0x0205, "WM_RBUTTONUP"},
        {0x020A, "WM_MOUSEWHEEL"},
        {0x0100, "WM_KEYDOWN"},
        {0x0107, "WM_SYSDEADCHAR"},
        {0x0108, "UNKNOWN KEYBOARD EVENT"},
        {0x0109, ""},
        {0x00FF, ""},
    };
    for (const auto& [message, name] : cases) EXPECT_EQ(eventDisplayName(message), name) << message;
}

TEST(JournalEventTest, FilterLetsItsClassesThrough) {
    struct Case {
        std::uint32_t filter;
        std::uint32_t message;
        bool passes;
    };
    const std::vector<Case> cases = {
        {1, 0x0100, true},  {1, 0x0200, true},  {1, 0x0050, true},  {2, 0x0100, true},
        {2, 0x0108, true},  {2, 0x0109, false}, {2, 0x0200, false}, {3, 0x0200, true},
        {3, 0x020A, true},  {3, 0x020B, false}, {3, 0x0101, false}, {0, 0x0100, false},
        {4, 0x0200, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(passesFilter(c.filter, c.message), c.passes) << c.filter << " " << c.message;
    }
}

}  // namespace
}  // namespace ks::test
