// Any bytes through the XML reader. A document that reads must write out as
// ISO-8859-1 that reads back to the very same elements, unless a name has a
// character beyond ISO-8859-1.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "xml/XmlDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ks::XmlError error;
    const auto document =
        ks::XmlDocument::parse(std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!document) {
        if (error.reason.empty()) std::abort();
        return 0;
    }
    const ks::Expected<std::string> written = document->serialize();
    if (!written) return 0;  // a name ISO-8859-1 cannot hold
    const auto again = ks::XmlDocument::parse(*written, error);
    if (!again || !(again->root() == document->root())) std::abort();
    return 0;
}
