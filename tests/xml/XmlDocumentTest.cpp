#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <QStringEncoder>
#include <QXmlStreamReader>

#include "RecordingMessages.h"

namespace ks::test {
namespace {

XmlDocument parsed(std::string_view bytes) {
    XmlError error;
    auto document = XmlDocument::parse(bytes, error);
    EXPECT_TRUE(document) << error.reason;
    return document ? std::move(*document) : XmlDocument(XmlElement{});
}

// Saving to a file and loading it are the export's and import's round trip.
TEST(XmlDocument, WritesIsoLatin1WithReferencesAndReadsItBack) {
    XmlDocument document(XmlElement{"KEYSTRIDER", {}, {}, {}});
    document.root().setAttribute("ID", "1003");
    XmlElement& macro = document.root().append("MACRO");
    macro.setAttribute("Name", "say \"caf\xC3\xA9\"\n");
    macro.append("Keys", "a<b & c>\r\n\xE2\x82\xAC \xE6\x97\xA5");
    macro.append("Blank", " ");
    macro.append("Empty");
    EXPECT_EQ(*document.serialize(),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
              "<KEYSTRIDER ID=\"1003\">\n"
              "  <MACRO Name=\"say &quot;caf\xE9&quot;&#10;\">\n"
              "    <Keys>a&lt;b &amp; c&gt;&#13;\n&#8364; &#26085;</Keys>\n"
              "    <Blank> </Blank>\n"
              "    <Empty/>\n"
              "  </MACRO>\n"
              "</KEYSTRIDER>\n");
    EXPECT_EQ(parsed(*document.serialize()).root(), document.root());
    macro.append("\xE6\x97\xA5");  // a name cannot hold a reference
    EXPECT_FALSE(document.serialize());
}

// Texts with characters XML cannot hold write as marks and read back; an
// attribute cannot hold them, so a document that needs one is not written.
TEST(XmlDocument, ControlCharactersWriteAsMarksThatReadBack) {
    const std::pair<std::string, const char*> cases[] = {
        {std::string("\0\x01\t\n", 4), "<t><?keystrider-char 0?><?keystrider-char 1?>\t\n</t>"},
        {"\xEF\xBF\xBF\x7F", "<t><?keystrider-char 65535?>\x7F</t>"},
        {"\xEE\x80\x80", "<t>&#57344;</t>"},  // private use stays as it always was
    };
    for (const auto& [text, mark] : cases) {
        const XmlDocument document(XmlElement{"t", {}, text, {}});
        const auto written = document.serialize();
        ASSERT_TRUE(written) << mark;
        EXPECT_NE(written->find(mark), std::string::npos) << *written;
        EXPECT_EQ(parsed(*written).root(), document.root()) << mark;
    }
    EXPECT_FALSE(XmlDocument(XmlElement{"t", {{"Name", "a\x02"}}, {}, {}}).serialize());
}

std::string withAttributes(std::size_t count) {
    std::string element = "<a";
    for (std::size_t i = 0; i < count; ++i) element += " a" + std::to_string(i) + "=''";
    return element + "/>";
}

std::string utf16Le(std::string_view ascii) {
    std::string wide = "\xFF\xFE";
    for (const char c : ascii) wide += std::string{c, '\0'};
    return wide;
}

// A declaration the reader honours, then markup in bytes that are not ASCII's.
std::string ebcdic(const std::string& text) {
    QStringEncoder encoder("IBM037");
    const QByteArray encoded = encoder.encode(QString::fromStdString(text));
    return "<?xml version=\"1.0\" encoding=\"IBM037\"?>" + encoded.toStdString();
}

// The declared encoding is honoured; only start tags count attributes: comments, CDATA,
// instructions and values may hold '='. Nothing a peer sends may define, expand or fetch an
// entity, nest or spread without bound, or mark a character that needs no mark.
TEST(XmlDocument, ReadsEveryDeclaredEncodingUpToItsBoundsAndRefusesTheRest) {
    const std::string equals(1000, '=');
    std::string deep;
    for (int i = 0; i < 300; ++i) deep += "<e>";
    std::string wide = "<a>";
    for (std::size_t i = 0; i < kXmlMaxElements; ++i) wide += "<b/>";
    // The bytes, then the root's text, or the error code and its line.
    const std::tuple<std::string, std::string, int, std::int64_t> cases[] = {
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xE9</a>", "caf\xC3\xA9", 0, 0},
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\x80</a>", "\xE2\x82\xAC", 0, 0},
        {withAttributes(kXmlMaxAttributes), "", 0, 0},
        {"<a b='" + equals + "'><!--" + equals + "--><![CDATA[" + equals + "]]><?p " + equals +
             "?>" + equals + "</a>",
         equals + equals, 0, 0},
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE a [<!ENTITY x \"xxxxxxxx\"><!ENTITY y \"&x;&x;&x;\">]>"
         "<a>&y;</a>",
         "", kXmlDoctypeRefused, 2},
        {deep, "", kXmlTooDeep, 1},
        {"<a>\n<b></a>", "", QXmlStreamReader::NotWellFormedError, 2},
        {"", "", QXmlStreamReader::PrematureEndOfDocumentError, 1},
        {"<r>\n" + withAttributes(kXmlMaxAttributes + 1) + "</r>", "", kXmlTooManyAttributes, 2},
        {utf16Le(withAttributes(kXmlMaxAttributes + 1)), "", kXmlTooManyAttributes, 1},
        {ebcdic(withAttributes(kXmlMaxAttributes + 1)), "", kXmlTooManyAttributes, 1},
        {wide + "</a>", "", kXmlTooManyElements, 1},
        {"<a><?keystrider-char 65?></a>", "", kXmlBadCharacterMark, 1},
        {"<?keystrider-char 1?><a/>", "", kXmlBadCharacterMark, 1},
    };
    for (const auto& [bytes, text, code, line] : cases) {
        XmlError error;
        const auto document = XmlDocument::parse(bytes, error);
        EXPECT_EQ(document ? document->root().text : "", text) << bytes;
        EXPECT_EQ(std::tuple(document.has_value(), error.code, error.line, error.reason.empty()),
                  std::tuple(code == 0, code, line, code == 0))
            << bytes << ": " << error.reason;
    }
}

TEST(XmlDocument, RootIdAndFirstTextShowWhatIsMissing) {
    RecordingMessages messages;
    const XmlDocument document =
        parsed("<X ID=\"1006\">\n  <Clip>\n    <Text>one\ntwo\r\nthree</Text>\n  </Clip>\n</X>");
    EXPECT_EQ(rootId(document, messages), 1006);
    EXPECT_EQ(firstText(document, "Text", messages), "one\r\ntwo\r\nthree");
    EXPECT_FALSE(rootId(parsed("<X/>"), messages));
    EXPECT_FALSE(firstText(document, "X", messages));
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"Error getting attribute of root element in DOM Document.",
                                        "No nodes found in root element of DOM Document."}));
    EXPECT_EQ(messages.shown[0].title, "Keystrider Error");
}

}  // namespace
}  // namespace ks::test
