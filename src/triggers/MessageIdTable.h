#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ks {

// Which macro each XML message id starts: at most one entry per id.
class MessageIdTable {
public:
    // Gives `id` to `macro`, replacing the macro the id had.
    void set(std::int32_t id, std::string macro);
    // Drops the entry of `macro` (names compared without regard to case).
    void remove(std::string_view macro);
    // The id of `macro` in decimal; empty when it has none.
    std::string idOf(std::string_view macro) const;
    std::optional<std::string> ownerOf(std::int32_t id) const;

private:
    struct Entry {
        std::int32_t id = 0;
        std::string macro;
    };
    std::vector<Entry>::const_iterator findMacro(std::string_view macro) const;

    std::vector<Entry> entries_;
};

}  // namespace ks
