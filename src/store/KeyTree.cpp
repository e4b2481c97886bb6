#include "store/KeyTree.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/Utf8.h"
#include "store/StorePath.h"

namespace ks {

namespace {

constexpr int kBusyTimeoutMs = 5000;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS keys(
    path   TEXT PRIMARY KEY,
    parent TEXT NOT NULL,
    name   TEXT NOT NULL
) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS keys_by_parent ON keys(parent, path, name);
CREATE TABLE IF NOT EXISTS vals(
    key  TEXT NOT NULL,
    fold TEXT NOT NULL,
    seq  INTEGER NOT NULL,
    name TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    PRIMARY KEY(key, fold)
) WITHOUT ROWID;
-- A new value's place is one past the key's last: without this index,
-- finding it reads every value of the key, and a recording's pieces would
-- take quadratic time.
CREATE INDEX IF NOT EXISTS vals_by_seq ON vals(key, seq);
INSERT OR IGNORE INTO keys(path, parent, name) VALUES('SOFTWARE', '', 'SOFTWARE');
)sql";

// Every descendant of P has a folded path between "P\" and "P]" (']' follows
// '\' in byte order), so one index range finds a whole sub-tree.
constexpr const char* kDeleteTreeValues =
    "DELETE FROM vals WHERE key = ?1 OR (key > ?1 || '\\' AND key < ?1 || ']')";
constexpr const char* kDeleteTreeKeys =
    "DELETE FROM keys WHERE path = ?1 OR (path > ?1 || '\\' AND path < ?1 || ']')";
constexpr const char* kKeyExists = "SELECT 1 FROM keys WHERE path = ?1";
constexpr const char* kInsertKey = "INSERT INTO keys(path, parent, name) VALUES(?1, ?2, ?3)";
constexpr const char* kReadValue = "SELECT name, type, data FROM vals WHERE key = ?1 AND fold = ?2";
constexpr const char* kWriteValue =
    "INSERT INTO vals(key, fold, seq, name, type, data) "
    "VALUES(?1, ?2, (SELECT coalesce(max(seq), 0) + 1 FROM vals WHERE key = ?1), ?3, ?4, ?5) "
    "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data";
constexpr const char* kDeleteValue = "DELETE FROM vals WHERE key = ?1 AND fold = ?2";
constexpr const char* kNextSubKey =
    "SELECT name, path FROM keys WHERE parent = ?1 AND path > ?2 ORDER BY path LIMIT 1";
constexpr const char* kSubKeyAt =
    "SELECT name, path FROM keys WHERE parent = ?1 ORDER BY path LIMIT 1 OFFSET ?2";
constexpr const char* kSubKeys = "SELECT name FROM keys WHERE parent = ?1 ORDER BY path";
// Sorting a key's few rows beats walking vals_by_seq with a look-up per
// row; the unary plus keeps the planner off that index.
constexpr const char* kValues = "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY +seq";

std::string savepointName(int depth) {
    std::string name = std::to_string(depth);
    name.insert(name.begin(), 's');
    return name;
}

}  // namespace

