#include "expand/VariableTable.h"

#include <new>

#include "store/Utf8.h"

namespace ks {

std::string variableKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (static_cast<unsigned char>(c) >= 0x80) return utf8::upper(name);
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

void VariableTable::SetVariable(std::string_view name, std::string_view value) {
    Variable& entry = entries_[FindOrAppend(name)];
    entry.name = name;
    store(entry, value, true, kTextFormat);
}

bool VariableTable::VariableExists(std::string_view name) const { return Find(name).has_value(); }

std::optional<std::string> VariableTable::TextValue(std::string_view name) const {
    const auto index = Find(name);
    if (!index || entries_[*index].format != kTextFormat) return std::nullopt;
    const auto& data = entries_[*index].data;
    std::string text(data.begin(), data.end());
    text.resize(std::string_view(text.c_str()).size());
    return text;
}

std::optional<std::size_t> VariableTable::Find(std::string_view name) const {
    const auto found = index_.find(variableKey(name));
    if (found == index_.end()) return std::nullopt;
    return found->second;
}

std::size_t VariableTable::FindOrAppend(std::string_view name) {
    std::string key = variableKey(name);
    const auto found = index_.find(key);
    if (found != index_.end()) return found->second;
    return append(name, std::move(key));
}

std::size_t VariableTable::append(std::string_view name, std::string key) {
    entries_.push_back(Variable{std::string(name), {}, 0});
    const std::size_t index = entries_.size() - 1;
    index_.emplace(std::move(key), index);
    return index;
}

void VariableTable::ReplaceData(std::size_t index, const std::uint8_t* bytes, std::size_t length,
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
