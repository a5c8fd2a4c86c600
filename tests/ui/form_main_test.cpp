// The main window driven through its commands: start-up and close with the settings file, Open,
// Save, the analysis and its display, Setup and About.
#include "files/rr_file.h"
#include "files/settings_file.h"
#include "presentation/panel_texts.h"
#include "tests/ui/window_fixture.h"
#include "ui/chart_layer.h"
#include "ui/form_setup.h"
#include "ui/progress_form.h"
#include "ui/qt_text.h"

#include <QAbstractBarSeries>
#include <QAction>
#include <QAreaSeries>
#include <QBarSet>
#include <QComboBox>
#include <QFontInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QValueAxis>
#include <QXYSeries>

namespace hrv {
namespace {

using test::ReadBytes;
using test::RussianDateOf;
using test::SharedFile;
using test::WindowTest;
using test::WriteBytes;

const char kGood[] = "nsrdb_long_00-06min.rr";  // long enough for the analysis
const char kOther[] = "polar_rest_00-06min.rr"; // long enough, different results
const char kShort[] = "nsrdb_short_5min.rr";    // 29873 ticks: too little data
const char kGoodPpg[] = "bidmc01_110-470s.ppg"; // its pulses reach 300 s
const char kShortPpg[] = "nk_resting5min.ppg";  // its pulses fall short of 300 s

bool ResultCommandsEnabled(const TFormMain& w) {
    return w.TB_Save->isEnabled() && w.TB_Print->isEnabled() && w.TB_Report->isEnabled();
}

// --- Start-up and close ---------------------------------------------------------------------

TEST_F(WindowTest, FirstStartWithoutSettingsFile) {
    TFormMain& w = Start();
    EXPECT_EQ(w.windowTitle(), Q("Тарин-07"));
    EXPECT_EQ(w.DeviceScale(), 10);
    EXPECT_EQ(w.L_Info->text(), Q("Нет записи"));
    EXPECT_TRUE(w.P_Main->isHidden());
    EXPECT_FALSE(w.TB_Save->isEnabled());
    EXPECT_FALSE(w.TB_Print->isEnabled());
    EXPECT_FALSE(w.TB_Report->isEnabled());
    EXPECT_TRUE(w.TB_Open->isEnabled());
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_EQ(fragment_->AppDir, dir_.path().string());
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "Data"));
    const QString data = QString::fromStdString(dir_ / "Data");
    EXPECT_EQ(w.OpenDialogData.InitialDir, data);
    EXPECT_EQ(w.SaveDialogData.InitialDir, data);
    EXPECT_FALSE(std::filesystem::exists(Settings())) << "nothing is written before close";
    EXPECT_EQ(w.size(), QSize(741, 491));
    EXPECT_EQ(w.Timer1->interval(), 100);
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(w.ProgressForm->parent(), &w);
    EXPECT_TRUE(w.ProgressForm->isHidden());
    const bool narrow = QGuiApplication::primaryScreen()->geometry().width() < 800;
    for (const QPlainTextEdit* memo : {w.Memo_StatDig, w.Memo_SpecDig}) {
        EXPECT_EQ(memo->verticalScrollBarPolicy(),
                  narrow ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
        EXPECT_TRUE(memo->isReadOnly());
    }
}

TEST_F(WindowTest, ClosingWritesTheFirstRunRecord) {
    Start().close();
    std::vector<std::uint8_t> expect(176, 0);
    expect[162] = 1; // COM2
    expect[164] = 1; // 2400 baud
    EXPECT_EQ(ReadBytes(Settings()), expect);
}

TEST_F(WindowTest, ToolBarButtonsHintsAndOrder) {
    TFormMain& w = Start();
    const struct {
        const char* name;
        const char* hint;
    } table[] = {
        {"ToolButton2", nullptr},      {"TB_Open", "Открыть файл"},
        {"TB_Save", "Сохранить файл"}, {"ToolButton6", nullptr},
        {"TB_Start", "Начать запись"}, {"ToolButton1", nullptr},
        {"TB_Setup", "Параметры"},     {"ToolButton5", nullptr},
        {"TB_Print", "Печать"},        {"ToolButton4", "Настройка принтера"},
        {"ToolButton3", nullptr},      {"TB_Report", "В отчет"},
        {"ToolButton8", nullptr},      {"TB_Help", "О программе"},
        {"ToolButton10", nullptr},     {"TB_Batch", "Пакетное преобразование *.ppg > *.rr"},
    };
    const QList<QAction*> actions = w.ToolBar1->actions();
    ASSERT_EQ(actions.size(), 16);
    for (int i = 0; i < 16; ++i) {
        const auto& row = table[i];
        if (row.hint == nullptr) {
            EXPECT_TRUE(actions[i]->isSeparator()) << i;
            EXPECT_EQ(actions[i]->objectName(), Q(row.name)) << i;
            continue;
        }
        auto* button = qobject_cast<QToolButton*>(w.ToolBar1->widgetForAction(actions[i]));
        ASSERT_NE(button, nullptr) << i;
        EXPECT_EQ(button->objectName(), Q(row.name)) << i;
        EXPECT_EQ(button->toolTip(), Q(row.hint)) << i;
        EXPECT_FALSE(button->icon().isNull()) << i;
    }
    EXPECT_FALSE(actions[15]->isVisible()) << "the batch button is hidden";
    EXPECT_FALSE(w.TB_Batch->isEnabled());
}

TEST_F(WindowTest, SettingsFileGivesCaptionScaleAndFolders) {
    SettingsRecord s = DefaultSettings();
    s.DeviceIndex = 1;
    s.FilterIndex = 2;
    SetShortString(s.DataDir, "/records/пациенты");
    SetShortString(s.Dialog2Dir, "/second");
    WriteSettings(Settings(), s);

    TFormMain& w = Start();
    EXPECT_EQ(w.windowTitle(), Q("Вира-005"));
    EXPECT_EQ(w.DeviceScale(), 8);
    EXPECT_EQ(w.OpenDialogData.InitialDir, Q("/records/пациенты"));
    EXPECT_EQ(w.SaveDialogData.InitialDir, Q("/records/пациенты"));
    EXPECT_EQ(w.OpenDialog2.InitialDir, Q("/second"));
    EXPECT_TRUE(prompts_.messages.empty());

    w.TB_OpenClick(); // cancelled: only the preselection matters
    ASSERT_EQ(prompts_.openDialogs.size(), 1u);
    EXPECT_EQ(prompts_.openDialogs[0].FilterIndex, 2);
    EXPECT_EQ(prompts_.openDialogs[0].InitialDir, Q("/records/пациенты"));
    EXPECT_EQ(prompts_.openDialogs[0].DefaultExt, Q("rr"));
    EXPECT_EQ(prompts_.openDialogs[0].Filter,
              Q("Файл кардиоинтервалов (*.rr)|*.rr|Файл фотоплетизмограммы (*.ppg)|*.ppg|"
                "Список RR-интервалов (*.txt *.csv)|*.txt;*.csv|"
                "Запись ЭКГ WFDB (*.hea)|*.hea|EDF/BDF (*.edf *.bdf)|*.edf;*.bdf"));

    const auto before = ReadBytes(Settings());
    w.close();
    EXPECT_EQ(ReadBytes(Settings()), before) << "the record goes back unchanged";
}

TEST_F(WindowTest, EmptyFolderInTheFileGivesEmptyInitialFolders) {
    WriteSettings(Settings(), DefaultSettings());
    TFormMain& w = Start();
    EXPECT_TRUE(w.OpenDialogData.InitialDir.isEmpty());
    EXPECT_TRUE(w.SaveDialogData.InitialDir.isEmpty());
}

TEST_F(WindowTest, UsbRecorderInTheFileIsNamedAtStartUp) {
    SettingsRecord s = DefaultSettings();
    s.DeviceIndex = 2;
    s.PortIndex = 3;
    WriteSettings(Settings(), s);
    TFormMain& w = Start();
    EXPECT_EQ(w.windowTitle(), Q("USB регистратор"));
    EXPECT_EQ(w.DeviceScale(), 10);
}

TEST_F(WindowTest, ShortSettingsFileGivesMessageThenFullDefaults) {
    std::vector<std::uint8_t> bytes(100, 0);
    bytes[0] = 5; // would be a DataDir of 5 characters
    WriteBytes(Settings(), bytes);
    TFormMain& w = Start();
    EXPECT_EQ(prompts_.Texts(MessageKind::Plain),
              QStringList{Q("Ошибка чтения файла конфигурации. Будут установлены параметры "
                            "\"по умолчанию\"")});
    EXPECT_EQ(w.windowTitle(), Q("Тарин-07"));
    EXPECT_EQ(w.DeviceScale(), 10);
    EXPECT_EQ(w.OpenDialogData.InitialDir, QString::fromStdString(dir_ / "Data"));
    w.close();
    EXPECT_EQ(ReadBytes(Settings()), [] {
        std::vector<std::uint8_t> expect(176, 0);
        expect[162] = 1;
        expect[164] = 1;
        return expect;
    }());
}

TEST_F(WindowTest, SettingsThatCannotBeWrittenAtCloseAreReportedAndTheWindowCloses) {
    TFormMain& w = Start();
    w.show();
    std::filesystem::create_directory(Settings()); // a folder where the file should go
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(prompts_.Texts(MessageKind::Error).size(), 1);
}

// --- Open and the analysis --------------------------------------------------------------------

TEST_F(WindowTest, OpenRrFileShowsEverything) {
    HRV_NEED_SHARED(kGood);
    TFormMain& w = Start();
    const std::string path = SharedFile(kGood);
    Open(path, 1);

    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_EQ(w.L_Info->text(), Q("nsrdb_long_00-06min ") + RussianDateOf(path));
    EXPECT_EQ(fragment_->CurrentFileName, path);
    EXPECT_EQ(QString::fromStdString(fragment_->CurrentFileDate), RussianDateOf(path));
    EXPECT_EQ(fragment_->RrCount, 478);
    EXPECT_EQ(fragment_->FragmentCount, 397);
    EXPECT_FALSE(w.P_Main->isHidden());
    EXPECT_TRUE(ResultCommandsEnabled(w));
    EXPECT_EQ(fragment_->Settings.FilterIndex, 1);
    EXPECT_EQ(ShortStringText(fragment_->Settings.DataDir),
              std::string(HRV_SHARED_DATA).substr(0, 80));
    EXPECT_EQ(w.OpenDialogData.InitialDir, QString::fromStdString(std::string(HRV_SHARED_DATA)));

    EXPECT_EQ(w.Chart_RG->Points().size(), 29999u);
    EXPECT_EQ(w.Chart_Spectr->Points().size(), 150u);
    EXPECT_EQ(w.Chart_Diagram->Points().size(), 4u);
    EXPECT_EQ(w.Chart_Histo->Points().size(), 2560u);
    EXPECT_EQ(w.Chart_Scater->Points().size(), ScatterPoints(*fragment_).size());
    EXPECT_FALSE(w.Chart_Scater->Points().empty());
    EXPECT_DOUBLE_EQ(w.Chart_RG->Points()[100].y, fragment_->Rhythmogram[101] / 100);

    QString stat = QString::fromStdString(StatPanelText(*fragment_, ','));
    QString definition = QString::fromStdString(SpecPanelText(*fragment_, ','));
    stat.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    definition.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(w.Memo_StatDig->toPlainText(), stat);
    EXPECT_EQ(w.Memo_SpecDig->toPlainText(), definition);
    EXPECT_TRUE(w.Memo_StatDig->toPlainText().startsWith(QStringLiteral(" SDNN\t")));
    EXPECT_TRUE(w.Memo_StatDig->toPlainText().contains(QLatin1Char(','))) << "regional comma";
    EXPECT_TRUE(w.Memo_StatDig->toPlainText().endsWith(QStringLiteral(" n\t397")));
}

// A recording longer than two fragments opens as its first one: the status bar says how much of
// it was analysed, in rvx-cli's words, until a shorter file replaces it.
TEST_F(WindowTest, LongRecordingSaysItWasCutToItsFirstFragment) {
    TFormMain& w = Start();
    const std::string hour = dir_ / "hour.rr";
    WriteBytes(hour, test::RrImage(test::Repeat(80, 4500))); // 4500 intervals of 0.8 s
    Open(hour, 1);
    ASSERT_TRUE(prompts_.messages.empty());
    EXPECT_EQ(w.L_Status->text(), QStringLiteral("Проанализированы первые 300 с из 1:00:00"));

    WriteBytes(dir_ / "minutes.rr", test::RrImage(test::TwoBandRhythm(500, 80))); // 6.7 minutes
    Open(dir_ / "minutes.rr", 1);
    EXPECT_TRUE(w.L_Status->text().isEmpty());
}

TEST_F(WindowTest, ChartsHoldTheirSeriesInOneColourPerRun) {
    HRV_NEED_SHARED(kGood);
    TFormMain& w = Start();
    Open(SharedFile(kGood), 1);

    const auto rg = w.Chart_RG->chart()->series();
    ASSERT_EQ(rg.size(), 1);
    auto* line = qobject_cast<QLineSeries*>(rg[0]);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->count(), 29999);
    EXPECT_EQ(line->pen().color(), QColor(0, 0, 0));

