#include "planted_files.h"
#include "platform/installation.h"
#include "platform/registry.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const std::string kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const std::string kCounter = "Quillon_LoginErrTimes";

std::filesystem::path KeyFileIn(const TempDir& root) {
    return root / "HKEY_LOCAL_MACHINE/SOFTWARE/Microsoft/Windows/CurrentVersion.reg";
}

TEST(Registry, CounterIsCreatedAtOneInANewKeyAndThenCounts) {
    TempDir root;
    ASSERT_TRUE(IncrementRegistryCounter(root.path(), kKey, kCounter));
    EXPECT_EQ(ReadFileBytes(KeyFileIn(root)),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\n"
              "\"Quillon_LoginErrTimes\"=dword:00000001\n"
              "\n");
    for (int i = 0; i < 15; ++i) {
        ASSERT_TRUE(IncrementRegistryCounter(root.path(), kKey, kCounter));
    }
    auto key = RegistryKey::OpenForWrite(root.path(), kKey);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->ReadDword(kCounter), 16u);
    EXPECT_NE(ReadFileBytes(KeyFileIn(root)).find("=dword:00000010\n"), std::string::npos);
    // Nothing is left behind by the replace-by-rename.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(KeyFileIn(root).parent_path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(Registry, OtherValuesSectionsAndLinesAreKeptAsTheyAre) {
    TempDir root;
    std::filesystem::create_directories(KeyFileIn(root).parent_path());
    const std::string before =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
        "; kept comment\r\n"
        "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "  03,04\r\n"
        "\"quillon_loginerrtimes\"=dword:0000000a\r\n"
        "\"Other\"=dword:00000007\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
        "\"Quillon_LoginErrTimes\"=dword:00000063\r\n"
        "\r\n";
    WriteFileBytes(KeyFileIn(root), before);

    // Names match without regard to case, as in the registry, and the key's own section
    // is the one that counts, not a subkey's.
    ASSERT_TRUE(IncrementRegistryCounter(root.path(), kKey, kCounter));
    std::string after = before;
    after.replace(after.find("\"quillon_loginerrtimes\"=dword:0000000a"), 38,
                  "\"Quillon_LoginErrTimes\"=dword:0000000b");
    EXPECT_EQ(ReadFileBytes(KeyFileIn(root)), after);

    // A new value goes at the end of the key's section, before the blank line.
    auto key = RegistryKey::OpenForWrite(root.path(), kKey);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->WriteDword("New \"quoted\" \\ name", 0xDEADBEEF));
    after.insert(after.rfind("\r\n\r\n[HKEY") + 2,
                 "\"New \\\"quoted\\\" \\\\ name\"=dword:deadbeef\r\n");
    EXPECT_EQ(ReadFileBytes(KeyFileIn(root)), after);
    EXPECT_EQ(key->ReadDword("New \"quoted\" \\ name"), 0xDEADBEEFu);
    EXPECT_EQ(key->ReadDword("Other"), 7u);
    EXPECT_EQ(key->ReadDword("ProgramFilesDir"), std::nullopt);
}

TEST(Registry, ADamagedValueCountsAsMissingAndIsReplaced) {
    for (const std::string damaged :
         {"\"x\"", "dword:", "dword:1234567890", "dword:12g4", "hex(4):01,00,00,00", ""}) {
        TempDir root;
        std::filesystem::create_directories(KeyFileIn(root).parent_path());
        WriteFileBytes(KeyFileIn(root), "Windows Registry Editor Version 5.00\n\n[" + kKey +
                                            "]\n\"" + kCounter + "\"=" + damaged + "\n\n");
        auto key = RegistryKey::OpenForWrite(root.path(), kKey);
        ASSERT_TRUE(key);
        EXPECT_EQ(key->ReadDword(kCounter), std::nullopt) << damaged;
        ASSERT_TRUE(IncrementRegistryCounter(root.path(), kKey, kCounter));
        EXPECT_EQ(ReadFileBytes(KeyFileIn(root)), "Windows Registry Editor Version 5.00\n\n[" +
                                                      kKey + "]\n\"" + kCounter +
                                                      "\"=dword:00000001\n\n")
            << damaged;
    }
}

TEST(Registry, AFileWithoutTheKeysSectionGetsOneAppended) {
    TempDir root;
    std::filesystem::create_directories(KeyFileIn(root).parent_path());
    WriteFileBytes(KeyFileIn(root), "Windows Registry Editor Version 5.00\n");
    ASSERT_TRUE(IncrementRegistryCounter(root.path(), kKey, kCounter));
    EXPECT_EQ(ReadFileBytes(KeyFileIn(root)), "Windows Registry Editor Version 5.00\n\n[" + kKey +
                                                  "]\n\"" + kCounter + "\"=dword:00000001\n\n");
}

TEST(Registry, CounterStopsAtTheLargestDword) {
    TempDir root;
    auto key = RegistryKey::OpenForWrite(root.path(), kKey);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->WriteDword(kCounter, 0xFFFFFFFE));
    ASSERT_TRUE(IncrementRegistryCounter(root.path(), kKey, kCounter));
    ASSERT_TRUE(IncrementRegistryCounter(root.path(), kKey, kCounter));
    EXPECT_EQ(key->ReadDword(kCounter), 0xFFFFFFFFu);
}

