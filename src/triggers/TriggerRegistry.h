#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "triggers/HotKeyTable.h"
#include "triggers/MessageIdTable.h"
#include "triggers/PhraseTriggers.h"
#include "triggers/Scheduler.h"
#include "triggers/TriggerOwners.h"

namespace ks {

class Clock;
class SettingsStore;

// The trigger column's kinds, in the order a click on its header steps through.
enum class TriggerKind { Schedule, Phrase, MessageId, HotKey };

// Every macro trigger of the program in one place: hot keys, schedules,
// typed phrases and message ids, loaded from the store, removed with their
// macro, and asked who holds a trigger. GUI thread only.
class TriggerRegistry final : public MacroTriggerIntake {
public:
    // Hands a macro name to the runner as a start request; false when the
    // request could not be posted.
    using StartMacro = std::function<bool(const std::string& macro)>;

    struct Services {
        SettingsStore& store;
        HotKeyTable::PlatformHotKeys hotKeys;
        Clock& clock;
        StartMacro startMacro;
        HotKeyTable::RunActive runActive;
        HotKeyTable::KeyText keyText;
        PhraseTriggers::Posts phrasePosts;
    };

    explicit TriggerRegistry(Services services);
    TriggerRegistry(const TriggerRegistry&) = delete;
    TriggerRegistry& operator=(const TriggerRegistry&) = delete;

    // Start-up: registers every macro's hot key and loads its other
    // triggers. Returns the macro names in the store's order.
    std::vector<std::string> loadAll();
    // Reads the macro's schedules, message id and phrase from the store into
    // their tables; its hot key is entered through hotKeys().
    void load(const std::string& macro);
    // Takes the macro's schedules, message id and phrase out of their tables.
    void remove(const std::string& macro);
    // A deleted macro: its hot key goes as `stored` recorded it, and when
    // that recorded an identifier, its other triggers too.
    void removeDeleted(const std::string& macro, const StoredHotKey& stored);

    // The trigger column's text for `macro`.
    std::string displayText(TriggerKind kind, const std::string& macro) const;

    std::optional<std::string> hotKeyOwner(std::uint32_t vk, std::uint32_t modifiers,
                                           std::string_view except) const override;
    std::optional<std::string> messageIdOwner(std::int32_t id) const override;
    std::optional<std::string> phraseOwner(std::string_view phrase, bool matchCase) const override;

    std::int32_t nextHotKeyId() override { return hotKeys_.nextIdentifier(); }
    void enterStored(const std::string& macro, std::int32_t hotKeyId,
                     const std::optional<WantedTriggers::HotKey>& hotKey) override;

    HotKeyTable& hotKeys() { return hotKeys_; }
    Scheduler& schedules() { return schedules_; }

private:
    void loadMessageId(const std::string& macro);

    SettingsStore& store_;
    HotKeyTable hotKeys_;
    Scheduler schedules_;
    PhraseTriggers phrases_;
    MessageIdTable messageIds_;
};

}  // namespace ks
