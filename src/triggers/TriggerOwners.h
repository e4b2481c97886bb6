#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/MessageIds.h"

namespace ks {

// The triggers a macro is about to be given; an unset one is not checked.
struct WantedTriggers {
    struct HotKey {
        std::uint32_t vk = 0;
        std::uint32_t modifiers = 0;
    };
    std::optional<HotKey> hotKey;
    std::optional<std::uint32_t> messageId;
    std::optional<std::string> phrase;
    bool phraseCase = false;
};

// Why each wanted trigger cannot be the macro's: the other macro holding
// it, or a message id in the reserved range.
struct TriggerConflicts {
    std::optional<std::string> hotKey;
    bool messageIdReserved = false;
    std::optional<std::string> messageId;
    std::optional<std::string> phrase;
};

// Which macro holds each kind of trigger, and the one rule for the
// triggers a macro may take: the editor's save and the import both ask it.
class TriggerOwners : public MessageIdOwner {
public:
    // The macro other than `except` (names compared as the store compares
    // them) that holds the hot key.
    virtual std::optional<std::string> hotKeyOwner(std::uint32_t vk, std::uint32_t modifiers,
                                                   std::string_view except) const = 0;
    // The macro whose phrase a new (phrase, matchCase) would replace.
    virtual std::optional<std::string> phraseOwner(std::string_view phrase,
                                                   bool matchCase) const = 0;

    // What stands in the way of `macro` taking the wanted triggers; a
    // trigger it holds itself is no conflict.
    TriggerConflicts checkConflicts(const WantedTriggers& wanted, std::string_view macro) const;

protected:
    ~TriggerOwners() = default;
};

// The triggers of a macro written straight into the store, as an import
// writes one: asked who holds a trigger before it is stored, and told to
// take the macro's stored triggers once it has been written.
class MacroTriggerIntake : public TriggerOwners {
public:
    // The next hot-key registration number, never used before.
    virtual std::int32_t nextHotKeyId() = 0;
    // Registers `hotKey`, stored for `macro` under `hotKeyId`, with the
    // platform (showing a failure) and enters it when the platform gave it;
    // then reads the macro's stored message id, phrase and schedules into
    // their tables.
    virtual void enterStored(const std::string& macro, std::int32_t hotKeyId,
                             const std::optional<WantedTriggers::HotKey>& hotKey) = 0;

protected:
    ~MacroTriggerIntake() = default;
};

}  // namespace ks
