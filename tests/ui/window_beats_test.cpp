// The beats in view in the window: on for an ECG record, off for RR and PPG files unless
// "Показывать сигнал" is set; an edit analyses again at once and its undo gives the results back;
// the fragment moves on the overview; Save never writes over the recording and keeps the beats
// beside the RR file, which an Open reads back.
#include "files/correction_setting.h"
#include "files/fragment_load.h"
#include "presentation/panel_texts.h"
#include "tests/support/pdf_text.h"
#include "tests/ui/window_fixture.h"
#include "ui/beat_panel.h"
#include "ui/form_setup.h"
#include "ui/qt_text.h"

#include <algorithm>
#include <filesystem>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QToolButton>

namespace hrv {
namespace {

using test::ReadBytes;
using test::WindowTest;

// The text of the page Print writes to `pdf` (the printer set to a PDF file, the file's name
// asked).
std::string PrintedText(TFormMain& w, FakePrompts& prompts, const std::filesystem::path& pdf) {
    w.Printer().setOutputFormat(QPrinter::PdfFormat);
    w.Printer().setOutputFileName(
        QString::fromStdString((pdf.parent_path() / "chosen.pdf").string()));
    prompts.saveAnswers.push_back({QString::fromStdString(pdf.string()), 1});
    w.TB_PrintClick();
    std::string text;
    for (const std::string& line : test::PdfLines(pdf.string())) {
        text += line + "\n";
    }
    return text;
}

std::string Record100() {
    return std::string(HRV_SHARED_ECG) + "/mitdb/100.hea";
}

TEST_F(WindowTest, RrFileLooksAsBeforeUntilTheSignalIsAskedFor) {
    TFormMain& w = Start();
    prompts_.openAnswers.push_back({Q(test::SharedFile("nk_resting8min_ecg_0-6min.rr")), 1});
    w.TB_OpenClick();
    EXPECT_TRUE(w.Pan_Signal->isHidden());
    EXPECT_EQ(w.Beats(), nullptr);
    const QString panel = w.Memo_StatDig->toPlainText();
    const std::string identity = w.FragmentIdentity();

    prompts_.dialogScripts.push_back([](QDialog& d) {
        dynamic_cast<TFormSetup&>(d).ChB_Signal->setChecked(true);
        return int(QDialog::Accepted);
    });
    w.TB_SetupClick();
    EXPECT_EQ(ReadBytes<std::string>(dir_ / kSignalFileName), "on\r\n");
    ASSERT_NE(w.Beats(), nullptr) << "the file shown is opened again with its beats";
    EXPECT_FALSE(w.Pan_Signal->isHidden());
    EXPECT_EQ(w.Memo_StatDig->toPlainText(), panel) << "the same results, nothing edited";
    EXPECT_EQ(w.FragmentIdentity(), identity);
    EXPECT_TRUE(prompts_.messages.empty());
}

// Once a PPG file is saved as an RR file, the fragment shown is that file: asking for the signal
// opens it again as the RR file it is, not as a pulse wave.
TEST_F(WindowTest, PpgSavedAsRrIsOpenedAgainAsTheRrFile) {
    TFormMain& w = Start();
    prompts_.openAnswers.push_back({Q(test::SharedFile("bidmc01_110-470s.ppg")), 2});
    w.TB_OpenClick();
    const QString panel = w.Memo_StatDig->toPlainText();
    const std::string saved = dir_ / "bidmc01.rr";
    prompts_.saveAnswers.push_back({Q(saved), 1});
    w.TB_SaveClick();
    ASSERT_EQ(w.Fragment().CurrentFileName, saved);

    prompts_.dialogScripts.push_back([](QDialog& d) {
        dynamic_cast<TFormSetup&>(d).ChB_Signal->setChecked(true);
        return int(QDialog::Accepted);
    });
    w.TB_SetupClick();
    EXPECT_TRUE(prompts_.messages.empty()) << prompts_.messages[0].text.toStdString();
    ASSERT_NE(w.Beats(), nullptr);
    EXPECT_EQ(w.Memo_StatDig->toPlainText(), panel);
}

TEST_F(WindowTest, EcgEditAnalysesAgainAndUndoRedoAndChangesFollow) {
    TFormMain& w = Start();
    prompts_.openAnswers.push_back({Q(Record100()), static_cast<int>(FileKind::Wfdb)});
    w.TB_OpenClick();
    ASSERT_NE(w.Beats(), nullptr);
    EXPECT_FALSE(w.Pan_Signal->isHidden());
    EXPECT_EQ(w.Pan_Signal->L_Fragment->text(), QStringLiteral("00:00:00–00:05:00 из 0:30:05"));
    EXPECT_FALSE(w.Pan_Signal->B_Undo->isEnabled());
    const QString before = w.Memo_StatDig->toPlainText();

    const SignalRecording& r = w.Beats()->Recording();
    const double t = r.BeatSeconds(r.beats[50]);
    ASSERT_TRUE(w.BeatEdit(StripEdit{StripEdit::Remove, t, 0}));
    EXPECT_NE(w.Memo_StatDig->toPlainText(), before);
    EXPECT_TRUE(w.Memo_StatDig->toPlainText().contains(QStringLiteral("вручную: 1")));
    EXPECT_TRUE(w.Pan_Signal->B_Undo->isEnabled());
    EXPECT_TRUE(w.FragmentIdentity().ends_with(" (вручную)"));
    EXPECT_FALSE(w.BeatEdit(StripEdit{StripEdit::Remove, t, 0})) << "nothing left to delete there";

    ASSERT_TRUE(w.BeatUndo());
    EXPECT_EQ(w.Memo_StatDig->toPlainText(), before);
    EXPECT_TRUE(w.Pan_Signal->B_Redo->isEnabled());
    ASSERT_TRUE(w.BeatRedo());
    EXPECT_TRUE(w.Memo_StatDig->toPlainText().contains(QStringLiteral("вручную: 1")));

    // The page names the edit in its heading and its correction line.
    if (test::HavePdfToText()) {
        const std::string text = PrintedText(w, prompts_, dir_ / "page.pdf");
        EXPECT_NE(text.find("(вручную)"), std::string::npos) << text;
        EXPECT_NE(text.find("вручную: 1"), std::string::npos) << text;
    }

    // The list of changes names the deleted beat.
    QString listed;
    prompts_.dialogScripts.push_back([&](QDialog& d) {
        listed = dynamic_cast<TBeatChangesDialog&>(d).Memo_Changes->toPlainText();
        return int(QDialog::Rejected);
    });
    w.BeatChangesClick();
    EXPECT_TRUE(listed.contains(QStringLiteral("удален"))) << listed.toStdString();

    // The fragment moved by its start time.
    w.Pan_Signal->E_Start->setText(QStringLiteral("12:30"));
    Q_EMIT w.Pan_Signal->E_Start->editingFinished();
    EXPECT_NEAR(w.Beats()->Fragment().start, 750, 1.5) << "at the nearest beat";
    EXPECT_TRUE(w.Pan_Signal->L_Fragment->text().startsWith(QStringLiteral("00:12:")));
    EXPECT_TRUE(w.FragmentIdentity().find(" [00:12:") != std::string::npos);
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(WindowTest, EcgSaveKeepsTheRecordAndItsBeatsComeBackWithTheRrFile) {
    TFormMain& w = Start();
    prompts_.openAnswers.push_back({Q(Record100()), static_cast<int>(FileKind::Wfdb)});
    w.TB_OpenClick();
    ASSERT_NE(w.Beats(), nullptr);
    const SignalRecording& r = w.Beats()->Recording();
    ASSERT_TRUE(w.BeatEdit(StripEdit{StripEdit::Remove, r.BeatSeconds(r.beats[80]), 0}));
    const QString edited = w.Memo_StatDig->toPlainText();

    // Over the record's own files: refused with a message before anything is written.
    const std::string overRecord = std::string(HRV_SHARED_ECG) + "/mitdb/100.dat";
    prompts_.saveAnswers.push_back({Q(overRecord), 1});
    w.TB_SaveClick();
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_TRUE(prompts_.messages[0].text.contains(QStringLiteral("исходная запись")));
    EXPECT_TRUE(prompts_.confirms.empty()) << "not even asked to overwrite";
    prompts_.messages.clear();

    const std::string rr = (dir_ / "edited.rr").string();
    prompts_.saveAnswers.push_back({Q(rr), 1});
    w.TB_SaveClick();
    ASSERT_TRUE(std::filesystem::exists(rr));
    ASSERT_TRUE(std::filesystem::exists(dir_ / "edited.beats.csv"));

    // The RR file alone analyses as the edited fragment did.
    w.close();
    window_.reset();
    TFormMain& plain = Start();
    prompts_.openAnswers.push_back({Q(rr), 1});
    plain.TB_OpenClick();
    EXPECT_EQ(plain.Beats(), nullptr);
    const QString stored = plain.Memo_StatDig->toPlainText();
    EXPECT_TRUE(edited.startsWith(stored + QStringLiteral("\n Коррекция: ")))
        << stored.toStdString();
    // With the signal shown, the beats file brings the edit back.
    plain.close();
    window_.reset();
    WriteSignalSetting((dir_ / kSignalFileName).string(), true);
    TFormMain& shown = Start();
    prompts_.openAnswers.push_back({Q(rr), 1});
    shown.TB_OpenClick();
    ASSERT_NE(shown.Beats(), nullptr);
    EXPECT_TRUE(shown.Beats()->EditedByHand());
    EXPECT_EQ(shown.Memo_StatDig->toPlainText(), edited);
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(WindowTest, StandardAnalysisGoesToThePageAndTheTableOnlyWhenAskedFor) {
    if (!test::HavePdfToText()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    TFormMain& w = Start();
    prompts_.openAnswers.push_back({Q(test::SharedFile("nk_resting8min_ecg_0-6min.rr")), 1});
    w.TB_OpenClick();
    const auto page = [&](const char* name) { return PrintedText(w, prompts_, dir_ / name); };
    EXPECT_EQ(page("plain.pdf").find("Стандартный анализ"), std::string::npos);
    w.TB_ReportClick();
    EXPECT_FALSE(std::filesystem::exists(dir_ / "rvx_std.txt"));

    prompts_.dialogScripts.push_back([](QDialog& d) {
        dynamic_cast<TFormSetup&>(d).ChB_Standard->setChecked(true);
        return int(QDialog::Accepted);
    });
    w.TB_SetupClick();
    EXPECT_EQ(ReadBytes<std::string>(dir_ / kStandardFileName), "on\r\n");
    const std::string text = page("standard.pdf");
    EXPECT_NE(text.find("Стандартный анализ"), std::string::npos) << text;
    EXPECT_NE(text.find("Уэлч"), std::string::npos) << text;
    EXPECT_NE(text.find("SDANN —"), std::string::npos) << "under 10 minutes: " << text;
    // The row was in the table already; its standard record goes to the table beside.
    const std::string table = ReadBytes<std::string>(dir_ / "rvx.txt");
    w.TB_ReportClick();
    EXPECT_EQ(ReadBytes<std::string>(dir_ / "rvx.txt"), table);
    const std::string standard = ReadBytes<std::string>(dir_ / "rvx_std.txt");
    const std::size_t row = table.find('\n') + 1;
    const std::size_t standardRow = standard.find('\n') + 1;
    EXPECT_EQ(standard.substr(standardRow, standard.find('\t', standardRow) - standardRow),
              table.substr(row, table.find('\t', row) - row));
    EXPECT_EQ(std::count(standard.begin(), standard.end(), '\n'), 2);
}

} // namespace
} // namespace hrv
