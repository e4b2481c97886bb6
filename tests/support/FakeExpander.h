#pragma once

#include <map>
#include <string>

#include "expand/Expander.h"

namespace ks::test {

// Replaces each `{name}` whose name is in `values` and leaves everything else
// as it is; with no values it is the identity.
class FakeExpander final : public Expander {
public:
    void Expand(std::string& text) override {
        for (const auto& [name, value] : values) {
            const std::string reference = "{" + name + "}";
            for (auto at = text.find(reference); at != std::string::npos;
                 at = text.find(reference, at + value.size())) {
                text.replace(at, reference.size(), value);
            }
        }
    }

    std::map<std::string, std::string> values;
};

}  // namespace ks::test
