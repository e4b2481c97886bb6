#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "triggers/PhraseTable.h"

namespace ks {

class SettingsStore;

// The macros' typed phrases as the GUI thread keeps them: its own table for
// the macro editor's checks and the trigger column, with every change also
// posted to the keyboard-watch thread, which keeps the table it matches.
class PhraseTriggers {
public:
    // Post a copy of an entry, or of a macro name, to the watch thread;
    // false when the post failed.
    struct Posts {
        std::function<bool(const PhraseEntry& entry)> add;
        std::function<bool(std::string_view macro)> remove;
    };

    PhraseTriggers(SettingsStore& store, Posts posts);

    // At start: registers the macro's phrase when its key holds both
    // `WPhrase` and `WPhraseCase`.
    void load(const std::string& macro);
    void add(PhraseEntry entry);
    void remove(std::string_view macro);

    // The macro whose phrase (phrase, matchCase) would replace; empty when none.
    std::string ownerOf(std::string_view phrase, bool matchCase) const {
        return table_.ownerOf(phrase, matchCase);
    }
    // The trigger column's text in phrase mode.
    std::string displayText(std::string_view macro) const { return table_.phraseOf(macro); }

private:
    void showPostError();

    SettingsStore& store_;
    Posts posts_;
    PhraseTable table_;
};

}  // namespace ks
