#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/Bytes.h"
#include "core/Result.h"

struct sqlite3;
struct sqlite3_stmt;

namespace ks {

// Value kinds the store holds, numbered as the registry numbers them.
enum ValueType : std::uint32_t { kTypeText = 1, kTypeBinary = 3, kTypeDword = 4 };

struct StoredValue {
    std::string name;
    std::uint32_t type = kTypeBinary;
    Bytes data;
};

// A tree of named keys holding typed values, kept in one SQLite file.
//
// Paths name keys from the top of the tree, components separated by
// backslashes ("SOFTWARE\Quorvel\Keystrider\Macros"). Key and value names
// compare with each character upper-cased on its own, keep the spelling they
// were created with, and sub-keys enumerate in that case-insensitive order.
// Values enumerate in the order they were first written.
//
// Every operation is atomic; a Transaction groups several into one. The
// file may be shared with other processes: writers wait for each other up to
// a busy time-out instead of failing.
class KeyTree {
public:
    enum class Access { ReadWrite, ReadOnly };

    // Opens (creating when needed) the store file and its folder. A file that
    // cannot be opened now is tried again by every later operation, each of
    // which then fails with the reason.
    explicit KeyTree(std::string file, Access access = Access::ReadWrite);
    ~KeyTree();
    KeyTree(const KeyTree&) = delete;
    KeyTree& operator=(const KeyTree&) = delete;

    // $XDG_CONFIG_HOME/keystrider/store.db, or ~/.config/keystrider/store.db.
    static std::string defaultFile();

    const std::string& file() const { return file_; }
    Result openStatus();

    bool keyExists(std::string_view path);
    // Success when the key exists; otherwise kMissingKey or the file's error.
    Result openKey(std::string_view path);
    // Creates the key and every missing key above it.
    Result createKey(std::string_view path);
    // A value of a missing key reads as a missing value (openKey tells the
    // two apart): direct reads of absent options are frequent and cheap.
    Expected<StoredValue> readValue(std::string_view key, std::string_view name);
    // Writes into an existing key; an existing value keeps its place and spelling.
    Result writeValue(std::string_view key, std::string_view name, std::uint32_t type,
                      std::span<const std::uint8_t> data);
    // Writes, creating the key and its parents when missing.
    Result setValue(std::string_view key, std::string_view name, std::uint32_t type,
                    const Bytes& data);
    Result deleteValue(std::string_view key, std::string_view name);
    // Removes the key with everything below it, or nothing.
    Result deleteTree(std::string_view path);

    // The sub-key at `index` in enumeration order. Walking index 0, 1, 2, …
    // costs a logarithmic step per index, not a scan from the start.
    Expected<std::string> enumKey(std::string_view path, std::size_t index);
    Expected<std::vector<std::string>> subKeys(std::string_view path);
    Expected<std::vector<StoredValue>> values(std::string_view path);

    Result integrityCheck();

    // Groups operations into one all-or-nothing change. Rolled back when it
    // ends without commit(). Transactions nest; only the outermost commits to
    // the file, and a failed operation inside one undoes only itself.
    // A batch of reads inside one also sees one snapshot and runs several
    // times faster, as the file's locks are taken once for all of them.
    class Transaction {
    public:
        explicit Transaction(KeyTree& tree);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        const Result& begun() const { return begun_; }
        Result commit();

    private:
        KeyTree& tree_;
        Result begun_;
        bool open_ = false;
    };

    static constexpr const char* kMissingKey = "The key does not exist.";
    static constexpr const char* kMissingValue = "The value does not exist.";

private:
    class Statement;
    struct Path;
    struct EnumCursor {
        std::string parent;
        std::string lastPath;
        std::size_t index = 0;
        std::uint64_t writes = 0;
        bool valid = false;
    };

    static Expected<std::string> foldedPath(std::string_view path);
    Result ensureOpen();
    Result openDatabase();
    void closeDatabase();
    Result exec(const char* sql);
    Statement statement(std::string_view sql);
    Result run(std::string_view sql);
    Result beginScope();
    Result commitScope();
    void rollbackScope();
    template <typename Body>
    Result writing(Body body);
    template <typename Body>
    Result writingOneStatement(Body body);
    // How many levels of the path exist, from the top; then the inserts of
    // the levels below them.
    std::size_t existingLevels(const Path& path);
    Result insertKeys(const Path& path, std::size_t from);
    Result storeValue(const std::string& keyFold, std::string_view name, std::uint32_t type,
                      std::span<const std::uint8_t> data);
    bool keyRowExists(const std::string& keyFold);
    // The rows `sql` gives for the existing key `path`, each made of the
    // statement's columns by `read`.
    template <typename Row, typename Read>
    Expected<std::vector<Row>> keyRows(std::string_view path, std::string_view sql, Read read);
    Result sqliteError();

    std::string file_;
    Access access_;
    sqlite3* db_ = nullptr;
    Result openStatus_ = Result::success();
    struct SqlHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view sql) const {
            return std::hash<std::string_view>{}(sql);
        }
    };
    std::unordered_map<std::string, sqlite3_stmt*, SqlHash, std::equal_to<>> statements_;
    int depth_ = 0;
    std::uint64_t ownWrites_ = 0;
    EnumCursor cursor_;
};

}  // namespace ks
