#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Result.h"

namespace ks {

class HotKeys;
class SettingsStore;

struct HotKeyEntry {
    std::uint32_t vk = 0;
    std::uint32_t modifiers = 0;
    std::string macro;
    std::int32_t id = 0;
};

// The hot-key registration a macro's key records, read before the key goes.
struct StoredHotKey {
    std::optional<std::uint32_t> id;
    std::optional<std::uint32_t> vk;
};

// The macros' hot keys: registration with the platform, the in-memory table
// that maps a pressed hot key back to its macro, and the hot-key switch.
// GUI thread only.
class HotKeyTable {
public:
    // Hands a macro name to the runner as a start request; false when the
    // request could not be posted.
    using StartMacro = std::function<bool(const std::string& macro)>;
    // The text of a virtual-key code for hot keys; the one-character text
    // "\xFF" for a key without one.
    using KeyText = std::function<std::string(std::uint32_t vk)>;
    using RunActive = std::function<bool()>;
    // The platform's hot keys, asked for on first use: a copy that hands its
    // command line to the running one never opens them.
    using PlatformHotKeys = std::function<HotKeys&()>;

    HotKeyTable(SettingsStore& store, PlatformHotKeys hotKeys, StartMacro startMacro,
                RunActive runActive, KeyText keyText);

    // Start-up: gives every macro, in the store's order, the next identifier,
    // stores it as its `id` and registers its hot key when it has one.
    // Returns the macro names in that order.
    std::vector<std::string> registerAll();

    // A macro saved from the editor: the next identifier, never used before.
    std::int32_t nextIdentifier() { return ++counter_; }
    // Adds an entry. A registered one overwrites every entry with the same key
    // and modifiers, as none of them can hold the key; one the platform
    // refused goes beside them, so the macro holding the key keeps it.
    void add(const HotKeyEntry& entry, bool registered);
    // Registers with the platform, showing the failure.
    bool registerHotKey(const std::string& macro, std::int32_t id, std::uint32_t modifiers,
                        std::uint32_t vk);

    StoredHotKey readStored(const std::string& macro);
    // The macro other than `except` (compared without regard to case) that
    // holds `vk` with `modifiers`, if one does.
    std::optional<std::string> ownerOf(std::uint32_t vk, std::uint32_t modifiers,
                                       const std::string& except) const;
    // Whether the platform gives this hot key now: taken under an identifier
    // no macro uses and given back at once.
    Result trialGrab(std::uint32_t vk, std::uint32_t modifiers);
    // Undoes a macro's registration as `stored` recorded it. True when it
    // recorded an identifier: the macro's other triggers go too then.
    bool unregister(const std::string& macro, const StoredHotKey& stored);

    // While `on`, no hot key is captured, so that the field in which the
    // user picks one receives every key, those of other macros included.
    void suspend(bool on);

    // The platform reported the hot key registered under `id`.
    void fire(std::int32_t id);

    void setEnabled(bool on) { enabled_ = on; }
    bool enabled() const { return enabled_; }

    // The trigger column's text for `macro`: its entry's display text, or empty.
    std::string textForMacro(const std::string& macro) const;
    std::string displayText(std::uint32_t vk, std::uint32_t modifiers) const;

    const std::vector<HotKeyEntry>& entries() const { return entries_; }

private:
    // The index of the first entry of `macro` (names compared as the store
    // compares them), or the number of entries.
    std::size_t findMacro(const std::string& macro) const;
    void reportRegistration(const std::string& macro, const Result& registered);

    SettingsStore& store_;
    PlatformHotKeys hotKeys_;
    StartMacro startMacro_;
    RunActive runActive_;
    KeyText keyText_;
    std::vector<HotKeyEntry> entries_;
    std::vector<std::string> foldedNames_;  // entries_' macro names, upper-cased
    std::int32_t counter_ = -1;
    bool enabled_ = true;
};

}  // namespace ks
