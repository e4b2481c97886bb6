#include "store/StorePath.h"

#include "core/Utf8.h"
#include "store/SettingsStore.h"

namespace ks {

std::string trimmedKeyPath(std::string_view relative) {
    while (!relative.empty() && relative.front() == '\\') relative.remove_prefix(1);
    while (!relative.empty() && relative.back() == '\\') relative.remove_suffix(1);
    return std::string(relative);
}

std::optional<std::string> nameProblem(std::string_view name) {
    if (name.find_first_of("\r\n") != std::string_view::npos) {
        return std::string("A name has a line break in it.");
    }
    if (name.find('\0') != std::string_view::npos)
        return std::string("A name has a zero character in it.");
    return std::nullopt;
}

namespace {

// C0 and C1 controls, DEL, and the Unicode line and paragraph separators.
bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

}  // namespace

std::optional<NameFault> itemNameFault(std::string_view name) {
    if (name.find('\\') != std::string_view::npos) return NameFault::Backslash;
    for (std::size_t pos = 0; pos < name.size();) {
        const utf8::CodePoint c = utf8::decode(name, pos);
        if (c.valid && isControl(c.value)) return NameFault::ControlCharacter;
        pos += c.length;
    }
    return std::nullopt;
}

std::string_view nameFaultText(NameFault fault) {
    switch (fault) {
        case NameFault::Backslash: return "a backslash (\\)";
        case NameFault::ControlCharacter: break;
    }
    return "a line break or other control character";
}

std::optional<std::string> keyPathProblem(std::string_view relative, KeyUse use) {
    if (relative.empty()) return std::nullopt;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = relative.find('\\', start);
        const std::string_view name =
            relative.substr(start, end == std::string_view::npos ? end : end - start);
        if (name.empty()) return "The key path has an empty name in it.";
        if (utf8::length(name) > kMaxKeyNameLength) {
            return "The key name \"" + std::string(name) + "\" is longer than " +
                   std::to_string(kMaxKeyNameLength) + " characters.";
        }
        if (auto problem = nameProblem(name); problem && use != KeyUse::Find) return problem;
        if (const auto fault = itemNameFault(name); fault && use == KeyUse::Write) {
            return "The key name must not contain " + std::string(nameFaultText(*fault)) + ".";
        }
        if (end == std::string_view::npos) return std::nullopt;
        start = end + 1;
    }
}

std::optional<std::string> namedKeyProblem(std::string_view path) {
    if (path.empty() || path.back() == '\\') return std::string("The key name is empty.");
    return std::nullopt;
}

std::optional<std::string> keyDeletionProblem(std::string_view relative) {
    if (!trimmedKeyPath(relative).empty()) return std::nullopt;
    return std::string("The key name is empty: the whole store is never deleted.");
}

std::string storePath(std::string_view relative) {
    std::string path = kDirectRoot;
    path += relative;
    return path;
}

}  // namespace ks
