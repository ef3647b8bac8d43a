#include "exchange/xls/container.h"

#include "platform/strings.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output-stdio.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace quillon::xls {

namespace {

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object != nullptr) {
            g_object_unref(object);
        }
    }
};
template <typename T> using GPtr = std::unique_ptr<T, GObjectUnref>;

struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};

// libgsf reports on stderr the damage it works around or gives up on. The readers report
// damage through their results instead, and a diagnostic tool's output should be its own.
void SilenceLibraryWarnings() {
    static std::once_flag once;
    std::call_once(once, [] {
        const auto ignore = [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {};
        const auto levels =
            static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING |
                                        G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG);
        g_log_set_handler("libgsf:msole", levels, ignore, nullptr);
        g_log_set_handler("libgsf", levels, ignore, nullptr);
        g_log_set_handler(nullptr, levels, ignore, nullptr);
    });
}

constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

bool IsStorage(GsfInput* entry) {
    return GSF_IS_INFILE(entry) && gsf_infile_num_children(GSF_INFILE(entry)) >= 0;
}

// A storage nested deeper than this is a loop in a damaged directory, not a real file.
constexpr int kMaxDepth = 32;

// The most the streams of a file may add up to. Each stream of a sound file lies in sectors of
// its own, so together they hold less than the file; a directory whose entries share one chain
// of sectors would otherwise have every entry read it again. Twice the file leaves a margin
// for a writer that miscounts sizes, and the margin stays modest for a large file.
std::size_t ReadBudget(std::size_t fileSize) {
    return fileSize + std::min<std::size_t>(fileSize, std::size_t{64} << 20);
}

bool ReadStream(GsfInput* input, std::size_t fileSize, std::size_t& budget,
                std::vector<std::uint8_t>& out, std::string& why) {
    const gsf_off_t size = gsf_input_size(input);
    // A stream cannot hold more than the file it lies in; a size beyond that is a lie in
    // the directory, and trusting it would allocate whatever it claims.
    if (size < 0 || static_cast<std::uint64_t>(size) > fileSize) {
        why = "a stream claims " + std::to_string(size) + " bytes in a file of " +
              std::to_string(fileSize);
        return false;
    }
    if (static_cast<std::uint64_t>(size) > budget) {
        why = "the streams add up to more than a file of " + std::to_string(fileSize) +
              " bytes holds (entries that share their sectors)";
        return false;
    }
    budget -= static_cast<std::size_t>(size);
    out.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < out.size()) {
        const std::size_t chunk = std::min<std::size_t>(out.size() - done, 1 << 16);
        if (gsf_input_read(input, chunk, out.data() + done) == nullptr) {
            why = "a stream ends after " + std::to_string(done) + " of " +
                  std::to_string(out.size()) + " bytes";
            return false;
        }
        done += chunk;
    }
    return true;
}

bool ReadStorage(GsfInfile* storage, std::size_t fileSize, std::size_t& budget, CompoundEntry& into,
                 int depth, std::string& why) {
    if (depth > kMaxDepth) {
        why = "storages nested too deep";
        return false;
    }
    into.storage = true;
    if (GSF_IS_INFILE_MSOLE(storage)) {
        gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(storage), into.classId.data());
    }
    const int count = gsf_infile_num_children(storage);
    for (int i = 0; i < count; ++i) {
        GPtr<GsfInput> child(gsf_infile_child_by_index(storage, i));
        if (!child) {
            why = "an entry of the directory cannot be opened";
            return false;
        }
        CompoundEntry entry;
        const char* name = gsf_infile_name_by_index(storage, i);
        entry.name = name != nullptr ? name : "";
        if (IsStorage(child.get())) {
            if (!ReadStorage(GSF_INFILE(child.get()), fileSize, budget, entry, depth + 1, why)) {
                return false;
            }
        } else if (!ReadStream(child.get(), fileSize, budget, entry.bytes, why)) {
            return false;
        }
        into.children.push_back(std::move(entry));
    }
    return true;
}

