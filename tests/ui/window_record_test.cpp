// A recording through the main window: Start, the timer's decoding steps (driven by the test,
// not waited for), the stop rules, the hand-over to the analysis and the dialog's looks.
#include "analysis/pipeline.h"
#include "files/cp1251.h"
#include "files/fragment_load.h"
#include "tests/support/fake_serial_link.h"
#include "tests/support/pdf_text.h"
#include "tests/support/pty_support.h"
#include "tests/ui/window_fixture.h"
#include "ui/beat_panel.h"
#include "ui/rec_form.h"

#include <cstdlib>
#include <functional>
#include <memory>

#include <QDateTime>
#include <QFrame>
#include <QLabel>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace hrv {
namespace {

using test::AddGroup;
using test::DevSim;
using test::FakeSerialLink;
using test::ScopedEnv;
using test::SharedFile;

const char kGood[] = "nsrdb_long_00-06min.rr";

class RecordWindowTest : public test::WindowTest {
protected:
    TFormMain& StartWindow() {
        TFormMain& w = Start();
        rec_ = qobject_cast<TRecForm*>(w.RecForm);
        EXPECT_NE(rec_, nullptr);
        return w;
    }
    // Gives the recording dialog a scripted link with these bytes.
    FakeSerialLink& UseFake(std::vector<std::uint8_t> bytes) {
        auto link = std::make_unique<FakeSerialLink>();
        link->bytes = std::move(bytes);
        FakeSerialLink& ref = *link;
        rec_->SetLink(std::move(link));
        return ref;
    }
    // The next recording dialog: ticks until the recording ends (at most `limit`), then
    // `then` looks at it and gives the dialog's result.
    void WhenShown(int limit, std::function<int(TRecForm&)> then) {
        prompts_.dialogScripts.push_back([this, limit, then](QDialog& d) {
            auto& rec = dynamic_cast<TRecForm&>(d);
            for (int i = 0; i < limit && rec.Session().Active(); ++i) {
                window_->Timer1Timer();
            }
            ticksRun_ = rec.Session().Decoder().RecIndex();
            return then(rec);
        });
    }

    TRecForm* rec_ = nullptr;
    int ticksRun_ = 0;
};

std::vector<std::uint8_t> Groups(int count, std::uint8_t interval) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        AddGroup(bytes, interval);
    }
    return bytes;
}

TEST_F(RecordWindowTest, RecordingFromTheSimulatorGivesTheFilesIntervalsAndIndices) {
    HRV_NEED_SHARED(kGood);
    const std::string source = SharedFile(kGood);
    DevSim sim({"--speed", "0", "--once", "--junk", "9,250", "--status", "1:1", source});
    ASSERT_FALSE(sim.Path().empty());
    const ScopedEnv port("RVX_COM2", sim.Path()); // the first run's port is COM2
    TFormMain& w = StartWindow();

    bool finishedLook = false;
    QString label2;
    int bar = -1;
    WhenShown(10000, [&](TRecForm& rec) {
        finishedLook = !rec.Recording();
        label2 = rec.Label2->text();
        bar = rec.PB_Rec->value();
        EXPECT_TRUE(rec.Label1->isVisibleTo(&rec));
        return QDialog::Accepted;
    });
    w.TB_StartClick();

    ASSERT_EQ(prompts_.dialogsShown.size(), 1u);
    EXPECT_EQ(prompts_.dialogsShown[0], QStringLiteral("RecForm"));
    for (const auto& m : prompts_.messages) {
        ADD_FAILURE() << "message: " << m.text.toStdString();
    }
    EXPECT_TRUE(finishedLook);
    EXPECT_FALSE(rec_->Session().Active());
    EXPECT_FALSE(rec_->Session().Link().ComOpened());
    EXPECT_TRUE(sim.WaitExit(std::chrono::seconds(10))) << "the port was not closed";

    // The fragment is the file's first intervals, up to the one past 330 s.
    auto file = std::make_unique<FragmentData>();
    PpgWorkspace work;
    ASSERT_EQ(LoadFragmentFile(source, FileKind::Rr, *file, work), LoadResult::Loaded);
    ASSERT_GT(fragment_->RrCount, 300);
    for (int k = 1; k <= fragment_->RrCount; ++k) {
        ASSERT_EQ(fragment_->RrWords[k], file->RrWords[k]) << k;
        ASSERT_EQ(fragment_->AnalysisSeries[k], file->RrTicks[k]) << k;
    }
    EXPECT_EQ(fragment_->AnalysisSeries[fragment_->RrCount + 1], 0);
    const int last = fragment_->RrTicks[fragment_->RrCount];
    EXPECT_EQ(label2, QStringLiteral("RR : ") + QString::number(last * 10) + QStringLiteral(" мс"));
    EXPECT_EQ(bar, 33000); // past the end: full

    ASSERT_TRUE(AnalyseFragment(*file));
    EXPECT_EQ(fragment_->FragmentCount, file->FragmentCount);
    EXPECT_EQ(fragment_->TimeIndices.HR, file->TimeIndices.HR);
    EXPECT_EQ(fragment_->TimeIndices.SDNN, file->TimeIndices.SDNN);
    EXPECT_EQ(fragment_->TimeIndices.RMSSD, file->TimeIndices.RMSSD);
    EXPECT_EQ(fragment_->TimeIndices.AMo, file->TimeIndices.AMo);
    EXPECT_EQ(fragment_->SpectralIndices.LF, file->SpectralIndices.LF);
    EXPECT_EQ(fragment_->SpectralIndices.HF, file->SpectralIndices.HF);

    EXPECT_EQ(w.L_Info->text(), QStringLiteral("Новая запись"));
    EXPECT_FALSE(w.P_Main->isHidden());
    EXPECT_TRUE(w.TB_Save->isEnabled());
    EXPECT_TRUE(w.TB_Print->isEnabled());
    EXPECT_TRUE(w.TB_Report->isEnabled());
    EXPECT_TRUE(fragment_->CurrentFileName.empty()); // a recording names no file
}

