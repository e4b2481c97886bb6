#include "store/RegFile.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "core/Utf8.h"
#include "store/Hex.h"
#include "store/SettingsStore.h"
#include "store/StorePath.h"

namespace ks {

namespace {

constexpr std::string_view kVersion5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kRegedit4 = "REGEDIT4";
constexpr std::string_view kRootSection = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Keystrider";
constexpr std::array<std::string_view, 3> kRootNames = {"SOFTWARE", "QUORVEL", "KEYSTRIDER"};
// The registry editor ends a hex: line once it reaches this column.
constexpr std::size_t kHexWrapColumn = 77;
constexpr std::size_t kMaxDwordDigits = 8;

// ---- Text encodings ------------------------------------------------------

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool startsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
    if (text.size() < lowerPrefix.size()) return false;
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != lowerPrefix[i])
            return false;
    }
    return true;
}

std::optional<std::size_t> firstInvalidUtf8(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const utf8::CodePoint cp = utf8::decode(text, pos);
        if (!cp.valid) return pos;
        pos += cp.length;
    }
    return std::nullopt;
}

// 8-bit text is kept when it is valid UTF-8 and otherwise read as ISO-8859-1:
// an ISO-8859-1 text that happens to be valid UTF-8 needs two or more
// accented characters in a row in just the right order, which ordinary text
// never has, while a UTF-8 file read as ISO-8859-1 would be garbled throughout.
std::string eightBitText(std::string_view bytes) {
    if (!firstInvalidUtf8(bytes)) return std::string(bytes);
    std::string out;
    for (const char c : bytes) utf8::append(out, static_cast<unsigned char>(c));
    return out;
}

std::size_t lineAt(std::string_view text, std::size_t pos) {
    return 1 + static_cast<std::size_t>(
                   std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(pos), '\n'));
}

char16_t unitAt(std::string_view bytes, std::size_t pos) {
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[pos]) |
                                 (static_cast<unsigned char>(bytes[pos + 1]) << 8));
}

bool isHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// UTF-16LE to UTF-8. On an unpaired surrogate or an odd last byte `ok` is
// false and `text` holds what came before it.
struct Utf16Decoded {
    std::string text;
    bool ok = true;
};

Utf16Decoded utf8FromUtf16le(std::string_view bytes) {
    Utf16Decoded out;
    std::size_t pos = 0;
    for (; pos + 1 < bytes.size(); pos += 2) {
        char32_t cp = unitAt(bytes, pos);
        if (isLowSurrogate(cp)) break;
        if (isHighSurrogate(cp)) {
            if (pos + 3 >= bytes.size() || !isLowSurrogate(unitAt(bytes, pos + 2))) break;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unitAt(bytes, pos + 2) - 0xDC00u);
            pos += 2;
        }
        utf8::append(out.text, cp);
    }
    out.ok = pos == bytes.size();
    return out;
}

// Each character of `text` as one or two UTF-16 code units; a byte that is
// not part of valid UTF-8 counts as the ISO-8859-1 character of that number.
template <typename Unit>
void forEachUtf16Unit(std::string_view text, Unit unit) {
    for (std::size_t pos = 0; pos < text.size();) {
        const utf8::CodePoint cp = utf8::decode(text, pos);
        if (cp.value >= 0x10000) {
            unit(static_cast<char16_t>(0xD800 + ((cp.value - 0x10000) >> 10)));
            unit(static_cast<char16_t>(0xDC00 + ((cp.value - 0x10000) & 0x3FF)));
        } else {
            unit(static_cast<char16_t>(cp.value));
        }
        pos += cp.length;
    }
}

void appendUtf16le(Bytes& out, std::string_view text) {
    forEachUtf16Unit(text, [&](char16_t unit) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    });
}

