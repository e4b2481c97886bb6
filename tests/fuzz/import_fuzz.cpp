// Any bytes posted as a document to import, read and imported as the request
// server does. What an import adds must be one row per item under a name no
// other row has in any case, each with its key in the store.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>

#include "ListImportSite.h"
#include "MapTriggerOwners.h"
#include "RecordingMessages.h"
#include "core/Utf8.h"
#include "interchange/Interchange.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"
#include "store/StoreKey.h"

namespace {

void checkRows(ks::KeyTree& tree, const std::vector<std::string>& rows, ks::StoreKey list) {
    std::set<std::string> folded;
    for (const std::string& row : rows) {
        if (!folded.insert(ks::utf8::upper(row)).second) std::abort();
        if (!tree.keyExists(list.child(row).treePath())) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ks::XmlError error;
    const auto document =
        ks::XmlDocument::parse(std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!document) return 0;
    ks::test::RecordingMessages messages;
    ks::KeyTree tree(":memory:");
    ks::SettingsStore store(tree, messages);
    if (!store.EnsureRootKeys()) std::abort();
    ks::test::ListImportSite site;
    ks::test::MapTriggerOwners triggers;
    // Twice, so that the second import renames every item of the first.
    for (int round = 0; round < 2; ++round) {
        ks::importMacros(store, site, triggers, *document, ks::ImportMode::Silent);
        ks::importRecordings(store, site, *document, ks::ImportMode::Silent);
    }
    checkRows(tree, site.macros, ks::StoreKey::macros());
    checkRows(tree, site.recordings, ks::StoreKey::journals());
    return 0;
}
