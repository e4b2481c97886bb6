#include "expand/ExpansionEngine.h"

#include <cstdlib>
#include <ctime>
#include <vector>

#include "core/Utf8.h"
#include "expand/ErrorMessage.h"
#include "expand/Expression.h"
#include "store/SettingsStore.h"

namespace ks {
namespace {

constexpr std::string_view kSymbols = "[]{}@`~";

char closingSymbol(char open) {
    switch (open) {
        case '[': return ']';
        case '{': return '}';
        default: return '@';
    }
}

bool opensReference(char c) {
    return c == '[' || c == '{' || c == '@';
}

const std::string kMissingClosingSymbols =
    "Missing or mismatched number of closing  expansion symbols. i.e. ] } @\n\n"
    "To use expansion symbols as non special characters, precede them with a accent mark \"`\"";

// A disk name ends in a drive letter, optionally followed by a colon:
// "DISKSPACEC" and "DISKSPACEC:" both name drive C.
struct DriveName {
    std::string_view prefix;
    char32_t letter = 0;
};

std::optional<DriveName> splitDriveLetter(std::string_view name) {
    std::size_t count = 0;
    std::size_t lastStart = 0;
    std::size_t previousStart = 0;
    char32_t last = 0;
    char32_t previous = 0;
    for (std::size_t pos = 0; pos < name.size();) {
        const utf8::CodePoint cp = utf8::decode(name, pos);
        previousStart = lastStart, previous = last;
        lastStart = pos, last = cp.value;
        pos += cp.length;
        ++count;
    }
    if (count < 2) return std::nullopt;
    if (last == U':') return DriveName{name.substr(0, previousStart), previous};
    return DriveName{name.substr(0, lastStart), last};
}

std::string localTimeText(SystemValues& system, const char* format) {
    const std::tm now = system.localTime();
    char text[64] = {};
    std::strftime(text, sizeof text, format, &now);
    return text;
}

std::string platformName(PlatformFamily family) {
    switch (family) {
        case PlatformFamily::Windows: return "WINDOWS";
        case PlatformFamily::NT: return "NT";
        default: return "UNKNOWN";
    }
}

std::string diskValue(SystemValues& system, char32_t letter, std::uint64_t DiskUsage::*field) {
    const auto usage = system.disk(letter);
    return usage ? std::to_string((*usage).*field) : "0";
}

struct NamedValue {
    std::string_view name;
    std::string (*read)(SystemValues&);
};

// The values that hide any variable of the same name, in the order they are tried.
const NamedValue kNamedValues[] = {
    {"SYSDIR", [](SystemValues& s) { return s.systemDirectory(); }},
    {"WINDIR", [](SystemValues& s) { return s.windowsDirectory(); }},
    {"WINVER",
     [](SystemValues& s) {
         const OsVersion v = s.version();
         return std::to_string(v.major) + "." + std::to_string(v.minor);
     }},
    {"BUILDVER", [](SystemValues& s) { return std::to_string(s.version().build); }},
    {"PLATFORM", [](SystemValues& s) { return platformName(s.family()); }},
    {"TOTRAM", [](SystemValues& s) { return std::to_string(s.totalMemoryBytes()); }},
    {"CSDVER", [](SystemValues& s) { return s.serviceText(); }},
    {"XEXTENT", [](SystemValues& s) { return std::to_string(s.screen().width); }},
    {"YEXTENT", [](SystemValues& s) { return std::to_string(s.screen().height); }},
    {"TIME", [](SystemValues& s) { return localTimeText(s, "%H:%M"); }},
    {"DATE", [](SystemValues& s) { return localTimeText(s, "%m/%d/%Y"); }},
};

}  // namespace

std::optional<std::string> processEnvironment(const std::string& name) {
    // getenv would stop at a zero byte or split at '=', and find another variable.
    if (name.find_first_of(std::string_view("\0=", 2)) != std::string::npos) return std::nullopt;
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

ExpansionEngine::ExpansionEngine(Messages& messages, SystemValues& system, VariableTable& variables,
                                 EnvironmentLookup environment)
    : messages_(messages),
      system_(system),
      variables_(variables),
      environment_(std::move(environment)) {}

bool ExpansionEngine::readSwitch(SettingsStore& store) {
    return store.OptionOn("ExpansionOn");
}

void ExpansionEngine::Expand(std::string& text) {
    if (!enabled_ || text.empty()) return;
    const bool isExpression = text.front() == '(';
    std::string out = expanded(text).value_or(std::string());
    if (!isExpression) {
        text = std::move(out);
        return;
    }
    bool error = false;
    const std::int32_t result = EvaluateExpression(out, error);
    text = error ? "Error" : std::to_string(result);
}

std::optional<std::string> ExpansionEngine::expanded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t symbol = text.find_first_of(kSymbols, i);
        out.append(text.substr(i, symbol - i));
        if (symbol == std::string_view::npos) break;
        i = symbol + 1;
        const char c = text[symbol];
        if (c == '`') {
            if (i == text.size()) break;
            const std::size_t length = utf8::decode(text, i).length;
            out.append(text.substr(i, length));
            i += length;
        } else if (c == '~') {
            out += '\n';
        } else if (c == ']' || c == '}') {
            showExpansionError(messages_,
                               std::string(1, c) + " should be preceeded by an opening symbol.");
        } else {
            auto reference = collectReference(text, symbol);
            if (!reference) return std::nullopt;
            out += reference->value;
            i = reference->end;
        }
    }
    return out;
}