std::size_t utf16Length(std::string_view text) {
    std::size_t units = 0;
    forEachUtf16Unit(text, [&](char16_t) { ++units; });
    return units;
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// The header line, without the blanks editors and mail programs put around it.
std::string_view firstLine(std::string_view text) {
    return trimmed(text.substr(0, text.find_first_of("\r\n")));
}

struct DecodedFile {
    std::string text;
    std::optional<RegError> error;
};

DecodedFile strictUtf8(std::string_view bytes) {
    if (auto bad = firstInvalidUtf8(bytes)) {
        return {{}, RegError{lineAt(bytes, *bad), "The file is not valid UTF-8 text."}};
    }
    return {std::string(bytes), std::nullopt};
}

// The file as UTF-8 text, from whichever encoding it is in.
DecodedFile decodeFile(std::string_view bytes) {
    if (startsWith(bytes, "\xFF\xFE")) {
        Utf16Decoded decoded = utf8FromUtf16le(bytes.substr(2));
        if (!decoded.ok) {
            return {{},
                    RegError{lineAt(decoded.text, decoded.text.size()),
                             "The file is not valid UTF-16LE text."}};
        }
        return {std::move(decoded.text), std::nullopt};
    }
    if (startsWith(bytes, "\xFE\xFF")) {
        return {
            {},
            RegError{1,
                     "UTF-16 big-endian files are not read; save the file as UTF-16LE or UTF-8."}};
    }
    if (startsWith(bytes, "\xEF\xBB\xBF")) return strictUtf8(bytes.substr(3));
    if (firstLine(bytes) == kRegedit4) return {eightBitText(bytes), std::nullopt};
    return strictUtf8(bytes);
}

// `digits` as a hexadecimal number of at most `maxDigits` digits.
std::optional<std::uint32_t> hexNumber(std::string_view digits, std::size_t maxDigits) {
    if (digits.empty() || digits.size() > maxDigits) return std::nullopt;
    std::uint32_t number = 0;
    for (const char c : digits) {
        const int digit = hexDigit(c);
        if (digit < 0) return std::nullopt;
        number = (number << 4) | static_cast<std::uint32_t>(digit);
    }
    return number;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (true) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) return lines;
        text.remove_prefix(end + 1);
    }
}

// Lines starting with ; or # (after blanks) are comments.
bool isBlankOrComment(std::string_view line) {
    line = trimmed(line);
    return line.empty() || line.front() == ';' || line.front() == '#';
}

// Unquoted data ends where a ; comment begins.
std::string_view withoutComment(std::string_view data) {
    return trimmed(data.substr(0, data.find(';')));
}

// ---- Parsing -------------------------------------------------------------

enum class Dialect { Version5, Regedit4 };

class Parser {
public:
    explicit Parser(std::string text) : text_(std::move(text)), lines_(splitLines(text_)) {}

    RegParse run() {
        if (header() && body()) return {std::move(operations_), std::nullopt};
        return {{}, std::move(error_)};
    }

private:
    enum class Section { None, Key, Deleted };

    bool fail(std::size_t line, std::string message) {
        error_ = RegError{line, std::move(message)};
        return false;
    }

    bool header() {
        const std::string_view first = firstLine(lines_[0]);
        if (trimmed(lines_[0]).find('\r') != std::string_view::npos) {
            return fail(1,
                        "The file's lines end in a carriage return alone; save it with LF or "
                        "CR LF line ends.");
        }
        if (first == kVersion5) {
            dialect_ = Dialect::Version5;
        } else if (first == kRegedit4) {
            dialect_ = Dialect::Regedit4;
        } else {
            return fail(1,
                        "The file does not begin with \"Windows Registry Editor Version 5.00\" "
                        "or \"REGEDIT4\".");
        }
        next_ = 1;
        return true;
    }

    bool body() {
        while (next_ < lines_.size()) {
            const std::size_t number = next_ + 1;
            const std::string_view line = trimmed(lines_[next_++]);
            if (isBlankOrComment(line)) continue;
            const bool parsed =
                line.front() == '[' ? section(line, number)
                : line.front() == '"' || line.front() == '@'
                    ? value(line, number)
                    : fail(number, "The line is neither a key section nor a value.");
            if (!parsed) return false;
        }
        return true;
    }

    bool section(std::string_view line, std::size_t number) {
        if (line.back() != ']') return fail(number, "The key section has no closing bracket.");
        std::string_view path = line.substr(1, line.size() - 2);
        const bool deletion = !path.empty() && path.front() == '-';
        if (deletion) path.remove_prefix(1);
        if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
        std::optional<std::string> relative = relativeKey(path);
        if (!relative) {
            return fail(number, "The key " + std::string(path) + " is outside " +
                                    std::string(kRootSection) + ".");
        }
        if (auto problem = keyPathProblem(*relative, deletion ? KeyUse::Find : KeyUse::Write)) {
            return fail(number, *problem);
        }
        if (auto problem = keyDeletionProblem(*relative); problem && deletion) {
            return fail(number, *problem);
        }
        operations_.push_back(
            {deletion ? RegOperation::Kind::DeleteKey : RegOperation::Kind::CreateKey,
             number,
             *relative,
             {},
             kTypeBinary,
             {}});
        section_ = deletion ? Section::Deleted : Section::Key;
        key_ = *relative;
        return true;
    }

