#include "exchange/export/export_run.h"

#include <algorithm>
#include <system_error>

void ExportSettings::SetMaxPerFile(int records) {
    maxPerFile = std::clamp(records, kMinPerFile, kMaxPerFile);
}

bool EnsureTargetFolder(const std::filesystem::path& target) {
    const std::filesystem::path folder = target.parent_path();
    std::error_code error;
    if (folder.empty() || std::filesystem::is_directory(folder, error)) {
        return !folder.empty();
    }
    return std::filesystem::create_directory(folder, error) && !error;
}

std::filesystem::path NumberedOutputFile(const std::filesystem::path& target, int k,
                                         const std::string& extension) {
    std::filesystem::path file = target;
    file += "_" + std::to_string(k) + extension;
    return file;
}
