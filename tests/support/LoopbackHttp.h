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

// Sends `pieces` to the loopback `port`, 10 ms apart, and returns what comes
// back until the peer closes (or 3 s pass without a byte).
inline std::string exchange(std::uint16_t port, const std::vector<std::string>& pieces) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    const timeval limit{3, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    std::string received;
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        for (const std::string& bytes : pieces) {
            if (&bytes != &pieces.front())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            for (std::size_t sent = 0; sent < bytes.size();) {
                const ssize_t n = send(s, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<std::size_t>(n);
            }
        }
        char buffer[4096];
        for (ssize_t n; (n = recv(s, buffer, sizeof buffer, 0)) > 0;) received.append(buffer, n);
    }
    close(s);
    return received;
}

}  // namespace ks::test
