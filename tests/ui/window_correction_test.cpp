// The artefact correction in the window: its setting in "Параметры", kept in a file of its own
// beside the settings record; the corrected fragment on screen, in the table and in a saved file.
#include "files/correction_setting.h"
#include "files/cp1251.h"
#include "presentation/chart_data.h"
#include "presentation/panel_texts.h"
#include "tests/ui/window_fixture.h"
#include "ui/chart_layer.h"
#include "ui/form_setup.h"
#include "ui/qt_text.h"

#include <optional>

#include <QChart>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QToolButton>

namespace hrv {
namespace {

using test::ReadBytes;
using test::SharedFile;
using test::WindowTest;

const char kPpg[] = "bidmc01_110-470s.ppg"; // a spurious upstroke near its start

// Runs "Параметры" with the correction box set to `on`, or only looks at it (`on` empty).
void ScriptSetup(FakePrompts& prompts, std::optional<bool> on, bool* shownChecked = nullptr) {
    prompts.dialogScripts.push_back([on, shownChecked](QDialog& d) {
        auto& setup = dynamic_cast<TFormSetup&>(d);
        if (shownChecked != nullptr) {
            *shownChecked = setup.ChB_Correction->isChecked();
        }
        if (on) {
            setup.ChB_Correction->setChecked(*on);
        }
        return int(QDialog::Accepted);
    });
}

TEST_F(WindowTest, CorrectionSettingKeepsTheRecordsBytesAndOutlivesTheProgram) {
    bool shown = true;
    ScriptSetup(prompts_, std::nullopt, &shown);
    Start().TB_SetupClick();
    EXPECT_FALSE(shown) << "off by default";
    EXPECT_EQ(fragment_->Correct, CorrectionMode::None);
    window_->close();
    EXPECT_FALSE(std::filesystem::exists(dir_ / kCorrectionFileName)) << "left untouched: none";
    const auto recordOff = ReadBytes(Settings());
    ASSERT_EQ(recordOff.size(), 176u);
    window_.reset();
    std::filesystem::remove(Settings());

    ScriptSetup(prompts_, true);
    Start().TB_SetupClick();
    EXPECT_EQ(fragment_->Correct, CorrectionMode::Auto);
    EXPECT_EQ(ReadBytes<std::string>(dir_ / kCorrectionFileName), "auto\r\n");
    window_->close();
    EXPECT_EQ(ReadBytes(Settings()), recordOff) << "the record is the same either way";

    window_.reset();
    fragment_ = std::make_unique<FragmentData>();
    TFormMain& w = Start();
    EXPECT_EQ(fragment_->Correct, CorrectionMode::Auto);
    shown = false;
    ScriptSetup(prompts_, false, &shown);
    w.TB_SetupClick();
    EXPECT_TRUE(shown);
    EXPECT_EQ(fragment_->Correct, CorrectionMode::None);
    EXPECT_EQ(ReadBytes<std::string>(dir_ / kCorrectionFileName), "none\r\n");
}

TEST_F(WindowTest, TurningCorrectionOnShowsTheCorrectedFragmentAndOffShowsItAsBefore) {
    HRV_NEED_SHARED(kPpg);
    TFormMain& w = Start();
    Open(SharedFile(kPpg), 2);
    ASSERT_TRUE(w.TB_Print->isEnabled());
    const QString plainStat = w.Memo_StatDig->toPlainText();
    const QString plainTitle = w.Chart_RG->chart()->title();
    const std::vector<ChartPoint> plainPoints = w.Chart_RG->Points();

    ScriptSetup(prompts_, true);
    w.TB_SetupClick();
    ASSERT_TRUE(fragment_->Corrected);
    ASSERT_GE(CorrectionsInFragment(*fragment_), 1);
    const QString stat = w.Memo_StatDig->toPlainText();
    EXPECT_EQ(stat.count(QLatin1Char('\n')), plainStat.count(QLatin1Char('\n')) + 1);
    EXPECT_TRUE(stat.endsWith(Q("\n " + CorrectionText(*fragment_, RegionalSeparator()))))
        << stat.toStdString();
    EXPECT_TRUE(w.Chart_RG->chart()->title().contains(Q("красным")));
    std::size_t marked = 0;
    for (const ChartPoint& p : w.Chart_RG->Points()) {
        marked += p.color == kCorrectedBeatColor ? 1 : 0;
    }
    EXPECT_GT(marked, 0u);
    EXPECT_LT(marked, 29999u / 10);
    w.TB_ReportClick();

    ScriptSetup(prompts_, false);
    w.TB_SetupClick();
    EXPECT_FALSE(fragment_->Corrected);
    EXPECT_EQ(w.Memo_StatDig->toPlainText(), plainStat);
    EXPECT_EQ(w.Chart_RG->chart()->title(), plainTitle);
    ASSERT_EQ(w.Chart_RG->Points().size(), plainPoints.size());
    for (std::size_t i = 0; i < plainPoints.size(); ++i) {
        ASSERT_EQ(w.Chart_RG->Points()[i].y, plainPoints[i].y) << i;
        ASSERT_EQ(w.Chart_RG->Points()[i].color, plainPoints[i].color) << i;
    }
    w.TB_ReportClick();
    // Two rows for one file: the corrected one with its suffix, then the plain one.
    const std::string table = ReadBytes<std::string>(dir_ / "rvx.txt");
    const std::string name = Cp1251ToUtf8(table);
    const std::string info = w.L_Info->text().toStdString();
    const auto corrected = name.find("\r\n" + info + " (коррекция)\t");
    const auto plain = name.find("\r\n" + info + "\t");
    EXPECT_NE(corrected, std::string::npos) << name;
    EXPECT_NE(plain, std::string::npos) << name;
    EXPECT_LT(corrected, plain);

    // Save writes the intervals as detected, never the corrected ones.
    Save(dir_ / "plain.rr");
    ScriptSetup(prompts_, true);
    w.TB_SetupClick();
    ASSERT_TRUE(fragment_->Corrected);
    Save(dir_ / "corrected.rr");
    EXPECT_EQ(ReadBytes(dir_ / "corrected.rr"), ReadBytes(dir_ / "plain.rr"));
    EXPECT_TRUE(prompts_.Texts(MessageKind::Error).isEmpty());
}

} // namespace
} // namespace hrv