// A cached prepared statement, reset and unbound when this handle goes.
class KeyTree::Statement {
public:
    explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}
    ~Statement() {
        if (stmt_ != nullptr) {
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool prepared() const { return stmt_ != nullptr; }
    Statement& bind(int index, std::string_view text) {
        // A null pointer would bind SQL NULL; an empty text must stay a text.
        sqlite3_bind_text(stmt_, index, text.empty() ? "" : text.data(),
                          static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // Binds without a copy, for the hot read paths: the text must stay alive
    // until this handle goes, hence no temporaries.
    Statement& bindStatic(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.c_str(), static_cast<int>(text.size()), SQLITE_STATIC);
        return *this;
    }
    Statement& bindStatic(int index, std::string&& text) = delete;
    Statement& bind(int index, std::int64_t number) {
        sqlite3_bind_int64(stmt_, index, number);
        return *this;
    }
    // Binds without a copy, as bindStatic does: a recording's pieces go
    // into the file straight from the caller's bytes.
    Statement& bindBlob(int index, std::span<const std::uint8_t> data) {
        // A zero-length blob must still be a blob, not NULL.
        static const std::uint8_t empty = 0;
        sqlite3_bind_blob(stmt_, index, data.empty() ? &empty : data.data(),
                          static_cast<int>(data.size()), SQLITE_STATIC);
        return *this;
    }
    int step() { return sqlite3_step(stmt_); }
    std::string text(int column) const {
        const auto* p = sqlite3_column_text(stmt_, column);
        return p ? std::string(reinterpret_cast<const char*>(p),
                               static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                 : std::string();
    }
    std::int64_t number(int column) const { return sqlite3_column_int64(stmt_, column); }
    Bytes blob(int column) const {
        const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column));
        return p ? Bytes(p, p + size) : Bytes();
    }
    // A value row's name, type and data, from its first three columns.
    StoredValue storedValue() const {
        return {text(0), static_cast<std::uint32_t>(number(1)), blob(2)};
    }

private:
    sqlite3_stmt* stmt_;
};

// A path split into its components, with the folded form of every level.
struct KeyTree::Path {
    std::vector<std::string> names;
    std::vector<std::string> folds;  // folds[i]: folded path of the first i+1 names
    std::string error;

    const std::string& fold() const {
        static const std::string top;
        return folds.empty() ? top : folds.back();
    }
    std::string parentFold(std::size_t level) const { return level == 0 ? "" : folds[level - 1]; }

    static Path parse(std::string_view path) {
        Path result;
        // "SOFTWARE\Quorvel\Keystrider\" names the same key as it does without the backslash.
        if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
        if (path.empty()) return result;
        std::size_t start = 0;
        while (true) {
            const std::size_t end = path.find('\\', start);
            const std::string_view name = path.substr(
                start, end == std::string_view::npos ? std::string_view::npos : end - start);
            if (name.empty()) {
                result.error = "The key name is invalid.";
                return result;
            }
            if (name.size() > kMaxKeyNameLength && utf8::length(name) > kMaxKeyNameLength) {
                result.error = "The key name is too long.";
                return result;
            }
            const std::string folded = utf8::upper(name);
            result.folds.push_back(result.folds.empty() ? folded
                                                        : result.folds.back() + '\\' + folded);
            result.names.emplace_back(name);
            if (end == std::string_view::npos) break;
            start = end + 1;
        }
        return result;
    }
};

// The folded form of a whole path, checked as Path::parse checks it but
// without splitting: the fast way for the operations that only look keys up.
Expected<std::string> KeyTree::foldedPath(std::string_view path) {
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    std::string folded = utf8::upper(path);
    std::size_t start = 0;
    while (!folded.empty()) {
        const std::size_t end = std::min(folded.find('\\', start), folded.size());
        const std::size_t size = end - start;
        if (size == 0) return Result::failure("The key name is invalid.");
        if (size > kMaxKeyNameLength &&
            utf8::length(std::string_view(folded).substr(start, size)) > kMaxKeyNameLength) {
            return Result::failure("The key name is too long.");
        }
        if (end == folded.size()) break;
        start = end + 1;
    }
    return folded;
}

KeyTree::KeyTree(std::string file, Access access) : file_(std::move(file)), access_(access) {
    // Memory statistics take a global lock on every allocation; nothing reads them.
    static const bool configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    (void)configured;
    openStatus_ = openDatabase();
}

KeyTree::~KeyTree() {
    closeDatabase();
}

std::string KeyTree::defaultFile() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr ? home : ".") + "/.config";
    }
    return base + "/keystrider/store.db";
}

Result KeyTree::openStatus() {
    return ensureOpen();
}

Result KeyTree::ensureOpen() {
    if (db_ == nullptr) openStatus_ = openDatabase();
    return openStatus_;
}

