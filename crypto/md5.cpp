#include "crypto/md5.h"

#include "crypto/md5_core.h"

#include <cstring>

using namespace md5_detail;

MD5_CTX::MD5_CTX() {
    Init();
}

void MD5_CTX::Init() {
    count_[0] = count_[1] = 0;
    std::memcpy(state_, kInitialState, sizeof state_);
    std::memset(padding_, 0, sizeof padding_);
    padding_[0] = 0x80;
}

void MD5_CTX::Update(const unsigned char* input, unsigned int length) {
    unsigned int index = (count_[0] >> 3) & 0x3F;
    count_[0] += length << 3;
    if (count_[0] < (length << 3)) {
        ++count_[1];
    }
    count_[1] += length >> 29;

    const unsigned int partLength = 64 - index;
    unsigned int i = 0;
    if (length >= partLength) {
        std::memcpy(&buffer_[index], input, partLength);
        Transform(state_, buffer_);
        for (i = partLength; i + 63 < length; i += 64) {
            Transform(state_, &input[i]);
        }
        index = 0;
    }
    if (length > i) {
        std::memcpy(&buffer_[index], &input[i], length - i);
    }
}

void MD5_CTX::Final(unsigned char digest[16]) {
    unsigned char bits[8];
    EncodeLittleEndian(bits, count_, 8);
    const unsigned int index = (count_[0] >> 3) & 0x3F;
    const unsigned int padLength = index < 56 ? 56 - index : 120 - index;
    Update(padding_, padLength);
    Update(bits, 8);
    EncodeLittleEndian(digest, state_, 16);

    std::memset(state_, 0, sizeof state_);
    std::memset(count_, 0, sizeof count_);
    std::memset(buffer_, 0, sizeof buffer_);
    std::memset(padding_, 0, sizeof padding_);
    Init();
}