// A record shown with its beats before a recording: the recording takes their place.
TEST_F(RecordWindowTest, RecordingReplacesTheBeatsInView) {
    HRV_NEED_SHARED(kGood);
    DevSim sim({"--speed", "0", "--once", SharedFile(kGood)});
    ASSERT_FALSE(sim.Path().empty());
    const ScopedEnv port("RVX_COM2", sim.Path());
    TFormMain& w = StartWindow();
    prompts_.openAnswers.push_back(
        {QString::fromStdString(std::string(HRV_SHARED_ECG) + "/mitdb/100.hea"), 4});
    w.TB_OpenClick();
    ASSERT_NE(w.Beats(), nullptr);
    WhenShown(10000, [](TRecForm&) { return QDialog::Accepted; });
    w.TB_StartClick();
    EXPECT_EQ(w.Beats(), nullptr);
    EXPECT_TRUE(w.Pan_Signal->isHidden());
    EXPECT_EQ(w.L_Info->text(), QStringLiteral("Новая запись"));
    EXPECT_TRUE(w.TB_Print->isEnabled());
}

TEST_F(RecordWindowTest, StatusAndIntervalLabelsFollowTheStream) {
    StartWindow();
    for (const auto& [scale, ms] : {std::pair{10, 850}, std::pair{8, 680}}) {
        window_->SetDeviceScale(scale);
        UseFake({7, 200, 3, 0, 90, 0, 85, 112});
        QString status;
        QString interval;
        int bar = -1;
        WhenShown(8, [&](TRecForm& rec) {
            status = rec.Label3->text();
            interval = rec.Label2->text();
            bar = rec.PB_Rec->value();
            rec.Button1Click();
            return QDialog::Rejected;
        });
        window_->TB_StartClick();
        EXPECT_EQ(status, QStringLiteral("")) << "status 0 of the interval group";
        EXPECT_EQ(interval, QStringLiteral("RR : ") + QString::number(ms) + QStringLiteral(" мс"));
        EXPECT_EQ(bar, ms / 10);
        EXPECT_EQ(fragment_->RrAux[1], 12);
    }
}

TEST_F(RecordWindowTest, DeviceStatusIsShownInLabel3) {
    StartWindow();
    UseFake({7, 2, 0, 0, 5, 0, 0});
    QStringList seen;
    prompts_.dialogScripts.push_back([&](QDialog& d) {
        auto& rec = dynamic_cast<TRecForm&>(d);
        for (int i = 0; i < 7; ++i) {
            window_->Timer1Timer();
            seen << rec.Label3->text();
        }
        rec.Button1Click();
        return int(QDialog::Rejected);
    });
    window_->TB_StartClick();
    const QStringList expected = {QString(),
                                  QStringLiteral("Нет пациента"),
                                  QStringLiteral("Нет пациента"),
                                  QStringLiteral("Нет пациента"),
                                  QStringLiteral("Отказ датчика"),
                                  QStringLiteral("Отказ датчика"),
                                  QStringLiteral("Отказ датчика")};
    EXPECT_EQ(seen, expected);
}

