// The window's output commands through their handlers, with scripted prompts: "В отчет",
// "Печать", "Настройка принтера" and the batch conversion.
#include "files/cp1251.h"
#include "presentation/format_fixed.h"
#include "presentation/messages.h"
#include "presentation/summary_table.h"
#include "tests/support/fake_prompts.h"
#include "tests/support/pdf_text.h"
#include "tests/support/test_support.h"
#include "ui/form_main.h"
#include "ui/progress_form.h"
#include "ui/qt_text.h"

#include <chrono>
#include <ctime>
#include <thread>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif
#include <filesystem>
#include <memory>
#include <utime.h>

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPrinter>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolButton>

namespace hrv {
namespace {

using test::FindText;
using test::ReadBytes;
using test::SetLocalDate;
using test::WriteBytes;

// Prompts that also note whether the progress dialog was on screen when an error was shown.
class WatchingPrompts : public FakePrompts {
public:
    TProgressForm* progress = nullptr;
    std::vector<bool> progressVisibleAtError;

    void ShowMessage(QWidget* parent, MessageKind kind, const QString& text) override {
        if (kind == MessageKind::Error && progress != nullptr) {
            progressVisibleAtError.push_back(progress->isVisible());
        }
        FakePrompts::ShowMessage(parent, kind, text);
    }
};

// A window started in a scratch folder (its AppDir), with a recording opened and analysed.
class OutputCommands : public ::testing::Test {
protected:
    void SetUp() override {
        oldDir_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        window_ = std::make_unique<TFormMain>(*f_, prompts_);
        prompts_.progress = window_->ProgressForm;
        prompts_.messages.clear();
    }
    void TearDown() override {
        window_.reset();
        std::filesystem::current_path(oldDir_);
    }

    // Opens an RR file of a synthetic rhythm dated 8 December 2026 through the Open command.
    void OpenRecording(const std::string& name) {
        const std::string path = dir_ / name;
        WriteBytes(path, test::RrImage(test::TwoBandRhythm(420, 80)));
        SetLocalDate(path, 2026, 12, 8);
        prompts_.openAnswers.push_back({QString::fromStdString(path), 1});
        window_->TB_OpenClick();
        ASSERT_TRUE(prompts_.messages.empty()) << prompts_.messages.front().text.toStdString();
        ASSERT_TRUE(window_->TB_Report->isEnabled());
    }

    std::string TablePath() const { return dir_ / "rvx.txt"; }

    test::ScratchDir dir_;
    std::filesystem::path oldDir_;
    std::unique_ptr<FragmentData> f_ = std::make_unique<FragmentData>();
    WatchingPrompts prompts_;
    std::unique_ptr<TFormMain> window_;
};

TEST_F(OutputCommands, ReportAddsOneRecordThenRefusesTheSameFragment) {
    OpenRecording("pat12.rr");
    ASSERT_EQ(window_->L_Info->text(), QStringLiteral("pat12 08.12.2026"));
    window_->TB_ReportClick();
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].kind, MessageKind::Plain);
    EXPECT_EQ(prompts_.messages[0].text, Q(msg::kRecordAdded));
    // The header and the record, with the regional decimal comma, in Windows-1251.
    const std::string expected = Utf8ToCp1251(SummaryTableHeader()) + "\r\n" +
                                 Utf8ToCp1251(SummaryTableRow("pat12 08.12.2026", *f_, ',')) +
                                 "\r\n";
    EXPECT_EQ(ReadBytes<std::string>(TablePath()), expected);

    window_->TB_ReportClick();
    ASSERT_EQ(prompts_.messages.size(), 2u);
    EXPECT_EQ(prompts_.messages[1].text, Q(msg::kRecordAlreadySaved));
    EXPECT_EQ(ReadBytes<std::string>(TablePath()), expected);
}

TEST_F(OutputCommands, ReportOfANewRecordingUsesTheInformationLine) {
    OpenRecording("pat12.rr");
    window_->L_Info->setText(Q(msg::kNewRecording));
    window_->TB_ReportClick();
    EXPECT_NE(ReadBytes<std::string>(TablePath()).find(Utf8ToCp1251("\r\nНовая запись\t")),
              std::string::npos);
}

