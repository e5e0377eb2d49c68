// One datagram a module sent, read at literal offsets.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "Loopback.h"

struct Datagram {
    std::vector<uint8_t> bytes;
    int32_t type() const { return read<int32_t>(0); }
    int32_t seq() const { return read<int32_t>(4); }
    template <class T>
    T read(size_t offset) const {
        T value{};
        if (offset + sizeof value <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof value);
        return value;
    }
    std::string name(size_t offset) const {
        if (offset >= bytes.size()) return "";
        const char* start = reinterpret_cast<const char*>(bytes.data() + offset);
        return std::string(start, strnlen(start, 32));
    }
};

// Every datagram already queued at the peer, without waiting.
inline std::vector<Datagram> ReceiveAllNow(const PeerSocket& peer) {
    std::vector<Datagram> all;
    std::vector<uint8_t> buffer(70000);
    for (;;) {
        const int length = peer.receiveNow(buffer.data(), buffer.size());
        if (length < 0) break;
        all.push_back(Datagram{std::vector<uint8_t>(buffer.begin(), buffer.begin() + length)});
    }
    return all;
}
