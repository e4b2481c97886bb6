#include "triggers/HotKeyTable.h"

#include "keys/KeyNames.h"

#include <algorithm>
#include <array>
#include <utility>

#include "core/Utf8.h"
#include "platform/HotKeys.h"
#include "store/SettingsStore.h"
#include "store/StoreKey.h"

namespace ks {

namespace {

constexpr std::uint32_t kInvalid = 0xFFFFFFFF;

void showAttention(SettingsStore& store, const std::string& text) {
    store.messages().show(text, "Attention", MsgIcon::Exclamation);
}

// The stored `vk`; a 0 there means the macro has no hot key.
std::optional<std::uint32_t> storedVk(SettingsStore& store, const std::string& key) {
    const auto vk = store.GetDword(key, "vk");
    return vk == 0u ? std::nullopt : vk;
}

struct Reading {
    std::string macro;
    std::optional<std::uint32_t> vk;
    std::optional<std::uint32_t> modifiers;
    std::int32_t id;
};

}  // namespace

HotKeyTable::HotKeyTable(SettingsStore& store, PlatformHotKeys hotKeys, StartMacro startMacro,
                         RunActive runActive, KeyText keyText)
    : store_(store),
      hotKeys_(std::move(hotKeys)),
      startMacro_(std::move(startMacro)),
      runActive_(std::move(runActive)),
      keyText_(std::move(keyText)) {}

std::vector<std::string> HotKeyTable::registerAll() {
    // The reads and the identifier writes form one transaction; the
    // registrations, whose failures wait for the user, come after it so that
    // no box holds the store locked.
    std::vector<Reading> readings;
    {
        KeyTree::Transaction transaction(store_.tree());
        Expected<std::vector<std::string>> macros =
            store_.tree().subKeys(StoreKey::macros().direct());
        if (macros) {
            for (const std::string& macro : *macros) {
                const std::string key = MacroKey(macro).key().direct();
                Reading r{macro, storedVk(store_, key), store_.GetDword(key, "fsModifiers"),
                          nextIdentifier()};
                store_.SetDword(key, "id", static_cast<std::uint32_t>(r.id));
                readings.push_back(std::move(r));
            }
        }
        transaction.commit();
    }
    std::vector<HotKeyRequest> requests;
    for (const Reading& r : readings) {
        if (r.vk && r.modifiers) requests.push_back({r.id, *r.modifiers, *r.vk});
    }
    const std::vector<Result> results = hotKeys_().registerHotKeys(requests);
    std::vector<std::string> names;
    std::size_t next = 0;
    for (Reading& r : readings) {
        if (r.vk && r.modifiers) {
            const Result& registered = results[next++];
            reportRegistration(r.macro, registered);
            add({*r.vk, *r.modifiers, r.macro, r.id}, registered.ok());
        }
        names.push_back(std::move(r.macro));
    }
    return names;
}

void HotKeyTable::add(const HotKeyEntry& entry, bool registered) {
    bool overwritten = false;
    for (std::size_t i = 0; registered && i < entries_.size(); ++i) {
        if (entries_[i].vk == entry.vk && entries_[i].modifiers == entry.modifiers) {
            entries_[i] = entry;
            foldedNames_[i] = utf8::upper(entry.macro);
            overwritten = true;
        }
    }
    if (!overwritten) {
        entries_.push_back(entry);
        foldedNames_.push_back(utf8::upper(entry.macro));
    }
}

bool HotKeyTable::registerHotKey(const std::string& macro, std::int32_t id, std::uint32_t modifiers,
                                 std::uint32_t vk) {
    const Result registered = hotKeys_().registerHotKey(id, modifiers, vk);
    reportRegistration(macro, registered);
    return registered.ok();
}

void HotKeyTable::reportRegistration(const std::string& macro, const Result& registered) {
    if (registered) return;
    showAttention(store_, "Error registering hotkey for macro: " + macro +
                              "\nError returned: " + registered.error());
}

StoredHotKey HotKeyTable::readStored(const std::string& macro) {
    const std::string key = MacroKey(macro).key().direct();
    return {store_.GetDword(key, "id"), storedVk(store_, key)};
}

bool HotKeyTable::unregister(const std::string& macro, const StoredHotKey& stored) {
    if (!stored.id) return false;
    if (stored.vk && !hotKeys_().unregisterHotKey(static_cast<std::int32_t>(*stored.id))) {
        showAttention(store_,
                      "Failed to unregister previous hotkey for macro: " + macro +
                          "\n\nThis probably occurred as a result of a failure to register the "
                          "hotkey to begin with.\nThis should not keep you from continuing.");
    }
    if (const std::size_t i = findMacro(macro); i < entries_.size()) {
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
        foldedNames_.erase(foldedNames_.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return true;
}

std::optional<std::string> HotKeyTable::ownerOf(std::uint32_t vk, std::uint32_t modifiers,
                                                const std::string& except) const {
    const std::string folded = utf8::upper(except);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const HotKeyEntry& entry = entries_[i];
        if (entry.vk == vk && entry.modifiers == modifiers && foldedNames_[i] != folded) {
            return entry.macro;
        }
    }
    return std::nullopt;
}

Result HotKeyTable::trialGrab(std::uint32_t vk, std::uint32_t modifiers) {
    const std::int32_t trial = nextIdentifier();
    Result taken = hotKeys_().registerHotKey(trial, modifiers, vk);
    if (taken) hotKeys_().unregisterHotKey(trial);
    return taken;
}

void HotKeyTable::suspend(bool on) {
    hotKeys_().setSuspended(on);
}

void HotKeyTable::fire(std::int32_t id) {
    if (runActive_ && runActive_()) return;
    if (!enabled_) return;
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [id](const HotKeyEntry& e) { return e.id == id; });
    if (it == entries_.end()) return;
    if (!startMacro_(it->macro)) {
        store_.messages().show("Error posting message to main thread.", "Error", MsgIcon::Stop);
    }
}

std::size_t HotKeyTable::findMacro(const std::string& macro) const {
    const std::string folded = utf8::upper(macro);
    return static_cast<std::size_t>(std::find(foldedNames_.begin(), foldedNames_.end(), folded) -
                                    foldedNames_.begin());
}

std::string HotKeyTable::textForMacro(const std::string& macro) const {
    const std::size_t i = findMacro(macro);
    if (i == entries_.size()) return {};
    return displayText(entries_[i].vk, entries_[i].modifiers);
}

std::string HotKeyTable::displayText(std::uint32_t vk, std::uint32_t modifiers) const {
    if (vk == kInvalid || modifiers == kInvalid) return "Invalid Hot Key";
    const std::string key = keyText_(vk);
    if (key == kUnknownHotKeyText) return "Invalid Hot Key";
    if (modifiers == 0) return key;
    std::string text;
    for (const auto& [bit, name] : {std::pair{kModControl, "CTRL"}, std::pair{kModAlt, "ALT"},
                                    std::pair{kModShift, "SHIFT"}}) {
        if ((modifiers & bit) == 0) continue;
        if (!text.empty()) text += " + ";
        text += name;
    }
    return text + " + " + key;
}

}  // namespace ks
