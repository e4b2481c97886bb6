#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/Messages.h"
#include "store/KeyTree.h"

namespace ks {

// The store's root as the store operations spell it, and as direct access
// spells it; names compare without case, so both reach the same key.
inline constexpr const char* kRootKey = "Software\\Quorvel\\Keystrider";
inline constexpr const char* kDirectRoot = "SOFTWARE\\Quorvel\\Keystrider\\";
inline constexpr const char* kMacrosKey = "Software\\Quorvel\\Keystrider\\Macros\\";
inline constexpr const char* kJournalsKey = "Software\\Quorvel\\Keystrider\\Journals\\";

// The program's settings store: the operations that report their own
// failures in message boxes, and direct one-value access that reports
// nothing. Every operation returns failure only after its message was shown.
// Those that create, write or delete keys by name refuse an empty name, or
// one of only backslashes, which would reach the key above it.
class SettingsStore {
public:
    SettingsStore(KeyTree& tree, Messages& messages) : tree_(tree), messages_(messages) {}

    KeyTree& tree() { return tree_; }
    Messages& messages() { return messages_; }

    bool EnsureRootKeys();
    // `name` may be a sub-path below Macros (`<macro>\Commands\3`).
    bool CreateMacroKey(std::string_view name);
    bool CreateRecordingKey(std::string_view name);
    // `subpath` is relative to Macros.
    bool WriteMacroString(std::string_view text, std::string_view subpath,
                          std::string_view valueName);
    // `subpath` is relative to the root and begins with a backslash (`\Journals\<name>`).
    bool WriteDword(std::uint32_t number, std::string_view subpath, std::string_view valueName);
    bool WriteBinary(const std::uint8_t* bytes, std::size_t length, std::string_view subpath,
                     std::string_view valueName);
    std::optional<std::uint32_t> ReadDword(std::string_view subpath, std::string_view valueName);
    // Empties `out` first; `subpath` is relative to Macros.
    bool ReadMacroString(std::string_view subpath, std::string_view valueName, std::string& out);
    std::optional<Bytes> ReadBinary(std::string_view subpath, std::string_view valueName);
    // `path` is relative to the top of the tree (`Software\Quorvel\Keystrider\Macros\<name>`).
    bool DeleteKeyTree(std::string_view path);
    bool CommandExists(std::string_view subpath);

    // Direct access by a path from the top of the tree (`SOFTWARE\Quorvel\Keystrider\Macros\x`).
    std::optional<std::uint32_t> GetDword(std::string_view path, std::string_view name);
    std::optional<std::string> GetText(std::string_view path, std::string_view name);
    std::optional<Bytes> GetBinary(std::string_view path, std::string_view name);
    bool SetDword(std::string_view path, std::string_view name, std::uint32_t number);
    bool SetText(std::string_view path, std::string_view name, std::string_view text);
    bool DeleteValue(std::string_view path, std::string_view name);

    // An option in the root key: on only when it is exactly 1.
    bool OptionOn(std::string_view name);

private:
    bool createKey(const char* parent, std::string_view name);
    void showError(const std::string& text);
    void showAttention(const std::string& text);
    bool writeValue(const std::string& key, std::string_view valueName, std::uint32_t type,
                    std::span<const std::uint8_t> data, const std::string& failurePrefix);
    std::optional<StoredValue> readValue(const std::string& key, std::string_view valueName,
                                         const char* openMessage, const char* readMessage);

    KeyTree& tree_;
    Messages& messages_;
};

// Value encodings shared by everything that reads or writes the store.
Bytes textBytes(std::string_view text);                          // with its terminating zero
std::string textFromBytes(const Bytes& data);                    // up to the first zero, if any
Bytes dwordBytes(std::uint32_t number);                          // little-endian
std::optional<std::uint32_t> dwordFromBytes(const Bytes& data);  // at most 4 bytes

// The error text as the messages quote it: at most `limit` characters.
std::string limitedError(std::string_view error, std::size_t limit = 1000);

}  // namespace ks