Result KeyTree::openDatabase() {
    const bool readOnly = access_ == Access::ReadOnly;
    if (!readOnly) {
        std::error_code ec;
        const auto folder = std::filesystem::path(file_).parent_path();
        if (!folder.empty()) std::filesystem::create_directories(folder, ec);
        if (ec) return Result::failure(ec.message());
    }
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (sqlite3_open_v2(file_.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        Result failed = sqliteError();
        closeDatabase();
        return failed;
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    Result status = Result::success();
    if (!readOnly) {
        // WAL lets readers go on while a writer works; NORMAL synchronisation
        // in WAL mode never loses a committed change when the process dies.
        status = exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL");
        // Reads through a memory map skip a copy per page, and a larger
        // cache keeps a big store's index pages between operations.
        if (status) status = exec("PRAGMA mmap_size=268435456; PRAGMA cache_size=-32768");
        if (status) status = exec("BEGIN IMMEDIATE");
        if (status) {
            status = exec(kSchema);
            status = status ? exec("COMMIT") : (exec("ROLLBACK"), status);
        }
    } else {
        status = exec("SELECT count(*) FROM keys");
    }
    if (!status) closeDatabase();
    return status;
}

void KeyTree::closeDatabase() {
    for (auto& entry : statements_) sqlite3_finalize(entry.second);
    statements_.clear();
    if (db_ != nullptr) sqlite3_close_v2(db_);
    db_ = nullptr;
    depth_ = 0;
}

Result KeyTree::sqliteError() {
    return Result::failure(db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory");
}

Result KeyTree::exec(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK ? Result::success()
                                                                          : sqliteError();
}

KeyTree::Statement KeyTree::statement(std::string_view sql) {
    if (auto found = statements_.find(sql); found != statements_.end()) {
        return Statement(found->second);
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &stmt, nullptr) != SQLITE_OK) {
        return Statement(nullptr);
    }
    statements_.emplace(sql, stmt);
    return Statement(stmt);
}

// One statement through the cache: transaction control runs for every
// write, and parsing it afresh each time would cost more than the write.
Result KeyTree::run(std::string_view sql) {
    Statement stmt = statement(sql);
    if (!stmt.prepared()) return sqliteError();
    const int rc = stmt.step();
    return rc == SQLITE_DONE || rc == SQLITE_ROW ? Result::success() : sqliteError();
}

Result KeyTree::beginScope() {
    // The outermost scope takes the write lock at once: a transaction that
    // starts reading and upgrades later could fail with "database is locked"
    // instead of waiting for the other writer.
    Result status =
        run(depth_ == 0 ? std::string("BEGIN IMMEDIATE") : "SAVEPOINT " + savepointName(depth_));
    if (status) ++depth_;
    return status;
}

Result KeyTree::commitScope() {
    --depth_;
    Result status = run(depth_ == 0 ? std::string("COMMIT") : "RELEASE " + savepointName(depth_));
    if (!status) {
        ++depth_;
        rollbackScope();
    }
    return status;
}

void KeyTree::rollbackScope() {
    --depth_;
    if (depth_ == 0) {
        run("ROLLBACK");
    } else {
        run("ROLLBACK TO " + savepointName(depth_));
        run("RELEASE " + savepointName(depth_));
    }
    ++ownWrites_;
}

template <typename Body>
Result KeyTree::writing(Body body) {
    if (Result open = ensureOpen(); !open) return open;
    if (Result begun = beginScope(); !begun) return begun;
    Result status = body();
    ++ownWrites_;
    if (!status) {
        rollbackScope();
        return status;
    }
    return commitScope();
}

// Inside a transaction a write of one statement needs no savepoint of its
// own, as SQLite undoes a failed statement by itself; the savepoints saved
// are most of the cost of a long batch of small writes.
template <typename Body>
Result KeyTree::writingOneStatement(Body body) {
    if (depth_ == 0) return writing(body);
    ++ownWrites_;
    return body();
}

bool KeyTree::keyRowExists(const std::string& keyFold) {
    if (keyFold.empty()) return true;
    Statement stmt = statement(kKeyExists);
    return stmt.prepared() && stmt.bindStatic(1, keyFold).step() == SQLITE_ROW;
}

bool KeyTree::keyExists(std::string_view path) {
    return openKey(path).ok();
}

Result KeyTree::openKey(std::string_view path) {
    if (Result open = ensureOpen(); !open) return open;
    const Expected<std::string> folded = foldedPath(path);
    if (!folded) return folded.status();
    if (folded->empty()) return Result::success();
    Statement stmt = statement(kKeyExists);
    if (!stmt.prepared()) return sqliteError();
    switch (stmt.bindStatic(1, *folded).step()) {
        case SQLITE_ROW: return Result::success();
        case SQLITE_DONE: return Result::failure(kMissingKey);
        default: return sqliteError();
    }
}

std::size_t KeyTree::existingLevels(const Path& path) {
    // Usually only the last level or two are new: look upward for the
    // deepest existing key.
    std::size_t levels = path.names.size();
    while (levels > 0 && !keyRowExists(path.folds[levels - 1])) --levels;
    return levels;
}

Result KeyTree::insertKeys(const Path& path, std::size_t from) {
    for (std::size_t level = from; level < path.names.size(); ++level) {
        Statement stmt = statement(kInsertKey);
        if (!stmt.prepared()) return sqliteError();
        stmt.bind(1, path.folds[level]).bind(2, path.parentFold(level)).bind(3, path.names[level]);
        if (stmt.step() != SQLITE_DONE) return sqliteError();
    }
    return Result::success();
}

Result KeyTree::createKey(std::string_view path) {
    const Path parsed = Path::parse(path);
    if (!parsed.error.empty()) return Result::failure(parsed.error);
    if (parsed.names.empty()) return Result::failure("The key name is invalid.");
    if (Result open = ensureOpen(); !open) return open;
    if (depth_ == 0) {
        if (keyRowExists(parsed.fold())) return Result::success();
        return writing([&] { return insertKeys(parsed, existingLevels(parsed)); });
    }
    // Inside a transaction the levels found stay as found, and a key whose
    // parent exists is one insert.
    const std::size_t existing = existingLevels(parsed);
    if (existing == parsed.names.size()) return Result::success();
    const auto insert = [&] { return insertKeys(parsed, existing); };
    return existing + 1 == parsed.names.size() ? writingOneStatement(insert) : writing(insert);
}

Expected<StoredValue> KeyTree::readValue(std::string_view key, std::string_view name) {
    if (Result open = ensureOpen(); !open) return open;
    const Expected<std::string> folded = foldedPath(key);
    if (!folded) return folded.status();
    Statement stmt = statement(kReadValue);
    if (!stmt.prepared()) return sqliteError();
    const std::string foldedName = utf8::upper(name);
    stmt.bindStatic(1, *folded).bindStatic(2, foldedName);
    switch (stmt.step()) {
        case SQLITE_ROW: return stmt.storedValue();
        case SQLITE_DONE: return Result::failure(kMissingValue);
        default: return sqliteError();
    }
}

Result KeyTree::storeValue(const std::string& keyFold, std::string_view name, std::uint32_t type,
                           std::span<const std::uint8_t> data) {
    Statement stmt = statement(kWriteValue);
    if (!stmt.prepared()) return sqliteError();
    stmt.bind(1, keyFold).bind(2, utf8::upper(name)).bind(3, name);
    stmt.bind(4, static_cast<std::int64_t>(type)).bindBlob(5, data);
    return stmt.step() == SQLITE_DONE ? Result::success() : sqliteError();
}

Result KeyTree::writeValue(std::string_view key, std::string_view name, std::uint32_t type,
                           std::span<const std::uint8_t> data) {
    const Expected<std::string> folded = foldedPath(key);
    if (!folded) return folded.status();
    return writingOneStatement([&] {
        if (!keyRowExists(*folded)) return Result::failure(kMissingKey);
        return storeValue(*folded, name, type, data);
    });
}

Result KeyTree::setValue(std::string_view key, std::string_view name, std::uint32_t type,
                         const Bytes& data) {
    const Path parsed = Path::parse(key);
    if (!parsed.error.empty()) return Result::failure(parsed.error);
    return writing([&] {
        Result created = insertKeys(parsed, existingLevels(parsed));
        return created ? storeValue(parsed.fold(), name, type, data) : created;
    });
}

Result KeyTree::deleteValue(std::string_view key, std::string_view name) {
    const Expected<std::string> folded = foldedPath(key);
    if (!folded) return folded.status();
    return writingOneStatement([&] {
        Statement stmt = statement(kDeleteValue);
        if (!stmt.prepared()) return sqliteError();
        if (stmt.bind(1, *folded).bind(2, utf8::upper(name)).step() != SQLITE_DONE) {
            return sqliteError();
        }
        if (sqlite3_changes(db_) > 0) return Result::success();
        return Result::failure(keyRowExists(*folded) ? kMissingValue : kMissingKey);
    });
}

Result KeyTree::deleteTree(std::string_view path) {
    const Expected<std::string> folded = foldedPath(path);
    if (!folded) return folded.status();
    if (folded->empty()) return Result::failure("The key name is invalid.");
    return writing([&] {
        if (!keyRowExists(*folded)) return Result::failure(kMissingKey);
        for (const char* sql : {kDeleteTreeValues, kDeleteTreeKeys}) {
            Statement stmt = statement(sql);
            if (!stmt.prepared() || stmt.bind(1, *folded).step() != SQLITE_DONE) {
                return sqliteError();
            }
        }
        return Result::success();
    });
}

Expected<std::string> KeyTree::enumKey(std::string_view path, std::size_t index) {
    if (Result open = ensureOpen(); !open) return open;
    const Expected<std::string> folded = foldedPath(path);
    if (!folded) return folded.status();
    // The cursor goes on from the last name it gave unless this connection
    // wrote since: then the index counts afresh, as the delete-at-index-0
    // and delete-then-continue idioms expect. Another process's change
    // between two steps is seen as it is: every key still there comes once.
    const bool follows = cursor_.valid && cursor_.parent == *folded && cursor_.index + 1 == index &&
                         cursor_.writes == ownWrites_;
    Statement stmt = statement(follows || index == 0 ? kNextSubKey : kSubKeyAt);
    if (!stmt.prepared()) return sqliteError();
    stmt.bind(1, *folded);
    if (follows || index == 0) {
        stmt.bind(2, follows ? std::string_view(cursor_.lastPath) : std::string_view());
    } else {
        stmt.bind(2, static_cast<std::int64_t>(index));
    }
    const int rc = stmt.step();
    if (rc != SQLITE_ROW) {
        cursor_.valid = false;
        if (rc != SQLITE_DONE) return sqliteError();
        if (!keyRowExists(*folded)) return Result::failure(kMissingKey);
        return Result::failure("No more sub-keys.");
    }
    cursor_ = EnumCursor{*folded, stmt.text(1), index, ownWrites_, true};
    return stmt.text(0);
}

template <typename Row, typename Read>
Expected<std::vector<Row>> KeyTree::keyRows(std::string_view path, std::string_view sql,
                                            Read read) {
    if (Result open = ensureOpen(); !open) return open;
    const Expected<std::string> folded = foldedPath(path);
    if (!folded) return folded.status();
    if (!keyRowExists(*folded)) return Result::failure(kMissingKey);
    Statement stmt = statement(sql);
    if (!stmt.prepared()) return sqliteError();
    stmt.bind(1, *folded);
    std::vector<Row> rows;
    int rc;
    while ((rc = stmt.step()) == SQLITE_ROW) rows.push_back(read(stmt));
    if (rc != SQLITE_DONE) return sqliteError();
    return rows;
}

Expected<std::vector<std::string>> KeyTree::subKeys(std::string_view path) {
    return keyRows<std::string>(path, kSubKeys, [](Statement& stmt) { return stmt.text(0); });
}

Expected<std::vector<StoredValue>> KeyTree::values(std::string_view path) {
    return keyRows<StoredValue>(path, kValues, [](Statement& stmt) { return stmt.storedValue(); });
}

Result KeyTree::integrityCheck() {
    if (Result open = ensureOpen(); !open) return open;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, "PRAGMA integrity_check", -1, &raw, nullptr) != SQLITE_OK) {
        return sqliteError();
    }
    std::string verdict;
    if (sqlite3_step(raw) == SQLITE_ROW) {
        verdict = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
    }
    sqlite3_finalize(raw);
    return verdict == "ok" ? Result::success()
                           : Result::failure(verdict.empty() ? "no verdict" : verdict);
}

KeyTree::Transaction::Transaction(KeyTree& tree) : tree_(tree), begun_(tree.ensureOpen()) {
    if (begun_) begun_ = tree_.beginScope();
    open_ = begun_.ok();
}

KeyTree::Transaction::~Transaction() {
    if (open_) tree_.rollbackScope();
}

Result KeyTree::Transaction::commit() {
    if (!open_) return begun_.ok() ? Result::failure("The transaction has ended.") : begun_;
    open_ = false;
    return tree_.commitScope();
}

}  // namespace ks
