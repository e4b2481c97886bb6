#include "xml/XmlDocument.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
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

// The characters XML 1.0 has no way to hold, not even as references.
bool outsideXml(char32_t c) {
    return (c < U' ' && c != U'\t' && c != U'\n' && c != U'\r') || c == 0xFFFE || c == 0xFFFF;
}

// Markup characters as entities; a carriage return as a reference, so that
// a reader's line-end normalisation keeps it; every character ISO-8859-1
// lacks as a reference; a character XML cannot hold as a mark, which only
// element text can take: false when an attribute holds one.
bool appendEscaped(std::string& out, std::string_view text, bool inAttribute) {
    const auto plain = [inAttribute](char c) {
        return static_cast<unsigned char>(c) < 0x80 && (c >= ' ' || c == '\t' || c == '\n') &&
               c != '&' && c != '<' && c != '>' &&
               !(inAttribute && (c == '"' || c == '\n' || c == '\t'));
    };
    bool written = true;
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
        if (outsideXml(c)) {
            written = written && !inAttribute;
            if (!inAttribute) {
                out += "<?";
                out += kXmlCharacterMark;
                out += ' ' + std::to_string(static_cast<unsigned>(c)) + "?>";
            }
        } else if (inAttribute && (c == U'"' || c == U'\n' || c == U'\t')) {
            out += c == U'"' ? "&quot;" : "&#" + std::to_string(static_cast<unsigned>(c)) + ";";
        } else if (c > 0xFF) {
            out += "&#" + std::to_string(static_cast<unsigned>(c)) + ";";
        } else {
            out += static_cast<char>(c);
        }
    }
    return written;
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

bool needsCharacterMark(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const utf8::CodePoint cp = utf8::decode(text, pos);
        if (cp.valid && outsideXml(cp.value)) return true;
        pos += cp.length;
    }
    return false;
}

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
        badAttribute_ = !appendEscaped(buffer_, value, true) || badAttribute_;
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
    if (badAttribute_)
        return Result::failure("an attribute holds a character that XML cannot hold");
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

using namespace std::string_view_literals;

