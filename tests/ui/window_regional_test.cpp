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
                                           Environment{"C", "pat12 12/08/26"},
                                           Environment{"hu_HU.UTF-8", "pat12 2026. 12. 08."}),
                         [](const auto& param) {
                             const std::string locale = param.param.locale;
                             return locale == "C" ? std::string("C") : locale.substr(0, 2);
                         });

// Our values for `name` against Qt's for `qtName`: the short date of two days (the day and the
// month padded or not) and the decimal separator. Latin digits take the point where Qt's
// separator is not ASCII, which happens only where Qt writes numbers in other digits.
void ExpectAsQt(const std::string& name, const QString& qtName) {
    const QLocale qt(qtName);
    const RegionalFormat ours = RegionalFormatOf(name, name);
    for (const QDate date : {QDate(2026, 12, 8), QDate(2027, 3, 25)}) {
        const qint64 noon = QDateTime(date, QTime(12, 0)).toSecsSinceEpoch();
        EXPECT_EQ(ours.shortDate(noon), qt.toString(date, QLocale::ShortFormat).toStdString())
            << name;
    }
    const QString point = qt.decimalPoint();
    if (point.size() == 1 && point[0].unicode() < 0x80) {
        EXPECT_EQ(QString(QLatin1Char(ours.decimalSeparator)), point) << name;
    } else {
        EXPECT_EQ(ours.decimalSeparator, '.') << name;
        EXPECT_NE(qt.zeroDigit(), QStringLiteral("0")) << name;
    }
}

TEST(RegionalData, AgreesWithQtsLocaleDataForEveryLocaleQtKnows) {
    int locales = 0;
    for (const QLocale& l : QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                     QLocale::AnyTerritory)) {
        if (l.language() == QLocale::C) {
            continue;
        }
        ++locales;
        const std::string lang = QLocale::languageToCode(l.language()).toStdString();
        const std::string script = QLocale::scriptToCode(l.script()).toStdString();
        const std::string territory = QLocale::territoryToCode(l.territory()).toStdString();
        // Every name the locale goes by, as the environment and Windows write them.
        for (const std::string& name : {lang, lang + "_" + territory, lang + "_" + script,
                                        lang + "_" + script + "_" + territory}) {
            ExpectAsQt(name, QString::fromStdString(name));
        }
        ExpectAsQt(lang + "_" + territory + ".UTF-8",
                   QString::fromStdString(lang + "_" + territory));
        ExpectAsQt(lang + "-" + script + "-" + territory,
                   QString::fromStdString(lang + "_" + script + "_" + territory));
    }
    EXPECT_GT(locales, 500);

    // A territory the language is not listed with takes the language's values, as in Qt; the
    // legacy codes Qt takes; glibc's script modifiers name the script.
    for (const char* name : {"de_RU", "en_RU", "ru_DE", "fr_JP", "iw_IL", "no_NO", "sr_ME"}) {
        ExpectAsQt(name, QString::fromLatin1(name));
    }
    ExpectAsQt("sr_RS@latin", QStringLiteral("sr_Latn_RS"));
    ExpectAsQt("sr_RS.UTF-8@latin", QStringLiteral("sr_Latn_RS"));
    ExpectAsQt("uz_UZ@cyrillic", QStringLiteral("uz_Cyrl_UZ"));
    ExpectAsQt("HU_hu", QStringLiteral("hu_HU"));
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