bool WriteStorage(GsfOutfile* storage, const CompoundEntry& from, std::string& why) {
    if (GSF_IS_OUTFILE_MSOLE(storage)) {
        gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(storage), from.classId.data());
    }
    for (const CompoundEntry& entry : from.children) {
        GPtr<GsfOutput> child(gsf_outfile_new_child(storage, entry.name.c_str(), entry.storage));
        if (!child) {
            why = "cannot add \"" + entry.name + "\"";
            return false;
        }
        bool ok = entry.storage
                      ? WriteStorage(GSF_OUTFILE(child.get()), entry, why)
                      : gsf_output_write(child.get(), entry.bytes.size(), entry.bytes.data());
        ok = gsf_output_close(child.get()) && ok;
        if (!ok) {
            if (why.empty()) {
                why = "cannot write \"" + entry.name + "\"";
            }
            return false;
        }
    }
    return true;
}

CompoundEntry* FindStream(CompoundEntry& storage, std::string_view name) {
    for (CompoundEntry& entry : storage.children) {
        if (!entry.storage && EqualsIgnoreCase(entry.name, name)) {
            return &entry;
        }
    }
    return nullptr;
}

BytesResult BytesFailure(ContainerError error, std::string detail) {
    BytesResult result;
    result.error = error;
    result.detail = std::move(detail);
    return result;
}

} // namespace

bool LooksLikeCompoundFile(ByteSpan file) {
    return file.size() >= sizeof kSignature && std::memcmp(file.data(), kSignature, 8) == 0;
}

struct CompoundDirectory::Opened {
    GPtr<GsfInput> input;
    GPtr<GsfInfile> ole;
};

CompoundResult ReadCompoundFile(ByteSpan file) {
    return CompoundDirectory(file).ReadAll();
}

CompoundResult CompoundDirectory::ReadAll() const {
    CompoundResult result;
    if (!opened_) {
        result.error = error_;
        result.detail = detail_;
        return result;
    }
    std::string why;
    std::size_t budget = ReadBudget(file_.size());
    if (!ReadStorage(opened_->ole.get(), file_.size(), budget, result.root, 0, why)) {
        result.error = ContainerError::Damaged;
        result.detail = why;
        result.root = {};
    }
    return result;
}

CompoundDirectory::CompoundDirectory(ByteSpan file) : file_(file) {
    if (!LooksLikeCompoundFile(file)) {
        error_ = ContainerError::NotCompound;
        detail_ = "no compound file signature";
        return;
    }
    SilenceLibraryWarnings();
    // The memory input borrows the caller's bytes, which outlive this object.
    auto opened = std::make_unique<Opened>();
    opened->input.reset(
        gsf_input_memory_new(file.data(), static_cast<gsf_off_t>(file.size()), FALSE));
    GError* rawError = nullptr;
    if (opened->input) {
        opened->ole.reset(gsf_infile_msole_new(opened->input.get(), &rawError));
    }
    std::unique_ptr<GError, ErrorFree> error(rawError);
    if (!opened->ole) {
        error_ = ContainerError::Damaged;
        detail_ = error && error->message ? error->message : "unreadable compound file";
        return;
    }
    opened_ = std::move(opened);
}

CompoundDirectory::~CompoundDirectory() = default;

bool CompoundDirectory::Has(std::string_view name) const {
    const int count = opened_ ? gsf_infile_num_children(opened_->ole.get()) : 0;
    for (int i = 0; i < count; ++i) {
        const char* entry = gsf_infile_name_by_index(opened_->ole.get(), i);
        if (entry != nullptr && EqualsIgnoreCase(entry, name)) {
            return true;
        }
    }
    return false;
}

BytesResult CompoundDirectory::Stream(std::string_view name) const {
    if (!opened_) {
        return BytesFailure(error_, detail_);
    }
    GsfInfile* ole = opened_->ole.get();
    // Only the entry asked for is opened: opening one reads its sector chain, and the
    // directory of a damaged file may name the same chain thousands of times.
    const int count = gsf_infile_num_children(ole);
    for (int i = 0; i < count; ++i) {
        const char* entry = gsf_infile_name_by_index(ole, i);
        if (entry == nullptr || !EqualsIgnoreCase(entry, name)) {
            continue;
        }
        GPtr<GsfInput> child(gsf_infile_child_by_index(ole, i));
        if (!child) {
            return BytesFailure(ContainerError::Damaged,
                                "the entry \"" + std::string(entry) + "\" cannot be opened");
        }
        if (IsStorage(child.get())) {
            continue;
        }
        BytesResult result;
        std::size_t budget = ReadBudget(file_.size());
        if (!ReadStream(child.get(), file_.size(), budget, result.bytes, result.detail)) {
            return BytesFailure(ContainerError::Damaged, std::move(result.detail));
        }
        return result;
    }
    return BytesFailure(ContainerError::NoSuchStream, "no stream \"" + std::string(name) + "\"");
}

