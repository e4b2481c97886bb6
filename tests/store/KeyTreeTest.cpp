#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "StoreFixture.h"
#include "store/SettingsStore.h"

namespace ks::test {
namespace {

using KeyTreeTest = StoreFixture;

std::vector<std::string> enumerateByIndex(KeyTree& tree, const std::string& path) {
    std::vector<std::string> names;
    for (std::size_t i = 0;; ++i) {
        auto name = tree.enumKey(path, i);
        if (!name) break;
        names.push_back(*name);
    }
    return names;
}

TEST_F(KeyTreeTest, NamesCompareWithEachCharacterUpperCased) {
    ASSERT_TRUE(tree->createKey("Software\\Quorvel\\Keystrider\\Macros\\Über"));
    EXPECT_TRUE(tree->keyExists("SOFTWARE\\QUORVEL\\KEYSTRIDER\\MACROS\\ÜBER"));
    EXPECT_TRUE(tree->keyExists("software\\quorvel\\keystrider\\macros\\über"));
    EXPECT_FALSE(tree->keyExists("Software\\Quorvel\\Keystrider\\Macros\\Uber"));

    ASSERT_TRUE(tree->setValue("software\\quorvel\\keystrider\\macros\\über", "Repeat", kTypeDword,
                               dwordBytes(3)));
    auto value = tree->readValue("SOFTWARE\\Quorvel\\Keystrider\\Macros\\ÜBER", "REPEAT");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->name, "Repeat");
    EXPECT_EQ(dwordFromBytes(value->data), 3u);
    // Creating again with another spelling keeps the first spelling.
    ASSERT_TRUE(tree->createKey("SOFTWARE\\QUORVEL\\KEYSTRIDER\\MACROS\\ÜBER"));
    EXPECT_EQ(enumerateByIndex(*tree, "Software\\Quorvel\\Keystrider\\Macros"),
              std::vector<std::string>{"Über"});
}

// Sub-keys enumerate in case-insensitive order, by index out of sequence
// too, and each step sees the changes made since the last.
TEST_F(KeyTreeTest, SubKeysEnumerateInCaseInsensitiveOrder) {
    for (const char* name : {"beta", "Alpha", "alpha2", "GAMMA", "10", "9", "Zeta", "émile"}) {
        ASSERT_TRUE(tree->createKey(std::string("SOFTWARE\\M\\") + name));
    }
    const std::vector<std::string> expected = {"10",   "9",     "Alpha", "alpha2",
                                               "beta", "GAMMA", "Zeta",  "émile"};
    EXPECT_EQ(enumerateByIndex(*tree, "SOFTWARE\\M"), expected);
    EXPECT_EQ(*tree->subKeys("software\\m"), expected);
    EXPECT_EQ(*tree->enumKey("SOFTWARE\\M", 5), "GAMMA");
    EXPECT_EQ(*tree->enumKey("SOFTWARE\\M", 2), "Alpha");
    EXPECT_FALSE(tree->enumKey("SOFTWARE\\M", 8));
    ASSERT_TRUE(tree->deleteTree("SOFTWARE\\M\\Alpha"));
    EXPECT_EQ(*tree->enumKey("SOFTWARE\\M", 2), "alpha2");
    // Deleting index 0 over and over empties a key, as a bottom-up delete does.
    ASSERT_TRUE(tree->deleteTree("SOFTWARE\\M\\10"));
    EXPECT_EQ(*tree->enumKey("SOFTWARE\\M", 0), "9");
}

TEST_F(KeyTreeTest, EnumeratingByIndexStaysLinear) {
    auto timeEnumeration = [&](const std::string& parent, int count) {
        {
            KeyTree::Transaction transaction(*tree);
            for (int i = 0; i < count; ++i) {
                EXPECT_TRUE(tree->createKey(parent + "\\macro" + std::to_string(i)));
            }
            EXPECT_TRUE(transaction.commit());
        }
        // The best of three runs, so that a busy machine does not decide the ratio.
        double best = 1e9;
        for (int run = 0; run < 3; ++run) {
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(enumerateByIndex(*tree, parent).size(), static_cast<std::size_t>(count));
            best = std::min(
                best,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        return best;
    };
    const double small = timeEnumeration("SOFTWARE\\Small", 2500);
    const double large = timeEnumeration("SOFTWARE\\Large", 10000);
    // Four times the keys: linear takes about four times as long, quadratic sixteen.
    EXPECT_LT(large, small * 9 + 0.05) << "small " << small << " s, large " << large << " s";
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
    for (const auto& [name, data] : written) {
        ASSERT_TRUE(tree->setValue("SOFTWARE\\K", name, kTypeText, data));
    }
    ASSERT_TRUE(tree->setValue("SOFTWARE\\K", "WITH", kTypeDword, dwordBytes(1)));
    auto values = tree->values("SOFTWARE\\K");
    ASSERT_TRUE(values);
    std::vector<std::string> read;
    for (const auto& v : *values) read.push_back(v.name + "=" + textFromBytes(v.data));
    EXPECT_EQ(read, (std::vector<std::string>{"with=\1", "without=abc", "inner=a", "empty="}));
    EXPECT_EQ((*values)[0].type, kTypeDword);
}

TEST_F(KeyTreeTest, MissingKeysAndValuesAreToldApart) {
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
}

TEST_F(KeyTreeTest, DeleteTreeRemovesTheWholeSubTreeAndNothingBeside) {
    for (const char* key : {"SOFTWARE\\M\\a\\Commands\\0", "SOFTWARE\\M\\a\\Schedule\\0",
                            "SOFTWARE\\M\\ab\\Commands\\0", "SOFTWARE\\M\\a]"}) {
        ASSERT_TRUE(tree->setValue(key, "id", kTypeDword, dwordBytes(1)));
    }
    ASSERT_TRUE(tree->deleteTree("software\\m\\A"));
    EXPECT_FALSE(tree->keyExists("SOFTWARE\\M\\a"));
    EXPECT_FALSE(tree->readValue("SOFTWARE\\M\\a\\Commands\\0", "id"));
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
        // Not committed: everything goes.
    }
    EXPECT_FALSE(tree->keyExists("SOFTWARE\\T"));

    failWritesOf("bad");
    KeyTree::Transaction transaction(*tree);
    ASSERT_TRUE(tree->setValue("SOFTWARE\\T", "a", kTypeDword, dwordBytes(1)));
    const Result failed = tree->setValue("SOFTWARE\\T\\Inner", "bad", kTypeDword, dwordBytes(1));
    EXPECT_EQ(failed.error(), "database or disk is full");
    EXPECT_FALSE(tree->keyExists("SOFTWARE\\T\\Inner"));  // the failed step's key went with it
    ASSERT_TRUE(transaction.commit());
    EXPECT_TRUE(tree->readValue("SOFTWARE\\T", "a"));
}

TEST_F(KeyTreeTest, UnopenableFileReportsItsErrorOnEveryOperation) {
    const std::string notADatabase = dir.file("garbage.db");
    {
        FILE* f = fopen(notADatabase.c_str(), "wb");
        fputs("this is not a database file, not at all, it is text that goes on for a while", f);
        fclose(f);
    }
    KeyTree broken(notADatabase);
    EXPECT_EQ(broken.openStatus().error(), "file is not a database");
    EXPECT_EQ(broken.createKey("SOFTWARE\\X").error(), "file is not a database");
    EXPECT_EQ(broken.readValue("SOFTWARE", "x").error(), "file is not a database");
}

}  // namespace
}  // namespace ks::test
