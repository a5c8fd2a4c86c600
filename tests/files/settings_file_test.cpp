// The settings record byte for byte, its file, and the rules of start-up and the setup dialog.
#include "files/settings_file.h"
#include "tests/support/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace hrv {
namespace {

using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

// The bytes of a first run's record, as the file format lays them out.
std::vector<std::uint8_t> FirstRunBytes() {
    std::vector<std::uint8_t> b(176, 0);
    b[162] = 1; // PortIndex: COM2
    b[164] = 1; // BaudIndex: 2400, little-endian 32 bits
    return b;
}

TEST(SettingsRecord, FirstRunRecordIsTheDocumentedBytes) {
    const SettingsBytes bytes = SettingsToBytes(DefaultSettings());
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), FirstRunBytes());
}

TEST(SettingsRecord, FieldsSitAtTheirOffsetsLittleEndian) {
    SettingsRecord s;
    s.DataDir.length = 3;
    s.DataDir.bytes[0] = 'a';
    s.DataDir.bytes[79] = 0x55; // beyond the length: carried through
    s.Dialog2Dir.length = 200;  // above 80: written as held
    s.Dialog2Dir.bytes[0] = 0xC0;
    s.PortIndex = 3;
    s.Alignment = 0xAB;
    s.BaudIndex = -1;
    s.DeviceIndex = 0x01020304;
    s.FilterIndex = 2;
    const SettingsBytes b = SettingsToBytes(s);
    struct Expect {
        std::size_t offset;
        std::uint8_t value;
    };
    const Expect table[] = {
        {0, 3},      {1, 'a'},    {80, 0x55},  {81, 200},   {82, 0xC0},  {162, 3},
        {163, 0xAB}, {164, 0xFF}, {165, 0xFF}, {166, 0xFF}, {167, 0xFF}, {168, 0x04},
        {169, 0x03}, {170, 0x02}, {171, 0x01}, {172, 2},    {173, 0},    {175, 0},
    };
    for (const Expect& e : table) {
        EXPECT_EQ(b[e.offset], e.value) << "offset " << e.offset;
    }
    const SettingsRecord back = SettingsFromBytes(b);
    EXPECT_EQ(SettingsToBytes(back), b);
    EXPECT_EQ(back.BaudIndex, -1);
    EXPECT_EQ(back.DeviceIndex, 0x01020304);
}

TEST(SettingsFile, MissingFileLeavesTheRecordAlone) {
    ScratchDir dir;
    SettingsRecord s;
    s.PortIndex = 2;
    EXPECT_EQ(ReadSettings(dir / "rvxcfg.cfg", s), SettingsReadStatus::Missing);
    EXPECT_EQ(s.PortIndex, 2);
}

TEST(SettingsFile, ShortFileIsUnreadable) {
    ScratchDir dir;
    WriteBytes(dir / "rvxcfg.cfg", std::vector<std::uint8_t>(100, 7));
    SettingsRecord s;
    EXPECT_EQ(ReadSettings(dir / "rvxcfg.cfg", s), SettingsReadStatus::Unreadable);
    EXPECT_EQ(s.PortIndex, 0);
    EXPECT_EQ(s.DataDir.length, 0);
}

TEST(SettingsFile, LongerFileGivesItsFirstRecordAndIsRewrittenAt176Bytes) {
    ScratchDir dir;
    std::vector<std::uint8_t> bytes(200, 0);
    bytes[162] = 2;
    bytes[168] = 1;
    bytes[199] = 9;
    WriteBytes(dir / "rvxcfg.cfg", bytes);
    SettingsRecord s;
    ASSERT_EQ(ReadSettings(dir / "rvxcfg.cfg", s), SettingsReadStatus::Read);
    EXPECT_EQ(s.PortIndex, 2);
    EXPECT_EQ(s.DeviceIndex, 1);
    WriteSettings(dir / "rvxcfg.cfg", s);
    const auto written = ReadBytes(dir / "rvxcfg.cfg");
    EXPECT_EQ(written, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 176));
}

