// A peer of the request server on loopback (bench/server_bench.sh runs it):
//   bench_server PORT rate N      N clipboard requests one after another: requests per second
//   bench_server PORT latency N   N macro requests (id 10000): reply latency in ms
//   bench_server PORT hostile KIND N
//                                 N clipboard requests of a good peer, first alone, then while
//                                 a hostile peer sends: KIND attributes (an element of 80,000
//                                 attributes, again and again), dribble (a byte a second) or
//                                 samename (an import of 10,000 macros of one name)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackHttp.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string post(const std::string& body) {
    return "POST / HTTP/1.0\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string request(int id) {
    return post("<MsgID ID=\"" + std::to_string(id) + "\"></MsgID>");
}

bool answered(const std::string& reply, int code) {
    return reply.find("<MsgID ID=\"" + std::to_string(code) + "\">") != std::string::npos;
}

double millisSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Spread {
    std::vector<double> millis;
    int unanswered = 0;

    double at(double share) {
        std::sort(millis.begin(), millis.end());
        return millis.empty() ? 0 : millis[static_cast<std::size_t>(share * (millis.size() - 1))];
    }
};

// `count` requests of `id`, each timed from connect to close.
Spread timeRequests(std::uint16_t port, int id, int code, int count) {
    Spread spread;
    const std::string bytes = request(id);
    for (int i = 0; i < count; ++i) {
        const auto sent = Clock::now();
        const std::string reply = ks::test::exchange(port, {bytes});
        spread.millis.push_back(millisSince(sent));
        if (!answered(reply, code)) ++spread.unanswered;
    }
    return spread;
}

std::string manyAttributes() {
    std::string element = "<x ID=\"1000\"";
    for (int i = 0; i < 80000; ++i) element += " a" + std::to_string(i) + "=\"\"";
    return post(element + "/>");
}

std::string sameNameMacros() {
    std::string document = "<KEYSTRIDER ID=\"1003\"><MACROS>";
    for (int i = 0; i < 10000; ++i) document += "<MACRO Name=\"Same\"><repeat>1</repeat></MACRO>";
    return post(document + "</MACROS><RECORDINGS></RECORDINGS></KEYSTRIDER>");
}

// Sends what `kind` names until `stop`, one connection after another.
void hostilePeer(std::uint16_t port, const std::string& kind, const std::atomic<bool>& stop) {
    const std::string bytes = kind == "attributes" ? manyAttributes()
                              : kind == "samename" ? sameNameMacros()
                                                   : request(1000);
    const auto gap = std::chrono::milliseconds(kind == "dribble" ? 1000 : 0);
    while (!stop) {
        const int s = ks::test::connectLoopback(port);
        if (s < 0) return;
        if (gap.count() == 0) {
            ks::test::sendAll(s, bytes);
            char buffer[4096];
            while (!stop && recv(s, buffer, sizeof buffer, 0) > 0) {
            }
        } else {
            for (std::size_t i = 0; i < bytes.size() && !stop; ++i) {
                if (!ks::test::sendAll(s, bytes.substr(i, 1))) break;
                for (int waited = 0; waited < 10 && !stop; ++waited)
                    std::this_thread::sleep_for(gap / 10);
            }
        }
        close(s);
    }
}

// Waits, up to 10 minutes, until the server answers at once again after a
// hostile peer before (the program may still be busy with what it sent).
bool waitUntilQuiet(std::uint16_t port) {
    for (int tries = 0; tries < 200; ++tries) {
        if (timeRequests(port, 1000, 1001, 1).at(1) < 100) return true;
    }
    return false;
}

int hostile(std::uint16_t port, const std::string& kind, int count) {
    if (!waitUntilQuiet(port)) {
        std::fprintf(stderr, "the server does not answer at once\n");
        return 1;
    }
    Spread quiet = timeRequests(port, 1000, 1001, count);
    std::atomic<bool> stop = false;
    std::thread peer(hostilePeer, port, kind, std::cref(stop));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // its request under way
    Spread loaded = timeRequests(port, 1000, 1001, count);
    stop = true;
    peer.join();
    const double quietMedian = quiet.at(0.5);
    std::printf(
        "good peer, quiet: median %.1f ms, max %.1f ms; while %s: median %.1f ms, max %.1f ms, "
        "%d of %d unanswered within 3 s; worst beyond quiet: %.1f ms\n",
        quietMedian, quiet.at(1), kind.c_str(), loaded.at(0.5), loaded.at(1), loaded.unanswered,
        count, loaded.at(1) - quietMedian);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[2] : "";
    if (!(argc == 4 && (mode == "rate" || mode == "latency")) &&
        !(argc == 5 && mode == "hostile")) {
        std::fprintf(stderr,
                     "usage: bench_server PORT rate|latency N\n"
                     "       bench_server PORT hostile attributes|dribble|samename N\n");
        return 2;
    }
    const auto port = static_cast<std::uint16_t>(std::atoi(argv[1]));
    if (mode == "hostile") return hostile(port, argv[3], std::atoi(argv[4]));
    const int count = std::atoi(argv[3]);
    const bool rate = mode == "rate";
    const auto begun = Clock::now();
    Spread spread = timeRequests(port, rate ? 1000 : 10000, rate ? 1001 : 1005, count);
    if (spread.unanswered > 0) {
        std::fprintf(stderr, "%d requests unanswered\n", spread.unanswered);
        return 1;
    }
    if (rate) {
        const double seconds = millisSince(begun) / 1000;
        std::printf("%d clipboard requests in %.2f s: %.0f requests/s\n", count, seconds,
                    count / seconds);
        return 0;
    }
    std::printf(
        "macro request to reply (%d): min %.1f ms, median %.1f ms, p95 %.1f ms, max %.1f ms\n",
        count, spread.at(0), spread.at(0.5), spread.at(0.95), spread.at(1));
    return 0;
}
