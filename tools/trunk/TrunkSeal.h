// Sealing and opening trunk datagrams with the pre-shared key: the body is
// encrypted and, with the clear header, authenticated (XChaCha20-Poly1305).
// The nonce is the sender's run (random, drawn at start) and its counter,
// so no two datagrams under one key share one. On an insecure trunk
// (--insecure) bodies travel in clear, without a tag.
#pragma once

#include <cstdint>
#include <string>

#include "TrunkFormat.h"

namespace trunk {

constexpr int kKeySize = 32;

class TrunkSeal {
public:
    TrunkSeal();
    ~TrunkSeal();
    TrunkSeal(const TrunkSeal&) = delete;
    TrunkSeal& operator=(const TrunkSeal&) = delete;

    // The key from a file: 64 hexadecimal digits (blanks and line ends
    // around them allowed). False with a sentence in `error`.
    bool LoadKeyFile(const std::string& path, std::string& error);
    void UseKey(const uint8_t key[kKeySize]);
    void UseNoKey() { sealed_ = false; }
    bool Sealed() const { return sealed_; }

    // The whole datagram (clear header, body, tag) into `datagram`.
    void Seal(Kind kind, uint64_t run, uint64_t counter, const uint8_t* body, int length, Bytes& datagram) const;
    // The body of a datagram whose clear header has been read; false when
    // it does not authenticate under the key.
    bool Open(const uint8_t* datagram, int length, const ClearHeader& header, Bytes& body) const;

    // A fresh random run for this process.
    static uint64_t NewRun();

private:
    uint8_t key_[kKeySize];
    bool sealed_ = false;
};

}  // namespace trunk
