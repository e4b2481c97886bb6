#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "editors/MacroDocument.h"
#include "triggers/TriggerOwners.h"

namespace ks {

// The editor's trigger fields as typed.
struct MacroForm {
    std::string name;
    std::uint32_t vk = 0;
    std::uint32_t modifiers = 0;
    std::string messageId;
    std::string phrase;
    bool phraseCase = false;
    std::string execute;
};

// Checks the form as Save does, in order; the first refusal's text, or the
// form's values as the macro to write (without commands and schedules).
// `edited` is the name of the macro being edited (empty for a new one): a
// trigger it holds itself is no clash.
struct SaveCheck {
    std::optional<std::string> refusal;
    MacroDocument macro;
};
SaveCheck checkSave(const MacroForm& form, const std::string& edited, const TriggerOwners& owners);

// Save As first compares the form with the stored macro being edited.
std::optional<std::string> saveAsRefusal(const MacroForm& form, const MacroDocument& stored);

}  // namespace ks
