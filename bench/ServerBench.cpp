// A peer of the request server on loopback (bench/server_bench.sh runs it):
//   bench_server PORT rate N      N clipboard requests one after another: requests per second
//   bench_server PORT latency N   N macro requests (id 10000): reply latency in ms
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "LoopbackHttp.h"

namespace {

std::string request(int id) {
    const std::string body = "<MsgID ID=\"" + std::to_string(id) + "\"></MsgID>";
    return "POST / HTTP/1.0\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

bool answered(const std::string& reply, int code) {
    return reply.find("<MsgID ID=\"" + std::to_string(code) + "\">") != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_server PORT rate|latency N\n");
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    const auto port = static_cast<std::uint16_t>(std::atoi(argv[1]));
    const std::string mode = argv[2];
    const int count = std::atoi(argv[3]);
    const bool rate = mode == "rate";
    const std::string bytes = request(rate ? 1000 : 10000);
    std::vector<double> millis;
    const auto begun = Clock::now();
    for (int i = 0; i < count; ++i) {
        const auto sent = Clock::now();
        const std::string reply = ks::test::exchange(port, {bytes});
        millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        if (!answered(reply, rate ? 1001 : 1005)) {
            std::fprintf(stderr, "unexpected reply: %s\n", reply.c_str());
            return 1;
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - begun).count();
    if (rate) {
        std::printf("%d clipboard requests in %.2f s: %.0f requests/s\n", count, seconds,
                    count / seconds);
        return 0;
    }
    std::sort(millis.begin(), millis.end());
    const auto at = [&](double share) {
        return millis[static_cast<std::size_t>(share * (millis.size() - 1))];
    };
    std::printf(
        "macro request to reply (%d): min %.1f ms, median %.1f ms, p95 %.1f ms, max %.1f ms\n",
        count, millis.front(), at(0.5), at(0.95), millis.back());
    return 0;
}
