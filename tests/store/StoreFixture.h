#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

#include "RecordingMessages.h"
#include "RegText.h"
#include "TempDir.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"

namespace ks::test {

// A store in a fresh folder, with its messages recorded.
class StoreFixture : public ::testing::Test {
protected:
    StoreFixture()
        : tree(std::make_unique<KeyTree>(file())),
          store(std::make_unique<SettingsStore>(*tree, messages)) {}

    // Adds keys and values written as inline .reg text (see regFile()).
    void load(std::string_view body) { loadReg(*tree, body); }

    std::string file() const { return dir.file("config/keystrider/store.db"); }

    // Runs `sql` on the store's file through a connection of its own.
    void execOnFile(const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file().c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    // Makes every later write of a value named `valueName` fail as a full disk would, through a
    // trigger inside the file (a write is an insert, or an upsert), so the store's own code runs.
    void failWritesOf(const std::string& valueName) {
        execOnFile(
            "CREATE TRIGGER fail_writes BEFORE INSERT ON vals WHEN upper(NEW.name) = upper('" +
            valueName + "') BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END");
    }

    TempDir dir;
    RecordingMessages messages;
    std::unique_ptr<KeyTree> tree;
    std::unique_ptr<SettingsStore> store;
};

}  // namespace ks::test
