#include <gtest/gtest.h>

#include <fstream>

#include "ListImportSite.h"
#include "MapTriggerOwners.h"
#include "StoreFixture.h"
#include "interchange/Interchange.h"

namespace ks::test {
namespace {

using Texts = std::vector<std::string>;

// 801 events of 20 bytes give pieces of 16000 and 20 bytes.
std::string pieceText(std::size_t bytes, int seed) {
    std::string text;
    char hex[4];
    for (std::size_t i = 0; i < bytes; ++i) {
        std::snprintf(hex, sizeof hex, "%02x ", static_cast<unsigned>((i * 7 + seed) & 0xFF));
        text += hex;
    }
    return text;
}

// A document as a person would write it from the element tables: names in
// any case, nested parts, a schedule with numbers and texts, pieces above 10.
std::string handWritten() {
    std::string recording = "<recording name='Rec'><count>12</count><Type>2</Type>";
    for (int piece = 0; piece < 12; ++piece)
        recording += "<INS" + std::to_string(piece) + ">" +
                     pieceText(piece == 11 ? 20 : 16000, piece) + "</INS" + std::to_string(piece) +
                     ">";
    recording += "</recording>";
    return R"(<?xml version="1.0" encoding="ISO-8859-1"?>
<keystrider ID="1003"><macros>
  <macro Name="Backup"><wphrase>bk</wphrase><WPhraseCase>1</WPhraseCase>
    <fsModifiers>2</fsModifiers><vk>120</vk><repeat>3</repeat><MsgID>10001</MsgID><id>99</id>
    <Commands>
      <INS0><id>4096</id><DelayInterval>1500</DelayInterval><Bogus>x</Bogus></INS0>
      <ins1><ID>65</ID><keypressed>1</keypressed></ins1>
      <INS2><id>4104</id><UseGMT>0</UseGMT><INS0><Format>1</Format><Include>1</Include>
        <Order>0</Order><Append>/</Append><Prepend></Prepend></INS0>
        <INS1><Format>4294967295</Format><Include>0</Include><Order>-1</Order></INS1></INS2>
      <INS3><id>4099</id><BufName>b&#233;</BufName></INS3>
    </Commands>
    <schedule><INS0><Period>2</Period><Hour>7</Hour><Minute>30</Minute><DayOfWeek>Monday</DayOfWeek></INS0></schedule>
  </macro>
</macros><RECORDINGS>)" +
           recording + "</RECORDINGS></keystrider>";
}

class InterchangeTest : public StoreFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(store->EnsureRootKeys());
        site.chooseAll = true;
    }

    XmlDocument parse(const std::string& text) {
        XmlError error;
        auto document = XmlDocument::parse(text, error);
        EXPECT_TRUE(document) << error.reason;
        return document ? *document : XmlDocument(XmlElement{});
    }
    void importDocument(const XmlDocument& document, ImportMode mode = ImportMode::Silent) {
        ASSERT_EQ(importMacros(*store, site, triggers, document, mode), ImportOutcome::Done);
        ASSERT_EQ(importRecordings(*store, site, document, mode), ImportOutcome::Done);
    }
    bool exportTo(ExportKind kind, const Texts& names, const std::string& name) {
        return ExportItems(services, kind, names, ExportTarget::file(dir.file(name)));
    }
    // Exports every listed macro and recording to a new file and gives its bytes.
    std::string exportAll(const std::string& name) {
        EXPECT_TRUE(exportTo(ExportKind::Macros, site.macros, name));
        messages.answers.push_back(MsgAnswer::No);  // append the recordings
        EXPECT_TRUE(exportTo(ExportKind::Recordings, site.recordings, name));
        std::ifstream in(dir.file(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::optional<std::string> text(const std::string& key, const char* name) {
        return store->GetText("SOFTWARE\\Quorvel\\Keystrider\\" + key, name);
    }
    std::optional<std::uint32_t> number(const std::string& key, const char* name) {
        return store->GetDword("SOFTWARE\\Quorvel\\Keystrider\\" + key, name);
    }

    ListImportSite site;
    MapTriggerOwners triggers;  // what an import enters in them is checked on the main window
    ExportServices services{*store, messages, {}, {}};
};

TEST_F(InterchangeTest, HandWrittenDocumentImportsAsTheTablesSayAndRoundTripsByteForByte) {
    importDocument(parse(handWritten()));
    EXPECT_EQ(text("Macros\\Backup", "WPhrase"), "bk");
    EXPECT_EQ(number("Macros\\Backup", "id"), 1u);  // the next registration number, not 99
    EXPECT_EQ(text("Macros\\Backup\\Commands\\0", "DelayInterval"), "1500");
    EXPECT_EQ(text("Macros\\Backup\\Commands\\0", "Bogus"), std::nullopt);
    EXPECT_EQ(number("Macros\\Backup\\Commands\\1", "KeyPressed"), 1u);
    EXPECT_EQ(number("Macros\\Backup\\Commands\\2\\1", "Order"), 0xFFFFFFFFu);
    EXPECT_EQ(number("Macros\\Backup\\Commands\\2\\1", "Format"), 0xFFFFFFFFu);
    EXPECT_EQ(text("Macros\\Backup\\Commands\\2\\0", "Append"), "/");
    EXPECT_EQ(text("Macros\\Backup\\Commands\\3", "BufName"), "b\xC3\xA9");
    EXPECT_EQ(text("Macros\\Backup\\Schedule\\0", "Hour"), "7");
    EXPECT_EQ(number("Journals\\Rec", "Count"), 12u);
    const std::string rec = "SOFTWARE\\Quorvel\\Keystrider\\Journals\\Rec";
    EXPECT_EQ(store->GetBinary(rec, "10").value().at(1), (7 + 10) & 0xFF);  // pieces above 10
    EXPECT_EQ(store->GetBinary(rec, "11").value().size(), 20u);
    EXPECT_TRUE(messages.shown.empty()) << messages.texts().front();

    // Exported, imported from that file and exported again: the same bytes.
    const std::string first = exportAll("first.xml");

    ASSERT_TRUE(store->DeleteKeyTree("Software\\Quorvel\\Keystrider\\Macros\\Backup"));
    ASSERT_TRUE(store->DeleteKeyTree("Software\\Quorvel\\Keystrider\\Journals\\Rec"));
    site.macros = site.recordings = {};
    triggers.counter = 0;
    const auto loaded = loadDocument(dir.file("first.xml"), messages);  // pieces read as bytes
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->root().firstBelow("INS11")->textForm, XmlElement::TextForm::Decoded);
    importDocument(*loaded);
    EXPECT_EQ(exportAll("second.xml"), first);
    for (const char* part : {"<INS11>", "<DayOfWeek>Monday</DayOfWeek>", "<Format>-1</Format>"})
        EXPECT_NE(first.find(part), std::string::npos) << part;
}

// A name is free when neither a row nor a key of the store has it in any
// case; each item takes the smallest free suffix, with the list read once
// however many items clash. An item without a name is called "Y".
TEST_F(InterchangeTest, ManyItemsOfOneNameTakeSuffixesInOrder) {
    site.macros = {"M", "m", "m2"};
    ASSERT_TRUE(store->CreateMacroKey("M4"));
    std::string document = "<K><MACROS>";
    for (const char* name : {"m", "m", "m", "m1", "M", "x", "X"})
        document += "<MACRO Name='" + std::string(name) + "'/>";
    importDocument(parse(document + "</MACROS><RECORDINGS><RECORDING Name=''/><RECORDING "
                                    "Name='y'/></RECORDINGS></K>"));
    EXPECT_EQ(site.recordings, (Texts{"Y", "y1"}));
    EXPECT_EQ(site.macros, (Texts{"M", "m", "m2", "m1", "m3", "m5", "m11", "M6", "x", "X1"}));
    EXPECT_EQ(site.rowReads, 1);
}

// A name, unlike a text, cannot carry a control character in any form: the
// export leaves that item out and says so. A hot key or message id of 0 is none.
TEST_F(InterchangeTest, ExportLeavesOutANameWithAControlCharacterAndTriggersOfZero) {
    load("[Macros\\a]\n\"vk\"=dword:0\n\"fsModifiers\"=dword:0\n\"MsgID\"=dword:0\n");
    ASSERT_TRUE(store->CreateMacroKey("b\x01"));
    ASSERT_TRUE(exportTo(ExportKind::Macros, {"b\x01", "a"}, "out.xml"));
    EXPECT_EQ(messages.texts(),
              Texts{"The macro name: \"b\x01\" holds a control character, which an XML document "
                    "cannot hold.\n\nThe macro is not exported."});
    const auto document = loadDocument(dir.file("out.xml"), messages);
    ASSERT_TRUE(document);
    ASSERT_EQ(document->root().firstBelow("MACROS")->children.size(), 1u);
    EXPECT_TRUE(document->root().firstBelow("MACRO")->children.empty());
}

// Every warning an import gives, each with what it leaves out or mends;
// only an interactive import shows them.
TEST_F(InterchangeTest, InteractiveImportsWarnOfEveryChangeAndSilentOnesOfNone) {
    // The elements of the macro and the warnings; the row without any finds both names taken.
    const std::pair<std::string, Texts> cases[] = {
        {"<vk>65</vk><fsModifiers>1</fsModifiers><MsgID>12345</MsgID><WPhrase>bk</WPhrase>"
         "<WPhraseCase>1</WPhraseCase>",
         {"Hotkey already in use by macro: \"Other\"\n\nHotkey will not be saved with macro: "
          "\"New\"",
          "XML Message ID already in use by macro: \"Other\"\n\nXML Message ID will not be saved "
          "with macro: \"New\"",
          "Word or Phrase trigger already in use by macro: \"Other\"\n\nWord or Phrase will not "
          "be saved with macro: \"New\""}},
        {"<repeat>0</repeat><MsgID>5</MsgID>",
         {"Execute: value must be between 1 and 100000!\n\nExecute: value for macro: \"New\" is "
          "being set to 1.",
          "XML Message ID must be greater than or equeal to 10000!  Lower IDs are reserved.\n\n"
          "XML Message ID will not be saved with macro: \"New\""}},
        {"<vk>0</vk><fsModifiers>0</fsModifiers><MsgID>0</MsgID>", {}},
        {"",
         {"The macro name: \"New\" is already in use.\n\nIt will be changed to: \"New1\"",
          "The recording name: \"New\" is already in use.\n\nIt will be changed to: \"New1\""}},
    };
    for (const ImportMode mode : {ImportMode::Interactive, ImportMode::Silent}) {
        for (const auto& [elements, warnings] : cases) {
            SCOPED_TRACE(elements);
            triggers.held = {{"65+1", "Other"}, {"#12345", "Other"}, {"bk", "Other"}};
            site.macros = site.recordings = elements.empty() ? Texts{"New"} : Texts{};
            messages.clear();
            importDocument(parse("<K><MACROS><MACRO Name='New'>" + elements +
                                 "<COMMANDS><INS0><id>65</id></INS0></COMMANDS></MACRO></MACROS>"
                                 "<RECORDINGS><RECORDING Name='New'/></RECORDINGS></K>"),
                           mode);
            const std::string key = "Macros\\" + site.macros.back();
            std::string stored;  // every trigger value left out, the count mended
            for (const char* value : {"vk", "fsModifiers", "MsgID", "WPhraseCase", "repeat"})
                if (auto n = number(key, value)) stored += value + ("=" + std::to_string(*n));
            EXPECT_EQ(stored + text(key, "WPhrase").value_or(""), "repeat=1");
            EXPECT_EQ(number(key + "\\Commands\\0", "id"), 65u);
            EXPECT_EQ(messages.texts(), mode == ImportMode::Interactive ? warnings : Texts{});
            for (const std::string& path : {key, "Journals\\" + site.recordings.back()})
                ASSERT_TRUE(store->DeleteKeyTree("Software\\Quorvel\\Keystrider\\" + path));
        }
    }
}

// A name breaking the name rule leaves its item out: a warning when
// interactive, an error when silent.
TEST_F(InterchangeTest, NamesBreakingTheRuleAreLeftOutAndSaidSo) {
    const auto document = parse("<K><MACROS><MACRO Name='a\\b'/><MACRO Name='ok'/></MACROS></K>");
    for (const MsgIcon icon : {MsgIcon::Exclamation, MsgIcon::Stop}) {
        messages.clear();
        importMacros(*store, site, triggers, document,
                     icon == MsgIcon::Stop ? ImportMode::Silent : ImportMode::Interactive);
        ASSERT_EQ(messages.texts(), Texts{"The macro name: \"a\\b\" contains a backslash (\\).\n\n"
                                          "The macro will not be imported."});
        EXPECT_EQ(messages.shown[0].icon, icon);
    }
    EXPECT_EQ(site.macros, (Texts{"ok", "ok1"}));
}

TEST_F(InterchangeTest, CancelKeepsWholeItems) {
    const auto two = parse("<K><MACROS><MACRO Name='a'/><MACRO Name='b'/></MACROS></K>");
    site.cancelAt = 1;
    EXPECT_EQ(importMacros(*store, site, triggers, two, ImportMode::Silent),
              ImportOutcome::Cancelled);
    EXPECT_EQ(site.macros, Texts{"a"});
    site.chooseAll = false;
    EXPECT_EQ(importMacros(*store, site, triggers, two, ImportMode::Interactive),
              ImportOutcome::Cancelled);
}

// A piece's hex text reads the same whether the document was parsed whole
// or loaded from a file with its pieces decoded as they came; a recording
// with a bad piece leaves nothing behind.
TEST_F(InterchangeTest, PieceTextsReadAsBytesOrRefuseTheirRecording) {
    const std::pair<std::string, std::optional<Bytes>> cases[] = {
        {" \n 0a-1B\tff+ \n", Bytes{0x0a, 0x1b, 0xff}},     // whatever stands between the pairs
        {"0a <![CDATA[1b ]]>2c", Bytes{0x0a, 0x1b, 0x2c}},  // text given in pieces
        {"", Bytes{}},
        {"0a 1", std::nullopt},
        {"0a  1b", std::nullopt},
        {"0g ", std::nullopt},
        {pieceText(16001, 0), std::nullopt},
    };
    const std::string path = dir.file("piece.xml");
    const std::string recording = "SOFTWARE\\Quorvel\\Keystrider\\Journals\\r";
    for (const auto& [piece, bytes] : cases) {
        const std::string text = "<K><RECORDINGS><RECORDING Name='r'><INS0>" + piece +
                                 "</INS0></RECORDING></RECORDINGS></K>";
        std::ofstream(path, std::ios::binary) << text;
        const auto loaded = loadDocument(path, messages);
        ASSERT_TRUE(loaded);
        for (const XmlDocument& document : {parse(text), *loaded}) {
            SCOPED_TRACE(piece.substr(0, 40));
            messages.clear();
            site.recordings.clear();
            EXPECT_EQ(importRecordings(*store, site, document, ImportMode::Silent),
                      bytes ? ImportOutcome::Done : ImportOutcome::Failed);
            EXPECT_EQ(store->GetBinary(recording, "0"), bytes);
            EXPECT_EQ(tree->keyExists(recording), bytes.has_value());
            EXPECT_EQ(messages.texts(),
                      bytes ? Texts{} : Texts{"Error getting value of current tag."});
            store->DeleteKeyTree(recording);
        }
    }
}

// Appending (answering No) is the round trip's, whose file holds both kinds.
TEST_F(InterchangeTest, ExportToAnExistingFileOverwritesOrAppends) {
    load("[Macros\\a]\n[Journals\\r]\n\"Count\"=dword:0");
    const auto holds = [&](const char* element) {
        const auto document = loadDocument(dir.file("out.xml"), messages);
        return document && document->root().firstBelow(element) != nullptr;
    };
    ASSERT_TRUE(exportTo(ExportKind::Recordings, {"r"}, "out.xml"));
    messages.answers = {MsgAnswer::Yes};
    ASSERT_TRUE(exportTo(ExportKind::Macros, {"a"}, "out.xml"));
    EXPECT_FALSE(holds("RECORDING"));
    services.progress = [](std::size_t, std::size_t) { return false; };
    messages.answers = {MsgAnswer::No};
    EXPECT_FALSE(exportTo(ExportKind::Recordings, {"r"}, "out.xml"));
    EXPECT_TRUE(holds("MACRO") && !holds("RECORDING"));   // as it was
    EXPECT_EQ(messages.shown.back().title, "Attention");  // the question, no failure after it
    EXPECT_FALSE(loadDocument(dir.file("missing.xml"), messages));
    EXPECT_EQ(messages.texts().back(), "File not found.");
}

// A peer's reply other than 1004 shows its text; what is posted is the
// end-to-end pushes' (the pushed macro arriving in the peer's store).
TEST_F(InterchangeTest, PushToAPeerNeedsItsAcceptance) {
    importDocument(parse("<K><MACROS><MACRO Name='a'/></MACROS><RECORDINGS/></K>"));
    std::string reply = "<KEYSTRIDER ID=\"1004\"/>";
    services.sendToPeer = [&](const std::string&, const std::string&, const std::string&) {
        return std::optional(reply);
    };
    EXPECT_TRUE(ExportItems(services, ExportKind::Macros, {"a"}, ExportTarget::peer("h", "1")));
    reply = "<KEYSTRIDER ID=\"103\"><Desc>Invalid ID.</Desc></KEYSTRIDER>";
    EXPECT_FALSE(ExportItems(services, ExportKind::Macros, {"a"}, ExportTarget::peer("h", "1")));
    EXPECT_EQ(messages.texts(), Texts{"Invalid ID."});
}

}  // namespace
}  // namespace ks::test
