#include "exchange/zip/memory_file.h"

#include <algorithm>
#include <cstring>

namespace {

voidpf ZCALLBACK MemoryOpen(voidpf opaque, const void*, int) {
    return opaque;
}

uLong ZCALLBACK MemoryRead(voidpf, voidpf stream, void* buf, uLong size) {
    auto* f = static_cast<ZipMemoryFile*>(stream);
    const std::uint64_t size64 = f->Size();
    if (f->out || f->pos >= size64) {
        return 0;
    }
    const std::uint64_t n = std::min<std::uint64_t>(size, size64 - f->pos);
    std::memcpy(buf, f->in.data() + f->pos, n);
    f->pos += n;
    return static_cast<uLong>(n);
}

uLong ZCALLBACK MemoryWrite(voidpf, voidpf stream, const void* buf, uLong size) {
    auto* f = static_cast<ZipMemoryFile*>(stream);
    if (!f->out) {
        f->error = true;
        return 0;
    }
    if (f->out->size() < f->pos + size) {
        f->out->resize(f->pos + size);
    }
    std::memcpy(f->out->data() + f->pos, buf, size);
    f->pos += size;
    return size;
}

ZPOS64_T ZCALLBACK MemoryTell(voidpf, voidpf stream) {
    return static_cast<ZipMemoryFile*>(stream)->pos;
}

long ZCALLBACK MemorySeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* f = static_cast<ZipMemoryFile*>(stream);
    std::uint64_t base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        break;
    case ZLIB_FILEFUNC_SEEK_CUR:
        base = f->pos;
        break;
    case ZLIB_FILEFUNC_SEEK_END:
        base = f->Size();
        break;
    default:
        return -1;
    }
    // Offsets come from the archive itself: one past the end is refused, not wrapped.
    if (offset > f->Size() || base > f->Size() - offset) {
        return -1;
    }
    f->pos = base + offset;
    return 0;
}

int ZCALLBACK MemoryClose(voidpf, voidpf) {
    return 0;
}

int ZCALLBACK MemoryError(voidpf, voidpf stream) {
    return static_cast<ZipMemoryFile*>(stream)->error ? 1 : 0;
}

} // namespace

zlib_filefunc64_def ZipMemoryFunctions(ZipMemoryFile& file) {
    zlib_filefunc64_def f{};
    f.zopen64_file = MemoryOpen;
    f.zread_file = MemoryRead;
    f.zwrite_file = MemoryWrite;
    f.ztell64_file = MemoryTell;
    f.zseek64_file = MemorySeek;
    f.zclose_file = MemoryClose;
    f.zerror_file = MemoryError;
    f.opaque = &file;
    return f;
}