    const auto spectrum = w.Chart_Spectr->chart()->series();
    ASSERT_EQ(spectrum.size(), 3) << "navy, blue and teal bands";
    const QColor bandColours[] = {QColor(0, 0, 128), QColor(0, 0, 255), QColor(0, 128, 128)};
    const int bandEnds[] = {12, 45, 150}; // last bin of each band
    for (int i = 0; i < 3; ++i) {
        auto* area = qobject_cast<QAreaSeries*>(spectrum[i]);
        ASSERT_NE(area, nullptr);
        EXPECT_EQ(area->brush().color(), bandColours[i]);
        const QList<QPointF> pts = area->upperSeries()->points();
        EXPECT_DOUBLE_EQ(pts.back().x(), bandEnds[i] / 300.0);
    }

    const auto bars = w.Chart_Diagram->chart()->series();
    ASSERT_EQ(bars.size(), 1);
    auto* barSeries = qobject_cast<QAbstractBarSeries*>(bars[0]);
    ASSERT_NE(barSeries, nullptr);
    EXPECT_EQ(barSeries->count(), 4) << "one set per colour";
}

TEST_F(WindowTest, SpectrumSegmentsAreDrawnInTheirBandColours) {
    HRV_NEED_SHARED(kGood);
    TFormMain& w = Start();
    w.resize(1600, 1000);
    w.show();
    Open(SharedFile(kGood), 1);
    // A flat spectrum, so that every segment stands well above the axis.
    for (int k = 1; k <= kBinCount; ++k) {
        fragment_->Spectrum.Power[k] = 100;
    }
    w.ShowGraphics();
    QApplication::processEvents();
    const QImage image = w.Chart_Spectr->grab().toImage();
    auto* anySeries = w.Chart_Spectr->chart()->series().front();
    // The segment that ends at bin k takes bin k's colour.
    const struct {
        int bin;
        QColor color;
    } table[] = {{12, QColor(0, 0, 128)},
                 {13, QColor(0, 0, 255)},
                 {45, QColor(0, 0, 255)},
                 {46, QColor(0, 128, 128)}};
    for (const auto& c : table) {
        const QPointF at =
            w.Chart_Spectr->chart()->mapToPosition(QPointF((c.bin - 0.5) / 300, 50), anySeries);
        EXPECT_EQ(image.pixelColor(at.toPoint()), c.color) << "bin " << c.bin;
    }
}

