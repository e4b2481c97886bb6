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
    const auto plain = [inAttribute](char c) {
        return static_cast<unsigned char>(c) < 0x80 && c != '&' && c != '<' && c != '>' &&
               c != '\r' && !(inAttribute && (c == '"' || c == '\n' || c == '\t'));
    };
    for (std::size_t pos = 0; pos < text.size();) {
        // Runs of plain ASCII, most of any text, go in whole.
        const std::size_t run = pos;
        while (pos < text.size() && plain(text[pos])) ++pos;
        out.append(text.substr(run, pos - run));
        if (pos == text.size()) break;
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

constexpr std::size_t kWriterBuffer = 1 << 16;

// The element, then what `produce` adds to `extended`; false when the
// producer gave up.
bool writeTree(XmlWriter& writer, const XmlElement& element, const XmlElement* extended,
               const XmlProducer& produce) {
    writer.open(element.name, element.attributes);
    writer.text(element.text);
    for (const XmlElement& child : element.children) {
        if (!writeTree(writer, child, extended, produce)) return false;
    }
    if (&element == extended && produce && !produce(writer)) return false;
    writer.close();
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

XmlWriter::XmlWriter(Sink sink) : sink_(std::move(sink)) {
    buffer_ = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
}

// Elements are laid out one per line, except below an element with text of
// its own, where added line breaks would become part of that text.
void XmlWriter::open(std::string_view name, const Attributes& attributes) {
    bool layOut = true;
    if (!open_.empty()) {
        endStartTag();
        Open& parent = open_.back();
        parent.hasChildren = true;
        layOut = parent.layOut && !parent.hasText;
    }
    if (layOut) {
        buffer_ += '\n';
        buffer_.append(open_.size() * 2, ' ');
    }
    buffer_ += '<';
    badName_ = !appendName(buffer_, name) || badName_;
    for (const auto& [attribute, value] : attributes) {
        buffer_ += ' ';
        badName_ = !appendName(buffer_, attribute) || badName_;
        buffer_ += "=\"";
        appendEscaped(buffer_, value, true);
        buffer_ += '"';
    }
    startTagOpen_ = true;
    open_.push_back(Open{std::string(name), layOut});
}

void XmlWriter::text(std::string_view text) {
    if (text.empty() || open_.empty()) return;
    endStartTag();
    open_.back().hasText = true;
    appendEscaped(buffer_, text, false);
    flushIfFull();
}

void XmlWriter::close() {
    if (open_.empty()) return;
    const Open element = std::move(open_.back());
    open_.pop_back();
    if (startTagOpen_) {
        buffer_ += "/>";
        startTagOpen_ = false;
    } else {
        if (element.layOut && !element.hasText && element.hasChildren) {
            buffer_ += '\n';
            buffer_.append(open_.size() * 2, ' ');
        }
        buffer_ += "</";
        appendName(buffer_, element.name);
        buffer_ += '>';
    }
    flushIfFull();
}

void XmlWriter::element(const XmlElement& element) {
    writeTree(*this, element, nullptr, {});
}

Result XmlWriter::finish() {
    while (!open_.empty()) close();
    buffer_ += '\n';
    if (!sinkFailed_) sinkFailed_ = !sink_(buffer_);
    buffer_.clear();
    if (badName_) return Result::failure("a name holds a character that ISO-8859-1 cannot write");
    if (sinkFailed_) return Result::failure("the document could not be written");
    return Result::success();
}

void XmlWriter::endStartTag() {
    if (!startTagOpen_) return;
    buffer_ += '>';
    startTagOpen_ = false;
}

void XmlWriter::flushIfFull() {
    if (buffer_.size() < kWriterBuffer) return;
    if (!sinkFailed_) sinkFailed_ = !sink_(buffer_);
    buffer_.clear();
}

namespace {

// Elements are built on a stack of open ones; the depth limit keeps a
// hostile document from exhausting the stack of any recursive walk.
std::optional<XmlDocument> read(QXmlStreamReader& reader, XmlError& error,
                                const XmlDecoderChoice& choose) {
    reader.setNamespaceProcessing(false);  // prefixes and xmlns stay as written
    std::vector<XmlElement> open;
    std::vector<std::unique_ptr<XmlTextDecoder>> decoders;  // one per open element
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
                decoders.push_back(choose ? choose(open) : nullptr);
                break;
            }
            case QXmlStreamReader::Characters:
                if (open.empty()) break;
                if (XmlTextDecoder* decoder = decoders.back().get()) {
                    if (open.back().textForm == XmlElement::TextForm::Read &&
                        !decoder->add(utf8Of(reader.text()))) {
                        open.back().textForm = XmlElement::TextForm::Refused;
                    }
                } else {
                    open.back().text += utf8Of(reader.text());
                }
                break;
            case QXmlStreamReader::EndElement: {
                XmlElement done = std::move(open.back());
                open.pop_back();
                if (const std::unique_ptr<XmlTextDecoder> decoder = std::move(decoders.back())) {
                    std::optional<std::string> decoded;
                    if (done.textForm == XmlElement::TextForm::Read) decoded = decoder->finish();
                    done.textForm =
                        decoded ? XmlElement::TextForm::Decoded : XmlElement::TextForm::Refused;
                    done.text = decoded ? std::move(*decoded) : std::string();
                } else if (!done.children.empty() && isBlank(done.text)) {
                    done.text.clear();
                }
                decoders.pop_back();
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

}  // namespace

std::optional<XmlDocument> XmlDocument::parse(std::string_view bytes, XmlError& error,
                                              const XmlDecoderChoice& choose) {
    QXmlStreamReader reader(
        QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return read(reader, error, choose);
}

// The reader takes the file from the device as it goes, so that only the
// elements, not the file's bytes, are held.
std::optional<XmlDocument> XmlDocument::load(const std::string& path, XmlError& error,
                                             const XmlDecoderChoice& choose) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        return failure(error, 0, 0, 0, file.errorString().toStdString());
    }
    QXmlStreamReader reader(&file);
    auto document = read(reader, error, choose);
    if (file.error() != QFileDevice::NoError) {
        return failure(error, 0, 0, 0, file.errorString().toStdString());
    }
    return document;
}

Expected<std::string> XmlDocument::serialize(const XmlElement* extended,
                                             const XmlProducer& produce) const {
    std::string out;
    XmlWriter writer([&out](std::string_view bytes) {
        out += bytes;
        return true;
    });
    if (!writeTree(writer, root_, extended, produce)) return Result::failure("given up");
    if (Result written = writer.finish(); !written) return written;
    return out;
}

Result XmlDocument::save(const std::string& path, const XmlElement* extended,
                         const XmlProducer& produce) const {
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) return Result::failure(file.errorString().toStdString());
    XmlWriter writer([&file](std::string_view bytes) {
        return file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
               static_cast<qint64>(bytes.size());
    });
    if (!writeTree(writer, root_, extended, produce)) return Result::failure("given up");
    if (Result written = writer.finish(); !written) return written;
    if (!file.commit()) return Result::failure(file.errorString().toStdString());
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
