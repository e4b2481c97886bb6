// Any bytes through the request parser, split into reads at the places the
// first byte picks. The request must read the same whatever the split, and
// the body never exceeds the Content-Length.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/HttpRequest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t step = data[0] % 16 + 1;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    ks::RequestParser whole;
    ks::RequestParser pieces;
    auto progress = ks::RequestParser::Progress::NeedMore;
    for (std::size_t at = 0; at < bytes.size(); at += step)
        progress = pieces.feed(bytes.substr(at, step));
    if (whole.feed(bytes) != progress) std::abort();
    const ks::HttpRequest& a = whole.request();
    const ks::HttpRequest& b = pieces.request();
    if (a.method != b.method || a.path != b.path || a.headers != b.headers || a.body != b.body)
        std::abort();
    if (a.contentLength >= 0 && a.body.size() > static_cast<std::size_t>(a.contentLength))
        std::abort();
    return 0;
}