TEST_F(WindowTest, OpenPpgFileDetectsPulsesAndAnalyses) {
    HRV_NEED_SHARED(kGoodPpg);
    TFormMain& w = Start();
    Open(SharedFile(kGoodPpg), 2);
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_EQ(w.L_Info->text(), Q("bidmc01_110-470s ") + RussianDateOf(SharedFile(kGoodPpg)));
    EXPECT_TRUE(ResultCommandsEnabled(w));
    EXPECT_EQ(fragment_->Settings.FilterIndex, 2);
    EXPECT_GT(fragment_->RrCount, 300);
    EXPECT_EQ(fragment_->RrAux[1], 0);
    EXPECT_EQ(w.Chart_RG->Points().size(), 29999u);
}

TEST_F(WindowTest, TooLittleDataBeforeAnySuccessKeepsTheResultAreaHidden) {
    HRV_NEED_SHARED(kShort);
    TFormMain& w = Start();
    Open(SharedFile(kShort), 1);
    EXPECT_EQ(prompts_.Texts(MessageKind::Plain),
              QStringList{Q("Недостаточно данных для анализа")});
    EXPECT_TRUE(w.P_Main->isHidden());
    EXPECT_FALSE(w.TB_Save->isEnabled());
    EXPECT_FALSE(w.TB_Print->isEnabled());
    EXPECT_EQ(w.L_Info->text(), Q("nsrdb_short_5min ") + RussianDateOf(SharedFile(kShort)));
    EXPECT_EQ(fragment_->RrCount, 337);
}

