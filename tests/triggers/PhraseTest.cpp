#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UsKeymap.h"
#include "core/Utf8.h"
#include "triggers/PhraseTable.h"
#include "triggers/PhraseWatch.h"

namespace ks::test {
namespace {

using Entries = std::vector<PhraseEntry>;

// Each row adds its entries in order (an entry with an empty phrase removes
// its macro instead) and then reads the table.
TEST(PhraseTableTest, AddReplacesTheFirstEntryItStandsForAndRemoveTakesTheFirstOfTheMacro) {
    struct Row {
        const char* what;
        Entries steps;
        Entries table;
    };
    const Row rows[] = {
        {"distinct phrases append",
         {{"btw", "A"}, {"teh", "B", true}},
         {{"btw", "A"}, {"teh", "B", true}}},
        {"ignoring case replaces the first equal ignoring case, in place",
         {{"btw", "A"}, {"x", "X"}, {"BTW", "A2"}, {"Btw", "A3"}},
         {{"Btw", "A3"}, {"x", "X"}}},
        {"with case replaces an entry that ignores case",
         {{"teh", "A"}, {"TEH", "B", true}},
         {{"TEH", "B", true}}},
        {"with case keeps an entry with case spelt otherwise",
         {{"teh", "A", true}, {"TEH", "B", true}, {"teh", "C", true}},
         {{"teh", "C", true}, {"TEH", "B", true}}},
        {"ignoring case replaces an entry with case",
         {{"Teh", "A", true}, {"TEH", "B", true}, {"teh", "C"}},
         {{"teh", "C"}, {"TEH", "B", true}}},
        {"remove takes the macro's first entry, names ignoring case",
         {{"a", "M"}, {"b", "m"}, {"c", "N"}, {"", "m"}},
         {{"b", "m"}, {"c", "N"}}},
        {"non-ASCII phrases compare by character case",
         {{"ÉTÉ", "A"}, {"été", "B"}},
         {{"été", "B"}}},
    };
    for (const Row& row : rows) {
        PhraseTable table;
        for (const PhraseEntry& step : row.steps) {
            if (step.phrase.empty()) {
                table.removeMacro(step.macro);
            } else {
                table.add(step);
            }
        }
        EXPECT_EQ(table.entries(), row.table) << row.what;
    }
}

TEST(PhraseTableTest, OwnerAndDisplayText) {
    PhraseTable table;
    table.add({"btw", "Way"});
    table.add({"Teh", "Fix", true});
    // phrase, with case, skipping, owner
    const std::tuple<const char*, bool, const char*, const char*> owners[] = {
        {"BTW", false, "", "Way"}, {"BTW", true, "", "Way"},  {"btw", false, "WAY", ""},
        {"teh", true, "", ""},     {"teh", false, "", "Fix"}, {"Teh", true, "", "Fix"},
        {"nope", false, "", ""},
    };
    for (const auto& [phrase, matchCase, skip, owner] : owners) {
        EXPECT_EQ(table.ownerOf(phrase, matchCase, skip), owner) << phrase << matchCase << skip;
    }
    EXPECT_EQ(table.phraseOf("fix") + "|" + table.phraseOf("other"), "Teh|");
    EXPECT_FALSE(table.removeMacro("other"));
}

// The test layout: the US keys, a key typing "é"/"É", "@" behind AltGr on Q
// as on a German keyboard, and a pad key typing "1" with Num Lock on.
constexpr std::uint8_t kAcuteScan = 200;
constexpr std::uint8_t kPadScan = 79;
constexpr std::uint8_t kPlusPadScan = 78;

KeyLayout testLayout() {
    KeyLayout layout = usKeyLayout();
    layout.charsOfScan[kAcuteScan].levels = {U'é', U'É'};
    layout.charsOfScan[layout.scanOfVk['Q']].levels[kAltGrLevel] = U'@';
    layout.charsOfScan[kPadScan] = {{0, U'1'}, true};
    layout.charsOfScan[kPlusPadScan] = {{U'+'}, true};
    return layout;
}

// The key that types `ch` on the test layout, pressed in the state that types it.
WatchedKey keyFor(const KeyLayout& layout, char32_t ch, bool capsLock) {
    if (ch == U'é') return {kAcuteScan, true, false, {false, capsLock}};
    if (ch == U'\n') return {layout.scanOfVk[13], true, false, {false, capsLock}};
    const std::uint16_t key = layout.keyOfChar.at(ch);
    const bool shift = ((key >> 8) & kNeedsShift) != 0;
    const bool letter = ch >= U'A' && ch <= U'z' && std::isalpha(static_cast<int>(ch));
    return {
        layout.scanOfVk[key & 0xFF], true, false, {letter && capsLock ? !shift : shift, capsLock}};
}

struct Typing {
    std::string fired;  // the macros fired, in order, joined by ","
    std::u32string buffer;
};

Typing typeInto(PhraseWatch& watch, std::string_view text, bool capsLock = false) {
    const KeyLayout layout = testLayout();
    Typing out;
    for (const char32_t ch : utf8::codePoints(text)) {
        if (const std::string* macro = watch.onKey(keyFor(layout, ch, capsLock), layout, 0)) {
            out.fired += (out.fired.empty() ? "" : ",") + *macro;
        }
    }
    out.buffer = watch.matcher().buffer().text();
    return out;
}

TEST(PhraseMatchTest, TheFirstEntryInTableOrderWhosePhraseEndsTheBufferFires) {
    struct Row {
        const char* what;
        Entries phrases;
        const char* typed;  // "\n" Enter, "\b" Backspace, "\x1b" Escape
        const char* fired;
        bool capsLock = false;
    };
    const Row rows[] = {
        {"case ignored", {{"teh", "A"}}, "TEH teh Teh", "A,A,A"},
        {"case kept", {{"teh", "A", true}}, "TEH teh Teh", "A"},
        {"with Caps Lock on", {{"Teh", "A", true}}, "tEH Teh", "A", true},
        {"a phrase fires at every character that ends it", {{"aa", "A"}}, "aaa", "A,A"},
        {"Backspace drops a character", {{"ac", "A"}}, "ab\bc", "A"},
        {"Backspace on nothing", {{"c", "A"}}, "\b\bc", "A"},
        {"Enter resets matching", {{"teh", "A"}}, "te\nh", ""},
        {"Escape is no character", {{"teh", "A"}}, "te\x1bh", "A"},
        {"Shift+1 is !", {{"hi!", "A"}}, "hi1 hi!", "A"},
        {"the earlier of two matching entries fires", {{"w", "W"}, {"btw", "B"}}, "btw", "W"},
        {"...whichever is longer", {{"btw", "B"}, {"w", "W"}}, "btw", "B"},
        {"an entry with case that does not match lets a later one fire",
         {{"Teh", "A", true}, {"eh", "B"}},
         "teh Teh",
         "B,A"},
        {"two spellings with case", {{"teh", "A", true}, {"TEH", "B", true}}, "TEH teh", "B,A"},
        {"the later of two macros with one phrase fires", {{"btw", "A"}, {"BTW", "B"}}, "btw", "B"},
        {"characters, not bytes", {{"café!", "A"}, {"ÉTÉ", "B"}}, "cafe! café! été", "A,B"},
        {"phrases nested in others",
         {{"abcd", "A"}, {"bcd", "B"}, {"zbcd", "Z"}},
         "abcd bcd zbcd",
         "A,B,B"},
    };
    for (const Row& row : rows) {
        PhraseWatch watch;
        for (const PhraseEntry& entry : row.phrases) watch.matcher().add(entry);
        EXPECT_EQ(typeInto(watch, row.typed, row.capsLock).fired, row.fired) << row.what;
    }
}

TEST(PhraseMatchTest, BufferKeepsItsLastHundredCharactersWhenFullAndMatchesAcrossTheCut) {
    PhraseWatch watch;
    watch.matcher().add({"ab", "A"});
    const Typing typed = typeInto(watch, std::string(999, 'x') + "ab");
    EXPECT_EQ(typed.fired, "A");
    EXPECT_EQ(typed.buffer, std::u32string(99, U'x') + U"ab");
    EXPECT_EQ(typeInto(watch, "\n").buffer, U"");
}

TEST(PhraseMatchTest, RemovedAndReplacedEntriesStopFiring) {
    PhraseWatch watch;
    PhraseMatcher& matcher = watch.matcher();
    for (const char* phrase : {"abc", "bc", "xbc", "c"}) matcher.add({phrase, phrase});
    matcher.removeMacro("c");
    matcher.removeMacro("XBC");
    matcher.add({"BC", "other"});
    EXPECT_EQ(typeInto(watch, " c xbc abc").fired, "other,abc");
    matcher.removeMacro("abc");
    matcher.removeMacro("other");
    matcher.add({"", "empty"});
    EXPECT_EQ(typeInto(watch, " c xbc abc").fired, "");
    matcher.add({"abc", "again"});
    EXPECT_EQ(typeInto(watch, " abc").fired, "again");
}

TEST(PhraseMatchTest, TypedCharacterComesFromTheKeysLevels) {
    const KeyLayout layout = testLayout();
    const std::uint8_t q = layout.scanOfVk['Q'], one = layout.scanOfVk['1'];
    // scan, shift, caps, altGr, num lock, character
    const std::tuple<std::uint8_t, bool, bool, bool, bool, char32_t> cases[] = {
        {q, false, false, false, false, U'q'},
        {q, true, false, false, false, U'Q'},
        {q, false, true, false, false, U'Q'},
        {q, true, true, false, false, U'q'},
        {q, false, false, true, false, U'@'},
        {q, true, false, true, false, U'Q'},
        {one, true, false, false, false, U'!'},
        {one, false, true, false, false, U'1'},
        {one, false, false, true, false, U'1'},
        {kAcuteScan, true, false, false, false, U'É'},
        {kPadScan, false, false, false, false, 0},
        {kPadScan, false, false, false, true, U'1'},
        {kPlusPadScan, false, false, false, false, U'+'},
        {static_cast<std::uint8_t>(65 - 8), false, false, false, false, U' '},
        {static_cast<std::uint8_t>(23 - 8), false, false, false, false, U'\t'},
        {static_cast<std::uint8_t>(9 - 8), false, false, false, false, 0},
        {static_cast<std::uint8_t>(50 - 8), true, false, false, false, 0},
    };
    for (const auto& [scan, shift, caps, altGr, numLock, ch] : cases) {
        EXPECT_EQ(typedCharacter(layout, scan, {shift, caps, altGr, numLock}), ch)
            << int(scan) << shift << caps << altGr << numLock;
    }
}

// The program's own keys are announced before they come; another program's
// synthesised keys and a keyboard's count.
TEST(PhraseMatchTest, AnnouncedSynthesisedKeysStayOutOfTheBuffer) {
    const KeyLayout layout = testLayout();
    const std::uint8_t a = layout.scanOfVk['A'], b = layout.scanOfVk['B'];
    using Event = std::tuple<std::uint8_t, bool, bool, std::int64_t>;  // scan, down, synthetic, ms
    struct Row {
        const char* what;
        std::vector<Event> announced;  // synthetic unused
        std::vector<Event> seen;
        std::u32string buffer;
    };
    const Row rows[] = {
        {"own keys",
         {{a, true, 1, 0}, {a, false, 1, 0}, {b, true, 1, 0}},
         {{a, true, 1, 1}, {a, false, 1, 1}, {b, true, 1, 1}},
         U""},
        {"another program's key between",
         {{a, true, 1, 0}, {a, true, 1, 0}},
         {{a, true, 1, 1}, {b, true, 1, 1}, {a, true, 1, 1}},
         U"b"},
        {"a keyboard's key", {{a, true, 1, 0}}, {{a, true, 0, 1}, {a, true, 1, 1}}, U"a"},
        {"a release the server dropped",
         {{b, false, 1, 0}, {a, true, 1, 0}},
         {{a, true, 1, 1}},
         U""},
        {"a press is never passed over",
         {{b, true, 1, 0}, {a, true, 1, 0}},
         {{a, true, 1, 1}, {b, true, 1, 1}},
         U"a"},
        {"announcements time out", {{b, true, 1, 0}, {a, true, 1, 100}}, {{a, true, 1, 2050}}, U""},
        {"...also the one due", {{a, true, 1, 0}}, {{a, true, 1, 2001}}, U"a"},
    };
    for (const Row& row : rows) {
        PhraseWatch watch;
        for (const auto& [scan, down, synthetic, at] : row.announced) {
            watch.expectOwnKey(scan, down, at);
        }
        for (const auto& [scan, down, synthetic, at] : row.seen) {
            watch.onKey({scan, down, synthetic, {}}, layout, at);
        }
        EXPECT_EQ(watch.matcher().buffer().text(), row.buffer) << row.what;
    }
}

}  // namespace
}  // namespace ks::test
