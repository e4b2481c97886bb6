#include "triggers/TriggerRegistry.h"

#include <utility>

#include "store/SettingsStore.h"
#include "store/StoreKey.h"

namespace ks {

namespace {

constexpr std::uint32_t kLastMessageId = 0x7FFFFFFF;

}  // namespace

TriggerRegistry::TriggerRegistry(Services services)
    : store_(services.store),
      hotKeys_(services.store, std::move(services.hotKeys), services.startMacro,
               std::move(services.runActive), std::move(services.keyText)),
      schedules_(services.store, services.clock, std::move(services.startMacro)),
      phrases_(services.store, std::move(services.phrasePosts)) {}

std::vector<std::string> TriggerRegistry::loadAll() {
    std::vector<std::string> names = hotKeys_.registerAll();
    for (const std::string& name : names) load(name);
    return names;
}

void TriggerRegistry::load(const std::string& macro) {
    schedules_.load(macro);
    loadMessageId(macro);
    phrases_.load(macro);
}

// Ids below the reserved range are never a macro's: the editor and the
// import refuse them, and a stored one would shadow a request of the
// program's own. Ids past the signed range cannot be posted.
void TriggerRegistry::loadMessageId(const std::string& macro) {
    const auto id = store_.GetDword(MacroKey(macro).key().direct(), "MsgID");
    if (id && *id >= kFirstMacroMessageId && *id <= kLastMessageId) {
        messageIds_.set(static_cast<std::int32_t>(*id), macro);
    }
}

void TriggerRegistry::enterStored(const std::string& macro, std::int32_t hotKeyId,
                                  const std::optional<WantedTriggers::HotKey>& hotKey) {
    if (hotKey && hotKeys_.registerHotKey(macro, hotKeyId, hotKey->modifiers, hotKey->vk)) {
        hotKeys_.add({hotKey->vk, hotKey->modifiers, macro, hotKeyId}, true);
    }
    load(macro);
}

void TriggerRegistry::remove(const std::string& macro) {
    schedules_.remove(macro);
    messageIds_.remove(macro);
    phrases_.remove(macro);
}

void TriggerRegistry::removeDeleted(const std::string& macro, const StoredHotKey& stored) {
    if (hotKeys_.unregister(macro, stored)) remove(macro);
}

std::string TriggerRegistry::displayText(TriggerKind kind, const std::string& macro) const {
    switch (kind) {
        case TriggerKind::Schedule: return schedules_.displayText(macro);
        case TriggerKind::Phrase: return phrases_.displayText(macro);
        case TriggerKind::MessageId: return messageIds_.idOf(macro);
        case TriggerKind::HotKey: return hotKeys_.textForMacro(macro);
    }
    return {};
}

std::optional<std::string> TriggerRegistry::hotKeyOwner(std::uint32_t vk, std::uint32_t modifiers,
                                                        std::string_view except) const {
    return hotKeys_.ownerOf(vk, modifiers, std::string(except));
}

std::optional<std::string> TriggerRegistry::messageIdOwner(std::int32_t id) const {
    return messageIds_.ownerOf(id);
}

std::optional<std::string> TriggerRegistry::phraseOwner(std::string_view phrase,
                                                        bool matchCase) const {
    std::string owner = phrases_.ownerOf(phrase, matchCase);
    if (owner.empty()) return std::nullopt;
    return owner;
}

}  // namespace ks