TEST_F(WindowTest, TooLittleDataAfterSuccessEmptiesTheDisplayAndStopsPrintAndReport) {
    HRV_NEED_SHARED(kGood);
    HRV_NEED_SHARED(kShort);
    TFormMain& w = Start();
    Open(SharedFile(kGood), 1);
    Open(SharedFile(kShort), 1);
    EXPECT_EQ(prompts_.Texts(MessageKind::Plain),
              QStringList{Q("Недостаточно данных для анализа")});
    EXPECT_EQ(w.L_Info->text(), Q("nsrdb_short_5min ") + RussianDateOf(SharedFile(kShort)));
    // No result of the previous file stays under the new name.
    for (ChartWidget* chart :
         {w.Chart_RG, w.Chart_Histo, w.Chart_Scater, w.Chart_Spectr, w.Chart_Diagram}) {
        int shown = 0;
        for (QAbstractSeries* series : chart->chart()->series()) {
            if (auto* xy = qobject_cast<QXYSeries*>(series)) {
                shown += static_cast<int>(xy->count());
            } else if (auto* area = qobject_cast<QAreaSeries*>(series)) {
                shown += static_cast<int>(area->upperSeries()->count());
            } else if (auto* bars = qobject_cast<QAbstractBarSeries*>(series)) {
                for (QBarSet* set : bars->barSets()) {
                    shown += static_cast<int>(set->count());
                }
            }
        }
        EXPECT_EQ(shown, 0) << chart->objectName().toStdString();
    }
    EXPECT_TRUE(w.Memo_StatDig->toPlainText().isEmpty());
    EXPECT_TRUE(w.Memo_SpecDig->toPlainText().isEmpty());
    EXPECT_EQ(fragment_->RrCount, 337) << "the new intervals are loaded";
    EXPECT_TRUE(w.TB_Save->isEnabled());
    EXPECT_FALSE(w.TB_Print->isEnabled());
    EXPECT_FALSE(w.TB_Report->isEnabled());

    // Save writes the new intervals.
    Save(dir_ / "new.rr");
    EXPECT_EQ(ReadBytes(dir_ / "new.rr").size(), 2u + 2 * 337);
}

// Every line of a result panel can be brought into its box: scrolled to, never cut at the side.
void ExpectEveryLineReachable(QPlainTextEdit& memo) {
    const QString name = memo.objectName();
    ASSERT_GT(memo.document()->blockCount(), 5) << name.toStdString();
    for (QTextBlock block = memo.document()->begin(); block.isValid(); block = block.next()) {
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock);
        memo.setTextCursor(cursor);
        memo.ensureCursorVisible();
        const QRect at = memo.cursorRect();
        EXPECT_TRUE(memo.viewport()->rect().contains(at))
            << name.toStdString() << ": " << block.text().toStdString();
    }
}

