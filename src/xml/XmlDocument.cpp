#include "xml/XmlDocument.h"

#include <QFile>
#include <QSaveFile>
#include <QXmlStreamReader>

#include <algorithm>

#include "core/Messages.h"
#include "core/Utf8.h"

namespace ks {

namespace {

constexpr const char* kErrorTitle = "Keystrider Error";

std::string utf8Of(QStringView text) {
    return text.toString().toStdString();
}

bool isBlank(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
}

std::optional<XmlDocument> failure(XmlError& error, int code, std::int64_t line,
                                   std::int64_t column, std::string reason) {
    error = XmlError{code, line, column, std::move(reason)};
    return std::nullopt;
}

// Markup characters as entities; a carriage return as a reference, so that
// a reader's line-end normalisation keeps it; every character ISO-8859-1
// lacks as a reference.
void appendEscaped(std::string& out, std::string_view text, bool inAttribute) {
    for (std::size_t pos = 0; pos < text.size();) {
        const utf8::CodePoint cp = utf8::decode(text, pos);
        pos += cp.length;
        const char32_t c = cp.valid ? cp.value : U'\uFFFD';
        switch (c) {
            case U'&': out += "&amp;"; continue;
            case U'<': out += "&lt;"; continue;
            case U'>': out += "&gt;"; continue;
            case U'\r': out += "&#13;"; continue;
            default: break;
        }
        if (inAttribute && (c == U'"' || c == U'\n' || c == U'\t')) {
            out += c == U'"' ? "&quot;" : "&#" + std::to_string(static_cast<unsigned>(c)) + ";";
        } else if (c > 0xFF) {
            out += "&#" + std::to_string(static_cast<unsigned>(c)) + ";";
        } else {
            out += static_cast<char>(c);
        }
    }
}

// A name in ISO-8859-1; names cannot hold character references, so a name
// with a character beyond it cannot be written.
bool appendName(std::string& out, std::string_view name) {
    for (std::size_t pos = 0; pos < name.size();) {
        const utf8::CodePoint cp = utf8::decode(name, pos);
        if (!cp.valid || cp.value > 0xFF) return false;
        out += static_cast<char>(cp.value);
        pos += cp.length;
    }
    return true;
}

// Elements are laid out one per line, except below an element with text of
// its own, where added line breaks would become part of that text.
bool appendElement(std::string& out, const XmlElement& element, int depth, bool layOut) {
    if (layOut) {
        out += '\n';
        out.append(static_cast<std::size_t>(depth) * 2, ' ');
    }
    out += '<';
    if (!appendName(out, element.name)) return false;
    for (const auto& [name, value] : element.attributes) {
        out += ' ';
        if (!appendName(out, name)) return false;
        out += "=\"";
        appendEscaped(out, value, true);
        out += '"';
    }
    if (element.text.empty() && element.children.empty()) {
        out += "/>";
        return true;
    }
    out += '>';
    appendEscaped(out, element.text, false);
    const bool layOutChildren = layOut && element.text.empty();
    for (const XmlElement& child : element.children) {
        if (!appendElement(out, child, depth + 1, layOutChildren)) return false;
    }
    if (layOutChildren) {
        out += '\n';
        out.append(static_cast<std::size_t>(depth) * 2, ' ');
    }
    out += "</";
    appendName(out, element.name);
    out += '>';
    return true;
}

void appendAllText(std::string& out, const XmlElement& element) {
    out += element.text;
    for (const XmlElement& child : element.children) appendAllText(out, child);
}

}  // namespace

const std::string* XmlElement::attribute(std::string_view attributeName) const {
    for (const auto& [key, value] : attributes) {
        if (key == attributeName) return &value;
    }
    return nullptr;
}

void XmlElement::setAttribute(std::string attributeName, std::string value) {
    for (auto& [key, existing] : attributes) {
        if (key == attributeName) {
            existing = std::move(value);
            return;
        }
    }
    attributes.emplace_back(std::move(attributeName), std::move(value));
}

XmlElement& XmlElement::append(std::string childName, std::string childText) {
    children.push_back(XmlElement{std::move(childName), {}, std::move(childText), {}});
    return children.back();
}

std::string XmlElement::allText() const {
    std::string out;
    appendAllText(out, *this);
    return out;
}

const XmlElement* XmlElement::firstBelow(std::string_view tag) const {
    for (const XmlElement& child : children) {
        if (child.name == tag) return &child;
        if (const XmlElement* found = child.firstBelow(tag)) return found;
    }
    return nullptr;
}

// Elements are built on a stack of open ones; the depth limit keeps a
// hostile document from exhausting the stack of any recursive walk.
std::optional<XmlDocument> XmlDocument::parse(std::string_view bytes, XmlError& error) {
    QXmlStreamReader reader(
        QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
    reader.setNamespaceProcessing(false);  // prefixes and xmlns stay as written
    std::vector<XmlElement> open;
    std::optional<XmlElement> root;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
            case QXmlStreamReader::DTD:
                return failure(error, kXmlDoctypeRefused, reader.lineNumber(),
                               reader.columnNumber(),
                               "a document type declaration is not accepted");
            case QXmlStreamReader::StartElement: {
                if (open.size() >= kXmlMaxDepth) {
                    return failure(
                        error, kXmlTooDeep, reader.lineNumber(), reader.columnNumber(),
                        "elements are nested more than " + std::to_string(kXmlMaxDepth) + " deep");
                }
                XmlElement element{utf8Of(reader.qualifiedName()), {}, {}, {}};
                for (const QXmlStreamAttribute& a : reader.attributes()) {
                    element.attributes.emplace_back(utf8Of(a.qualifiedName()), utf8Of(a.value()));
                }
                open.push_back(std::move(element));
                break;
            }
            case QXmlStreamReader::Characters:
                if (!open.empty()) open.back().text += utf8Of(reader.text());
                break;
            case QXmlStreamReader::EndElement: {
                XmlElement done = std::move(open.back());
                open.pop_back();
                if (!done.children.empty() && isBlank(done.text)) done.text.clear();
                if (open.empty()) {
                    root = std::move(done);
                } else {
                    open.back().children.push_back(std::move(done));
                }
                break;
            }
            default: break;
        }
    }
    if (reader.hasError()) {
        return failure(error, static_cast<int>(reader.error()), reader.lineNumber(),
                       reader.columnNumber(), reader.errorString().toStdString());
    }
    if (!root)
        return failure(error, QXmlStreamReader::PrematureEndOfDocumentError, 1, 1,
                       "no root element");
    return XmlDocument(std::move(*root));
}

