#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Messages.h"

namespace ks {

// How a parameter dialog shows one stored value.
enum class FieldKind {
    Line,    // one-line text
    Lines,   // multi-line text
    Choice,  // drop-down whose items stand for numbers
    Check,   // check box: choices[0] unchecked, choices[1] checked
    Radio,   // radio buttons, one per choice
};

// Which blanks OK removes from a text before its check; the trimmed text is
// what is stored.
enum class Trim { None, Left, Both };

// What a "..." button beside a text field fills it from.
enum class Browse { None, Window, File, Folder };

struct FieldChoice {
    const char* label;
    std::int32_t value;
};

inline constexpr std::int32_t kNoChoice = INT32_MIN;

struct FieldSpec {
    FieldKind kind = FieldKind::Line;
    const char* label = "";
    const char* value = "";
    Trim trim = Trim::None;
    std::vector<FieldChoice> choices = {};
    const char* suffix = "";  // text after the field ("times.")
    Browse browse = Browse::None;
    std::int32_t fallback = kNoChoice;  // a new command's number; kNoChoice: none chosen
    int enabledBy = -1;                 // the check field that enables this one
    int columns = 1;                    // radio buttons per row
};

// A check OK makes: the field must not be empty after its trim (a drop-down
// must have an item chosen).
struct FieldCheck {
    int field;
    const char* message;
    const char* title;
    MsgIcon icon;
};

struct ParameterSpec {
    std::uint32_t id;
    std::string title;
    std::vector<FieldSpec> fields;
    std::vector<FieldCheck> checks;
};

// The dialog of a command type with values of its own, or null: such types
// are added without a dialog and "Edit" has nothing to change.
const ParameterSpec* parameterSpec(std::uint32_t id);

}  // namespace ks
