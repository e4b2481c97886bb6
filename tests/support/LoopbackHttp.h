#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace ks::test {

// A loopback port nobody listens on now.
inline std::uint16_t freePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    close(s);
    return ntohs(address.sin_port);
}

// A connection to the loopback `port` whose reads and writes give up after
// 3 s; -1 when it cannot be made.
inline int connectLoopback(std::uint16_t port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    const timeval limit{3, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return s;
    close(s);
    return -1;
}

inline bool sendAll(int s, const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = send(s, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// Sends `pieces` to the loopback `port`, `gap` apart, and returns what comes
// back until the peer closes (or 3 s pass without a byte). Sending stops
// once the peer has closed.
inline std::string exchange(std::uint16_t port, const std::vector<std::string>& pieces,
                            std::chrono::milliseconds gap = std::chrono::milliseconds(10)) {
    const int s = connectLoopback(port);
    if (s < 0) return {};
    std::string received;
    for (const std::string& bytes : pieces) {
        if (&bytes != &pieces.front()) std::this_thread::sleep_for(gap);
        if (!sendAll(s, bytes)) break;
    }
    char buffer[4096];
    for (ssize_t n; (n = recv(s, buffer, sizeof buffer, 0)) > 0;) received.append(buffer, n);
    close(s);
    return received;
}

}  // namespace ks::test