TEST_F(OutputCommands, ReportFailureShowsTheFileLayersErrorAndNoSuccess) {
    OpenRecording("pat12.rr");
    std::filesystem::create_directory(TablePath()); // the table cannot be written
    window_->TB_ReportClick();
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].kind, MessageKind::Error);
    EXPECT_TRUE(prompts_.messages[0].text.contains(QString::fromStdString(TablePath())))
        << prompts_.messages[0].text.toStdString();
}

#ifndef _WIN32
TEST_F(OutputCommands, ReportWaitsForATableAnotherProgramHoldsOffTheWindowsThread) {
    OpenRecording("pat12.rr");
    const std::string header = Utf8ToCp1251(SummaryTableHeader()) + "\r\n";
    WriteBytes(TablePath(), header);
    const int held = ::open(TablePath().c_str(), O_RDONLY); // another program's lock
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const auto started = std::chrono::steady_clock::now();
    window_->TB_ReportClick();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(400));
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_EQ(window_->StatusBar1->currentMessage(),
              Q("Ожидание файла rvx.txt: его занимает другая программа"));
    EXPECT_EQ(ReadBytes<std::string>(TablePath()), header);
    ::close(held);
    // Once the table is free the record goes in and the message comes on the window's thread.
    for (int i = 0; i < 500 && prompts_.messages.empty(); ++i) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].text, Q(msg::kRecordAdded));
    EXPECT_TRUE(window_->StatusBar1->currentMessage().isEmpty());
    EXPECT_EQ(ReadBytes<std::string>(TablePath()),
              header + Utf8ToCp1251(SummaryTableRow("pat12 08.12.2026", *f_, ',')) + "\r\n");
}