const CompoundEntry* FindEntry(const CompoundEntry& storage, std::string_view name) {
    for (const CompoundEntry& entry : storage.children) {
        if (EqualsIgnoreCase(entry.name, name)) {
            return &entry;
        }
    }
    return nullptr;
}

BytesResult ReadCompoundStream(ByteSpan file, std::string_view name) {
    return CompoundDirectory(file).Stream(name);
}

namespace {

// Writes the entries through libgsf into a FILE, which stays open.
bool WriteCompoundFileInto(const CompoundEntry& root, std::FILE* file, std::string& why) {
    GPtr<GsfOutput> sink(gsf_output_stdio_new_FILE("compound", file, TRUE));
    GPtr<GsfOutfile> ole(sink ? gsf_outfile_msole_new(sink.get()) : nullptr);
    bool ok = ole && WriteStorage(ole.get(), root, why);
    if (ole) {
        ok = gsf_output_close(GSF_OUTPUT(ole.get())) && ok;
    }
    // Closing the compound file closed its sink as well.
    ok = ok && (gsf_output_is_closed(sink.get()) || gsf_output_close(sink.get()));
    return std::fflush(file) == 0 && ok;
}

// A FILE over a descriptor of its own, so that closing it leaves the caller's open.
struct DupFile {
    explicit DupFile(int fd, const char* mode) {
        const int copy = ::dup(fd);
        if (copy >= 0 && (file = ::fdopen(copy, mode)) == nullptr) {
            ::close(copy);
        }
    }
    ~DupFile() {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
    DupFile(const DupFile&) = delete;
    DupFile& operator=(const DupFile&) = delete;
    std::FILE* file = nullptr;
};

} // namespace

bool WriteCompoundFileTo(const CompoundEntry& root, int fd, std::string& why) {
    DupFile out(fd, "wb");
    if (out.file == nullptr) {
        why = "cannot write the file";
        return false;
    }
    if (!WriteCompoundFileInto(root, out.file, why)) {
        if (why.empty()) {
            why = "the compound file could not be written";
        }
        return false;
    }
    return true;
}

BytesResult WriteCompoundFile(const CompoundEntry& root) {
    // Built in memory the kernel hands out as it fills, which a file of many megabytes
    // gets without the copying that a growing buffer in this process costs.
    BytesResult result;
    std::string why;
    const int fd = memfd_create("quillon-compound", MFD_CLOEXEC);
    bool ok = fd >= 0 && WriteCompoundFileTo(root, fd, why);
    if (ok) {
        const off_t size = ::lseek(fd, 0, SEEK_END);
        ok = size > 0 && ::lseek(fd, 0, SEEK_SET) == 0;
        if (ok) {
            result.bytes.resize(static_cast<std::size_t>(size));
            ok = ::read(fd, result.bytes.data(), result.bytes.size()) == size;
        }
    }
    if (fd >= 0) {
        ::close(fd);
    }
    if (!ok) {
        result.bytes.clear();
        result.error = ContainerError::WriteFailed;
        result.detail = why.empty() ? "the compound file could not be written" : why;
    }
    return result;
}

BytesResult ReplaceCompoundStream(ByteSpan file, std::string_view name, ByteSpan contents,
                                  std::size_t minimumSize) {
    CompoundResult tree = ReplaceStreamIn(
        file, name, std::vector<std::uint8_t>(contents.begin(), contents.end()), minimumSize);
    if (!tree) {
        return BytesFailure(tree.error, std::move(tree.detail));
    }
    return WriteCompoundFile(tree.root);
}

CompoundResult ReplaceStreamIn(ByteSpan file, std::string_view name,
                               std::vector<std::uint8_t>&& contents, std::size_t minimumSize) {
    CompoundResult tree = ReadCompoundFile(file);
    if (!tree) {
        return tree;
    }
    CompoundEntry* stream = FindStream(tree.root, name);
    if (stream == nullptr) {
        CompoundResult missing;
        missing.error = ContainerError::NoSuchStream;
        missing.detail = "no stream \"" + std::string(name) + "\"";
        return missing;
    }
    stream->bytes = std::move(contents);
    if (stream->bytes.size() < minimumSize) {
        stream->bytes.resize(minimumSize, 0);
    }
    return tree;
}

} // namespace quillon::xls