TEST(SettingsFile, FileThatCannotBeOpenedIsUnreadable) {
#ifdef _WIN32
    GTEST_SKIP() << "on Windows a file's permission bits do not bar reading it";
#else
    if (::geteuid() == 0) {
        GTEST_SKIP() << "file permissions do not bind the superuser";
    }
#endif
    ScratchDir dir;
    WriteBytes(dir / "rvxcfg.cfg", FirstRunBytes());
    std::filesystem::permissions(dir / "rvxcfg.cfg", std::filesystem::perms::none);
    SettingsRecord s;
    EXPECT_EQ(ReadSettings(dir / "rvxcfg.cfg", s), SettingsReadStatus::Unreadable);
}

TEST(SettingsFile, FailedWriteKeepsThePreviousFile) {
    ScratchDir dir;
    EXPECT_THROW(WriteSettings(dir / "no such folder/rvxcfg.cfg", DefaultSettings()),
                 std::exception);
    // A folder in the way of the rename: the write fails and the folder is untouched.
    std::filesystem::create_directory(dir / "rvxcfg.cfg");
    EXPECT_THROW(WriteSettings(dir / "rvxcfg.cfg", DefaultSettings()), std::exception);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "rvxcfg.cfg"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file is left behind";
}

TEST(ShortStrings, LengthAbove80CountsAs80AndTextIsWindows1251) {
    ShortString s;
    s.length = 255;
    s.bytes.fill('x');
    EXPECT_EQ(ShortStringText(s), std::string(80, 'x'));
    EXPECT_EQ(s.length, 255) << "the raw byte stays";

    ShortString cyr;
    SetShortString(cyr, "/дом/Данные");
    EXPECT_EQ(cyr.length, 11);
    EXPECT_EQ(cyr.bytes[1], 0xE4); // д in Windows-1251
    EXPECT_EQ(ShortStringText(cyr), "/дом/Данные");
}

TEST(ShortStrings, LongTextIsCutTo80AndTheTailBytesStay) {
    ShortString s;
    s.bytes.fill('z');
    SetShortString(s, std::string(100, 'a'));
    EXPECT_EQ(s.length, 80);
    EXPECT_EQ(ShortStringText(s), std::string(80, 'a'));
    SetShortString(s, "bb");
    EXPECT_EQ(s.length, 2);
    EXPECT_EQ(s.bytes[2], 'a') << "bytes after the length are not significant and stay";
}

struct StartupCase {
    SettingsReadStatus status;
    std::int32_t deviceIndex;
    std::int32_t expectScale;
    const char* expectCaption; // nullptr: unchanged
    bool expectDialogs;
    bool expectError;
};

void PrintTo(const StartupCase& c, std::ostream* os) {
    *os << (c.status == SettingsReadStatus::Read      ? "Read"
            : c.status == SettingsReadStatus::Missing ? "Missing"
                                                      : "Unreadable")
        << "_Device" << (c.deviceIndex < 0 ? "Minus" : "") << std::abs(c.deviceIndex);
}

class StartupRules : public ::testing::TestWithParam<StartupCase> {};

TEST_P(StartupRules, DeviceModelGivesScaleAndCaption) {
    const StartupCase& c = GetParam();
    SettingsRecord s;
    s.DeviceIndex = c.deviceIndex;
    s.FilterIndex = 2;
    s.DataDir.length = 4;
    const StartupSettings out = ApplyStartupSettings(c.status, s, 0);
    EXPECT_EQ(out.deviceScale, c.expectScale);
    if (c.expectCaption == nullptr) {
        EXPECT_FALSE(out.caption.has_value());
    } else {
        ASSERT_TRUE(out.caption.has_value());
        EXPECT_EQ(*out.caption, c.expectCaption);
    }
    EXPECT_EQ(out.dialogsFromRecord, c.expectDialogs);
    EXPECT_EQ(out.readError, c.expectError);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartupRules,
    ::testing::Values(StartupCase{SettingsReadStatus::Read, 0, 10, "Тарин-07", true, false},
                      StartupCase{SettingsReadStatus::Read, 1, 8, "Вира-005", true, false},
                      StartupCase{SettingsReadStatus::Read, 2, 10, "USB регистратор", true, false},
                      StartupCase{SettingsReadStatus::Read, 7, 0, nullptr, true, false},
                      StartupCase{SettingsReadStatus::Read, -1, 0, nullptr, true, false},
                      StartupCase{SettingsReadStatus::Missing, 1, 10, "Тарин-07", false, false},
                      StartupCase{SettingsReadStatus::Unreadable, 1, 10, "Тарин-07", false, true}),
    ::testing::PrintToStringParamName());

