// The artefact-correction setting's own file: read back as written, off unless it says "auto",
// and never touching the settings record beside it.
#include "files/correction_setting.h"
#include "files/settings_file.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace hrv {
namespace {

using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

TEST(CorrectionSetting, WrittenAsOneLineAndReadBack) {
    ScratchDir dir;
    const std::string path = dir / kCorrectionFileName;
    WriteCorrectionSetting(path, CorrectionMode::Auto);
    EXPECT_EQ(ReadBytes<std::string>(path), "auto\r\n");
    EXPECT_EQ(ReadCorrectionSetting(path), CorrectionMode::Auto);
    WriteCorrectionSetting(path, CorrectionMode::None);
    EXPECT_EQ(ReadBytes<std::string>(path), "none\r\n");
    EXPECT_EQ(ReadCorrectionSetting(path), CorrectionMode::None);
}

TEST(CorrectionSetting, OffUnlessTheFirstLineSaysAuto) {
    ScratchDir dir;
    const std::string path = dir / kCorrectionFileName;
    EXPECT_EQ(ReadCorrectionSetting(path), CorrectionMode::None) << "no file";
    const struct {
        const char* bytes;
        CorrectionMode mode;
    } table[] = {
        {"auto", CorrectionMode::Auto},      {"auto\n", CorrectionMode::Auto},
        {"auto \r\n", CorrectionMode::Auto}, {"none\r\nauto\r\n", CorrectionMode::None},
        {"Auto\r\n", CorrectionMode::None},  {"autocorrect\r\n", CorrectionMode::None},
        {"", CorrectionMode::None},          {" auto\r\n", CorrectionMode::None},
    };
    for (const auto& row : table) {
        WriteBytes(path, row.bytes);
        EXPECT_EQ(ReadCorrectionSetting(path), row.mode) << row.bytes;
    }
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_EQ(ReadCorrectionSetting(path), CorrectionMode::None) << "a folder";
}

TEST(CorrectionSetting, SettingsRecordBesideItKeepsItsBytes) {
    ScratchDir dir;
    const std::string settings = dir / kSettingsFileName;
    SettingsRecord s = DefaultSettings();
    s.FilterIndex = 2;
    WriteSettings(settings, s);
    const auto before = ReadBytes(settings);
    ASSERT_EQ(before.size(), 176u);
    WriteCorrectionSetting(dir / kCorrectionFileName, CorrectionMode::Auto);
    EXPECT_EQ(ReadBytes(settings), before);
    SettingsRecord back;
    ASSERT_EQ(ReadSettings(settings, back), SettingsReadStatus::Read);
    EXPECT_EQ(SettingsToBytes(back), SettingsToBytes(s));
}

} // namespace
} // namespace hrv
