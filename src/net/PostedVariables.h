#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace ks {

class VariableTable;

// The variables that peers' requests set, kept within bounds: a peer's
// request replaces what its previous one set, and all peers together hold
// at most the cap (names and texts counted); to make room, the peers whose
// last request is oldest lose theirs first.
class PostedVariables {
public:
    static constexpr std::size_t kCapBytes = 8 * 1024 * 1024;

    using Values = std::vector<std::pair<std::string, std::string>>;

    explicit PostedVariables(VariableTable& table, std::size_t capBytes = kCapBytes)
        : table_(table), capBytes_(capBytes) {}

    // Sets `values` for `peer`. False, with nothing set or removed, when
    // they alone exceed the cap.
    bool set(const std::string& peer, const Values& values);

private:
    struct Holding {
        std::string peer;
        std::vector<std::string> names;  // compared forms
        std::size_t bytes = 0;
    };

    void release(std::deque<Holding>::iterator holding);
    void disown(const std::vector<std::string>& names);

    VariableTable& table_;
    std::size_t capBytes_;
    std::deque<Holding> holdings_;  // oldest request first
    std::size_t totalBytes_ = 0;
};

}  // namespace ks
