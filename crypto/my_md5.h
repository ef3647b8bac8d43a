#pragma once

#include <string>

// 32 upper-case hexadecimal digits of the MD5 digest of a text's bytes, up to its first
// zero byte. Used for the login check.
std::string Md5HexString(const char* text);

// Upper-case hexadecimal form of raw bytes, two digits per byte.
std::string ToUpperHex(const unsigned char* bytes, std::size_t length);