    // The part of `path` below the store's root, compared as the store compares names.
    static std::optional<std::string> relativeKey(std::string_view path) {
        const std::size_t hiveEnd = path.find('\\');
        const std::string hive = utf8::upper(path.substr(0, hiveEnd));
        if ((hive != "HKEY_LOCAL_MACHINE" && hive != "HKLM") || hiveEnd == std::string_view::npos) {
            return std::nullopt;
        }
        std::string_view rest = path.substr(hiveEnd + 1);
        for (const std::string_view rootName : kRootNames) {
            const std::size_t end = rest.find('\\');
            if (utf8::upper(rest.substr(0, end)) != rootName) return std::nullopt;
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
            if (end == std::string_view::npos && rootName != kRootNames.back()) return std::nullopt;
        }
        return std::string(rest);
    }

    bool value(std::string_view line, std::size_t number) {
        if (section_ == Section::None) return fail(number, "A value comes before any key section.");
        if (section_ == Section::Deleted) return fail(number, "A value follows a key deletion.");
        RegOperation operation{RegOperation::Kind::SetValue, number, key_, {}, kTypeBinary, {}};
        std::size_t pos = 1;
        if (line.front() == '"' && !quoted(line, number, operation.name, pos)) return false;
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        if (pos >= line.size() || line[pos] != '=') {
            return fail(number, "An equals sign must follow the value name.");
        }
        if (auto problem = nameProblem(operation.name)) return fail(number, *problem);
        if (!data(trimmed(line.substr(pos + 1)), number, operation)) return false;
        operations_.push_back(std::move(operation));
        return true;
    }

    // The quoted text starting at line[0], with \\ and \" undone; `end` is
    // set past its closing quotation mark.
    bool quoted(std::string_view line, std::size_t number, std::string& out, std::size_t& end) {
        for (std::size_t pos = 1; pos < line.size(); ++pos) {
            if (line[pos] == '"') {
                end = pos + 1;
                return true;
            }
            if (line[pos] == '\\') {
                if (pos + 1 >= line.size() || (line[pos + 1] != '\\' && line[pos + 1] != '"')) {
                    return fail(number, "Bad escape \"" + std::string(line.substr(pos, 2)) +
                                            "\": only \\\\ and \\\" may follow a backslash.");
                }
                ++pos;
            }
            out += line[pos];
        }
        return fail(number, "The quoted text has no closing quotation mark.");
    }

    bool data(std::string_view text, std::size_t number, RegOperation& operation) {
        if (text.empty() || text.front() != '"') text = withoutComment(text);
        if (text == "-") {
            operation.kind = RegOperation::Kind::DeleteValue;
            return true;
        }
        if (!text.empty() && text.front() == '"') {
            std::string content;
            std::size_t end = 0;
            if (!quoted(text, number, content, end)) return false;
            if (!withoutComment(text.substr(end)).empty())
                return fail(number, "Unexpected text after the closing quotation mark.");
            operation.type = kTypeText;
            operation.data = textBytes(content);
            return true;
        }
        if (startsWithNoCase(text, "dword:"))
            return dword(trimmed(text.substr(6)), number, operation);
        if (startsWithNoCase(text, "hex")) return hex(text.substr(3), number, operation);
        return fail(number, "The value's data is none of \"text\", dword:, hex: or -.");
    }

    bool dword(std::string_view digits, std::size_t number, RegOperation& operation) {
        const bool allHex = !digits.empty() && std::all_of(digits.begin(), digits.end(),
                                                           [](char c) { return hexDigit(c) >= 0; });
        if (!allHex) return fail(number, "A dword: value must be hexadecimal digits.");
        const std::optional<std::uint32_t> parsed = hexNumber(digits, kMaxDwordDigits);
        if (!parsed)
            return fail(number, "The dword: value " + std::string(digits) + " is out of range.");
        operation.type = kTypeDword;
        operation.data = dwordBytes(*parsed);
        return true;
    }

    // `text` follows "hex": ":" for bytes, or "(kind):" for a value of that kind.
    bool hex(std::string_view text, std::size_t number, RegOperation& operation) {
        std::uint32_t kind = kTypeBinary;
        if (!text.empty() && text.front() == '(') {
            const std::size_t close = text.find(')');
            const std::optional<std::uint32_t> parsed =
                close == std::string_view::npos ? std::nullopt
                                                : hexNumber(text.substr(1, close - 1), 8);
            if (!parsed) return fail(number, "The hex() value kind is not a hexadecimal number.");
            kind = *parsed;
            text.remove_prefix(close + 1);
        }
        if (text.empty() || text.front() != ':')
            return fail(number, "A colon must follow hex or hex(kind).");
        if (kind != kTypeText && kind != kTypeBinary && kind != kTypeDword) {
            char name[16];
            std::snprintf(name, sizeof name, "hex(%x)", kind);
            return fail(number, std::string("The store does not hold values of kind ") + name +
                                    "; it holds text, dword and binary values only.");
        }
        if (!hexBytes(text.substr(1), number, operation.data)) return false;
        operation.type = kind;
        return kind != kTypeText || hexText(number, operation.data);
    }

