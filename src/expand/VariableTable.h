#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Messages.h"

namespace ks {

// The clipboard format number of plain text; variables set from text carry it.
inline constexpr std::uint32_t kTextFormat = 1;

// One named value: text (format 1, stored with its terminating zero byte),
// data copied from the clipboard (its format number), or nothing (format 0).
struct Variable {
    std::string name;
    std::vector<std::uint8_t> data;
    std::uint32_t format = 0;

    std::size_t size() const { return data.size(); }
};

// The named values every macro run shares, kept in the order they were first
// set; only those a peer posted are ever removed (by its next request). Names compare as the
// settings store compares them (each character upper-cased on its own); a hash index on those keys
// keeps lookups constant-time however many values a macro creates. The index is open-addressed in
// one flat array, since chasing list nodes was what most of the time of a table of 100,000 went
// into.
class VariableTable {
public:
    explicit VariableTable(Messages& messages) : messages_(messages) {}
    VariableTable(const VariableTable&) = delete;
    VariableTable& operator=(const VariableTable&) = delete;

    // Sets `name` to the text `value`, taking the name's new spelling.
    void SetVariable(std::string_view name, std::string_view value);
    // Whether a value of any format has this name.
    bool VariableExists(std::string_view name) const;
    // The text of a format-1 value, up to its first zero byte.
    std::optional<std::string> textValue(std::string_view name) const;

    // The position of the value with this name, if any.
    std::optional<std::size_t> find(std::string_view name) const;
    // The position of the value with this name, appended empty if there is none.
    std::size_t findOrAppend(std::string_view name);
    // Replaces the data and format of the value at `index` with raw bytes.
    void replaceData(std::size_t index, const std::uint8_t* bytes, std::size_t length,
                     std::uint32_t format);
    // Removes the values with these names, freeing their memory; the others
    // keep their order, not their positions.
    void remove(const std::vector<std::string>& names);

    const Variable& at(std::size_t index) const { return entries_.at(index); }
    std::size_t size() const { return entries_.size(); }
    auto begin() const { return entries_.cbegin(); }
    auto end() const { return entries_.cend(); }

private:
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t entry = kNoEntry;
    };
    static constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;

    // The slot that holds `key`, or the empty slot where it would go.
    std::size_t slotOf(std::string_view key, std::uint32_t hash) const;
    void growIndex();
    void rebuildIndex();
    // Copies `bytes` (with a zero byte after them for text) into the entry;
    // when memory runs out the entry is left without a value.
    void store(Variable& entry, std::string_view bytes, bool zeroTerminated, std::uint32_t format);

    Messages& messages_;
    std::deque<Variable> entries_;
    std::vector<std::string> keys_;                    // each entry's name in its compared form
    std::vector<Slot> slots_ = std::vector<Slot>(16);  // a power of two, at most half full
};

}  // namespace ks
