#include "triggers/TriggerOwners.h"

#include "core/Utf8.h"

namespace ks {

namespace {

std::optional<std::string> heldByOther(std::optional<std::string> owner, std::string_view macro) {
    if (owner && utf8::sameName(*owner, macro)) return std::nullopt;
    return owner;
}

}  // namespace

TriggerConflicts TriggerOwners::checkConflicts(const WantedTriggers& wanted,
                                               std::string_view macro) const {
    TriggerConflicts conflicts;
    if (wanted.hotKey) {
        conflicts.hotKey = hotKeyOwner(wanted.hotKey->vk, wanted.hotKey->modifiers, macro);
    }
    if (wanted.messageId) {
        conflicts.messageIdReserved = *wanted.messageId < kFirstMacroMessageId;
        // Ids past the signed range wrap to negative ones, which no macro holds.
        if (!conflicts.messageIdReserved) {
            conflicts.messageId =
                heldByOther(messageIdOwner(static_cast<std::int32_t>(*wanted.messageId)), macro);
        }
    }
    if (wanted.phrase) {
        conflicts.phrase = heldByOther(phraseOwner(*wanted.phrase, wanted.phraseCase), macro);
    }
    return conflicts;
}

}  // namespace ks
