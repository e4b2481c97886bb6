#include <gtest/gtest.h>

#include "journal/JournalEvent.h"

namespace ks::test {
namespace {

TEST(JournalEventTest, StoresFiveLittleEndianFieldsAndDropsATrailingPartialRecord) {
    const std::vector<JournalEvent> events = {{0x0100, 0x41, 0x1E0001, 0x01020304, 0xAABBCCDD},
                                              {0x0200, 640, 480, 0xFFFFFFFF, 0}};
    Bytes bytes = eventBytes(events);
    ASSERT_EQ(bytes.size(), 40u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 20),
              (Bytes{0x00, 0x01, 0,    0,    0x41, 0,    0,    0,    0x01, 0x00,
                     0x1E, 0,    0x04, 0x03, 0x02, 0x01, 0xDD, 0xCC, 0xBB, 0xAA}));
    EXPECT_EQ(eventsFromBytes(bytes), events);
    bytes.resize(59, 0xEE);
    EXPECT_EQ(eventsFromBytes(bytes), events);
    bytes.resize(39);
    EXPECT_EQ(eventsFromBytes(bytes), std::vector<JournalEvent>{events[0]});
    EXPECT_TRUE(eventsFromBytes({}).empty());
}

TEST(JournalEventTest, DisplayNamesAtTheEndsOfEachRangeAndItsHoles) {
    const std::vector<std::pair<std::uint32_t, std::string_view>> cases = {
        {0x0200, "WM_MOUSEMOVE"},
        {0x0203, "UNKNOWN MOUSE EVENT"},
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