// References nest ("[ITEM[N]]", "[@65@]"); open ones wait on an explicit
// stack so that no depth of nesting can exhaust the call stack. The closing
// symbol of the innermost open reference is tested first, so inside @...@ a
// further @ always closes.
std::optional<ExpansionEngine::Reference> ExpansionEngine::collectReference(std::string_view text,
                                                                            std::size_t open) {
    struct Open {
        char close;
        std::string name;
    };
    std::vector<Open> stack{{closingSymbol(text[open]), {}}};
    for (std::size_t i = open + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == stack.back().close) {
            std::string value = resolved(c, stack.back().name);
            stack.pop_back();
            if (stack.empty()) return Reference{std::move(value), i + 1};
            stack.back().name += value;
        } else if (opensReference(c)) {
            stack.push_back({closingSymbol(c), {}});
        } else {
            stack.back().name += c;
        }
    }
    showExpansionError(messages_, kMissingClosingSymbols);
    return std::nullopt;
}

std::string ExpansionEngine::resolved(char close, const std::string& name) {
    switch (close) {
        case ']': return LookupValue(name);
        case '}': return environmentValue(name);
        default: return characterValue(name);
    }
}

std::string ExpansionEngine::environmentValue(const std::string& name) {
    const std::string upperName = utf8::upper(name);
    if (auto value = environment_(upperName)) return *value;
    showExpansionError(messages_, "Variable \"" + upperName + "\" not defined!");
    return {};
}

// One or more decimal digits, optionally after one '+', naming a code from 0 to 255.
std::string ExpansionEngine::characterValue(const std::string& code) {
    std::string_view digits = code;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    unsigned value = 0;
    bool valid = !digits.empty();
    for (char c : digits) {
        valid = valid && c >= '0' && c <= '9';
        if (!valid) break;
        value = value * 10 + static_cast<unsigned>(c - '0');
        valid = value <= 255;
    }
    if (valid) return utf8::encode(static_cast<char32_t>(value));
    showExpansionError(messages_, "Invalid ascii code: \"" + code + "\"");
    return {};
}

std::string ExpansionEngine::LookupValue(std::string_view name) {
    if (auto value = systemValue(utf8::upper(name))) return *value;
    if (auto text = variables_.textValue(name)) return *text;
    showExpansionError(messages_, "Variable \"" + std::string(name) + "\" not defined!");
    return {};
}

std::optional<std::string> ExpansionEngine::systemValue(std::string_view upperName) {
    if (const auto drive = splitDriveLetter(upperName)) {
        if (drive->prefix == "DISKSPACE")
            return diskValue(system_, drive->letter, &DiskUsage::freeBytes);
        if (drive->prefix == "DISKSIZE")
            return diskValue(system_, drive->letter, &DiskUsage::totalBytes);
    }
    for (const NamedValue& named : kNamedValues) {
        if (named.name == upperName) return named.read(system_);
    }
    return std::nullopt;
}

std::int32_t ExpansionEngine::EvaluateExpression(std::string_view text, bool& error) {
    const auto result = evaluateExpression(text, messages_);
    error = !result.has_value();
    return result.value_or(0);
}

}  // namespace ks
