#pragma once

#include <cstdint>

// MD5 (RFC 1321) with separate initialise, update and finish steps. Used for contact
// identifiers and for the package key.
class MD5_CTX {
public:
    MD5_CTX();
    virtual ~MD5_CTX() = default;

    void Init();
    void Update(const unsigned char* input, unsigned int length);
    // Writes the 16-byte digest, then clears and re-initialises the object so that it can
    // start a new digest.
    void Final(unsigned char digest[16]);

private:
    std::uint32_t state_[4];
    std::uint32_t count_[2]; // message length in bits, low word first
    unsigned char buffer_[64];
    unsigned char padding_[64];
};