TEST(Registry, KeysThatCannotBeOpenedAreSkippedWithoutChangingAnything) {
    TempDir dir;
    // The root is a file, so no key folder can be made under it (this holds for root too).
    WriteFileBytes(dir / "registry", "not a folder");
    EXPECT_FALSE(RegistryKey::OpenForWrite(dir / "registry", kKey));
    EXPECT_FALSE(IncrementRegistryCounter(dir / "registry", kKey, kCounter));
    EXPECT_EQ(ReadFileBytes(dir / "registry"), "not a folder");

    // The key's file is a folder.
    std::filesystem::create_directories(KeyFileIn(dir));
    EXPECT_FALSE(IncrementRegistryCounter(dir.path(), kKey, kCounter));

    // Key paths that would leave the root or are malformed.
    for (const std::string bad : {"HKEY_LOCAL_MACHINE\\..\\..\\escape", "HKEY_LOCAL_MACHINE\\", "",
                                  "HKEY_LOCAL_MACHINE\\a/b", "HKEY_LOCAL_MACHINE\\\\x"}) {
        EXPECT_FALSE(RegistryKey::OpenForWrite(dir / "other", bad)) << bad;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "escape.reg"));
    EXPECT_FALSE(std::filesystem::exists(dir / "other"));
}

TEST(Registry, AUtf16ExportIsLeftAlone) {
    TempDir root;
    std::filesystem::create_directories(KeyFileIn(root).parent_path());
    const std::string utf16 = std::string("\xFF\xFEW\0i\0", 6);
    WriteFileBytes(KeyFileIn(root), utf16);
    EXPECT_FALSE(IncrementRegistryCounter(root.path(), kKey, kCounter));
    EXPECT_EQ(ReadFileBytes(KeyFileIn(root)), utf16);
}

class UnreadableKeyFile : public testing::TestWithParam<UnreadableCase> {};

TEST_P(UnreadableKeyFile, IsSkippedAndLeftAsItIs) {
    TempDir root;
    std::filesystem::create_directories(KeyFileIn(root).parent_path());
    PlantUnreadable(KeyFileIn(root), GetParam().what);
    const std::string before = WhatIsAt(KeyFileIn(root));
    EXPECT_FALSE(RegistryKey::OpenForWrite(root.path(), kKey));
    EXPECT_FALSE(IncrementRegistryCounter(root.path(), kKey, kCounter));
    EXPECT_EQ(WhatIsAt(KeyFileIn(root)), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(KeyFileIn(root).parent_path()),
                            std::filesystem::directory_iterator()),
              1);
}

INSTANTIATE_TEST_SUITE_P(Planted, UnreadableKeyFile, testing::ValuesIn(kUnreadable),
                         UnreadableName);

TEST(Registry, MixedLineEndingsAreKeptAndNewLinesFollowTheUsualOne) {
    TempDir root;
    std::filesystem::create_directories(KeyFileIn(root).parent_path());
    WriteFileBytes(KeyFileIn(root), "Windows Registry Editor Version 5.00\r\n\r\n[" + kKey +
                                        "]\r\n\"A\"=dword:00000001\n\"" + kCounter +
                                        "\"=dword:00000002");
    ASSERT_TRUE(IncrementRegistryCounter(root.path(), kKey, kCounter));
    EXPECT_EQ(ReadFileBytes(KeyFileIn(root)), "Windows Registry Editor Version 5.00\r\n\r\n[" +
                                                  kKey + "]\r\n\"A\"=dword:00000001\n\"" +
                                                  kCounter + "\"=dword:00000003");
    auto key = RegistryKey::OpenForWrite(root.path(), kKey);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->WriteDword("B", 4));
    EXPECT_EQ(ReadFileBytes(KeyFileIn(root)), "Windows Registry Editor Version 5.00\r\n\r\n[" +
                                                  kKey + "]\r\n\"A\"=dword:00000001\n\"" +
                                                  kCounter + "\"=dword:00000003\r\n" +
                                                  "\"B\"=dword:00000004\r\n");
}

TEST(Registry, ALinkPlantedAtTheOldTemporaryNameIsNotFollowed) {
    TempDir root;
    ASSERT_TRUE(IncrementRegistryCounter(root.path(), kKey, kCounter));
    WriteFileBytes(root / "victim", "precious");
    auto planted = KeyFileIn(root);
    planted += ".tmp" + std::to_string(::getpid());
    std::filesystem::create_symlink(root / "victim", planted);
    ASSERT_TRUE(IncrementRegistryCounter(root.path(), kKey, kCounter));
    EXPECT_EQ(ReadFileBytes(root / "victim"), "precious");
    EXPECT_NE(ReadFileBytes(KeyFileIn(root)).find("=dword:00000002"), std::string::npos);
}

TEST(Installation, TheProgramCountsFailedLoginsMachineWideAndTestsInTheirOwnFolder) {
    EXPECT_EQ(Installation::OfExecutable().registry, "/var/lib/quillon/registry");
    TempDir dir;
    EXPECT_EQ(Installation::InFolder(dir.path()).registry, dir / "registry");
}

} // namespace
