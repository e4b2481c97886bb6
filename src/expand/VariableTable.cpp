#include "expand/VariableTable.h"

#include <functional>
#include <new>
#include <unordered_set>

#include "core/Utf8.h"

namespace ks {

namespace {

std::uint32_t hashOf(std::string_view key) {
    return static_cast<std::uint32_t>(std::hash<std::string_view>{}(key));
}

}  // namespace

void VariableTable::SetVariable(std::string_view name, std::string_view value) {
    Variable& entry = entries_[findOrAppend(name)];
    entry.name = name;
    store(entry, value, true, kTextFormat);
}

bool VariableTable::VariableExists(std::string_view name) const {
    return find(name).has_value();
}

std::optional<std::string> VariableTable::textValue(std::string_view name) const {
    const auto index = find(name);
    if (!index || entries_[*index].format != kTextFormat) return std::nullopt;
    const auto& data = entries_[*index].data;
    std::string text(data.begin(), data.end());
    text.resize(std::string_view(text.c_str()).size());
    return text;
}

std::optional<std::size_t> VariableTable::find(std::string_view name) const {
    const std::string key = utf8::upper(name);
    const Slot& slot = slots_[slotOf(key, hashOf(key))];
    if (slot.entry == kNoEntry) return std::nullopt;
    return slot.entry;
}

std::size_t VariableTable::findOrAppend(std::string_view name) {
    std::string key = utf8::upper(name);
    const std::uint32_t hash = hashOf(key);
    Slot& slot = slots_[slotOf(key, hash)];
    if (slot.entry != kNoEntry) return slot.entry;
    entries_.push_back(Variable{std::string(name), {}, 0});
    keys_.push_back(std::move(key));
    slot = Slot{hash, static_cast<std::uint32_t>(keys_.size() - 1)};
    if (keys_.size() * 2 > slots_.size()) growIndex();
    return keys_.size() - 1;
}

std::size_t VariableTable::slotOf(std::string_view key, std::uint32_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t pos = hash & mask;; pos = (pos + 1) & mask) {
        const Slot& slot = slots_[pos];
        if (slot.entry == kNoEntry || (slot.hash == hash && keys_[slot.entry] == key)) return pos;
    }
}

void VariableTable::growIndex() {
    std::vector<Slot> grown(slots_.size() * 2);
    const std::size_t mask = grown.size() - 1;
    for (const Slot& slot : slots_) {
        if (slot.entry == kNoEntry) continue;
        std::size_t pos = slot.hash & mask;
        while (grown[pos].entry != kNoEntry) pos = (pos + 1) & mask;
        grown[pos] = slot;
    }
    slots_.swap(grown);
}

void VariableTable::remove(const std::vector<std::string>& names) {
    std::unordered_set<std::string> gone;
    for (const std::string& name : names) {
        if (find(name)) gone.insert(utf8::upper(name));
    }
    if (gone.empty()) return;
    std::deque<Variable> entries;
    std::vector<std::string> keys;
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        if (gone.contains(keys_[i])) continue;
        entries.push_back(std::move(entries_[i]));
        keys.push_back(std::move(keys_[i]));
    }
    entries_.swap(entries);
    keys_.swap(keys);
    rebuildIndex();
}

void VariableTable::rebuildIndex() {
    std::size_t size = 16;
    while (keys_.size() * 2 > size) size *= 2;
    slots_.assign(size, Slot{});
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        const std::uint32_t hash = hashOf(keys_[i]);
        slots_[slotOf(keys_[i], hash)] = Slot{hash, static_cast<std::uint32_t>(i)};
    }
}

void VariableTable::replaceData(std::size_t index, const std::uint8_t* bytes, std::size_t length,
                                std::uint32_t format) {
    const std::string_view raw(reinterpret_cast<const char*>(bytes), length);
    store(entries_.at(index), raw, false, format);
}

void VariableTable::store(Variable& entry, std::string_view bytes, bool zeroTerminated,
                          std::uint32_t format) {
    try {
        std::vector<std::uint8_t> copy;
        copy.reserve(bytes.size() + (zeroTerminated ? 1 : 0));
        copy.assign(bytes.begin(), bytes.end());
        if (zeroTerminated) copy.push_back(0);
        entry.data.swap(copy);
        entry.format = format;
    } catch (const std::bad_alloc&) {
        std::vector<std::uint8_t>().swap(entry.data);
        entry.format = 0;
        messages_.show("Error allocating memory.", "Keystrider", MsgIcon::Exclamation);
    }
}

}  // namespace ks
