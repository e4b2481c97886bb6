#pragma once

#include <cstdint>
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
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;
    std::vector<XmlElement> children;

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
inline constexpr int kXmlMaxDepth = 256;

// A document read from, or written as, XML 1.0. Reading honours the declared
// encoding and refuses a document type declaration outright, so no entity
// is ever defined, expanded or fetched. Writing declares ISO-8859-1 and
// writes every character outside it as a character reference.
class XmlDocument {
public:
    explicit XmlDocument(XmlElement root) : root_(std::move(root)) {}

    static std::optional<XmlDocument> parse(std::string_view bytes, XmlError& error);
    // Reads and parses a file; a file that cannot be read is an error with code 0.
    static std::optional<XmlDocument> load(const std::string& path, XmlError& error);

    const XmlElement& root() const { return root_; }
    XmlElement& root() { return root_; }

    // The whole document in ISO-8859-1, with its declaration; fails only for
    // a name with a character beyond ISO-8859-1.
    Expected<std::string> serialize() const;
    // Writes the document to `path` through a temporary file, so a failed
    // write leaves what was there.
    Result save(const std::string& path) const;

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