std::optional<XmlDocument> XmlDocument::load(const std::string& path, XmlError& error) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        return failure(error, 0, 0, 0, file.errorString().toStdString());
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return failure(error, 0, 0, 0, file.errorString().toStdString());
    }
    return parse(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                 error);
}

Expected<std::string> XmlDocument::serialize() const {
    std::string out = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
    if (!appendElement(out, root_, 0, true)) {
        return Result::failure("a name holds a character that ISO-8859-1 cannot write");
    }
    out += '\n';
    return out;
}

Result XmlDocument::save(const std::string& path) const {
    const Expected<std::string> bytes = serialize();
    if (!bytes) return bytes.status();
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bytes->data(), static_cast<qint64>(bytes->size())) !=
            static_cast<qint64>(bytes->size()) ||
        !file.commit()) {
        return Result::failure(file.errorString().toStdString());
    }
    return Result::success();
}

std::optional<std::int32_t> rootId(const XmlDocument& document, Messages& messages) {
    const std::string* id = document.root().attribute("ID");
    if (id == nullptr) {
        messages.show("Error getting attribute of root element in DOM Document.", kErrorTitle,
                      MsgIcon::Stop);
        return std::nullopt;
    }
    return static_cast<std::int32_t>(std::strtol(id->c_str(), nullptr, 10));
}

std::optional<std::string> firstText(const XmlDocument& document, std::string_view tag,
                                     Messages& messages) {
    const XmlElement* element = document.root().firstBelow(tag);
    if (element == nullptr) {
        messages.show("No nodes found in root element of DOM Document.", kErrorTitle,
                      MsgIcon::Stop);
        return std::nullopt;
    }
    std::string text;
    for (char c : element->allText()) {
        if (c == '\n' && (text.empty() || text.back() != '\r')) text += '\r';
        text += c;
    }
    return text;
}

}  // namespace ks