    // Bytes written as two-digit hex pairs separated by commas. A backslash
    // after a comma continues them on the next line that is neither blank nor
    // a comment; the end of the file ends them as a line break would.
    bool hexBytes(std::string_view segment, std::size_t number, Bytes& out) {
        const std::size_t valueLine = number;
        while (true) {
            segment = withoutComment(segment);
            const bool continued = !segment.empty() && segment.back() == '\\';
            if (continued) {
                segment = trimmed(segment.substr(0, segment.size() - 1));
                if (!segment.empty() && segment.back() != ',')
                    return fail(number, "A backslash continuing hex data must follow a comma.");
            }
            if (!hexSegment(segment, number, out)) return false;
            if (!continued) return true;
            while (next_ < lines_.size() && isBlankOrComment(lines_[next_])) ++next_;
            if (next_ >= lines_.size()) return true;
            number = next_ + 1;
            segment = trimmed(lines_[next_++]);
            if (hexDigit(segment.front()) < 0) {
                return fail(number, "The hex data of line " + std::to_string(valueLine) +
                                        " goes on with a line that is not hex data.");
            }
        }
    }

    bool hexSegment(std::string_view segment, std::size_t number, Bytes& out) {
        while (!segment.empty()) {
            const std::size_t comma = segment.find(',');
            const std::string_view token = trimmed(segment.substr(0, comma));
            const std::optional<std::uint32_t> byte =
                token.size() == 2 ? hexNumber(token, 2) : std::nullopt;
            if (!byte) return fail(number, "Bad hex byte \"" + std::string(token) + "\".");
            out.push_back(static_cast<std::uint8_t>(*byte));
            if (comma == std::string_view::npos) break;
            segment = trimmed(segment.substr(comma + 1));
        }
        return true;
    }

    // The bytes of a hex(1) value as the store keeps text: UTF-8. Version
    // 5.00 files hold such text as UTF-16LE, REGEDIT4 files as 8-bit text.
    bool hexText(std::size_t number, Bytes& data) {
        const std::string_view raw(reinterpret_cast<const char*>(data.data()), data.size());
        std::string text;
        if (dialect_ == Dialect::Regedit4) {
            text = eightBitText(raw);
        } else {
            Utf16Decoded decoded = utf8FromUtf16le(raw);
            if (!decoded.ok) return fail(number, "The hex(1) data is not UTF-16LE text.");
            text = std::move(decoded.text);
        }
        data.assign(text.begin(), text.end());
        return true;
    }

    std::string text_;
    std::vector<std::string_view> lines_;
    std::size_t next_ = 0;
    Dialect dialect_ = Dialect::Version5;
    Section section_ = Section::None;
    std::string key_;
    std::vector<RegOperation> operations_;
    std::optional<RegError> error_;
};

// ---- Applying ------------------------------------------------------------

Result ignoringMissing(Result status) {
    if (!status &&
        (status.error() == KeyTree::kMissingKey || status.error() == KeyTree::kMissingValue)) {
        return Result::success();
    }
    return status;
}

Result applyOne(KeyTree& tree, const RegOperation& operation) {
    const std::string path = storePath(operation.key);
    switch (operation.kind) {
        case RegOperation::Kind::CreateKey: return tree.createKey(path);
        case RegOperation::Kind::DeleteKey: return ignoringMissing(tree.deleteTree(path));
        case RegOperation::Kind::SetValue:
            return tree.setValue(path, operation.name, operation.type, operation.data);
        case RegOperation::Kind::DeleteValue:
            return ignoringMissing(tree.deleteValue(path, operation.name));
    }
    return Result::failure("Unknown operation.");
}

// ---- Exporting -----------------------------------------------------------

std::string quotedText(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// Text that "..." gives back exactly: valid UTF-8 on one line, ending with
// its one terminating zero.
bool quotable(const Bytes& data) {
    if (data.empty() || data.back() != 0) return false;
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size() - 1);
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos &&
           !firstInvalidUtf8(text);
}

