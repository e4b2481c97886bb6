// Any bytes through the .reg parser. A file that parses must apply to a store, and what that
// store exports must parse, apply and export again to the very same bytes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "store/KeyTree.h"
#include "store/RegFile.h"

namespace {

// The store's export after importing `file`, or nothing when `file` left no root key.
std::optional<ks::Bytes> importThenExport(std::string_view file) {
    const ks::RegParse parsed = ks::parseRegFile(file);
    if (!parsed.ok()) {
        if (!parsed.operations.empty() || parsed.error->line == 0) std::abort();
        return std::nullopt;
    }
    ks::KeyTree tree(":memory:");
    if (ks::applyRegOperations(tree, parsed.operations)) std::abort();
    ks::Expected<ks::Bytes> exported = ks::exportRegFile(tree, "");
    if (!exported && exported.error() != ks::KeyTree::kMissingKey) std::abort();
    return exported ? std::optional(std::move(*exported)) : std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto first =
        importThenExport(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!first) return 0;
    const auto second = importThenExport(
        std::string_view(reinterpret_cast<const char*>(first->data()), first->size()));
    if (!second || *second != *first) std::abort();
    return 0;
}
