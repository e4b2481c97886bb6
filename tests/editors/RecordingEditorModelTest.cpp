#include "editors/RecordingEditorModel.h"

#include <gtest/gtest.h>

#include "RecordingMessages.h"

namespace ks::test {
namespace {

constexpr std::uint32_t kFirstTick = 1000;

// Events numbered 1 up (the number in paramL, the window 500 + number), the
// first at kFirstTick, each after the previous by its interval.
std::vector<JournalEvent> numbered(const std::vector<std::uint32_t>& intervals) {
    std::vector<JournalEvent> events;
    std::uint32_t time = kFirstTick;
    for (std::size_t i = 0; i < intervals.size(); ++i) {
        time += i == 0 ? 0 : intervals[i];
        const auto number = static_cast<std::uint32_t>(i + 1);
        events.push_back({kWmKeyDown, number, 0, time, 500 + number});
    }
    return events;
}

std::string noKeyName(std::uint8_t) {
    return {};
}

JournalEvent added(std::uint32_t number) {
    return {kWmKeyUp, number, 0, 0, 0};
}

// "number:interval …" as the list shows them, then "@" and the first tick.
std::string rows(const RecordingEditorModel& model) {
    std::string out;
    for (std::size_t i = 0; i < model.events().size(); ++i) {
        out += std::to_string(model.events()[i].paramL) + ":" +
               model.data(model.index(static_cast<int>(i), 1), Qt::DisplayRole)
                   .toString()
                   .toStdString() +
               " ";
    }
    return out + "@" + (model.events().empty() ? "-" : std::to_string(model.events()[0].time));
}

struct EditCase {
    const char* what;
    std::vector<std::uint32_t> intervals;
    std::function<void(RecordingEditorModel&)> edit;
    const char* expected;
};

TEST(RecordingEditorModelTest, EveryEditKeepsTheIntervalsItPromises) {
    const std::vector<std::uint32_t> five{0, 10, 20, 100, 30};
    const std::vector<EditCase> cases = {
        {"add before row 3", five, [](auto& m) { m.insertEvent(3, added(9), 250); },
         "1:0 2:10 3:20 9:250 4:100 5:30 @1000"},
        {"add at the end", five, [](auto& m) { m.insertEvent(5, added(9), 40); },
         "1:0 2:10 3:20 4:100 5:30 9:40 @1000"},
        {"add at the top", five, [](auto& m) { m.insertEvent(0, added(9), 40); },
         "9:0 1:40 2:10 3:20 4:100 5:30 @1000"},
        {"add to nothing", {}, [](auto& m) { m.insertEvent(0, added(9), 40); }, "9:0 @40"},
        {"edit row 3", five, [](auto& m) { m.replaceEvent(3, added(9), 5); },
         "1:0 2:10 3:20 9:5 5:30 @1000"},
        {"edit row 0", five, [](auto& m) { m.replaceEvent(0, added(9), 5); },
         "9:0 2:10 3:20 4:100 5:30 @1000"},
        {"delete row 2", five, [](auto& m) { m.removeEvents({2}); }, "1:0 2:10 4:100 5:30 @1000"},
        {"delete the first row", five, [](auto& m) { m.removeEvents({0}); },
         "2:0 3:20 4:100 5:30 @1010"},
        {"delete rows 0, 2, 3", five,
         [](auto& m) {
             m.removeEvents({0, 2, 3});
         },
         "2:0 5:30 @1010"},
        {"move the first row up", five,
         [](auto& m) {
             EXPECT_FALSE(m.moveUp({0, 2}));
         },
         "1:0 2:10 3:20 4:100 5:30 @1000"},
        {"move rows 1, 3 up", five,
         [](auto& m) {
             EXPECT_TRUE(m.moveUp({1, 3}));
         },
         "2:0 1:10 4:20 3:100 5:30 @1000"},
        {"move the last row down", five, [](auto& m) { EXPECT_FALSE(m.moveDown({4})); },
         "1:0 2:10 3:20 4:100 5:30 @1000"},
        {"move rows 2, 3 down", five,
         [](auto& m) {
             EXPECT_TRUE(m.moveDown({2, 3}));
         },
         "1:0 2:10 5:20 3:100 4:30 @1000"},
        {"paste rows 3, 4 before row 1", five,
         [](auto& m) {
             m.paste(1, m.copy({3, 4}));
         },
         "1:0 4:100 5:30 2:10 3:20 4:100 5:30 @1000"},
        {"paste rows 0, 1 at the end", five,
         [](auto& m) {
             m.paste(5, m.copy({0, 1}));
         },
         "1:0 2:10 3:20 4:100 5:30 1:0 2:10 @1000"},
        {"paste rows 3, 4 at the top", five,
         [](auto& m) {
             m.paste(0, m.copy({3, 4}));
         },
         "4:0 5:30 1:100 2:10 3:20 4:100 5:30 @1000"},
    };
    for (const EditCase& c : cases) {
        RecordingMessages messages;
        RecordingEditorModel model(numbered(c.intervals), noKeyName, messages);
        c.edit(model);
        EXPECT_EQ(rows(model), c.expected) << c.what;
    }
}

TEST(RecordingEditorModelTest, ANewEventTakesItsNeighboursWindowAndAWheelOneNotch) {
    RecordingMessages messages;
    RecordingEditorModel model(numbered({0, 10}), noKeyName, messages);
    model.insertEvent(0, added(9), 1);
    model.insertEvent(3, {kWmMouseWheel, 0, 0, 0, 0}, 1);
    EXPECT_EQ(model.events()[0].hwnd, 501u);
    EXPECT_EQ(model.events()[3].hwnd, static_cast<std::uint32_t>(kWheelDelta));
}

}  // namespace
}  // namespace ks::test