// On a 640 x 480 screen the window fits the screen, both panels scroll and every value can be
// reached; on a wide screen the smallest size is the design size and no panel needs a bar.
TEST_F(WindowTest, FitsASmallScreenWithEveryValueReachable) {
    HRV_NEED_SHARED(kGood);
    TFormMain& w = Start();
    w.show(); // on the test platform's screen; then as if it were moved to a small one
    w.FitToScreen(QRect(0, 0, 640, 480), 640);
    EXPECT_LE(w.minimumWidth(), 640);
    EXPECT_LE(w.minimumHeight(), 480);
    // Maximised on that screen: the whole of it, frame included.
    const QSize frame = w.frameGeometry().size() - w.size();
    w.resize(QSize(640, 480) - frame);
    Open(SharedFile(kGood), 1);
    ASSERT_TRUE(prompts_.messages.empty());
    QApplication::processEvents();
    EXPECT_EQ(w.frameGeometry().size(), QSize(640, 480));
    for (QPlainTextEdit* memo : {w.Memo_StatDig, w.Memo_SpecDig}) {
        EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        // The panel lies inside the window.
        const QRect inWindow(memo->mapTo(&w, QPoint(0, 0)), memo->size());
        EXPECT_TRUE(w.rect().contains(inWindow)) << memo->objectName().toStdString();
        EXPECT_GE(memo->viewport()->height(), memo->fontMetrics().height());
        ExpectEveryLineReachable(*memo);
    }

    w.FitToScreen(QRect(0, 0, 1024, 740), 1024);
    EXPECT_EQ(w.minimumSize(), QSize(741, 491));
    EXPECT_EQ(w.Memo_StatDig->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_EQ(w.Memo_SpecDig->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
}

// The smallest screen: the window leaves room for the frame the window manager adds after it is
// shown, and the status bar and every panel line, the correction's too, stay whole in it.
TEST_F(WindowTest, SmallestScreenKeepsTheStatusBarAndEveryPanelLineWhole) {
    HRV_NEED_SHARED("polar_noisy_150-510s.rr");
    TFormMain& w = Start();
    w.FitToScreen(QRect(0, 0, 640, 480), 640); // not yet framed
    EXPECT_LE(w.minimumHeight(), 480 - 20) << "no room for a title bar";
    fragment_->Correct = CorrectionMode::Auto;
    w.show();
    w.FitToScreen(QRect(0, 0, 640, 480), 640);
    w.resize(640, 460);
    Open(SharedFile("polar_noisy_150-510s.rr"), 1);
    ASSERT_TRUE(prompts_.messages.empty());
    ASSERT_TRUE(fragment_->Corrected);
    QApplication::processEvents();
    const QRect bar(w.StatusBar1->mapTo(&w, QPoint(0, 0)), w.StatusBar1->size());
    EXPECT_TRUE(w.rect().contains(bar));
    for (QPlainTextEdit* memo : {w.Memo_StatDig, w.Memo_SpecDig}) {
        for (QTextBlock b = memo->document()->begin(); b.isValid(); b = b.next()) {
            EXPECT_LE(b.layout()->lineCount(), 1) << b.text().toStdString();
        }
    }
}

// One size for both result panels and one for the texts of all five charts, at every size.
TEST_F(WindowTest, OneFontSizeForBothPanelsAndForAllCharts) {
    HRV_NEED_SHARED(kGood);
    TFormMain& w = Start();
    w.show();
    Open(SharedFile(kGood), 1);
    ASSERT_TRUE(prompts_.messages.empty());
    for (const QSize size : {QSize(741, 491), QSize(800, 560), QSize(1024, 700), QSize(1400, 900),
                             QSize(1900, 1000), QSize(760, 900), QSize(1600, 500)}) {
        w.resize(size);
        QApplication::processEvents();
        const std::string at = std::to_string(size.width()) + " x " + std::to_string(size.height());
        EXPECT_EQ(QFontInfo(w.Memo_StatDig->font()).pixelSize(),
                  QFontInfo(w.Memo_SpecDig->font()).pixelSize())
            << at;
        const QFont title = w.Chart_RG->chart()->titleFont();
        const QFont labels = w.Chart_RG->chart()->axes().front()->labelsFont();
        for (ChartWidget* chart :
             {w.Chart_Histo, w.Chart_Scater, w.Chart_Spectr, w.Chart_Diagram}) {
            EXPECT_EQ(chart->chart()->titleFont().pixelSize(), title.pixelSize())
                << at << " " << chart->objectName().toStdString();
            for (QAbstractAxis* axis : chart->chart()->axes()) {
                EXPECT_EQ(axis->labelsFont().pixelSize(), labels.pixelSize())
                    << at << " " << chart->objectName().toStdString();
            }
        }
    }
}

TEST_F(WindowTest, SecondSuccessReplacesEveryChartAndPanel) {
    HRV_NEED_SHARED(kGood);
    HRV_NEED_SHARED(kOther);
    TFormMain& w = Start();
    Open(SharedFile(kGood), 1);
    const QString firstStat = w.Memo_StatDig->toPlainText();
    const auto firstScatter = w.Chart_Scater->Points().size();
    Open(SharedFile(kOther), 1);
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_NE(w.Memo_StatDig->toPlainText(), firstStat);
    EXPECT_EQ(w.Chart_RG->Points().size(), 29999u) << "cleared before filling";
    EXPECT_EQ(w.Chart_Histo->Points().size(), 2560u);
    EXPECT_EQ(w.Chart_Scater->Points().size(), ScatterPoints(*fragment_).size());
    EXPECT_NE(w.Chart_Scater->Points().size(), firstScatter);
    EXPECT_TRUE(ResultCommandsEnabled(w));
}

TEST_F(WindowTest, RejectedPpgNamesTheFileAndEmptiesTheFragment) {
    HRV_NEED_SHARED(kGood);
    TFormMain& w = Start();
    Open(SharedFile(kGood), 1);
    ASSERT_GT(fragment_->RrCount, 0);

    const std::string bad = dir_ / "tiny.ppg";
    WriteBytes(bad, {231, 0}); // below the smallest accepted size
    Open(bad, 2);
    EXPECT_EQ(prompts_.Texts(MessageKind::Plain), QStringList{Q("Ошибка импорта данных")});
    EXPECT_EQ(w.L_Info->text(), Q("tiny ") + RussianDateOf(bad));
    EXPECT_EQ(fragment_->CurrentFileName, bad);
    EXPECT_EQ(fragment_->Settings.FilterIndex, 2);
    // Nothing of the previous file can be saved under the rejected file's name.
    EXPECT_EQ(fragment_->RrCount, 0);
    EXPECT_EQ(fragment_->RrWords[10], 0);
    EXPECT_EQ(fragment_->AnalysisSeries[1], 0) << "cleared before decoding";
    EXPECT_TRUE(w.Chart_RG->Points().empty()) << "no results under the rejected file's name";
    EXPECT_TRUE(w.Memo_StatDig->toPlainText().isEmpty());
    EXPECT_FALSE(w.TB_Print->isEnabled());
    EXPECT_FALSE(w.TB_Report->isEnabled());
    EXPECT_FALSE(w.TB_Save->isEnabled());
}

// Every way an RR list is refused after a good file: the display and the intervals emptied as
// for a rejected PPG file, the refusal shown once, nothing left to save, print or table.
TEST_F(WindowTest, RejectedRrListEmptiesTheDisplayAndTheFragment) {
    HRV_NEED_SHARED(kGood);
    for (const char* list : {"800\n810\n3000\n790\n", "800\n80x5\n790\n"}) {
        SCOPED_TRACE(list);
        TFormMain& w = Start();
        Open(SharedFile(kGood), 1);
        ASSERT_TRUE(ResultCommandsEnabled(w));
        prompts_.messages.clear();
        const std::string bad = dir_ / "bad.txt";
        WriteBytes(bad, std::string_view(list));
        Open(bad, 3);
        EXPECT_EQ(prompts_.Texts(MessageKind::Error).size(), 1u);
        EXPECT_TRUE(prompts_.Texts(MessageKind::Plain).isEmpty());
        EXPECT_EQ(w.L_Info->text(), Q("bad ") + RussianDateOf(bad));
        EXPECT_EQ(fragment_->RrCount, 0);
        EXPECT_EQ(fragment_->RrTicks[1], 0);
        EXPECT_TRUE(w.Chart_RG->Points().empty());
        EXPECT_TRUE(w.Chart_Histo->Points().empty());
        EXPECT_TRUE(w.Chart_Spectr->Points().empty());
        EXPECT_TRUE(w.Memo_StatDig->toPlainText().isEmpty());
        EXPECT_TRUE(w.Memo_SpecDig->toPlainText().isEmpty());
        EXPECT_FALSE(w.TB_Save->isEnabled());
        EXPECT_FALSE(w.TB_Print->isEnabled());
        EXPECT_FALSE(w.TB_Report->isEnabled());
    }
}

// Save never makes results out of a failed open: Print and the summary table stay off after
// saving a fragment too short to analyse, and stay on after saving an analysed one.
TEST_F(WindowTest, SaveLeavesPrintAndReportAsTheResultsAre) {
    HRV_NEED_SHARED(kGood);
    HRV_NEED_SHARED(kShort);
    TFormMain& w = Start();
    Open(SharedFile(kGood), 1);
    Save(dir_ / "good.rr");
    EXPECT_TRUE(ResultCommandsEnabled(w));
    Open(SharedFile(kShort), 1);
    Save(dir_ / "short.rr");
    EXPECT_EQ(w.L_Info->text(), Q("short ") + RussianDateOf(dir_ / "short.rr"));
    EXPECT_EQ(ReadBytes(dir_ / "short.rr").size(), 2u + 2 * 337);
    EXPECT_TRUE(w.TB_Save->isEnabled());
    EXPECT_FALSE(w.TB_Print->isEnabled());
    EXPECT_FALSE(w.TB_Report->isEnabled());
}

TEST_F(WindowTest, FileTypeChosenInTheDialogDecidesOverTheExtension) {
    HRV_NEED_SHARED(kGood);
    HRV_NEED_SHARED(kGoodPpg);
    TFormMain& w = Start();
    // An RR file taken as a PPG file: no sync samples, so no pulses (or a rejection).
    Open(SharedFile(kGood), 2);
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_TRUE(prompts_.messages[0].text == Q("Недостаточно данных для анализа") ||
                prompts_.messages[0].text == Q("Ошибка импорта данных"));
    EXPECT_FALSE(ResultCommandsEnabled(w));

    // A PPG file taken as an RR file: its bytes become words, whose high bytes (the PPG's odd
    // bytes) are all 0, so there is nothing to analyse.
    prompts_.messages.clear();
    Open(SharedFile(kGoodPpg), 1);
    EXPECT_EQ(prompts_.Texts(MessageKind::Plain),
              QStringList{Q("Недостаточно данных для анализа")});
    EXPECT_EQ(fragment_->RrCount, 40000) << "216,000 bytes give more words than RrWords holds";
    EXPECT_EQ(fragment_->RrTicks[1], 0);
    EXPECT_EQ(fragment_->Settings.FilterIndex, 1);
}

TEST_F(WindowTest, OpenOfMissingFileChangesNothing) {
    TFormMain& w = Start();
    const std::string missing = dir_ / "none.rr";
    Open(missing, 1);
    EXPECT_EQ(prompts_.Texts(MessageKind::Plain),
              QStringList{Q("Файл ") + QString::fromStdString(missing) + Q(" не найден")});
    EXPECT_EQ(w.L_Info->text(), Q("Нет записи"));
    EXPECT_TRUE(fragment_->CurrentFileName.empty());
    EXPECT_EQ(fragment_->Settings.FilterIndex, 0);
    EXPECT_EQ(fragment_->Settings.DataDir.length, 0);
}

TEST_F(WindowTest, OpenCancelledChangesNothing) {
    TFormMain& w = Start();
    w.TB_OpenClick();
    EXPECT_EQ(prompts_.openDialogs.size(), 1u);
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_EQ(w.L_Info->text(), Q("Нет записи"));
}

TEST_F(WindowTest, LongFolderIsRememberedByItsFirst80Characters) {
    HRV_NEED_SHARED(kGood);
    Start();
    const std::string folder = dir_ / std::string(90, 'd');
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/a b.rr";
    std::filesystem::copy_file(SharedFile(kGood), path);
    Open(path, 1);
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_EQ(window_->L_Info->text(), Q("a b ") + RussianDateOf(path)) << "spaces stay on open";
    EXPECT_EQ(fragment_->Settings.DataDir.length, 80);
    EXPECT_EQ(ShortStringText(fragment_->Settings.DataDir), folder.substr(0, 80));
}

TEST_F(WindowTest, UnreadableFileEndsTheCommandWithTheFileLayersError) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "file permissions do not bind the superuser";
    }
    HRV_NEED_SHARED(kGood);
    Start();
    const std::string path = dir_ / "locked.rr";
    std::filesystem::copy_file(SharedFile(kGood), path);
    std::filesystem::permissions(path, std::filesystem::perms::none);
    Open(path, 1);
    EXPECT_EQ(prompts_.Texts(MessageKind::Error).size(), 1);
}

