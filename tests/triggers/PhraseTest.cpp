#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "UsKeymap.h"
#include "core/Utf8.h"
#include "triggers/PhraseTable.h"
#include "triggers/PhraseWatch.h"

namespace ks::test {
namespace {

// Table steps and entries as words: "phrase>Macro" adds (a phrase ending in
// "^" has the case flag), "-Macro" removes; a PhraseTable's entries read back the same way.
template <typename Table>  // PhraseTable or PhraseMatcher
std::string applied(Table& table, const std::string& steps) {
    std::istringstream words(steps);
    for (std::string word; words >> word;) {
        if (word[0] == '-') {
            table.removeMacro(word.substr(1));
            continue;
        }
        const auto split = word.find('>');
        std::string phrase = word.substr(0, split);
        const bool matchCase = phrase.ends_with('^');
        if (matchCase) phrase.pop_back();
        table.add({phrase, word.substr(split + 1), matchCase});
    }
    std::vector<PhraseEntry> entries;
    if constexpr (std::is_same_v<Table, PhraseTable>) entries = table.entries();
    std::string out;
    for (const PhraseEntry& e : entries)
        out += (out.empty() ? "" : " ") + e.phrase + (e.matchCase ? "^>" : ">") + e.macro;
    return out;
}

TEST(PhraseTableTest, AddReplacesTheFirstEntryItStandsForInPlaceAndRemoveTakesTheMacrosFirst) {
    const std::pair<const char*, const char*> rows[] = {
        {"btw>A x>X BTW>A2 Btw>A3", "Btw>A3 x>X"},  // ignoring case: the first equal
        {"teh>A TEH^>B", "TEH^>B"},                 // with case: one ignoring case
        {"teh^>A TEH^>B teh^>C", "teh^>C TEH^>B"},  // ...or the very same phrase
        {"Teh^>A TEH^>B teh>C", "teh>C TEH^>B"},    // ignoring case: one with case
        {"a>M b>m c>N -m", "b>m c>N"},              // names ignore case
        {"ÉTÉ>A été>B", "été>B"},                   // by character case
    };
    for (const auto& [steps, entries] : rows) {
        PhraseTable table;
        EXPECT_EQ(applied(table, steps), entries) << steps;
    }
    PhraseTable table;
    applied(table, "btw>Way Teh^>Fix");
    std::string owners;  // of each phrase, with case or not
    for (const auto& [phrase, matchCase] :
         {std::pair{"BTW", false}, {"BTW", true}, {"teh", true}, {"teh", false}, {"Teh", true}})
        owners += table.ownerOf(phrase, matchCase) + "|";
    EXPECT_EQ(owners, "Way|Way||Fix|Fix|");
    EXPECT_EQ(table.phraseOf("fix") + "|" + table.phraseOf("other"), "Teh|");
}

// The US keys, one typing "é" and a dead acute (characters of real layouts:
// under Xvfb).
constexpr std::uint8_t kAcuteScan = 200, kDeadAcuteScan = 201;

KeyLayout testLayout() {
    KeyLayout layout = usKeyLayout();
    layout.charsOfScan[kAcuteScan].levels = {U'é', U'É'};
    layout.charsOfScan[kDeadAcuteScan].levels = {U'\u0301'};
    return layout;
}

// Types `text` on the test layout, each character on the key and in the
// state that types it ("\n" Enter, "\b" Backspace, "\x1b" Escape, U+0301
// the dead acute); the macros fired, joined by ",".
std::string typeInto(PhraseWatch& watch, std::string_view text, bool capsLock = false) {
    const KeyLayout layout = testLayout();
    std::string fired;
    for (const char32_t ch : utf8::codePoints(text)) {
        WatchedKey key{kAcuteScan, true, false, {false, capsLock}};
        if (ch == U'\n') key.scan = layout.scanOfVk[13];
        if (ch == U'\u0301') key.scan = kDeadAcuteScan;
        if (ch != U'é' && ch != U'\n' && ch != U'\u0301') {
            const std::uint16_t found = layout.keyOfChar.at(ch);
            const bool letter = std::isalpha(static_cast<int>(ch));
            key.scan = layout.scanOfVk[found & 0xFF];
            key.modifiers.shift = (((found >> 8) & kNeedsShift) != 0) != (letter && capsLock);
        }
        if (const std::string* macro = watch.onKey(key, layout, 0))
            fired += (fired.empty() ? "" : ",") + *macro;
    }
    return fired;
}

TEST(PhraseMatchTest, TheFirstEntryInTableOrderWhosePhraseEndsTheBufferFires) {
    // phrases (as above), typed, fired, Caps Lock
    const std::tuple<const char*, const char*, const char*, bool> rows[] = {
        {"teh>A", "TEH teh Teh", "A,A,A", false},
        {"teh^>A", "TEH teh Teh", "A", false},
        {"Teh^>A", "tEH Teh", "A", true},
        {"aa>A", "aaa", "A,A", false},  // at every character that ends it
        {"ac>A", "\bab\bc", "A", false},
        {"teh>A", "te\nh", "", false},
        {"teh>A", "te\x1bh", "A", false},
        {"hi!>A", "hi1 hi!", "A", false},
        {"w>W btw>B", "btw", "W", false},  // the earlier entry, shorter
        {"btw>B w>W", "btw", "B", false},  // ...or longer
        {"teh^>A TEH^>B", "TEH teh", "B,A", false},
        {"btw>A BTW>B", "btw", "B", false},
        {"café!>A ÉTÉ>B", "cafe! café! été", "A,B", false},  // characters, not bytes
        {"café>A bq>B cafe>C", "caf\u0301e \u0301bq caf\u0301\033e", "A,B,C", false},  // dead
        {"abc>abc bc>bc xbc>xbc c>c -c -XBC BC>other", " c xbc abc", "other,abc", false},
        {"abc>abc -abc >empty abc>again", " c abc", "again", false},
    };
    for (const auto& [phrases, typed, fired, capsLock] : rows) {
        PhraseWatch watch;
        applied(watch.matcher(), phrases);
        EXPECT_EQ(typeInto(watch, typed, capsLock), fired) << phrases << " / " << typed;
    }
    PhraseWatch watch;
    applied(watch.matcher(), "ab>A");
    EXPECT_EQ(typeInto(watch, std::string(999, 'x') + "ab"), "A");
    EXPECT_EQ(watch.matcher().buffer().text(), std::u32string(99, U'x') + U"ab");
}

// Announced keys (lower case: a press, upper case: a release; "@ms" when
// announced or seen) and the keys seen (synthesised unless marked "k").
TEST(PhraseMatchTest, AnnouncedSynthesisedKeysStayOutOfTheBuffer) {
    const KeyLayout layout = testLayout();
    const auto each = [&](const std::string& events, auto&& use) {
        std::istringstream words(events);
        for (std::string word; words >> word;) {
            const auto at = word.find('@');
            const char letter = word[0];
            use(layout.scanOfVk[std::toupper(letter)], std::islower(letter) != 0,
                word.find('k') == std::string::npos,
                at == std::string::npos ? 1 : std::stoll(word.substr(at + 1)));
        }
    };
    const std::tuple<const char*, const char*, const char*> rows[] = {
        {"a A b", "a A b", ""},       // own keys
        {"a a", "a b a", "b"},        // another program's key between
        {"a", "ak a", "a"},           // a keyboard's
        {"B a", "a", ""},             // a release the server dropped is passed over
        {"b a", "a b", "a"},          // a press never
        {"b@0 a@100", "a@2050", ""},  // the stale one times out, after 2 s
    };
    for (const auto& [announced, seen, buffer] : rows) {
        PhraseWatch watch;
        each(announced, [&](std::uint8_t scan, bool down, bool, std::int64_t ms) {
            watch.expectOwnKey(scan, down, ms);
        });
        each(seen, [&](std::uint8_t scan, bool down, bool synthetic, std::int64_t ms) {
            watch.onKey({scan, down, synthetic, {}}, layout, ms);
        });
        EXPECT_EQ(watch.matcher().buffer().text(), utf8::codePoints(buffer)) << announced << seen;
    }
}

}  // namespace
}  // namespace ks::test
