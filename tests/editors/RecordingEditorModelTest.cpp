#include "editors/RecordingEditorModel.h"

#include <gtest/gtest.h>

#include "RecordingMessages.h"

namespace ks::test {
namespace {

// Events numbered 1 to 5 (in paramL; window 500 + number) 10, 20, 100 and
// 30 ms apart from tick 1000.
std::vector<JournalEvent> five() {
    std::vector<JournalEvent> events;
    std::uint32_t time = 1000;
    for (std::uint32_t gap : {0u, 10u, 20u, 100u, 30u}) {
        const auto number = static_cast<std::uint32_t>(events.size() + 1);
        events.push_back({kWmKeyDown, number, 0, time += gap, 500 + number});
    }
    return events;
}

const KeyNamer noKeyName = [](std::uint8_t) { return std::string(); };
constexpr JournalEvent kAdded{kWmKeyUp, 9, 0, 0, 0};

// "number:interval …" as the list shows them, then "@" and the first tick.
std::string rows(const RecordingEditorModel& model) {
    std::string out;
    for (int i = 0; i < model.rowCount(); ++i) {
        const QString interval = model.index(i, 1).data().toString();
        out += std::to_string(model.events()[i].paramL) + ":" + interval.toStdString() + " ";
    }
    return out + "@" + (model.events().empty() ? "-" : std::to_string(model.events()[0].time));
}

using Edit = std::function<void(RecordingEditorModel&)>;

TEST(RecordingEditorModelTest, EveryEditKeepsTheIntervalsItPromises) {
    const JournalEvent wheel{kWmMouseWheel, 9, 0, 0, 0};
    // clang-format off
    const std::vector<std::tuple<const char*, Edit, const char*>> cases = {
        {"add before row 3", [](auto& m) { m.insertEvent(3, kAdded, 250); },
         "1:0 2:10 3:20 9:250 4:100 5:30 @1000"},
        {"add a wheel at the end: one notch", [&](auto& m) { m.insertEvent(5, wheel, 40);
             EXPECT_EQ(m.events()[5].hwnd, static_cast<std::uint32_t>(kWheelDelta)); },
         "1:0 2:10 3:20 4:100 5:30 9:40 @1000"},
        {"add at the top: the old first's window", [](auto& m) { m.insertEvent(0, kAdded, 40);
             EXPECT_EQ(m.events()[0].hwnd, 501u); },
         "9:0 1:40 2:10 3:20 4:100 5:30 @1000"},
        {"delete all, add to nothing", [](auto& m) { m.removeEvents({0, 1, 2, 3, 4});
             m.insertEvent(0, kAdded, 40); }, "9:0 @40"},
        {"edit row 3", [](auto& m) { m.replaceEvent(3, kAdded, 5); }, "1:0 2:10 3:20 9:5 5:30 @1000"},
        {"edit row 0", [](auto& m) { m.replaceEvent(0, kAdded, 5); },
         "9:0 2:10 3:20 4:100 5:30 @1000"},
        {"delete rows 0, 2, 3", [](auto& m) { m.removeEvents({0, 2, 3}); }, "2:0 5:30 @1010"},
        {"move the first row up", [](auto& m) { EXPECT_FALSE(m.moveUp({0, 2})); },
         "1:0 2:10 3:20 4:100 5:30 @1000"},
        {"move rows 1, 3 up", [](auto& m) { EXPECT_TRUE(m.moveUp({1, 3})); },
         "2:0 1:10 4:20 3:100 5:30 @1000"},
        {"move the last row down", [](auto& m) { EXPECT_FALSE(m.moveDown({4})); },
         "1:0 2:10 3:20 4:100 5:30 @1000"},
        {"move rows 2, 3 down", [](auto& m) { EXPECT_TRUE(m.moveDown({2, 3})); },
         "1:0 2:10 5:20 3:100 4:30 @1000"},
        {"paste rows 3, 4 before row 1", [](auto& m) { m.paste(1, m.copy({3, 4})); },
         "1:0 4:100 5:30 2:10 3:20 4:100 5:30 @1000"},
        {"paste rows 0, 1 at the end", [](auto& m) { m.paste(5, m.copy({0, 1})); },
         "1:0 2:10 3:20 4:100 5:30 1:0 2:10 @1000"},
        {"paste rows 3, 4 at the top", [](auto& m) { m.paste(0, m.copy({3, 4})); },
         "4:0 5:30 1:100 2:10 3:20 4:100 5:30 @1000"},
    };
    // clang-format on
    for (const auto& [what, edit, expected] : cases) {
        RecordingMessages messages;
        RecordingEditorModel model(five(), noKeyName, messages);
        edit(model);
        EXPECT_EQ(rows(model), expected) << what;
    }
}

}  // namespace
}  // namespace ks::test
