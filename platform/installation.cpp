#include "platform/installation.h"

Installation Installation::InFolder(const std::filesystem::path& dir) {
    Installation inst;
    inst.dir = dir;
    inst.database = dir / "mydb";
    inst.config = dir / "config.ini";
    inst.help = dir / "help.chm";
    inst.failedDir = dir / "导入失败数据";
    inst.registry = dir / "registry";
    return inst;
}

std::filesystem::path Installation::ExecutablePath() {
    return std::filesystem::read_symlink("/proc/self/exe");
}

Installation Installation::OfExecutable() {
    Installation inst = InFolder(ExecutablePath().parent_path());
    // The failed-login count belongs to the machine, not to one copy of the program
    // folder: a copied folder must not start counting from zero.
    inst.registry = kMachineRegistry;
    return inst;
}
