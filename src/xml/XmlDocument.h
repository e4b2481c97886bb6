#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Result.h"

namespace ks {

class Messages;

// One element of a document: its name, attributes in document order, its own
// character data and its child elements. Texts are UTF-8.
struct XmlElement {
    // What `text` holds: the text as read, or what a text decoder given to
    // the reader made of it (nothing when the decoder refused the text).
    enum class TextForm : std::uint8_t { Read, Decoded, Refused };

    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;
    std::vector<XmlElement> children;
    TextForm textForm = TextForm::Read;

    // The attribute's value; null when the element has none of that name.
    const std::string* attribute(std::string_view attributeName) const;
    void setAttribute(std::string attributeName, std::string value);
    // Appends a child element and returns it.
    XmlElement& append(std::string childName, std::string childText = {});
    // The element's own text and that of every element below it, in document order.
    std::string allText() const;
    // The first element named `tag` below this one, depth first; null when none.
    const XmlElement* firstBelow(std::string_view tag) const;

    bool operator==(const XmlElement&) const = default;
};

// Why a text is not a document: the reader's error code, the position
// (lines and columns from 1) and the reason in words.
struct XmlError {
    int code = 0;
    std::int64_t line = 0;
    std::int64_t column = 0;
    std::string reason;
};

inline constexpr int kXmlDoctypeRefused = 100;
inline constexpr int kXmlTooDeep = 101;
inline constexpr int kXmlTooManyAttributes = 102;
inline constexpr int kXmlTooManyElements = 103;
inline constexpr int kXmlBadCharacterMark = 104;
inline constexpr int kXmlMaxDepth = 256;
// Bounds on what one document may make the reader do, far beyond any the
// program writes (one attribute per element; 1,000 macros of 20 commands
// are some 60,000 elements, 700,000 if every command had nested parts),
// and checked before the work is done.
inline constexpr std::size_t kXmlMaxAttributes = 256;
inline constexpr std::size_t kXmlMaxElements = 1'000'000;

// A character XML 1.0 cannot hold in any form (most controls below a blank,
// U+FFFE, U+FFFF) goes into element text as the instruction
// <?keystrider-char N?>, N its code in decimal, and is read back from it.
inline constexpr std::string_view kXmlCharacterMark = "keystrider-char";
// Whether the text holds a character that only such a mark can write, and
// so cannot go into an attribute.
bool needsCharacterMark(std::string_view text);

// Decodes one element's text while the document is read, given piece by
// piece as the reader delivers it, so that a long text is never held whole.
class XmlTextDecoder {
public:
    virtual ~XmlTextDecoder() = default;
    // False once the text cannot be decoded; the rest is then not given.
    virtual bool add(std::string_view piece) = 0;
    // What the element keeps; nothing when the text cannot be decoded.
    virtual std::optional<std::string> finish() = 0;
};

// Chooses the decoder of the element just opened, the last of `open` (the
// elements open from the root down); null keeps its text as read.
using XmlDecoderChoice =
    std::function<std::unique_ptr<XmlTextDecoder>(const std::vector<XmlElement>& open)>;

// Writes a document as it goes, element by element, to a sink that takes
// the bytes in pieces, so that content can be produced while it is written
// instead of held whole. The layout and encoding are those of
// XmlDocument::serialize.
class XmlWriter {
public:
    using Sink = std::function<bool(std::string_view bytes)>;
    using Attributes = std::vector<std::pair<std::string, std::string>>;

    // Writes the declaration.
    explicit XmlWriter(Sink sink);

    // Opens an element as the next child of the open one, or as the root.
    void open(std::string_view name, const Attributes& attributes = {});
    // Adds to the open element's own text, which goes before its children;
    // the children of an element with text are not laid out.
    void text(std::string_view text);
    void close();
    // Writes a whole element as the next child of the open one.
    void element(const XmlElement& element);
    // Ends the document. Fails when a name held a character beyond
    // ISO-8859-1, an attribute one that needs a mark, or the sink refused bytes.
    Result finish();

private:
    struct Open {
        std::string name;
        bool layOut;
        bool hasText = false;
        bool hasChildren = false;
    };
    void endStartTag();
    void flushIfFull();

    Sink sink_;
    std::string buffer_;
    std::vector<Open> open_;
    bool startTagOpen_ = false;
    bool badName_ = false;
    bool badAttribute_ = false;
    bool sinkFailed_ = false;
};

// Writes more children into the element given with it, after its own;
// false gives up the whole write.
using XmlProducer = std::function<bool(XmlWriter& writer)>;

// A document read from, or written as, XML 1.0. Reading honours the declared
// encoding and refuses a document type declaration outright, so no entity
// is ever defined, expanded or fetched; it refuses an element with more
// attributes, or a document with more elements, than the bounds above,
// before reading them. Writing declares ISO-8859-1 and writes every
// character outside it as a character reference.
class XmlDocument {
public:
    explicit XmlDocument(XmlElement root) : root_(std::move(root)) {}

    // `choose` gives the elements whose text is decoded as it is read.
    static std::optional<XmlDocument> parse(std::string_view bytes, XmlError& error,
                                            const XmlDecoderChoice& choose = {});
    // Reads and parses a file as it is read; a file that cannot be read is
    // an error with code 0.
    static std::optional<XmlDocument> load(const std::string& path, XmlError& error,
                                           const XmlDecoderChoice& choose = {});

    const XmlElement& root() const { return root_; }
    XmlElement& root() { return root_; }

    // The whole document in ISO-8859-1, with its declaration; fails for a
    // name with a character beyond ISO-8859-1. `produce`, when given, writes
    // more children into `extended` (an element of this document), and can
    // give the whole write up.
    Expected<std::string> serialize(const XmlElement* extended = nullptr,
                                    const XmlProducer& produce = {}) const;
    // Writes the document to `path` as serialize() makes it, through a
    // temporary file, so a failed or given-up write leaves what was there.
    Result save(const std::string& path, const XmlElement* extended = nullptr,
                const XmlProducer& produce = {}) const;

private:
    XmlElement root_;
};

// The root element's ID attribute read as a decimal integer. Shows the
// failure ("Keystrider Error") when the root has no ID.
std::optional<std::int32_t> rootId(const XmlDocument& document, Messages& messages);
// The text of the first element named `tag` below the root, each line feed
// not already after a carriage return made a carriage return and line feed. Shows the failure when
// there is none.
std::optional<std::string> firstText(const XmlDocument& document, std::string_view tag,
                                     Messages& messages);

}  // namespace ks
