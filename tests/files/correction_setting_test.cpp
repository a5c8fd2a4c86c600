// The artefact-correction setting's own file: read back as written, off unless it says "auto".
#include "files/correction_setting.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

namespace hrv {
namespace {

using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

TEST(CorrectionSetting, OneLineReadBackAndOffUnlessItSaysAuto) {
    ScratchDir dir;
    const std::string path = dir / kCorrectionFileName;
    EXPECT_EQ(ReadCorrectionSetting(path), CorrectionMode::None) << "no file";
    WriteCorrectionSetting(path, CorrectionMode::Auto);
    EXPECT_EQ(ReadBytes<std::string>(path), "auto\r\n");
    EXPECT_EQ(ReadCorrectionSetting(path), CorrectionMode::Auto);
    WriteCorrectionSetting(path, CorrectionMode::None);
    EXPECT_EQ(ReadBytes<std::string>(path), "none\r\n");
    EXPECT_EQ(ReadCorrectionSetting(path), CorrectionMode::None);
    for (const char* bytes : {"auto", "auto \n"}) {
        WriteBytes(path, bytes);
        EXPECT_EQ(ReadCorrectionSetting(path), CorrectionMode::Auto) << bytes;
    }
    for (const char* bytes : {"", "Auto\r\n", "autocorrect\r\n", "none\r\nauto\r\n"}) {
        WriteBytes(path, bytes);
        EXPECT_EQ(ReadCorrectionSetting(path), CorrectionMode::None) << bytes;
    }
}

} // namespace
} // namespace hrv