TEST_F(WindowTest, RunAnalysisRunsTheActionAndShowsProgressAroundTheSpectrum) {
    HRV_NEED_SHARED(kGood);
    TFormMain& w = Start();
    Open(SharedFile(kGood), 1);
    int actions = 0;
    bool progressHiddenDuringAction = false;
    EXPECT_TRUE(w.RunAnalysis([&] {
        ++actions;
        progressHiddenDuringAction = w.ProgressForm->isHidden();
    }));
    EXPECT_EQ(actions, 1);
    EXPECT_TRUE(progressHiddenDuringAction) << "the action runs before the progress dialog";
    EXPECT_TRUE(w.ProgressForm->isHidden());
    EXPECT_EQ(w.ProgressForm->ProgressBar1->maximum(), 150);
    EXPECT_EQ(w.ProgressForm->ProgressBar1->minimum(), 0);
    EXPECT_EQ(w.ProgressForm->ProgressBar1->value(), 150);
    EXPECT_EQ(w.ProgressForm->windowTitle(), Q("Подготовка данных"));
}

TEST_F(WindowTest, RunAnalysisWithTooLittleDataSkipsTheAction) {
    TFormMain& w = Start();
    fragment_->AnalysisSeries.fill(0);
    int actions = 0;
    EXPECT_FALSE(w.RunAnalysis([&] { ++actions; }));
    EXPECT_EQ(actions, 0);
    EXPECT_EQ(prompts_.Texts(MessageKind::Plain),
              QStringList{Q("Недостаточно данных для анализа")});
}

