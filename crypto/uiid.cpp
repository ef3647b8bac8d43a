#include "crypto/uiid.h"

#include "crypto/md5.h"
#include "crypto/my_md5.h"

#include <cstring>

std::string MakeUIID(const std::string& name, const std::string& mobile) {
    // The joined text is digested up to its first zero byte, as a C string would be.
    const std::string joined = name + mobile;
    const std::size_t length = std::strlen(joined.c_str());
    MD5_CTX ctx;
    ctx.Update(reinterpret_cast<const unsigned char*>(joined.data()),
               static_cast<unsigned int>(length));
    unsigned char digest[16];
    ctx.Final(digest);
    return ToUpperHex(digest, sizeof digest);
}