// Rows wait in the order of their commands; each success is told only once its row is in, and
// closing the window names them and keeps them unless the user gives them up.
TEST_F(OutputCommands, RowsWaitingForTheTableGoInInOrderOrAreGivenUpKnowingly) {
    const std::string header = Utf8ToCp1251(SummaryTableHeader()) + "\r\n";
    WriteBytes(TablePath(), header);
    int held = ::open(TablePath().c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    OpenRecording("pat12.rr");
    window_->TB_ReportClick();
    const std::string first = Utf8ToCp1251(SummaryTableRow("pat12 08.12.2026", *f_, ',')) + "\r\n";
    OpenRecording("pat13.rr"); // another fragment while the first row waits
    window_->TB_ReportClick();
    const std::string second = Utf8ToCp1251(SummaryTableRow("pat13 08.12.2026", *f_, ',')) + "\r\n";
    EXPECT_TRUE(prompts_.messages.empty());

    // Closing now: the waiting rows are named; Esc (the unscripted answer) keeps the window.
    EXPECT_FALSE(window_->close());
    ASSERT_EQ(prompts_.confirms.size(), 1u);
    EXPECT_TRUE(prompts_.confirms[0].text.contains(QStringLiteral(": 2.")))
        << prompts_.confirms[0].text.toStdString();
    ::close(held);
    for (int i = 0; i < 500 && prompts_.messages.size() < 2; ++i) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(prompts_.Texts(MessageKind::Plain), QStringList(2, Q(msg::kRecordAdded)));
    EXPECT_EQ(ReadBytes<std::string>(TablePath()), header + first + second);
    EXPECT_TRUE(window_->StatusBar1->currentMessage().isEmpty());

    // A row given up at the close is never written, also once the table is free.
    ASSERT_EQ(::flock(held = ::open(TablePath().c_str(), O_RDONLY), LOCK_EX), 0);
    prompts_.messages.clear();
    OpenRecording("pat14.rr");
    window_->TB_ReportClick();
    prompts_.confirmAnswers.push_back(kConfirmFirst);
    EXPECT_TRUE(window_->close());
    ::close(held);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // three looks at the table
    QCoreApplication::processEvents();
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_EQ(ReadBytes<std::string>(TablePath()), header + first + second);
}
#endif

TEST_F(OutputCommands, PrintToPdfWritesThePageOfTheOpenedFile) {
    if (!test::HavePdfToText()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    OpenRecording("pat12.rr");
    const std::string pdf = dir_ / "report.pdf";
    window_->Printer().setOutputFormat(QPrinter::PdfFormat);
    window_->Printer().setOutputFileName(QString::fromStdString(pdf));
    prompts_.saveAnswers.push_back({QString::fromStdString(pdf), 1});
    window_->TB_PrintClick();
    EXPECT_TRUE(prompts_.messages.empty());
    const auto lines = test::PdfLines(pdf);
    const auto ident = FindText(lines, "pat12 08.12.2026");
    EXPECT_GE(ident.line, 0);
    // The indices carry the regional comma, as on screen.
    EXPECT_GT(FindText(lines, "SDNN " + FormatFixed(f_->TimeIndices.SDNN, 2, ',')).line,
              ident.line);
    EXPECT_GT(FindText(lines, "Ритмограмма").line, ident.line);
}

TEST_F(OutputCommands, RealPulseWaveOpenedAndPrinted) {
    const std::string recording = std::string(HRV_SHARED_DATA) + "/bidmc01_110-470s.ppg";
    if (!std::filesystem::exists(recording)) {
        GTEST_SKIP() << "no reference recordings at " << HRV_SHARED_DATA;
    }
    if (!test::HavePdfToText()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    prompts_.openAnswers.push_back({QString::fromStdString(recording), 2}); // a PPG file
    window_->TB_OpenClick();
    ASSERT_TRUE(prompts_.messages.empty());
    ASSERT_TRUE(window_->TB_Print->isEnabled());
    const std::string pdf = dir_ / "report.pdf";
    window_->Printer().setOutputFormat(QPrinter::PdfFormat);
    window_->Printer().setOutputFileName(QString::fromStdString(pdf));
    prompts_.saveAnswers.push_back({QString::fromStdString(pdf), 1});
    window_->TB_PrintClick();
    EXPECT_TRUE(prompts_.messages.empty());
    const auto lines = test::PdfLines(pdf);
    // The identification names the file with the date the window shows.
    const auto ident = FindText(lines, "bidmc01_110-470s " + TFormMain::FileDateText(recording));
    ASSERT_GE(ident.line, 0);
    const std::string hr = "HR " + std::to_string(f_->TimeIndices.HR) + " уд/мин";
    EXPECT_GT(FindText(lines, hr).line, ident.line) << hr;
    EXPECT_GT(FindText(lines, "Компоненты спектра").line, FindText(lines, hr).line);
}

TEST_F(OutputCommands, EcgRecordOpenedAsItsKind) {
    const std::string record = std::string(HRV_SHARED_ECG) + "/mitdb/100.hea";
    prompts_.openAnswers.push_back({QString::fromStdString(record), 4}); // a WFDB record
    window_->TB_OpenClick();
    ASSERT_TRUE(prompts_.messages.empty());
    EXPECT_GE(f_->TimeIndices.HR, 70); // record 100: about 75 a minute
    EXPECT_LE(f_->TimeIndices.HR, 80);
    EXPECT_TRUE(window_->TB_Print->isEnabled());
}

TEST_F(OutputCommands, PrintAfterARecordingLeavesTheFileNameOut) {
    if (!test::HavePdfToText()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    OpenRecording("pat12.rr");
    window_->L_Info->setText(Q(msg::kNewRecording)); // a recording came after the open
    const std::string pdf = dir_ / "report.pdf";
    window_->Printer().setOutputFormat(QPrinter::PdfFormat);
    window_->Printer().setOutputFileName(QString::fromStdString(pdf));
    prompts_.saveAnswers.push_back({QString::fromStdString(pdf), 1});
    window_->TB_PrintClick();
    const auto lines = test::PdfLines(pdf);
    ASSERT_FALSE(lines.empty());
    EXPECT_LT(FindText(lines, "pat12").line, 0);
    EXPECT_GE(FindText(lines, "SDNN ").line, 0);
}

// "Печать в файл (PDF)" chosen in the printer set-up: every print offers the fragment's name
// in the save folder and asks before replacing a file, whatever file the set-up named.
TEST_F(OutputCommands, PrintToAPdfFileOffersTheFragmentsNameAndAsksBeforeOverwriting) {
    OpenRecording("pat12.rr");
    const std::string setupFile = dir_ / "print.pdf";
    window_->Printer().setOutputFormat(QPrinter::PdfFormat);
    window_->Printer().setOutputFileName(QString::fromStdString(setupFile));
    window_->TB_PrintClick(); // the save dialog cancelled: nothing written
    ASSERT_EQ(prompts_.saveDialogs.size(), 1u);
    EXPECT_EQ(prompts_.saveDialogs[0].FileName, Q("pat12.pdf"));
    EXPECT_EQ(prompts_.saveDialogs[0].InitialDir, window_->SaveDialogData.InitialDir);
    EXPECT_FALSE(std::filesystem::exists(setupFile));
    EXPECT_TRUE(prompts_.messages.empty()) << "a PDF file is no missing printer";

    const std::string pdf = dir_ / "Data/pat12.pdf";
    WriteBytes(pdf, std::string_view("old"));
    prompts_.saveAnswers.push_back({QString::fromStdString(pdf), 1});
    prompts_.confirmAnswers.push_back(kConfirmSecond); // "Отменить"
    window_->TB_PrintClick();
    ASSERT_EQ(prompts_.confirms.size(), 1u);
    EXPECT_EQ(prompts_.confirms[0].first, Q("Переписать"));
    EXPECT_EQ(ReadBytes<std::string>(pdf), "old");

    prompts_.saveAnswers.push_back({QString::fromStdString(pdf), 1});
    prompts_.confirmAnswers.push_back(kConfirmFirst);
    window_->TB_PrintClick();
    EXPECT_EQ(ReadBytes<std::string>(pdf).substr(0, 5), "%PDF-");
    EXPECT_FALSE(std::filesystem::exists(setupFile));
}

TEST_F(OutputCommands, PrintWithoutAPrinterOffersAPdfFileAtOnce) {
    OpenRecording("pat12.rr");
    QPrinter& printer = window_->Printer();
    if (printer.outputFormat() == QPrinter::NativeFormat && !printer.printerName().isEmpty()) {
        GTEST_SKIP() << "this machine has a printer";
    }
    // Declined: nothing is written.
    window_->TB_PrintClick();
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].text, Q(msg::kNoPrinterSavePdf));
    ASSERT_EQ(prompts_.saveDialogs.size(), 1u) << "the save dialog follows the message";
    EXPECT_EQ(prompts_.saveDialogs[0].FileName, Q("pat12.pdf"));
    EXPECT_EQ(prompts_.saveDialogs[0].InitialDir, QDir::currentPath() + Q("/Data"));

    const std::string pdf = dir_ / "Data/pat12.pdf";
    prompts_.saveAnswers.push_back({QString::fromStdString(pdf), 1});
    window_->TB_PrintClick();
    EXPECT_EQ(prompts_.messages.size(), 2u);
    EXPECT_EQ(ReadBytes<std::string>(pdf).substr(0, 5), "%PDF-");
}

TEST_F(OutputCommands, PrinterSetupRunsThePrintDialog) {
    window_->ToolButton4Click();
    EXPECT_EQ(prompts_.printerSetups, 1);
    EXPECT_TRUE(prompts_.messages.empty());
}

// Batch conversion.

class BatchCommand : public OutputCommands {
protected:
    std::string Ppg(const std::string& name, const std::string& bytes) {
        const std::string path = dir_ / name;
        WriteBytes(path, bytes);
        return path;
    }
    const std::string pulses_ = test::PulseWaveImage(4000, 80);
};

TEST_F(BatchCommand, ThreeFilesWithTheSecondRejected) {
    OpenRecording("pat12.rr");
    const QString info = window_->L_Info->text();
    const std::string fileName = f_->CurrentFileName;
    const QStringList files{QString::fromStdString(Ppg("a.ppg", pulses_)),
                            QString::fromStdString(Ppg("b.ppg", "xy")),
                            QString::fromStdString(Ppg("c.ppg", pulses_))};
    prompts_.openFilesAnswers.push_back(files);
    prompts_.confirmAnswers = {kConfirmFirst, kConfirmFirst};
    window_->TB_BatchClick();

    ASSERT_EQ(prompts_.openFilesDialogs.size(), 1u);
    EXPECT_EQ(prompts_.openFilesDialogs[0].Filter,
              QStringLiteral("Файл фотоплетизмограммы (*.ppg)|*.ppg"));
    ASSERT_EQ(prompts_.confirms.size(), 2u);
    const QString caption = QStringLiteral("Пакетное преобразование *.ppg > *.rr");
    EXPECT_EQ(prompts_.confirms[0].caption, caption);
    EXPECT_EQ(
        prompts_.confirms[0].text,
        QStringLiteral("Внимание! Все выбранные файлы *.ppg будут преобразованы в файлы *.rr"));
    EXPECT_EQ(prompts_.confirms[0].first, QStringLiteral("Продолжить"));
    EXPECT_EQ(prompts_.confirms[0].second, QStringLiteral("Отмена"));
    EXPECT_EQ(prompts_.confirms[0].third, QString());
    EXPECT_EQ(prompts_.confirms[1].caption, caption);
    EXPECT_EQ(prompts_.confirms[1].text, QStringLiteral("Преобразовано файлов: 3"));
    EXPECT_EQ(prompts_.confirms[1].first, QStringLiteral("Ok"));
    EXPECT_EQ(prompts_.confirms[1].second, QString());
    EXPECT_EQ(prompts_.confirms[1].third, QString());
    // The import message once, for the second file.
    EXPECT_EQ(prompts_.Texts(MessageKind::Plain), QStringList{Q(msg::kImportError)});
    EXPECT_TRUE(std::filesystem::exists(dir_ / "a.rr"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "b.rr"));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "c.rr"));
    // The progress ran 0 .. n - 1 and is closed; the window still names the opened file.
    EXPECT_EQ(window_->ProgressForm->ProgressBar1->minimum(), 0);
    EXPECT_EQ(window_->ProgressForm->ProgressBar1->maximum(), 2);
    EXPECT_EQ(window_->ProgressForm->ProgressBar1->value(), 2);
    EXPECT_FALSE(window_->ProgressForm->isVisible());
    EXPECT_EQ(window_->L_Info->text(), info);
    EXPECT_EQ(f_->CurrentFileName, fileName);
}