TEST_F(RecordWindowTest, BrokenStreamShowsTheReadErrorAndClosesTheDialog) {
    TFormMain& w = StartWindow();
    FakeSerialLink& link = UseFake({0, 85, 112, 0, 85, 99, 0, 85, 112});
    fragment_->RrCount = 7;
    WhenShown(100, [&](TRecForm& rec) {
        EXPECT_EQ(rec.result(), QDialog::Rejected);
        return rec.result();
    });
    w.TB_StartClick();
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].kind, MessageKind::Plain);
    EXPECT_EQ(prompts_.messages[0].text, QStringLiteral("Ошибка чтения COM-порта"));
    EXPECT_EQ(ticksRun_, 2);
    EXPECT_EQ(link.next, 6u); // nothing read after the broken group
    EXPECT_FALSE(link.opened);
    EXPECT_EQ(fragment_->RrCount, 7);
    EXPECT_TRUE(w.P_Main->isHidden());
    EXPECT_EQ(w.L_Info->text(), QStringLiteral("Нет записи"));
}

TEST_F(RecordWindowTest, SimulatorKilledMidStreamShowsTheReadErrorAndClosesTheDialog) {
    DevSim sim({"--speed", "0", "--generate", "500"});
    ASSERT_FALSE(sim.Path().empty());
    const ScopedEnv port("RVX_COM2", sim.Path());
    TFormMain& w = StartWindow();
    int ticksAfterKill = 0;
    prompts_.dialogScripts.push_back([&](QDialog& d) {
        auto& rec = dynamic_cast<TRecForm&>(d);
        for (int i = 0; i < 30 && rec.Session().Active(); ++i) {
            w.Timer1Timer();
        }
        EXPECT_TRUE(rec.Session().Active());
        sim.Kill();
        while (ticksAfterKill < 20 && rec.Session().Active()) {
            w.Timer1Timer();
            ++ticksAfterKill;
        }
        return rec.result();
    });
    w.TB_StartClick();
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].text, QStringLiteral("Ошибка чтения COM-порта"));
    EXPECT_EQ(ticksAfterKill, 1); // the first read after the hang-up ends it
    EXPECT_EQ(rec_->result(), QDialog::Rejected);
    EXPECT_FALSE(rec_->Session().Link().ComOpened());
    EXPECT_EQ(w.L_Info->text(), QStringLiteral("Нет записи"));
}

TEST_F(RecordWindowTest, SlotLimitWarnsThenAnalyses) {
    TFormMain& w = StartWindow();
    UseFake(Groups(2100, 16)); // 1999 * 16 ticks: below the time limit, above 300 s
    bool finishedLook = false;
    WhenShown(7000, [&](TRecForm& rec) {
        finishedLook = !rec.Recording();
        return QDialog::Accepted;
    });
    w.TB_StartClick();
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(prompts_.messages[0].text,
              QStringLiteral("Максимальное количество RR-интервалов в одном фрагменте : 2000"));
    EXPECT_EQ(fragment_->RrCount, 2000);
    EXPECT_EQ(fragment_->RrTicks[2000], 0);
    EXPECT_TRUE(finishedLook);
    EXPECT_FALSE(w.P_Main->isHidden());
}

TEST_F(RecordWindowTest, RejectedAnalysisKeepsTheRecordingLookAndStopsPrintAndReport) {
    HRV_NEED_SHARED(kGood);
    TFormMain& w = StartWindow();
    Open(SharedFile(kGood), 1);
    ASSERT_TRUE(w.TB_Print->isEnabled());
    const int hr = fragment_->TimeIndices.HR;
    UseFake(Groups(2100, 10)); // 1999 * 10 ticks: the slot limit, too little for the analysis
    bool recordingLook = false;
    WhenShown(7000, [&](TRecForm& rec) {
        recordingLook = rec.Recording();
        rec.Button1Click(); // the user closes it with "Прервать"
        return QDialog::Rejected;
    });
    w.TB_StartClick();
    ASSERT_EQ(prompts_.messages.size(), 2u);
    EXPECT_EQ(prompts_.messages[1].text, QStringLiteral("Недостаточно данных для анализа"));
    EXPECT_TRUE(recordingLook);
    EXPECT_EQ(w.L_Info->text(), QStringLiteral("Новая запись"));
    EXPECT_EQ(fragment_->RrCount, 2000);
    EXPECT_EQ(fragment_->TimeIndices.HR, hr); // the old results stay on screen
    EXPECT_FALSE(w.P_Main->isHidden());
    EXPECT_TRUE(w.TB_Save->isEnabled());
    EXPECT_FALSE(w.TB_Print->isEnabled());
    EXPECT_FALSE(w.TB_Report->isEnabled());
}

