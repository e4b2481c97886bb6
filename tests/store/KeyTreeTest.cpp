#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "StoreFixture.h"
#include "store/SettingsStore.h"

namespace ks::test {
namespace {

using KeyTreeTest = StoreFixture;

TEST_F(KeyTreeTest, NamesCompareWithEachCharacterUpperCasedAndKeepTheFirstSpelling) {
    ASSERT_TRUE(tree->createKey("Software\\Macros\\Über"));
    EXPECT_TRUE(tree->keyExists("SOFTWARE\\MACROS\\ÜBER"));
    EXPECT_TRUE(tree->keyExists("software\\macros\\über"));
    EXPECT_FALSE(tree->keyExists("Software\\Macros\\Uber"));
    ASSERT_TRUE(tree->setValue("software\\macros\\über", "Repeat", kTypeDword, dwordBytes(3)));
    auto value = tree->readValue("SOFTWARE\\Macros\\ÜBER", "REPEAT");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->name, "Repeat");
    EXPECT_EQ(dwordFromBytes(value->data), 3u);
    ASSERT_TRUE(tree->createKey("SOFTWARE\\MACROS\\ÜBER"));
    EXPECT_EQ(*tree->subKeys("Software\\Macros"), std::vector<std::string>{"Über"});
}

// Sub-keys enumerate in case-insensitive order, by index out of sequence too. Walking index
// 0, 1, 2, ... goes on from the last name given rather than counting from the first again
// (which would make a walk quadratic), unless this store wrote since: then it counts afresh.
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

// Values keep the order they were first written in; text reads up to its
// first zero, with or without one at the end.
TEST_F(KeyTreeTest, ValuesKeepTheOrderTheyWereFirstWritten) {
    const std::vector<std::pair<const char*, Bytes>> written = {
        {"with", textBytes("abc")},
        {"without", Bytes{'a', 'b', 'c'}},
        {"inner", Bytes{'a', 0, 'b'}},
        {"empty", Bytes{}},
    };
    for (const auto& [name, data] : written)
        ASSERT_TRUE(tree->setValue("SOFTWARE\\K", name, kTypeText, data));
    ASSERT_TRUE(tree->setValue("SOFTWARE\\K", "WITH", kTypeDword, dwordBytes(1)));
    auto values = tree->values("SOFTWARE\\K");
    ASSERT_TRUE(values);
    std::vector<std::string> read;
    for (const auto& v : *values) read.push_back(v.name + "=" + textFromBytes(v.data));
    EXPECT_EQ(read, (std::vector<std::string>{"with=\1", "without=abc", "inner=a", "empty="}));
    EXPECT_EQ((*values)[0].type, kTypeDword);
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
