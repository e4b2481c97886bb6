#include "store/StoreKey.h"

#include <gtest/gtest.h>

#include "core/Result.h"

namespace ks {
namespace {

TEST(StoreKeyTest, EveryKeySpellsItsPathEachWayTheStoreTakesIt) {
    const std::pair<StoreKey, std::string> keys[] = {
        {StoreKey::root(), ""},
        {StoreKey::macros(), "Macros"},
        {MacroKey("m").command(3).key(), "Macros\\m\\Commands\\3"},
        {RecordingKey("r").key(), "Journals\\r"},
    };
    for (const auto& [key, relative] : keys) {
        EXPECT_EQ(key.relative(), relative);
        EXPECT_EQ(key.rootSubpath(), "\\" + relative);
        EXPECT_EQ(key.treePath(),
                  "Software\\Quorvel\\Keystrider" + (relative.empty() ? "" : "\\" + relative));
        EXPECT_EQ(key.direct(), "SOFTWARE\\Quorvel\\Keystrider\\" + relative);
    }
    EXPECT_EQ(CommandKey("m", 12).macroSubpath(), "m\\Commands\\12");
    EXPECT_EQ(MacroKey("m").commandDirect(12),
              "SOFTWARE\\Quorvel\\Keystrider\\Macros\\m\\Commands\\12");
}

TEST(ExpectedTest, MadeFromASuccessItIsAFailureWithAText) {
    EXPECT_EQ(Expected<int>(Result::success()).error(), kSuccessWithoutValue);
    EXPECT_EQ(Expected<int>(Result::failure("gone")).error(), "gone");
}

}  // namespace
}  // namespace ks
