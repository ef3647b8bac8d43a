#pragma once

#include <cstdint>

namespace md5_detail {

extern const std::uint32_t kInitialState[4];

// One 64-byte block of the MD5 compression function.
void Transform(std::uint32_t state[4], const unsigned char block[64]);

void EncodeLittleEndian(unsigned char* out, const std::uint32_t* in, unsigned int length);

} // namespace md5_detail