TEST_F(WindowTest, EqualIntervalsGiveComponentBarsWithoutNaN) {
    TFormMain& w = Start();
    for (int k = 1; k <= 400; ++k) { // 400 intervals of 80 ticks: 320 s, no variability
        fragment_->RrTicks[k] = 80;
        fragment_->AnalysisSeries[k] = 80;
        fragment_->RrWords[k] = 80 * 256;
    }
    fragment_->RrCount = 400;
    ASSERT_TRUE(w.RunAnalysis());
    const auto& bars = w.Chart_Diagram->Points();
    ASSERT_EQ(bars.size(), 4u);
    EXPECT_EQ(bars[0].y, 100);
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_TRUE(std::isfinite(bars[i].y));
        if (fragment_->SpectralIndices.Total == 0) {
            EXPECT_EQ(bars[i].y, 0);
        }
    }
    EXPECT_FALSE(w.Memo_SpecDig->toPlainText().contains(QStringLiteral("NAN")));
    EXPECT_FALSE(w.Memo_SpecDig->toPlainText().contains(QStringLiteral("INF")));
}

// --- Save -------------------------------------------------------------------------------------

TEST_F(WindowTest, SaveReplacesSpacesInTheFileNameOnly) {
    HRV_NEED_SHARED(kGood);
    TFormMain& w = Start();
    Open(SharedFile(kGood), 1);
    const std::string folder = dir_ / "My Data";
    std::filesystem::create_directory(folder);
    Save(folder + "/my file.rr");
    const std::string written = folder + "/my_file.rr";
    ASSERT_TRUE(std::filesystem::exists(written));
    EXPECT_FALSE(std::filesystem::exists(folder + "/my file.rr"));
    EXPECT_EQ(ReadBytes(written), RrFileImage(*fragment_));
    EXPECT_EQ(ReadBytes(written).size(), 2u + 2 * 478);
    EXPECT_EQ(fragment_->CurrentFileName, written);
    EXPECT_EQ(w.L_Info->text(), Q("my_file ") + RussianDateOf(written));
    EXPECT_EQ(ShortStringText(fragment_->Settings.DataDir), folder);
    EXPECT_EQ(w.SaveDialogData.InitialDir, QString::fromStdString(folder));
    EXPECT_EQ(fragment_->Settings.FilterIndex, 1) << "Save does not change the file type";
    ASSERT_EQ(prompts_.saveDialogs.size(), 1u);
    EXPECT_EQ(prompts_.saveDialogs[0].Filter, Q("Файл кардиоинтервалов (*.rr)|*.rr"));
    EXPECT_EQ(prompts_.saveDialogs[0].DefaultExt, Q("rr"));
    EXPECT_TRUE(prompts_.confirms.empty());
}

TEST_F(WindowTest, DecliningTheOverwriteLeavesFileLabelAndNameAlone) {
    HRV_NEED_SHARED(kGood);
    TFormMain& w = Start();
    Open(SharedFile(kGood), 1);
    const std::string target = dir_ / "old_one.rr";
    WriteBytes(target, {1, 2, 3});
    const QString label = w.L_Info->text();

    for (int answer : {kConfirmSecond, kConfirmThird}) {
        prompts_.confirmAnswers.push_back(answer);
        Save(dir_ / "old one.rr");
        EXPECT_EQ(ReadBytes(target), (std::vector<std::uint8_t>{1, 2, 3}));
        EXPECT_EQ(w.L_Info->text(), label);
        EXPECT_EQ(fragment_->CurrentFileName, SharedFile(kGood));
    }
    ASSERT_EQ(prompts_.confirms.size(), 2u);
    const auto& c = prompts_.confirms[0];
    EXPECT_EQ(c.caption, Q("Подтверждение"));
    EXPECT_EQ(c.text, Q("Файл ") + QString::fromStdString(target) + Q(" существует. Переписать?"));
    EXPECT_EQ(c.first, Q("Переписать"));
    EXPECT_EQ(c.second, Q("Отменить"));
    EXPECT_TRUE(c.third.isEmpty());
}

TEST_F(WindowTest, AcceptedOverwriteWritesTheFile) {
    HRV_NEED_SHARED(kGood);
    Start();
    Open(SharedFile(kGood), 1);
    const std::string target = dir_ / "old.rr";
    WriteBytes(target, {1, 2, 3});
    prompts_.confirmAnswers.push_back(kConfirmFirst);
    Save(target);
    EXPECT_EQ(ReadBytes(target), RrFileImage(*fragment_));
    EXPECT_EQ(fragment_->CurrentFileName, target);
}

TEST_F(WindowTest, FailedSaveShowsTheErrorAndKeepsTheName) {
    HRV_NEED_SHARED(kGood);
    TFormMain& w = Start();
    Open(SharedFile(kGood), 1);
    const QString label = w.L_Info->text();
    Save(dir_ / "no such folder/x.rr");
    EXPECT_EQ(prompts_.Texts(MessageKind::Error).size(), 1);
    EXPECT_EQ(fragment_->CurrentFileName, SharedFile(kGood));
    EXPECT_EQ(w.L_Info->text(), label);
}

// --- Setup, About, layout ---------------------------------------------------------------------

TEST_F(WindowTest, SetupDialogChoosesTheSecondModelAtOnce) {
    TFormMain& w = Start();
    w.close(); // the settings file as start-up left it
    const auto before = ReadBytes(Settings());
    prompts_.dialogScripts.push_back([](QDialog& d) {
        auto& setup = dynamic_cast<TFormSetup&>(d);
        EXPECT_EQ(setup.DeviceSelection(), 0);
        EXPECT_EQ(setup.PortSelection(), 1);
        EXPECT_EQ(setup.BaudSelection(), 1);
        setup.SetDeviceSelection(1);
        setup.SetPortSelection(2);
        setup.SetBaudSelection(2);
        return int(QDialog::Accepted);
    });
    w.TB_SetupClick();
    ASSERT_EQ(prompts_.dialogsShown.size(), 1u);
    EXPECT_EQ(prompts_.dialogsShown[0], Q("FormSetup"));
    EXPECT_EQ(w.windowTitle(), Q("ВИРА-05"));
    EXPECT_EQ(w.DeviceScale(), 8);
    EXPECT_EQ(fragment_->Settings.DeviceIndex, 1);
    EXPECT_EQ(fragment_->Settings.PortIndex, 2);
    EXPECT_EQ(fragment_->Settings.BaudIndex, 2);
    EXPECT_EQ(ReadBytes(Settings()), before) << "the file changes only at close";
}

