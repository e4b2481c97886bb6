#pragma once

#include <string>

namespace ks {

// Expands one command argument in place: variable and system-value
// references, environment references, character codes, escapes, line breaks
// and arithmetic expressions. Every command handler passes each text it reads
// from its stored values through this before interpreting it.
class Expander {
public:
    Expander() = default;
    Expander(const Expander&) = delete;
    Expander& operator=(const Expander&) = delete;
    virtual ~Expander() = default;

    virtual void Expand(std::string& text) = 0;
};

}  // namespace ks
