#include "system/ShellWords.h"

namespace ks {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

bool escapableInDoubleQuotes(char c) {
    return c == '$' || c == '`' || c == '"' || c == '\\' || c == '\n';
}

}  // namespace

std::optional<std::vector<std::string>> splitShellWords(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t at = 0; at < line.size(); ++at) {
        const char c = line[at];
        if (isBlank(c)) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\'') {
            const std::size_t end = line.find('\'', at + 1);
            if (end == std::string_view::npos) return std::nullopt;
            word.append(line.substr(at + 1, end - at - 1));
            at = end;
        } else if (c == '"') {
            for (++at;; ++at) {
                if (at == line.size()) return std::nullopt;
                if (line[at] == '"') break;
                if (line[at] == '\\' && at + 1 < line.size() &&
                    escapableInDoubleQuotes(line[at + 1])) {
                    ++at;
                    if (line[at] == '\n') continue;
                }
                word.push_back(line[at]);
            }
        } else if (c == '\\' && at + 1 < line.size()) {
            ++at;
            if (line[at] == '\n') {
                inWord = !word.empty();
                continue;
            }
            word.push_back(line[at]);
        } else {
            word.push_back(c);
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

}  // namespace ks