TEST_F(WindowTest, SetupCancelledChangesNothing) {
    TFormMain& w = Start();
    prompts_.dialogScripts.push_back([](QDialog& d) {
        dynamic_cast<TFormSetup&>(d).SetDeviceSelection(1);
        return int(QDialog::Rejected);
    });
    w.TB_SetupClick();
    EXPECT_EQ(w.windowTitle(), Q("Тарин-07"));
    EXPECT_EQ(w.DeviceScale(), 10);
    EXPECT_EQ(fragment_->Settings.DeviceIndex, 0);
}

TEST_F(WindowTest, SetupKeeps38400AndTheUsbPortWhenNothingIsChosen) {
    SettingsRecord s = DefaultSettings();
    s.BaudIndex = 3;
    s.PortIndex = 3;
    s.DeviceIndex = 2;
    WriteSettings(Settings(), s);
    TFormMain& w = Start();
    prompts_.dialogScripts.push_back([](QDialog& d) {
        auto& setup = dynamic_cast<TFormSetup&>(d);
        EXPECT_EQ(setup.BaudSelection(), -1);
        EXPECT_EQ(setup.PortSelection(), 1) << "the selection it had before";
        EXPECT_EQ(setup.DeviceSelection(), 1) << "beyond the last entry: the last";
        return int(QDialog::Accepted);
    });
    w.TB_SetupClick();
    EXPECT_EQ(fragment_->Settings.BaudIndex, 3);
    EXPECT_EQ(fragment_->Settings.PortIndex, 1);
    EXPECT_EQ(fragment_->Settings.DeviceIndex, 1);
}

TEST_F(WindowTest, SetupChoiceIsStoredAndShownAfterARestart) {
    // The choice made in "Параметры" outlives the program: after a restart (a new window and
    // fragment) the caption and the interval scale follow it, and the dialog opens showing it.
    prompts_.dialogScripts.push_back([](QDialog& d) {
        auto& setup = dynamic_cast<TFormSetup&>(d);
        setup.SetDeviceSelection(1);
        setup.SetPortSelection(2);
        setup.SetBaudSelection(2);
        return int(QDialog::Accepted);
    });
    Start().TB_SetupClick();
    window_->close();
    window_.reset();
    fragment_ = std::make_unique<FragmentData>();
    TFormMain& w = Start();
    EXPECT_EQ(w.windowTitle(), Q("Вира-005"));
    EXPECT_EQ(w.DeviceScale(), 8);
    QStringList shown;
    prompts_.dialogScripts.push_back([&shown](QDialog& d) {
        for (const QRadioButton* button : d.findChildren<QRadioButton*>()) {
            shown << (button->isChecked() ? button->text() : QString());
        }
        shown << dynamic_cast<TFormSetup&>(d).CB_Baud->currentText();
        return int(QDialog::Rejected);
    });
    w.TB_SetupClick();
    EXPECT_EQ(shown, (QStringList{{}, Q("ВИРА-005"), {}, {}, Q("COM 3"), Q("19200")}));
}

TEST_F(WindowTest, AboutBox) {
    Start().TB_HelpClick();
    EXPECT_EQ(prompts_.Texts(MessageKind::Information),
              QStringList{Q("RVX\rВариационный анализ ритма сердца\r(5-минутный фрагмент)\r"
                            "Версия 1.1 COM")});
}

TEST_F(WindowTest, ResizeGivesThirdsAndQuarters) {
    HRV_NEED_SHARED(kGood);
    TFormMain& w = Start();
    w.show();
    Open(SharedFile(kGood), 1);
    for (const QSize size : {QSize(1023, 700), QSize(1400, 901)}) {
        w.resize(size);
        QApplication::processEvents();
        const int h = w.P_Main->height();
        const int q = w.width() / 4;
        EXPECT_EQ(w.width(), size.width());
        EXPECT_EQ(w.Pan_RG->height(), h / 3);
        EXPECT_EQ(w.Pan_Histo->height(), h / 3);
        EXPECT_EQ(w.Chart_Histo->width(), 2 * q);
        EXPECT_EQ(w.Chart_Scater->width(), q);
        EXPECT_EQ(w.Chart_Spectr->width(), 2 * q);
        EXPECT_EQ(w.Chart_Diagram->width(), q);
        EXPECT_EQ(w.Chart_Histo->x(), 0);
        EXPECT_EQ(w.Chart_Scater->x(), 2 * q);
        EXPECT_EQ(w.Pan_StatDig->x(), 3 * q);
        EXPECT_EQ(w.Chart_Diagram->x(), 2 * q);
        EXPECT_EQ(w.Pan_SpecDig->x(), 3 * q);
        EXPECT_EQ(w.Pan_Histo->y(), w.Pan_RG->y() + h / 3);
        EXPECT_EQ(w.L_Info->x(), 5);
    }
}

TEST_F(WindowTest, ClicksRunTheCommandsGuarded) {
    HRV_NEED_SHARED(kGood);
    TFormMain& w = Start();
    w.show();
    Open(SharedFile(kGood), 1);
    prompts_.saveAnswers.push_back({QString::fromStdString(dir_ / "nowhere/x.rr"), 1});
    QTest::mouseClick(w.TB_Save, Qt::LeftButton);
    EXPECT_EQ(prompts_.Texts(MessageKind::Error).size(), 1) << "the error reached the error box";
}

} // namespace
} // namespace hrv
