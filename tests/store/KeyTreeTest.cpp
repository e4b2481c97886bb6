#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "StoreFixture.h"
#include "store/SettingsStore.h"

namespace ks::test {
namespace {

using KeyTreeTest = StoreFixture;

// Names compare with each character upper-cased on its own; sub-keys enumerate in that order,
// by index out of sequence too. A walk 0, 1, 2, ... goes on from the last name given rather
// than counting from the first again (which would make it quadratic), unless this store wrote
// since: then it counts afresh.
TEST_F(KeyTreeTest, SubKeysEnumerateInCaseInsensitiveOrderGoingOnFromTheLastName) {
    const std::string m = "SOFTWARE\\M";
    for (const char* name : {"beta", "Alpha", "alpha2", "GAMMA", "10", "9", "Zeta", "émile"})
        ASSERT_TRUE(tree->createKey(m + "\\" + name));
    const std::vector<std::string> expected = {"10",   "9",     "Alpha", "alpha2",
                                               "beta", "GAMMA", "Zeta",  "émile"};
    std::vector<std::string> walked;
    for (std::size_t i = 0; auto name = tree->enumKey(m, i); ++i) walked.push_back(*name);
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(*tree->subKeys("software\\m"), expected);
    EXPECT_TRUE(tree->keyExists("Software\\m\\ÉMILE"));
    EXPECT_EQ(*tree->enumKey(m, 5), "GAMMA");
    EXPECT_EQ(*tree->enumKey(m, 2), "Alpha");
    EXPECT_FALSE(tree->enumKey(m, 8));
    ASSERT_TRUE(tree->deleteTree(m + "\\Alpha"));
    EXPECT_EQ(*tree->enumKey(m, 2), "alpha2");
    ASSERT_TRUE(tree->deleteTree(m + "\\10"));  // as a bottom-up delete does at index 0
    EXPECT_EQ(*tree->enumKey(m, 0), "9");
    EXPECT_EQ(*tree->enumKey(m, 1), "alpha2");
    // A key another process deletes between two steps makes none of the others skipped.
    ASSERT_TRUE(KeyTree(file()).deleteTree(m + "\\9"));
    EXPECT_EQ(*tree->enumKey(m, 2), "beta");
    ASSERT_TRUE(tree->deleteTree(m + "\\beta"));
    EXPECT_EQ(*tree->enumKey(m, 3), "émile");
}

TEST_F(KeyTreeTest, MissingKeysAndValuesAndAnUnreadableFileAreToldApart) {
    ASSERT_TRUE(tree->createKey("SOFTWARE\\K"));
    EXPECT_EQ(tree->readValue("SOFTWARE\\K", "x").error(), KeyTree::kMissingValue);
    EXPECT_EQ(tree->readValue("SOFTWARE\\Nope", "x").error(), KeyTree::kMissingValue);
    EXPECT_EQ(tree->openKey("SOFTWARE\\Nope").error(), KeyTree::kMissingKey);
    EXPECT_EQ(tree->writeValue("SOFTWARE\\Nope", "x", kTypeDword, dwordBytes(1)).error(),
              KeyTree::kMissingKey);
    EXPECT_EQ(tree->deleteValue("SOFTWARE\\K", "x").error(), KeyTree::kMissingValue);
    EXPECT_FALSE(tree->createKey("SOFTWARE\\\\K"));
    EXPECT_FALSE(tree->createKey("SOFTWARE\\" + std::string(256, 'x')));
    EXPECT_TRUE(tree->createKey("SOFTWARE\\" + std::string(255, 'x')));

    std::ofstream(dir.file("garbage.db")) << std::string(100, 'x');
    KeyTree broken(dir.file("garbage.db"));
    EXPECT_EQ(broken.openStatus().error(), "file is not a database");
    EXPECT_EQ(broken.createKey("SOFTWARE\\X").error(), "file is not a database");
    EXPECT_EQ(broken.readValue("SOFTWARE", "x").error(), "file is not a database");
}

TEST_F(KeyTreeTest, DeleteTreeRemovesTheWholeSubTreeAndNothingBeside) {
    for (const char* key : {"SOFTWARE\\M\\a\\Commands\\0", "SOFTWARE\\M\\a\\Schedule\\0",
                            "SOFTWARE\\M\\ab\\Commands\\0", "SOFTWARE\\M\\a]"}) {
        ASSERT_TRUE(tree->setValue(key, "id", kTypeDword, dwordBytes(1)));
    }
    ASSERT_TRUE(tree->deleteTree("software\\m\\A"));
    EXPECT_FALSE(tree->keyExists("SOFTWARE\\M\\a"));
    EXPECT_TRUE(tree->readValue("SOFTWARE\\M\\ab\\Commands\\0", "id"));
    EXPECT_TRUE(tree->readValue("SOFTWARE\\M\\a]", "id"));
    // Recreating the key finds none of the old values below it.
    ASSERT_TRUE(tree->createKey("SOFTWARE\\M\\a\\Commands\\0"));
    EXPECT_FALSE(tree->readValue("SOFTWARE\\M\\a\\Commands\\0", "id"));
}

TEST_F(KeyTreeTest, TransactionIsAllOrNothingAndFailedStepsUndoOnlyThemselves) {
    {
        KeyTree::Transaction transaction(*tree);
        ASSERT_TRUE(tree->setValue("SOFTWARE\\T", "a", kTypeDword, dwordBytes(1)));
    }  // not committed: everything goes
    EXPECT_FALSE(tree->keyExists("SOFTWARE\\T"));

    failWritesOf("bad");
    KeyTree::Transaction transaction(*tree);
    ASSERT_TRUE(tree->setValue("SOFTWARE\\T", "a", kTypeDword, dwordBytes(1)));
    EXPECT_EQ(tree->setValue("SOFTWARE\\T\\Inner", "bad", kTypeDword, dwordBytes(1)).error(),
              "database or disk is full");
    EXPECT_FALSE(tree->keyExists("SOFTWARE\\T\\Inner"));  // the failed step's key went with it
    ASSERT_TRUE(transaction.commit());
    EXPECT_TRUE(tree->readValue("SOFTWARE\\T", "a"));
}

}  // namespace
}  // namespace ks::test
