#include "store/StoreKey.h"

#include <gtest/gtest.h>

#include "core/Result.h"

namespace ks {
namespace {

TEST(StoreKeyTest, EveryKeySpellsItsPathEachWayTheStoreTakesIt) {
    struct Case {
        StoreKey key;
        const char* relative;
        const char* rootSubpath;
        const char* treePath;
        const char* direct;
    };
    const Case cases[] = {
        {StoreKey::root(), "", "\\", "Software\\Quorvel\\Keystrider",
         "SOFTWARE\\Quorvel\\Keystrider\\"},
        {StoreKey::macros(), "Macros", "\\Macros", "Software\\Quorvel\\Keystrider\\Macros",
         "SOFTWARE\\Quorvel\\Keystrider\\Macros"},
        {MacroKey("m").command(3).key(), "Macros\\m\\Commands\\3", "\\Macros\\m\\Commands\\3",
         "Software\\Quorvel\\Keystrider\\Macros\\m\\Commands\\3",
         "SOFTWARE\\Quorvel\\Keystrider\\Macros\\m\\Commands\\3"},
        {RecordingKey("r").key(), "Journals\\r", "\\Journals\\r",
         "Software\\Quorvel\\Keystrider\\Journals\\r",
         "SOFTWARE\\Quorvel\\Keystrider\\Journals\\r"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.key.relative(), c.relative);
        EXPECT_EQ(c.key.rootSubpath(), c.rootSubpath);
        EXPECT_EQ(c.key.treePath(), c.treePath);
        EXPECT_EQ(c.key.direct(), c.direct);
    }
    EXPECT_EQ(CommandKey("m", 12).macroSubpath(), "m\\Commands\\12");
    EXPECT_EQ(MacroKey("m").commandDirect(12),
              "SOFTWARE\\Quorvel\\Keystrider\\Macros\\m\\Commands\\12");
}

TEST(ExpectedTest, MadeFromASuccessItIsAFailureWithAText) {
    const Expected<int> made = Result::success();
    EXPECT_FALSE(made.ok());
    EXPECT_EQ(made.error(), kSuccessWithoutValue);
    EXPECT_EQ(Expected<int>(Result::failure("gone")).error(), "gone");
}

}  // namespace
}  // namespace ks