TEST(StartupRulesRecord, MissingFileSetsDeviceComAndBaudOnly) {
    SettingsRecord s;
    s.FilterIndex = 2;
    s.PortIndex = 0;
    ApplyStartupSettings(SettingsReadStatus::Missing, s, 0);
    EXPECT_EQ(s.DeviceIndex, 0);
    EXPECT_EQ(s.PortIndex, 1);
    EXPECT_EQ(s.BaudIndex, 1);
    EXPECT_EQ(s.FilterIndex, 2);
}

TEST(StartupRulesRecord, UnreadableFileGivesTheWholeFirstRunRecord) {
    SettingsRecord s;
    s.FilterIndex = 2;
    s.DataDir.length = 5;
    s.Alignment = 9;
    ApplyStartupSettings(SettingsReadStatus::Unreadable, s, 0);
    const SettingsBytes b = SettingsToBytes(s);
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin(), b.end()), FirstRunBytes());
}

TEST(SetupRules, SelectionsTheDialogOpensWith) {
    struct Case {
        std::int32_t device;
        std::uint8_t port;
        std::int32_t baud;
        int expectDevice, expectPort, expectBaud;
    };
    const Case table[] = {
        {0, 0, 0, 0, 0, 0},     {1, 2, 2, 1, 2, 2},   {2, 3, 3, 1, -1, -1},
        {-1, 1, -1, -1, 1, -1}, {5, 9, 7, 1, -1, -1},
    };
    for (const Case& c : table) {
        SettingsRecord s;
        s.DeviceIndex = c.device;
        s.PortIndex = c.port;
        s.BaudIndex = c.baud;
        const SetupSelections sel = SetupSelectionsFor(s);
        EXPECT_EQ(sel.device, c.expectDevice) << "device " << c.device;
        EXPECT_EQ(sel.port, c.expectPort) << "port " << int(c.port);
        EXPECT_EQ(sel.baud, c.expectBaud) << "baud " << c.baud;
    }
}

TEST(SetupRules, OkTakesTheSelections) {
    struct Case {
        int device, port, baud;
        std::int32_t expectScale;
        const char* expectCaption;
        std::uint8_t expectPort;
        std::int32_t expectBaud;
    };
    const Case table[] = {
        {0, 0, 2, 10, "ТАРИН-07", 0, 2},
        {1, 2, 0, 8, "ВИРА-05", 2, 0},
        {2, 1, 1, 10, "USB регистратор", 3, 1},
        {1, -1, -1, 8, "ВИРА-05", 3, 3}, // no port and no baud chosen: both stay
        {-1, 1, 1, 10, nullptr, 1, 1},
    };
    for (const Case& c : table) {
        SettingsRecord s;
        s.PortIndex = 3;
        s.BaudIndex = 3;
        const SetupApplied out = ApplySetupResult(s, c.device, c.port, c.baud);
        EXPECT_EQ(out.deviceScale, c.expectScale) << "device " << c.device;
        EXPECT_EQ(out.caption.has_value(), c.expectCaption != nullptr);
        if (out.caption && c.expectCaption) {
            EXPECT_EQ(*out.caption, c.expectCaption);
        }
        EXPECT_EQ(s.DeviceIndex, c.device);
        EXPECT_EQ(s.PortIndex, c.expectPort) << "device " << c.device;
        EXPECT_EQ(s.BaudIndex, c.expectBaud) << "device " << c.device;
    }
}

} // namespace
} // namespace hrv