TEST_F(RecordWindowTest, AbortLeavesThePreviousResults) {
    HRV_NEED_SHARED(kGood);
    TFormMain& w = StartWindow();
    Open(SharedFile(kGood), 1);
    const QString info = w.L_Info->text();
    const std::int32_t count = fragment_->RrCount;
    const std::uint16_t word = fragment_->RrWords[1];
    FakeSerialLink& link = UseFake(Groups(50, 90));
    prompts_.dialogScripts.push_back([&](QDialog& d) {
        auto& rec = dynamic_cast<TRecForm&>(d);
        for (int i = 0; i < 30; ++i) {
            window_->Timer1Timer();
        }
        QTest::mouseClick(rec.Button1, Qt::LeftButton);
        window_->Timer1Timer(); // a tick after the abort does nothing
        return rec.result();
    });
    w.TB_StartClick();
    EXPECT_EQ(link.next, 30u);
    EXPECT_FALSE(link.opened);
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_EQ(w.L_Info->text(), info);
    EXPECT_EQ(fragment_->RrCount, count);
    EXPECT_EQ(fragment_->RrWords[1], word);
    EXPECT_EQ(fragment_->RrTicks[1], 90); // the partial recording is in the slots
    EXPECT_TRUE(w.TB_Print->isEnabled());
}

TEST_F(RecordWindowTest, DialogClosedAnyOtherWayStillEndsTheRecording) {
    TFormMain& w = StartWindow();
    FakeSerialLink& link = UseFake(Groups(50, 90));
    prompts_.dialogScripts.push_back([](QDialog&) { return int(QDialog::Accepted); });
    w.TB_StartClick();
    EXPECT_FALSE(rec_->Session().Active());
    EXPECT_FALSE(link.opened);
}

TEST_F(RecordWindowTest, EachStartClearsTheBarAndLabels) {
    TFormMain& w = StartWindow();
    UseFake({3, 0, 0, 0, 85, 112});
    WhenShown(6, [](TRecForm& rec) {
        rec.Button1Click();
        return QDialog::Rejected;
    });
    w.TB_StartClick();
    ASSERT_FALSE(rec_->Label2->text().isEmpty());
    UseFake({});
    WhenShown(0, [](TRecForm& rec) {
        EXPECT_EQ(rec.PB_Rec->value(), 0);
        EXPECT_TRUE(rec.Label2->text().isEmpty());
        EXPECT_TRUE(rec.Label3->text().isEmpty());
        EXPECT_TRUE(rec.Recording());
        rec.Button1Click();
        return QDialog::Rejected;
    });
    w.TB_StartClick();
    EXPECT_EQ(prompts_.dialogsShown.size(), 2u);
}

