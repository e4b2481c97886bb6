#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ks {

// A key below the store's root, named by its path relative to the root
// (`Macros\Backup\Commands\0`; empty for the root). The store's operations
// spell a key in four ways; each spelling is made here and nowhere else.
class StoreKey {
public:
    static StoreKey root() { return StoreKey(std::string()); }
    static StoreKey macros() { return StoreKey("Macros"); }
    static StoreKey journals() { return StoreKey("Journals"); }

    StoreKey child(std::string_view name) const;

    // `Macros\x`, relative to the root.
    const std::string& relative() const { return relative_; }
    // `\Macros\x`: the sub-path WriteDword, WriteBinary, ReadDword and ReadBinary take.
    std::string rootSubpath() const { return "\\" + relative_; }
    // `Software\Quorvel\Keystrider\Macros\x`: as the store's messages name it.
    std::string treePath() const;
    // `SOFTWARE\Quorvel\Keystrider\Macros\x`: for direct access; the root ends in `\`.
    std::string direct() const;

private:
    explicit StoreKey(std::string relative) : relative_(std::move(relative)) {}
    std::string relative_;
};

// The sub-path below Macros of sub-key `child` of the key at `macroSubpath`
// (also below Macros): `<macro>\Commands\3` and "0" give `<macro>\Commands\3\0`.
std::string childSubpath(std::string_view macroSubpath, std::string_view child);

// One command of a macro: `Macros\<macro>\Commands\<position>`.
class CommandKey {
public:
    CommandKey(std::string_view macro, std::int32_t position);
    // `<macro>\Commands\<position>`: the command path handlers take, and the
    // sub-path below Macros that CreateMacroKey, WriteMacroString and
    // ReadMacroString take.
    const std::string& macroSubpath() const& { return macroSubpath_; }
    std::string macroSubpath() && { return std::move(macroSubpath_); }
    StoreKey key() const { return StoreKey::macros().child(macroSubpath_); }
    // The macro of a command path: the part before its `\Commands\`.
    static std::string_view macroOf(std::string_view macroSubpath);

private:
    std::string macroSubpath_;
};

// A macro's key, `Macros\<name>`, and direct reads of its commands' ids, which
// the runner makes for every step: the common prefix is built once.
class MacroKey {
public:
    explicit MacroKey(std::string_view name);
    const std::string& name() const { return name_; }
    StoreKey key() const { return StoreKey::macros().child(name_); }
    CommandKey command(std::int32_t position) const { return CommandKey(name_, position); }
    // The direct path of command `position`'s key.
    std::string commandDirect(std::int32_t position) const;
    // Schedule `n`: `<macro>\Schedule\<n>`, the sub-path below Macros that
    // ReadMacroString takes, and its key.
    std::string scheduleSubpath(std::int32_t n) const;
    StoreKey schedule(std::int32_t n) const { return StoreKey::macros().child(scheduleSubpath(n)); }

private:
    std::string name_;
    std::string commandsDirect_;
};

// A recording's key, `Journals\<name>`.
class RecordingKey {
public:
    explicit RecordingKey(std::string_view name) : name_(name) {}
    StoreKey key() const { return StoreKey::journals().child(name_); }

private:
    std::string name_;
};

}  // namespace ks
