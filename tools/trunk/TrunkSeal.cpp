#include "TrunkSeal.h"

#include <sodium.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "TrunkBytes.h"

namespace trunk {
namespace {

static_assert(crypto_aead_xchacha20poly1305_ietf_KEYBYTES == kKeySize, "key size");
static_assert(crypto_aead_xchacha20poly1305_ietf_ABYTES == kTagSize, "tag size");
static_assert(crypto_aead_xchacha20poly1305_ietf_NPUBBYTES == 24, "nonce size");

void Nonce(uint64_t run, uint64_t counter, uint8_t nonce[24]) {
    std::memset(nonce, 0, 24);
    Store<uint64_t>(nonce, run);
    Store<uint64_t>(nonce + 8, counter);
}

void WriteClearHeader(Kind kind, bool sealed, int bodyLength, uint64_t run, uint64_t counter, uint8_t* out) {
    std::memcpy(out, kMagic, sizeof kMagic);
    out[4] = kVersion;
    out[5] = static_cast<uint8_t>(static_cast<uint8_t>(kind) | (sealed ? kSealedBit : 0));
    Store<uint16_t>(out + 6, static_cast<uint16_t>(bodyLength));
    Store<uint64_t>(out + 8, run);
    Store<uint64_t>(out + 16, counter);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

TrunkSeal::TrunkSeal() {
    // Safe to call more than once; fails only without a source of randomness.
    if (sodium_init() < 0) std::abort();
    std::memset(key_, 0, sizeof key_);
}

TrunkSeal::~TrunkSeal() { sodium_memzero(key_, sizeof key_); }

bool TrunkSeal::LoadKeyFile(const std::string& path, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the trunk key file '" + path + "'";
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string digits;
    for (const char c : text.str()) {
        if (std::isspace(static_cast<unsigned char>(c)) == 0) digits += c;
    }
    uint8_t key[kKeySize];
    bool good = digits.size() == 2 * kKeySize;
    for (int i = 0; good && i < kKeySize; ++i) {
        const int high = HexDigit(digits[2 * i]);
        const int low = HexDigit(digits[2 * i + 1]);
        good = high >= 0 && low >= 0;
        key[i] = static_cast<uint8_t>(good ? high * 16 + low : 0);
    }
    if (!good) {
        error = "the trunk key file '" + path + "' does not hold a key of 64 hexadecimal digits";
        return false;
    }
    UseKey(key);
    sodium_memzero(key, sizeof key);
    return true;
}

void TrunkSeal::UseKey(const uint8_t key[kKeySize]) {
    std::memcpy(key_, key, kKeySize);
    sealed_ = true;
}

void TrunkSeal::Seal(Kind kind, uint64_t run, uint64_t counter, const uint8_t* body, int length,
                     Bytes& datagram) const {
    const int bodyLength = length + (sealed_ ? kTagSize : 0);
    datagram.resize(kClearHeaderSize + bodyLength);
    WriteClearHeader(kind, sealed_, bodyLength, run, counter, datagram.data());
    if (!sealed_) {
        std::memcpy(datagram.data() + kClearHeaderSize, body, length);
        return;
    }
    uint8_t nonce[24];
    Nonce(run, counter, nonce);
    unsigned long long written = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(datagram.data() + kClearHeaderSize, &written, body, length,
                                               datagram.data(), kClearHeaderSize, nullptr, nonce, key_);
}

bool TrunkSeal::Open(const uint8_t* datagram, int length, const ClearHeader& header, Bytes& body) const {
    const uint8_t* sealedBody = datagram + kClearHeaderSize;
    const int sealedLength = length - kClearHeaderSize;
    if (!sealed_) {
        body.assign(sealedBody, sealedBody + sealedLength);
        return true;
    }
    body.resize(sealedLength - kTagSize);
    uint8_t nonce[24];
    Nonce(header.run, header.counter, nonce);
    unsigned long long opened = 0;
    return crypto_aead_xchacha20poly1305_ietf_decrypt(body.data(), &opened, nullptr, sealedBody, sealedLength, datagram,
                                                      kClearHeaderSize, nonce, key_) == 0;
}

uint64_t TrunkSeal::NewRun() {
    if (sodium_init() < 0) std::abort();
    uint64_t run = 0;
    while (run == 0) randombytes_buf(&run, sizeof run);
    return run;
}

}  // namespace trunk
