#include "triggers/PhraseTriggers.h"

#include <utility>

#include "store/SettingsStore.h"
#include "store/StoreKey.h"

namespace ks {

PhraseTriggers::PhraseTriggers(SettingsStore& store, Posts posts)
    : store_(store), posts_(std::move(posts)) {}

void PhraseTriggers::load(const std::string& macro) {
    const std::string key = MacroKey(macro).key().direct();
    const std::optional<std::string> phrase = store_.GetText(key, "WPhrase");
    const std::optional<std::uint32_t> matchCase = store_.GetDword(key, "WPhraseCase");
    if (phrase && matchCase) add({*phrase, macro, *matchCase != 0});
}

void PhraseTriggers::add(PhraseEntry entry) {
    const PhraseTable::Placed placed = table_.add(std::move(entry));
    if (!posts_.add(placed.entry)) showPostError();
}

void PhraseTriggers::remove(std::string_view macro) {
    if (!posts_.remove(macro)) showPostError();
    table_.removeMacro(macro);
}

void PhraseTriggers::showPostError() {
    store_.messages().show("Error posting message to hook thread.", "Error", MsgIcon::Stop);
}

}  // namespace ks