void appendHexData(std::string& line, std::uint32_t type, const Bytes& data) {
    char kind[24];
    if (type == kTypeBinary) {
        std::snprintf(kind, sizeof kind, "hex:");
    } else {
        std::snprintf(kind, sizeof kind, "hex(%x):", type);
    }
    line += kind;
    std::size_t column = utf16Length(line);
    for (std::size_t i = 0; i < data.size(); ++i) {
        line += hexPair(data[i]);
        if (i + 1 == data.size()) break;
        line += ',';
        column += 3;
        if (column >= kHexWrapColumn) {
            line += "\\\r\n  ";
            column = 2;
        }
    }
}

Result appendValue(std::string& out, const StoredValue& value) {
    if (auto problem = nameProblem(value.name)) return Result::failure(*problem);
    std::string line = value.name.empty() ? "@=" : quotedText(value.name) + "=";
    if (value.type == kTypeText && quotable(value.data)) {
        line += quotedText(textFromBytes(value.data));
    } else if (value.type == kTypeDword && value.data.size() == 4) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%08x", *dwordFromBytes(value.data));
        line += digits;
    } else if (value.type == kTypeText) {
        Bytes wide;
        appendUtf16le(wide, std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                             value.data.size()));
        appendHexData(line, value.type, wide);
    } else {
        appendHexData(line, value.type, value.data);
    }
    out += line;
    out += "\r\n";
    return Result::success();
}

std::string joinedKey(std::string_view parent, std::string_view name) {
    std::string path(parent);
    if (!path.empty() && !name.empty()) path += '\\';
    path += name;
    return path;
}

Result appendKey(KeyTree& tree, const std::string& relative, std::string& out) {
    if (auto problem = keyPathProblem(relative, KeyUse::Export)) return Result::failure(*problem);
    out += '[';
    out += joinedKey(kRootSection, relative);
    out += "]\r\n";
    Expected<std::vector<StoredValue>> values = tree.values(storePath(relative));
    if (!values) return values.status();
    for (const StoredValue& value : *values) {
        if (Result added = appendValue(out, value); !added) return added;
    }
    out += "\r\n";
    Expected<std::vector<std::string>> subKeys = tree.subKeys(storePath(relative));
    if (!subKeys) return subKeys.status();
    for (const std::string& name : *subKeys) {
        if (Result added = appendKey(tree, joinedKey(relative, name), out); !added) return added;
    }
    return Result::success();
}

// `relative` spelled as the store keeps it, so that the export names each
// key as it was created.
Expected<std::string> storedSpelling(KeyTree& tree, std::string_view relative) {
    if (Result root = tree.openKey(storePath("")); !root) return root;
    std::string spelled;
    while (!relative.empty()) {
        const std::size_t end = relative.find('\\');
        const std::string wanted = utf8::upper(relative.substr(0, end));
        Expected<std::vector<std::string>> names = tree.subKeys(storePath(spelled));
        if (!names) return names.status();
        const auto found = std::find_if(names->begin(), names->end(), [&](const std::string& name) {
            return utf8::upper(name) == wanted;
        });
        if (found == names->end()) return Result::failure(KeyTree::kMissingKey);
        spelled = joinedKey(spelled, *found);
        relative = end == std::string_view::npos ? std::string_view() : relative.substr(end + 1);
    }
    return spelled;
}

}  // namespace

RegParse parseRegFile(std::string_view bytes) {
    DecodedFile decoded = decodeFile(bytes);
    if (decoded.error) return {{}, std::move(decoded.error)};
    return Parser(std::move(decoded.text)).run();
}

std::optional<RegError> applyRegOperations(KeyTree& tree,
                                           const std::vector<RegOperation>& operations) {
    KeyTree::Transaction transaction(tree);
    if (!transaction.begun()) return RegError{0, transaction.begun().error()};
    for (const RegOperation& operation : operations) {
        if (Result applied = applyOne(tree, operation); !applied) {
            return RegError{operation.line, applied.error()};
        }
    }
    if (Result committed = transaction.commit(); !committed) return RegError{0, committed.error()};
    return std::nullopt;
}

Expected<Bytes> exportRegFile(KeyTree& tree, std::string_view relative) {
    const std::string trimmedPath = trimmedKeyPath(relative);
    if (auto problem = keyPathProblem(trimmedPath, KeyUse::Export))
        return Result::failure(*problem);
    Expected<std::string> spelled = storedSpelling(tree, trimmedPath);
    if (!spelled) return spelled.status();
    std::string text(kVersion5);
    text += "\r\n\r\n";
    if (Result added = appendKey(tree, *spelled, text); !added) return added;
    Bytes out = {0xFF, 0xFE};
    appendUtf16le(out, text);
    return out;
}

}  // namespace ks