// Each recording is a row of its own, named by the time it ended; a finished recording that
// was never saved is asked about before Start, Open or closing the window replace it.
TEST_F(RecordWindowTest, TwoRecordingsAreTwoRowsAndAnUnsavedOneIsAskedAbout) {
    TFormMain& w = StartWindow();
    std::int64_t ended = QDateTime(QDate(2026, 12, 9), QTime(10, 15, 30)).toSecsSinceEpoch();
    w.RecordingClock = [&ended] { return ended; };
    const auto record = [&] {
        UseFake(Groups(450, 80)); // past the time limit
        WhenShown(7000, [](TRecForm&) { return QDialog::Accepted; });
        w.TB_StartClick();
        ASSERT_TRUE(w.TB_Report->isEnabled());
        w.TB_ReportClick();
    };
    record();
    EXPECT_EQ(w.L_Info->text(), QStringLiteral("Новая запись"));
    EXPECT_TRUE(prompts_.confirms.empty());
    if (test::HavePdfToText()) { // the printed page names it by its date and time too
        const std::string pdf = dir_ / "page.pdf";
        w.Printer().setOutputFormat(QPrinter::PdfFormat);
        w.Printer().setOutputFileName(QString::fromStdString(pdf));
        prompts_.saveAnswers.push_back({QString::fromStdString(pdf), 1});
        w.TB_PrintClick();
        EXPECT_GE(test::FindText(test::PdfLines(pdf), "09.12.2026 10:15:30").line, 0);
    }

    // The next Start asks first; "Отменить" (Esc) keeps the recording and starts nothing.
    w.TB_StartClick();
    ASSERT_EQ(prompts_.confirms.size(), 1u);
    EXPECT_EQ(prompts_.confirms[0].text, QStringLiteral("Сохранить запись?"));
    EXPECT_EQ(prompts_.dialogsShown.size(), 1u);
    ended += 400;
    prompts_.confirmAnswers.push_back(kConfirmThird); // "Не сохранять"
    record();
    w.TB_ReportClick(); // the same recording twice is one row

    EXPECT_EQ(prompts_.Texts(MessageKind::Plain),
              (QStringList{QStringLiteral("Запись добавлена в файл rvx.txt"),
                           QStringLiteral("Запись добавлена в файл rvx.txt"),
                           QStringLiteral("Запись уже сохранена в файле rvx.txt")}));
    const std::string table = test::ReadBytes<std::string>(dir_ / "rvx.txt");
    EXPECT_NE(table.find(Utf8ToCp1251("\r\nНовая запись 09.12.2026 10:15:30\t")),
              std::string::npos);
    EXPECT_NE(table.find(Utf8ToCp1251("\r\nНовая запись 09.12.2026 10:22:10\t")),
              std::string::npos);

    // Open and closing ask too; cancelled, nothing happens.
    w.TB_OpenClick();
    EXPECT_EQ(prompts_.confirms.size(), 3u);
    EXPECT_TRUE(prompts_.openDialogs.empty());
    EXPECT_FALSE(w.close());
    EXPECT_EQ(prompts_.confirms.size(), 4u);
    // "Сохранить" runs Save; once the file is written the window closes without more questions.
    prompts_.confirmAnswers.push_back(kConfirmFirst);
    const std::string saved = dir_ / "rec.rr";
    prompts_.saveAnswers.push_back({QString::fromStdString(saved), 1});
    EXPECT_TRUE(w.close());
    EXPECT_EQ(prompts_.confirms.size(), 5u);
    EXPECT_TRUE(std::filesystem::exists(saved));
}

struct SetupFailure {
    int port;
    int baud;
    const char* failAt;
};

void PrintTo(const SetupFailure& c, std::ostream* os) {
    *os << "Port" << c.port << "_Baud" << (c.baud < 0 ? "Minus" : "") << std::abs(c.baud);
    if (*c.failAt != '\0') {
        *os << "_FailAt_" << c.failAt;
    }
}

class RecordWindowSetup : public RecordWindowTest,
                          public ::testing::WithParamInterface<SetupFailure> {};

TEST_P(RecordWindowSetup, FailureShowsTheErrorAndNoDialog) {
    TFormMain& w = StartWindow();
    FakeSerialLink& link = UseFake({});
    link.failAt = GetParam().failAt;
    fragment_->Settings.PortIndex = static_cast<std::uint8_t>(GetParam().port);
    fragment_->Settings.BaudIndex = GetParam().baud;
    w.TB_StartClick();
    EXPECT_TRUE(prompts_.dialogsShown.empty());
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(prompts_.messages[0].text, QStringLiteral("Ошибка инициализации COM"));
    EXPECT_FALSE(link.opened);
    EXPECT_FALSE(rec_->Session().Active());
    window_->Timer1Timer();
    EXPECT_EQ(link.reads, 0);
}

INSTANTIATE_TEST_SUITE_P(Failures, RecordWindowSetup,
                         ::testing::Values(SetupFailure{3, 1, ""}, SetupFailure{4, 1, ""},
                                           SetupFailure{1, -1, ""}, SetupFailure{1, 4, ""},
                                           SetupFailure{1, 1, "open"},
                                           SetupFailure{1, 1, "timeouts"}),
                         ::testing::PrintToStringParamName());

} // namespace
} // namespace hrv
