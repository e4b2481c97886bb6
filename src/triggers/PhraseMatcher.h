#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "triggers/PhraseTable.h"
#include "triggers/TypedBuffer.h"

namespace ks {

// The keyboard-watch thread's phrase table with the typed buffer, and which
// phrase the buffer ends with.
//
// Phrases are kept reversed and upper-cased in a trie, so one walk from the
// buffer's last character back reaches every phrase that ends the buffer
// ignoring case and no other: the cost of a keystroke grows with the length
// of the phrases that could match, not with the number of phrases. Of the
// phrases that do match (a phrase with matchCase only when the case agrees
// too) the one earliest in the table fires. An empty phrase never fires.
class PhraseMatcher {
public:
    PhraseMatcher();

    // The table's rules (PhraseTable::add and removeMacro).
    void add(PhraseEntry entry);
    void removeMacro(std::string_view macro);

    // Appends a typed character; the macro whose phrase the buffer now ends
    // with, or null. The buffer is not cleared by a match.
    const std::string* type(char32_t ch);
    void backspace() { buffer_.dropLast(); }
    void clear() { buffer_.clear(); }
    const TypedBuffer& buffer() const { return buffer_; }

private:
    // The macro of the first entry whose phrase ends the buffer, or null.
    const std::string* match() const;

    struct Item {
        std::uint64_t order = 0;
        bool matchCase = false;
        std::u32string phrase;
        std::string macro;
    };
    struct Node {
        std::vector<Item> items;  // phrases ending here, by ascending order
        std::uint32_t parent = 0;
        char32_t ch = 0;
        std::uint32_t children = 0;
    };

    static std::uint64_t edge(std::uint32_t node, char32_t ch) {
        return (static_cast<std::uint64_t>(node) << 32) | ch;
    }
    std::uint32_t child(std::uint32_t node, char32_t ch) const;  // 0: none
    std::uint32_t addChild(std::uint32_t node, char32_t ch);
    void place(const PhraseTable::Placed& placed);
    void unplace(const PhraseTable::Placed& placed);
    void prune(std::uint32_t node);
    bool endsBuffer(const std::u32string& phrase) const;

    PhraseTable table_;
    TypedBuffer buffer_;
    std::vector<Node> nodes_;  // nodes_[0] is the root
    std::unordered_map<std::uint64_t, std::uint32_t> edges_;
    std::vector<std::uint32_t> freeNodes_;
};

}  // namespace ks
