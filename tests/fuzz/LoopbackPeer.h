// A plain UDP socket on a loopback address, playing a master, a client or a
// stranger for a module loaded in the fuzz target. Nothing leaves 127.0.0.0/8.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz {

class LoopbackPeer {
public:
    // Binds 127.0.0.<host> on `port` (0: any). bound() tells whether it worked.
    LoopbackPeer(int host, int port);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    bool bound() const { return bound_; }
    int port() const { return ntohs(address_.sin_port); }
    const sockaddr_in& address() const { return address_; }
    bool is(const sockaddr_in& other) const {
        return other.sin_addr.s_addr == address_.sin_addr.s_addr && other.sin_port == address_.sin_port;
    }

    // To 127.0.0.1:port, without waiting.
    void sendTo(int port, const void* bytes, size_t length) const;
    // Every datagram queued now, without waiting; at most `limit` of them.
    std::vector<std::vector<uint8_t>> receiveAll(size_t limit = 100000) const;

private:
    int fd_ = -1;
    bool bound_ = false;
    sockaddr_in address_{};
};

// Throws away whatever an earlier input left queued at the peers.
template <size_t N>
void DrainAll(const LoopbackPeer* const (&peers)[N]) {
    for (const LoopbackPeer* peer : peers) peer->receiveAll();
}

}  // namespace fuzz
