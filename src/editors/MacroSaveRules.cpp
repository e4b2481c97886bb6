#include "editors/MacroSaveRules.h"

#include <cstdint>

#include "core/PlusDigits.h"
#include "core/Utf8.h"
#include "store/StorePath.h"

namespace ks {

namespace {

constexpr const char* kReservedMessageId =
    "XML Message ID must be greater than or equeal to 10000!  Lower IDs are reserved.";
constexpr std::uint32_t kMostExecutions = 100000;

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A stored number written in decimal, at most 32 bits.
std::optional<std::uint32_t> whole(const std::string& text) {
    const auto number = parsePlusDigits(text);
    if (!number || *number > UINT32_MAX) return std::nullopt;
    return static_cast<std::uint32_t>(*number);
}

}  // namespace

SaveCheck checkSave(const MacroForm& form, const std::string& edited, const TriggerOwners& owners) {
    SaveCheck check;
    MacroDocument& macro = check.macro;
    if (form.name.empty()) return {"Macro Name must not be empty!", {}};
    if (const auto fault = itemNameFault(form.name)) {
        return {"Macro Name must not contain " + std::string(nameFaultText(*fault)) + "!", {}};
    }
    macro.name = form.name;
    WantedTriggers wanted;
    const std::string id = trimmed(form.messageId);
    if (!id.empty()) {
        wanted.messageId = whole(id);
        if (!wanted.messageId) return {kReservedMessageId, {}};
    }
    if (std::string phrase = trimmed(form.phrase); !phrase.empty()) {
        wanted.phrase = std::move(phrase);
        wanted.phraseCase = form.phraseCase;
    }
    const TriggerConflicts conflicts = owners.checkConflicts(wanted, edited);
    if (conflicts.messageIdReserved) return {kReservedMessageId, {}};
    if (conflicts.messageId)
        return {"XML Message ID already in use by: " + *conflicts.messageId, {}};
    if (conflicts.phrase) {
        return {"Word or Phrase for trigger already in use by: " + *conflicts.phrase, {}};
    }
    macro.messageId = wanted.messageId.value_or(0);
    macro.phrase = wanted.phrase.value_or("");
    macro.phraseCase = form.phraseCase;
    const auto execute = whole(trimmed(form.execute));
    if (!execute || *execute < 1 || *execute > kMostExecutions) {
        return {"Execute: value must be between 1 and 100000!", {}};
    }
    macro.repeat = *execute;
    macro.vk = form.vk;
    macro.modifiers = form.modifiers;
    return check;
}

std::optional<std::string> saveAsRefusal(const MacroForm& form, const MacroDocument& stored) {
    if (form.vk != 0 && form.vk == stored.vk && form.modifiers == stored.modifiers) {
        return "Must select different hot key trigger!";
    }
    if (utf8::sameName(form.name, stored.name)) return "Must select different Macro name!";
    const std::string id = trimmed(form.messageId);
    if (!id.empty() && whole(id) == stored.messageId) {
        return "Must select different XML Message ID trigger!";
    }
    const std::string phrase = trimmed(form.phrase);
    if (!phrase.empty() && phrase == stored.phrase)
        return "Must select different Word or Phrase trigger!";
    return std::nullopt;
}

}  // namespace ks
