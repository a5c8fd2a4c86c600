// The window and rvx-cli under the same environment: one identity line, one decimal separator,
// so each refuses the other's row in the summary table; the regional data against Qt's; and RR
// lists through the Open command.
#include "cli/commands.h"
#include "presentation/messages.h"
#include "presentation/regional.h"
#include "tests/ui/window_fixture.h"
#include "ui/qt_text.h"

#include <sstream>

#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QToolButton>

namespace hrv {
namespace {

using test::ReadBytes;
using test::WindowTest;
using test::WriteBytes;

struct Environment {
    const char* locale;
    const char* identity; // of a file pat12.rr dated 8 December 2026
};

class WindowAndCli : public test::WindowTest, public ::testing::WithParamInterface<Environment> {};

TEST_P(WindowAndCli, WriteTheSameRowSoEachRefusesTheOthers) {
    const test::ScopedEnv locale("LC_ALL", GetParam().locale);
    const std::string path = dir_ / "pat12.rr";
    WriteBytes(path, test::RrImage(test::TwoBandRhythm(420, 80)));
    test::SetLocalDate(path, 2026, 12, 8);
    const std::string table = dir_ / "rvx.txt";
    Start();
    Open(path, 1);
    EXPECT_EQ(window_->L_Info->text(), Q(GetParam().identity));
    window_->TB_ReportClick();
    ASSERT_EQ(prompts_.Texts(MessageKind::Plain), QStringList{Q(msg::kRecordAdded)});
    const std::string byWindow = ReadBytes<std::string>(table);

    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"analyze", "--table", table, path}, out, err), cli::kExitOk);
    EXPECT_NE(err.str().find(GetParam().identity), std::string::npos) << err.str();
    EXPECT_EQ(ReadBytes<std::string>(table), byWindow);

    std::filesystem::remove(table);
    EXPECT_EQ(cli::Run({"analyze", "--table", table, path}, out, err), cli::kExitOk);
    EXPECT_EQ(ReadBytes<std::string>(table), byWindow) << "rvx-cli writes the window's row";
    window_->TB_ReportClick();
    EXPECT_EQ(prompts_.Texts(MessageKind::Plain).last(), Q(msg::kRecordAlreadySaved));
}

INSTANTIATE_TEST_SUITE_P(Environments, WindowAndCli,
                         ::testing::Values(Environment{"ru_RU.UTF-8", "pat12 08.12.2026"},
                                           Environment{"C", "pat12 12/08/26"}),
                         [](const auto& param) {
                             return std::string(param.param.locale[0] == 'C' ? "C" : "Russian");
                         });

TEST(RegionalData, AgreesWithQtsLocaleData) {
    for (const char* name :
         {"ru_RU", "uk_UA", "be_BY", "kk_KZ", "en_US", "en_GB", "en_IE", "en_AU", "en_CA", "en_IN",
          "en_NZ", "en_ZA", "de_DE", "de_AT", "de_CH", "fr_FR", "fr_CA", "fr_CH", "fr_BE", "it_IT",
          "it_CH", "es_ES", "es_MX", "pl_PL", "pt_BR", "pt_PT", "nl_NL", "nl_BE", "cs_CZ", "tr_TR",
          "fi_FI", "sv_SE", "da_DK", "nb_NO", "ro_RO", "lt_LT", "lv_LV", "et_EE", "hy_AM", "ka_GE",
          "az_AZ", "uz_UZ", "ky_KG", "tg_TJ", "he_IL", "ja_JP", "zh_CN"}) {
        const QLocale qt(QString::fromLatin1(name));
        const RegionalFormat ours = RegionalFormatOf(name, name);
        for (const QDate date : {QDate(2026, 12, 8), QDate(2027, 3, 5)}) {
            const qint64 noon = QDateTime(date, QTime(12, 0)).toSecsSinceEpoch();
            EXPECT_EQ(ours.shortDate(noon), qt.toString(date, QLocale::ShortFormat).toStdString())
                << name;
        }
        EXPECT_EQ(QString(QLatin1Char(ours.decimalSeparator)), qt.decimalPoint()) << name;
    }
}

TEST_F(WindowTest, OpensAnRrListAsTheThirdFileType) {
    const std::string list = dir_ / "strap.csv";
    std::string text = "RR (ms)\r\n";
    for (const int ticks : test::TwoBandRhythm(420, 80)) {
        text += std::to_string(ticks * 10) + ",0\r\n";
    }
    WriteBytes(list, text);
    Start();
    Open(list, 3);
    ASSERT_TRUE(prompts_.messages.empty()) << prompts_.messages[0].text.toStdString();
    EXPECT_TRUE(window_->TB_Report->isEnabled());
    EXPECT_EQ(fragment_->Settings.FilterIndex, 3);

    // A list that cannot be taken: an error naming the line; nothing of the previous file stays
    // under the new name.
    const std::string bad = dir_ / "bad.txt";
    WriteBytes(bad, "812\n790\n3000\n");
    Open(bad, 3);
    EXPECT_EQ(prompts_.Texts(MessageKind::Error),
              QStringList{
                  Q("Файл " + bad + ", строка 3: интервал 3000 мс вне пределов от 10 до 2550 мс")});
    EXPECT_EQ(fragment_->RrCount, 0);
    EXPECT_FALSE(window_->TB_Save->isEnabled());
    window_->TB_OpenClick(); // cancelled: the list's type is preselected
    EXPECT_EQ(prompts_.openDialogs.back().FilterIndex, 3);
}

} // namespace
} // namespace hrv