// Counts the elements, and the attributes of each start tag, before the
// reader sees them, since the reader checks an element's attributes for
// duplicates pair by pair (80,000 of them cost it seconds) and builds every
// element it reads. It knows just enough of the syntax to tell start tags
// from text, comments, CDATA, instructions and declarations. It reads the
// bytes themselves where the encoding keeps ASCII as it is (UTF-8 and
// ISO-8859-1, and UTF-16 and UTF-32 in units of the width the first bytes
// show), else the text the declared encoding makes of them: EBCDIC and
// UTF-7 write markup in other bytes.
class MarkupCounter {
public:
    // Takes the document in pieces whose sizes are whole units; false at the
    // first element over a bound, which `error` then describes.
    bool scan(std::string_view bytes, XmlError& error) {
        if (width_ == 0) start(bytes);
        if (decoder_) {
            const QString text =
                (*decoder_)(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
            for (const QChar unit : text) {
                if (!take(unit.unicode())) return refuse(error);
            }
            return true;
        }
        for (std::size_t pos = 0; pos + width_ <= bytes.size(); pos += width_) {
            if (width_ == 1 && state_ == State::Text) {
                const std::size_t open = std::min(bytes.find('<', pos), bytes.size());
                advance(bytes.substr(pos, open - pos));
                pos = open;
                if (pos == bytes.size()) break;
            }
            if (!take(unitAt(bytes, pos))) return refuse(error);
        }
        return true;
    }

private:
    enum class State {
        Text,
        Open,
        Bang,
        Comment,
        CData,
        Instruction,
        Declaration,
        EndTag,
        StartTag
    };

    void start(std::string_view first) {
        chooseWidth(first);
        if (width_ != 1) return;
        QXmlStreamReader probe(
            QByteArray::fromRawData(first.data(), static_cast<qsizetype>(first.size())));
        if (probe.readNext() != QXmlStreamReader::StartDocument) return;
        const QByteArray declared = probe.documentEncoding().toLatin1().toUpper();
        if (declared.isEmpty() || declared == "UTF-8" || declared == "ISO-8859-1") return;
        decoder_.emplace(declared.constData());
        if (!decoder_->isValid()) decoder_.reset();  // the reader refuses it
    }

    void chooseWidth(std::string_view first) {
        struct Mark {
            std::string_view bytes;
            std::size_t width;
            bool bigEndian;
        };
        static constexpr Mark marks[] = {
            {"\0\0\xFE\xFF"sv, 4, true}, {"\xFF\xFE\0\0"sv, 4, false}, {"\0\0\0<"sv, 4, true},
            {"<\0\0\0"sv, 4, false},     {"\xFE\xFF"sv, 2, true},      {"\xFF\xFE"sv, 2, false},
            {"\0<"sv, 2, true},          {"<\0"sv, 2, false},
        };
        width_ = 1;
        for (const Mark& mark : marks) {
            if (first.starts_with(mark.bytes)) {
                width_ = mark.width;
                bigEndian_ = mark.bigEndian;
                return;
            }
        }
    }

    char32_t unitAt(std::string_view bytes, std::size_t pos) const {
        char32_t unit = 0;
        for (std::size_t i = 0; i < width_; ++i) {
            const auto byte =
                static_cast<unsigned char>(bytes[pos + (bigEndian_ ? i : width_ - 1 - i)]);
            unit = (unit << 8) | byte;
        }
        return unit;
    }

    void advance(std::string_view text) {
        const std::size_t lastBreak = text.rfind('\n');
        if (lastBreak == std::string_view::npos) {
            column_ += static_cast<std::int64_t>(text.size());
            return;
        }
        line_ += std::count(text.begin(), text.end(), '\n');
        column_ = static_cast<std::int64_t>(text.size() - lastBreak - 1);
    }

    bool refuse(XmlError& error) const {
        const bool attributes = attributes_ > kXmlMaxAttributes;
        error = XmlError{
            attributes ? kXmlTooManyAttributes : kXmlTooManyElements, tagLine_, tagColumn_,
            attributes
                ? "an element has more than " + std::to_string(kXmlMaxAttributes) + " attributes"
                : "the document has more than " + std::to_string(kXmlMaxElements) + " elements"};
        return false;
    }

    // A section ending in `close` twice, then '>', ends here.
    bool closes(char32_t unit, char32_t close) const {
        return unit == U'>' && previous_ == close && beforePrevious_ == close;
    }

    // False when this unit takes an element over a bound.
    bool take(char32_t unit) {
        if (unit == U'\n') {
            ++line_;
            column_ = 0;
        } else {
            ++column_;
        }
        bool within = true;
        switch (state_) {
            case State::Text:
                if (unit == U'<') {
                    state_ = State::Open;
                    tagLine_ = line_;
                    tagColumn_ = column_;
                }
                break;
            case State::Open:
                state_ = unit == U'!'   ? State::Bang
                         : unit == U'?' ? State::Instruction
                         : unit == U'/' ? State::EndTag
                                        : State::StartTag;
                attributes_ = 0;
                quote_ = 0;
                within = state_ != State::StartTag || ++elements_ <= kXmlMaxElements;
                break;
            case State::Bang:
                state_ = unit == U'-'   ? State::Comment
                         : unit == U'[' ? State::CData
                                        : State::Declaration;
                break;
            case State::Comment:
                if (closes(unit, U'-')) state_ = State::Text;
                break;
            case State::CData:
                if (closes(unit, U']')) state_ = State::Text;
                break;
            case State::Instruction:
                if (unit == U'>' && previous_ == U'?') state_ = State::Text;
                break;
            case State::EndTag:
                if (unit == U'>') state_ = State::Text;
                break;
            case State::Declaration:
            case State::StartTag:
                if (quote_ != 0) {
                    if (unit == quote_) quote_ = 0;
                } else if (unit == U'"' || unit == U'\'') {
                    quote_ = unit;
                } else if (unit == U'>') {
                    state_ = State::Text;
                } else if (unit == U'=' && state_ == State::StartTag) {
                    within = ++attributes_ <= kXmlMaxAttributes;
                }
                break;
        }
        beforePrevious_ = previous_;
        previous_ = unit;
        return within;
    }

    std::size_t width_ = 0;
    bool bigEndian_ = false;
    std::optional<QStringDecoder> decoder_;
    State state_ = State::Text;
    char32_t quote_ = 0;
    char32_t previous_ = 0;
    char32_t beforePrevious_ = 0;
    std::size_t attributes_ = 0;
    std::size_t elements_ = 0;
    std::int64_t line_ = 1;
    std::int64_t column_ = 0;
    std::int64_t tagLine_ = 1;
    std::int64_t tagColumn_ = 0;
};

// The character a mark stands for; nothing when it names none that needs one.
std::optional<char32_t> markedCharacter(QStringView data) {
    bool number = false;
    const uint code = data.trimmed().toUInt(&number, 10);
    if (!number || !outsideXml(code)) return std::nullopt;
    return code;
}

// Adds read text to the element just opened, through its decoder if it has one.
void addText(XmlElement& element, XmlTextDecoder* decoder, std::string text) {
    if (decoder == nullptr) {
        element.text += text;
    } else if (element.textForm == XmlElement::TextForm::Read && !decoder->add(text)) {
        element.textForm = XmlElement::TextForm::Refused;
    }
}

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
                if (!open.empty())
                    addText(open.back(), decoders.back().get(), utf8Of(reader.text()));
                break;
            case QXmlStreamReader::ProcessingInstruction: {
                if (reader.processingInstructionTarget() !=
                    QLatin1String(kXmlCharacterMark.data(),
                                  static_cast<qsizetype>(kXmlCharacterMark.size()))) {
                    break;
                }
                const auto marked = markedCharacter(reader.processingInstructionData());
                if (open.empty() || !marked) {
                    return failure(error, kXmlBadCharacterMark, reader.lineNumber(),
                                   reader.columnNumber(),
                                   "a character mark outside element text, or one naming a "
                                   "character that needs none");
                }
                addText(open.back(), decoders.back().get(), utf8::encode(*marked));
                break;
            }
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

constexpr qint64 kScanChunk = 1 << 20;

}  // namespace

std::optional<XmlDocument> XmlDocument::parse(std::string_view bytes, XmlError& error,
                                              const XmlDecoderChoice& choose) {
    if (MarkupCounter counter; !counter.scan(bytes, error)) return std::nullopt;
    QXmlStreamReader reader(
        QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return read(reader, error, choose);
}

// The file is read twice, a chunk at a time, once to count its markup and
// once by the reader, so that only the elements, not the file's bytes, are held.
std::optional<XmlDocument> XmlDocument::load(const std::string& path, XmlError& error,
                                             const XmlDecoderChoice& choose) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        return failure(error, 0, 0, 0, file.errorString().toStdString());
    }
    MarkupCounter counter;
    for (QByteArray chunk; !(chunk = file.read(kScanChunk)).isEmpty();) {
        if (!counter.scan(
                std::string_view(chunk.constData(), static_cast<std::size_t>(chunk.size())),
                error)) {
            return std::nullopt;
        }
    }
    if (file.error() != QFileDevice::NoError || !file.seek(0)) {
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