TEST_F(BatchCommand, DecliningTheWarningConvertsNothing) {
    prompts_.openFilesAnswers.push_back({QString::fromStdString(Ppg("a.ppg", pulses_))});
    prompts_.confirmAnswers = {kConfirmSecond};
    window_->TB_BatchClick();
    EXPECT_EQ(prompts_.confirms.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "a.rr"));
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(BatchCommand, CancelledFileDialogDoesNothing) {
    window_->TB_BatchClick(); // no files chosen
    EXPECT_TRUE(prompts_.confirms.empty());
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(BatchCommand, OneFileRunsTheBarFromZeroToZero) {
    prompts_.openFilesAnswers.push_back({QString::fromStdString(Ppg("a.ppg", pulses_))});
    prompts_.confirmAnswers = {kConfirmFirst, kConfirmFirst};
    window_->TB_BatchClick();
    EXPECT_EQ(window_->ProgressForm->ProgressBar1->maximum(), 0);
    ASSERT_EQ(prompts_.confirms.size(), 2u);
    EXPECT_EQ(prompts_.confirms[1].text, QStringLiteral("Преобразовано файлов: 1"));
}

TEST_F(BatchCommand, FileLayerFailureClosesTheProgressBeforeTheError) {
    const QStringList files{QString::fromStdString(Ppg("a.ppg", pulses_)),
                            QString::fromStdString(dir_ / "missing.ppg"),
                            QString::fromStdString(Ppg("c.ppg", pulses_))};
    prompts_.openFilesAnswers.push_back(files);
    prompts_.confirmAnswers = {kConfirmFirst, kConfirmFirst};
    window_->TB_BatchClick();
    ASSERT_EQ(prompts_.progressVisibleAtError.size(), 1u);
    EXPECT_FALSE(prompts_.progressVisibleAtError[0]);
    EXPECT_TRUE(prompts_.Texts(MessageKind::Error)[0].contains(QStringLiteral("missing.ppg")));
    EXPECT_EQ(prompts_.confirms.size(), 1u); // no final count
    EXPECT_TRUE(std::filesystem::exists(dir_ / "a.rr"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "c.rr"));
}

} // namespace
} // namespace hrv
