// The main window: start-up, layout, the analysis with its display, and the commands Open, Save,
// Setup and About.
#include "ui/form_main.h"

#include "analysis/pipeline.h"
#include "files/correction_setting.h"
#include "files/file_io.h"
#include "files/fragment_load.h"
#include "files/paths.h"
#include "files/rr_file.h"
#include "files/settings_file.h"
#include "presentation/messages.h"
#include "presentation/open_fragment.h"
#include "presentation/panel_texts.h"
#include "presentation/regional.h"
#include "presentation/window_layout.h"
#include "ui/beat_panel.h"
#include "ui/chart_layer.h"
#include "ui/form_setup.h"
#include "ui/guarded_command.h"
#include "ui/progress_form.h"
#include "ui/qt_text.h"
#include "util/executor.h"

#include <algorithm>
#include <cmath>

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

// The tool bar's bundled pictures live in the hrv_ui library's resources.
static void InitToolBarPictures() {
    Q_INIT_RESOURCE(icons);
}

namespace hrv {

namespace {

constexpr int kTimerIntervalMs = 100; // one decoding step of a recording
constexpr int kToolBarHeight = 29;
constexpr int kInfoPanelHeight = 23;
constexpr int kLeastStripPanel = 150; // the beats in view: a fifth of the window, within
constexpr int kMostStripPanel = 240;
constexpr int kInfoTop = 5;
constexpr int kStatusBarHeight = 19;
constexpr int kInitialWidth = kDesignWidth;
constexpr int kInitialHeight = kDesignHeight;
constexpr int kUsualFrameWidth = 16;   // a window's frame before it is known: its borders
constexpr int kUsualFrameHeight = 39;  // and its title bar
constexpr int kSmallestMemoPixels = 9; // result panels: below this a panel scrolls instead

const QString kRrFilter = QStringLiteral("Файл кардиоинтервалов (*.rr)|*.rr");
const QString kOpenFilter =
    QStringLiteral("Файл кардиоинтервалов (*.rr)|*.rr|Файл фотоплетизмограммы (*.ppg)|*.ppg|"
                   "Список RR-интервалов (*.txt *.csv)|*.txt;*.csv|"
                   "Запись ЭКГ WFDB (*.hea)|*.hea|EDF/BDF (*.edf *.bdf)|*.edf;*.bdf");
const QString kBatchFilter = QStringLiteral("Файл фотоплетизмограммы (*.ppg)|*.ppg");
const QString kAboutText =
    QStringLiteral("RVX\rВариационный анализ ритма сердца\r(5-минутный фрагмент)\rВерсия 1.1 COM");

// The panels show lines separated by a line feed; their texts end lines with CR LF.
QString MemoText(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

QFrame* MakePanel(QWidget* parent, const QString& name, bool lowered) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    if (lowered) {
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
    return panel;
}

QBoxLayout* Tight(QBoxLayout* layout, int margin = 0) {
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(0);
    return layout;
}

// The picture as a disabled button shows it: grey, and paler than any enabled picture.
QPixmap Greyed(const QPixmap& picture) {
    QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            const int grey = 128 + qGray(c) / 2;
            image.setPixel(x, y, qRgba(grey, grey, grey, qAlpha(c) * 2 / 5));
        }
    }
    QPixmap out = QPixmap::fromImage(image);
    out.setDevicePixelRatio(picture.devicePixelRatio());
    return out;
}

// A tool bar picture: the desktop icon theme's `themeName`, or the bundled one, with a grey
// picture for the disabled button.
QIcon ToolBarIcon(const char* themeName, const char* bundled) {
    const QIcon source =
        QIcon::fromTheme(QString::fromLatin1(themeName),
                         QIcon(QStringLiteral(":/icons/") + QString::fromLatin1(bundled)));
    QIcon icon;
    for (const int size : {16, 32}) {
        const QPixmap picture = source.pixmap(QSize(size, size));
        if (!picture.isNull()) {
            icon.addPixmap(picture, QIcon::Normal);
            icon.addPixmap(Greyed(picture), QIcon::Disabled);
        }
    }
    return icon;
}

// The width of the widest of a result panel's lines in the font of `metrics`.
double WidestLine(const QStringList& lines, const QFontMetricsF& metrics, double tab) {
    double widest = 0;
    for (const QString& line : lines) {
        // " label<TAB>value unit": the value starts at the label's next tab stop.
        const qsizetype at = line.indexOf(QLatin1Char('\t'));
        const double label = metrics.horizontalAdvance(at < 0 ? line : line.left(at));
        const double value = at < 0 ? 0 : metrics.horizontalAdvance(line.mid(at + 1));
        widest = std::max(widest, at < 0 ? label : (std::floor(label / tab) + 1) * tab + value);
    }
    return widest;
}

// The largest font, up to the window's own, in which every line of a result panel fits its box
// (its width only where the panel keeps a vertical scroll bar); where none does, the smallest,
// and the box scrolls.
int FittedMemoPixels(const QPlainTextEdit& memo) {
    const QStringList lines = memo.toPlainText().split(QLatin1Char('\n'));
    const QSize room = memo.viewport()->size();
    const bool scrolls = memo.verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn;
    const double margin = 2 * memo.document()->documentMargin() + 1;
    const double tab = memo.tabStopDistance();
    const int largest =
        QFontInfo(memo.parentWidget() != nullptr ? memo.parentWidget()->font() : memo.font())
            .pixelSize();
    QFont font = memo.font();
    int pixels = largest;
    for (; pixels > kSmallestMemoPixels; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetricsF metrics(font);
        const double widest = WidestLine(lines, metrics, tab);
        if ((scrolls ||
             static_cast<double>(lines.size()) * metrics.height() + margin <= room.height()) &&
            widest + margin <= room.width()) {
            break;
        }
    }
    return pixels;
}

// The width of the text box a result panel needs so that each of its lines fits in the smallest
// font.
int LeastMemoTextWidth(const QPlainTextEdit& memo) {
    QFont font = memo.font();
    font.setPixelSize(kSmallestMemoPixels);
    const double widest = WidestLine(memo.toPlainText().split(QLatin1Char('\n')),
                                     QFontMetricsF(font), memo.tabStopDistance());
    return static_cast<int>(std::ceil(widest + 2 * memo.document()->documentMargin() + 1));
}

// Both result panels in one font: the largest in which each fits its box.
void FitMemoFonts(QPlainTextEdit& first, QPlainTextEdit& second) {
    const int pixels = std::min(FittedMemoPixels(first), FittedMemoPixels(second));
    for (QPlainTextEdit* memo : {&first, &second}) {
        if (QFontInfo(memo->font()).pixelSize() != pixels) {
            QFont font = memo->font();
            font.setPixelSize(pixels);
            memo->setFont(font);
        }
    }
}

// A result panel that keeps its font, and its partner's, fitted to their boxes.
class ResultMemo : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;
    ResultMemo* partner = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override {
        QPlainTextEdit::resizeEvent(event);
        if (partner != nullptr) {
            FitMemoFonts(*this, *partner);
        }
    }
};

QPlainTextEdit* MakeMemo(QWidget* parent, const QString& name) {
    auto* memo = new ResultMemo(parent);
    memo->setObjectName(name);
    memo->setReadOnly(true);
    memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    return memo;
}

} // namespace

TFormMain::TFormMain(FragmentData& fragment, Prompts& prompts, QWidget* parent)
    : QMainWindow(parent), fragment_(fragment), prompts_(prompts),
      ppgWork_(std::make_unique<PpgWorkspace>()) {
    RecordingClock = [] { return QDateTime::currentSecsSinceEpoch(); };
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("FormMain"));
    setWindowIcon(style()->standardIcon(QStyle::SP_ComputerIcon));
    InitToolBarPictures();
    resize(kInitialWidth, kInitialHeight);
    BuildToolBar();
    BuildPanels();
    // The smallest size is set here, so the widths FormResize fixes for a larger window
    // (maximised) do not raise it.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        FitToScreen(screen->availableGeometry(), screen->geometry().width());
        move(screen->availableGeometry().center() - rect().center());
    }

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerIntervalMs);
    connect(Timer1, &QTimer::timeout, this, [this] { Guarded(&TFormMain::Timer1Timer); });

    OpenDialogData.Filter = kOpenFilter;
    OpenDialogData.DefaultExt = QStringLiteral("rr");
    SaveDialogData.Filter = kRrFilter;
    SaveDialogData.DefaultExt = QStringLiteral("rr");
    OpenDBatch.Filter = kBatchFilter;

    FormCreate();

    // The dialogs, once each, reused for the whole run.
    ProgressForm = new TProgressForm(this);
    RecForm = CreateRecForm();
    FormSetup = new TFormSetup(this);
    BeatChanges = new TBeatChangesDialog(this);

    Timer1->start();
}

TFormMain::~TFormMain() {
    const std::lock_guard lock(tableQueue_->mutex);
    tableQueue_->window = nullptr; // rows not given up still go in; nothing is shown
}

void TFormMain::BuildToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setFixedHeight(kToolBarHeight);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    auto separator = [this](const char* name) {
        QAction* a = ToolBar1->addSeparator();
        a->setObjectName(QString::fromLatin1(name));
    };
    auto button = [this](const char* name, const QString& hint, const QIcon& picture,
                         void (TFormMain::*handler)()) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(hint);
        b->setIcon(picture);
        b->setAutoRaise(true);
        connect(b, &QToolButton::clicked, this, [this, handler] { Guarded(handler); });
        return b;
    };

    separator("ToolButton2");
    TB_Open = button("TB_Open", QStringLiteral("Открыть файл"),
                     ToolBarIcon("document-open", "open.png"), &TFormMain::TB_OpenClick);
    ToolBar1->addWidget(TB_Open);
    TB_Save = button("TB_Save", QStringLiteral("Сохранить файл"),
                     ToolBarIcon("document-save", "save.png"), &TFormMain::TB_SaveClick);
    ToolBar1->addWidget(TB_Save);
    separator("ToolButton6");
    TB_Start = button("TB_Start", QStringLiteral("Начать запись"),
                      ToolBarIcon("media-record", "record.png"), &TFormMain::TB_StartClick);
    ToolBar1->addWidget(TB_Start);
    separator("ToolButton1");
    TB_Setup = button("TB_Setup", QStringLiteral("Параметры"),
                      ToolBarIcon("preferences-system", "settings.png"), &TFormMain::TB_SetupClick);
    ToolBar1->addWidget(TB_Setup);
    separator("ToolButton5");
    TB_Print = button("TB_Print", QStringLiteral("Печать"),
                      ToolBarIcon("document-print", "print.png"), &TFormMain::TB_PrintClick);
    ToolBar1->addWidget(TB_Print);
    ToolButton4 = button("ToolButton4", QStringLiteral("Настройка принтера"),
                         ToolBarIcon("document-page-setup", "printer_setup.png"),
                         &TFormMain::ToolButton4Click);
    ToolBar1->addWidget(ToolButton4);
    separator("ToolButton3");
    TB_Report = button("TB_Report", QStringLiteral("В отчет"),
                       ToolBarIcon("list-add", "add_to_table.png"), &TFormMain::TB_ReportClick);
    ToolBar1->addWidget(TB_Report);
    separator("ToolButton8");
    TB_Help = button("TB_Help", QStringLiteral("О программе"),
                     ToolBarIcon("help-about", "about.png"), &TFormMain::TB_HelpClick);
    ToolBar1->addWidget(TB_Help);
    separator("ToolButton10");
    TB_Batch = button("TB_Batch", QStringLiteral("Пакетное преобразование *.ppg > *.rr"),
                      style()->standardIcon(QStyle::SP_BrowserReload), &TFormMain::TB_BatchClick);
    TB_BatchAction = ToolBar1->addWidget(TB_Batch);
    TB_BatchAction->setObjectName(QStringLiteral("TB_BatchAction"));
    // Created hidden and disabled; nothing shows it.
    TB_Batch->setEnabled(false);
    TB_BatchAction->setVisible(false);
}

void TFormMain::BuildPanels() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    setCentralWidget(client);
    auto* clientLayout = Tight(new QVBoxLayout(client));

    P_Info = MakePanel(client, QStringLiteral("P_Info"), true);
    P_Info->setFixedHeight(kInfoPanelHeight);
    L_Info = new QLabel(Q(msg::kNoRecording), P_Info);
    L_Info->setObjectName(QStringLiteral("L_Info"));
    L_Info->setGeometry(5, kInfoTop, kInitialWidth - 10, kInfoPanelHeight - kInfoTop - 2);
    clientLayout->addWidget(P_Info);

    Pan_Signal = new TBeatPanel(client);
    clientLayout->addWidget(Pan_Signal);
    Pan_Signal->hide();

    P_Main = MakePanel(client, QStringLiteral("P_Main"), true);
    QSizePolicy mainPolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    mainPolicy.setRetainSizeWhenHidden(true); // laid out (and measured) while still hidden
    P_Main->setSizePolicy(mainPolicy);
    clientLayout->addWidget(P_Main, 1);
    auto* mainLayout = Tight(new QVBoxLayout(P_Main), P_Main->frameWidth());

    Pan_RG = MakePanel(P_Main, QStringLiteral("Pan_RG"), false);
    Chart_RG = new ChartWidget(ChartSpecOf(ChartId::Rhythmogram), Pan_RG);
    Tight(new QVBoxLayout(Pan_RG))->addWidget(Chart_RG);
    mainLayout->addWidget(Pan_RG);

    Pan_Histo = MakePanel(P_Main, QStringLiteral("Pan_Histo"), false);
    auto* histoLayout = Tight(new QHBoxLayout(Pan_Histo));
    Chart_Histo = new ChartWidget(ChartSpecOf(ChartId::Histogram), Pan_Histo);
    Chart_Scater = new ChartWidget(ChartSpecOf(ChartId::Scattergram), Pan_Histo);
    Pan_StatDig = MakePanel(Pan_Histo, QStringLiteral("Pan_StatDig"), false);
    Pan_StatDig->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    Memo_StatDig = MakeMemo(Pan_StatDig, QStringLiteral("Memo_StatDig"));
    Tight(new QVBoxLayout(Pan_StatDig))->addWidget(Memo_StatDig);
    histoLayout->addWidget(Chart_Histo);
    histoLayout->addWidget(Chart_Scater);
    histoLayout->addWidget(Pan_StatDig, 1);
    mainLayout->addWidget(Pan_Histo);

    Pan_Spectr = MakePanel(P_Main, QStringLiteral("Pan_Spectr"), false);
    auto* spectrLayout = Tight(new QVBoxLayout(Pan_Spectr));
    auto* spectrRow = Tight(new QHBoxLayout);
    Chart_Spectr = new ChartWidget(ChartSpecOf(ChartId::Spectrum), Pan_Spectr);
    Chart_Diagram = new ChartWidget(ChartSpecOf(ChartId::Components), Pan_Spectr);
    Pan_SpecDig = MakePanel(Pan_Spectr, QStringLiteral("Pan_SpecDig"), false);
    Pan_SpecDig->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    Memo_SpecDig = MakeMemo(Pan_SpecDig, QStringLiteral("Memo_SpecDig"));
    static_cast<ResultMemo*>(Memo_StatDig)->partner = static_cast<ResultMemo*>(Memo_SpecDig);
    static_cast<ResultMemo*>(Memo_SpecDig)->partner = static_cast<ResultMemo*>(Memo_StatDig);
    Tight(new QVBoxLayout(Pan_SpecDig))->addWidget(Memo_SpecDig);
    spectrRow->addWidget(Chart_Spectr);
    spectrRow->addWidget(Chart_Diagram);
    spectrRow->addWidget(Pan_SpecDig, 1);
    spectrLayout->addLayout(spectrRow, 1);
    StatusBar1 = new QStatusBar(Pan_Spectr);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(kStatusBarHeight);
    StatusBar1->setSizeGripEnabled(false);
    L_Status = new QLabel(StatusBar1);
    L_Status->setObjectName(QStringLiteral("L_Status"));
    StatusBar1->addWidget(L_Status, 1);
    spectrLayout->addWidget(StatusBar1);
    mainLayout->addWidget(Pan_Spectr, 1);

    chartFonts_ = std::make_unique<ChartFontGroup>();
    for (ChartWidget* chart : {Chart_RG, Chart_Histo, Chart_Scater, Chart_Spectr, Chart_Diagram}) {
        chart->JoinFontGroup(*chartFonts_);
    }
    // The charts beside the panels keep the widths FormResize gives them; the panels take the
    // rest. (Ignored horizontal policies in one row make the row stack its widgets at x = 0.)
    Chart_RG->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    for (ChartWidget* chart : {Chart_Histo, Chart_Scater, Chart_Spectr, Chart_Diagram}) {
        chart->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
    }
    P_Main->hide();
    ConnectBeatPanel();
}

void TFormMain::FormCreate() {
    SetResultCommandsEnabled(false, false);

    FragmentData& f = fragment_;
    f.AppDir = QDir::currentPath().toStdString();
    const QString dataDir = QString::fromStdString(f.AppDir) + QStringLiteral("/Data");
    if (!QDir(dataDir).exists()) {
        QDir().mkdir(dataDir); // a failure (read-only folder) is ignored
    }
    f.CurrentFileName.clear();
    f.CurrentFileDate.clear();
    OpenDialogData.InitialDir = dataDir;
    SaveDialogData.InitialDir = dataDir;

    StartupSettings();

    Pan_RG->setFixedHeight(P_Main->height() / 3);
    FormResize();
}

void TFormMain::StartupSettings() {
    SettingsRecord& s = fragment_.Settings;
    const SettingsReadStatus status = ReadSettings(SettingsPath(), s);
    const hrv::StartupSettings applied = ApplyStartupSettings(status, s, deviceScale_);
    if (applied.readError) {
        prompts_.Message(this, Q(msg::kSettingsReadError));
    }
    if (applied.dialogsFromRecord) {
        OpenDialogData.InitialDir = QString::fromStdString(ShortStringText(s.DataDir));
        SaveDialogData.InitialDir = OpenDialogData.InitialDir;
        OpenDialog2.InitialDir = QString::fromStdString(ShortStringText(s.Dialog2Dir));
    }
    deviceScale_ = applied.deviceScale;
    if (applied.caption) {
        setWindowTitle(QString::fromStdString(*applied.caption));
    }
    // The correction setting lives in a file of its own: the record stays as it is.
    fragment_.Correct = ReadCorrectionSetting(CorrectionSettingPath());
    showSignal_ = ReadSignalSetting(SignalSettingPath());
    printStandard_ = ReadStandardSetting(StandardSettingPath());
}

std::string TFormMain::SettingsPath() const {
    return fragment_.AppDir + "/" + kSettingsFileName;
}

std::string TFormMain::CorrectionSettingPath() const {
    return fragment_.AppDir + "/" + kCorrectionFileName;
}

std::string TFormMain::SignalSettingPath() const {
    return fragment_.AppDir + "/" + kSignalFileName;
}

std::string TFormMain::StandardSettingPath() const {
    return fragment_.AppDir + "/" + kStandardFileName;
}

std::string TFormMain::FragmentIdentity() const {
    std::string identity = L_Info->text().toStdString();
    if (!recordingEnded_.empty() && identity == msg::kNewRecording) {
        identity += " " + recordingEnded_;
    }
    return beats_ != nullptr ? beats_->Identity(identity) : identity;
}

bool TFormMain::RecordingMayGo() {
    if (!recordingUnsaved_) {
        return true;
    }
    // Esc and the focused button cancel the command.
    const int answer =
        prompts_.Confirm(this, QStringLiteral("Подтверждение"), Q(msg::kSaveRecordingQuestion),
                         Q(msg::kSaveRecording), Q(msg::kKeepRecording), Q(msg::kDropRecording));
    if (answer == kConfirmThird) {
        return true;
    }
    if (answer != kConfirmFirst) {
        return false;
    }
    TB_SaveClick();
    return !recordingUnsaved_;
}

std::string TFormMain::FileDateText(const std::string& path) {
    return hrv::FileDateText(path, UserRegionalFormat());
}

QPrinter& TFormMain::Printer() {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    }
    return *printer_;
}

void TFormMain::Guarded(void (TFormMain::*handler)()) {
    GuardedCommand(this, prompts_, [this, handler] { (this->*handler)(); });
}

void TFormMain::SetResultCommandsEnabled(bool save, bool printAndReport) {
    TB_Save->setEnabled(save);
    TB_Print->setEnabled(printAndReport);
    TB_Report->setEnabled(printAndReport);
}

void TFormMain::ShowStatusNote(const std::string& note) {
    QString text = QString::fromStdString(note);
    if (!text.isEmpty()) {
        text[0] = text[0].toUpper(); // a sentence of its own
    }
    L_Status->setText(text);
}

void TFormMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TFormMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    QWindow* window = windowHandle();
    if (window == nullptr) {
        return;
    }
    const auto fit = [this](QScreen* screen) {
        if (screen != nullptr) {
            FitToScreen(screen->availableGeometry(), screen->geometry().width());
        }
    };
    if (!screenWatched_) {
        screenWatched_ = true;
        connect(window, &QWindow::screenChanged, this, fit);
    }
    fit(window->screen()); // the frame is known now
}

void TFormMain::FitToScreen(const QRect& available, int screenWidth) {
    QSize frame = frameGeometry().size() - geometry().size();
    if (frame == QSize(0, 0)) {
        // Not framed yet (a window manager frames a window only after it is shown, and may then
        // keep it no smaller than this): a usual title bar and border are allowed for, so that
        // the framed window fits the screen.
        frame = QSize(kUsualFrameWidth, kUsualFrameHeight);
    }
    const WindowSize least =
        SmallestWindowSize(available.width() - frame.width(), available.height() - frame.height());
    setMinimumSize(least.width, least.height);
    if (width() > available.width() - frame.width() ||
        height() > available.height() - frame.height()) {
        resize(std::min(width(), std::max(least.width, available.width() - frame.width())),
               std::min(height(), std::max(least.height, available.height() - frame.height())));
    }
    // Narrow screens: both result panels scroll, in a font that needs no more than their width.
    const Qt::ScrollBarPolicy bars =
        MemosNeedScrollBars(screenWidth) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded;
    for (QPlainTextEdit* memo : {Memo_StatDig, Memo_SpecDig}) {
        memo->setVerticalScrollBarPolicy(bars);
    }
    FitMemoFonts(*Memo_StatDig, *Memo_SpecDig);
}

void TFormMain::closeEvent(QCloseEvent* event) {
    bool closes = false;
    GuardedCommand(this, prompts_, [&] { closes = TableRowsMayGo() && RecordingMayGo(); });
    if (!closes) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TFormMain::FormResize() {
    if (Pan_Signal->isVisible()) {
        Pan_Signal->setFixedHeight(std::clamp(height() / 5, kLeastStripPanel, kMostStripPanel));
    }
    // The client panels follow the window at once, so that P_Main's height is the new one.
    if (QLayout* layout = centralWidget()->layout()) {
        layout->activate();
    }
    // A narrow window keeps the panels' lines whole: the charts give up the width the panels
    // need, their text boxes and what surrounds them as now laid out (frames, scroll bar).
    int leastPanel = 0;
    if (P_Main->isVisible()) {
        const int share = width() - Chart_Histo->width() - Chart_Scater->width();
        const int around =
            share - std::min(Memo_StatDig->viewport()->width(), Memo_SpecDig->viewport()->width());
        leastPanel =
            std::max(LeastMemoTextWidth(*Memo_StatDig), LeastMemoTextWidth(*Memo_SpecDig)) + around;
    }
    const MainLayout l = ComputeMainLayout(P_Main->height(), width(), leastPanel);
    Pan_RG->setFixedHeight(l.panRgHeight);
    Pan_Histo->setFixedHeight(l.panHistoHeight);
    Chart_Histo->setFixedWidth(l.chartHistoWidth);
    Chart_Scater->setFixedWidth(l.chartScaterWidth);
    Chart_Spectr->setFixedWidth(l.chartSpectrWidth);
    Chart_Diagram->setFixedWidth(l.chartDiagramWidth);
    L_Info->setGeometry(l.infoLeft, kInfoTop, std::max(0, P_Info->width() - l.infoLeft - 5),
                        L_Info->height());
}

void TFormMain::FormClose() {
    GuardedCommand(this, prompts_, [this] { WriteSettings(SettingsPath(), fragment_.Settings); });
}

OpenHooks TFormMain::AnalysisHooks(std::function<void()> action) {
    OpenHooks hooks;
    hooks.accepted = [this, action = std::move(action)] {
        if (action) {
            action();
        }
        ProgressForm->Begin(0, kBinCount);
    };
    hooks.progress = [this](int bin) {
        ProgressForm->SetPosition(bin);
        if (bin >= kBinCount) {
            ProgressForm->Finish(); // the spectrum is done
        }
    };
    return hooks;
}

void TFormMain::ShowNoResults() {
    ClearResults();
    // Save writes the intervals the fragment holds (none after a rejected file); printing and
    // the summary table wait for results.
    SetResultCommandsEnabled(TB_Save->isEnabled() && fragment_.RrCount > 0, false);
}

bool TFormMain::ShowAnalysis(bool analysed) {
    if (!analysed) {
        ShowNoResults();
        prompts_.Message(this, Q(msg::kTooLittleData));
        return false;
    }
    // The result area takes its place before the charts are filled, so that each chart places
    // its points once, at its final size. Nothing is drawn in between.
    P_Main->show();
    FormResize();
    ShowGraphics();
    SetResultCommandsEnabled(true, true);
    return true;
}

bool TFormMain::RunAnalysis(std::function<void()> action) {
    const ProgressClosed closed(*ProgressForm);
    const OpenHooks hooks = AnalysisHooks(std::move(action));
    return ShowAnalysis(
        AnalyseFragment(fragment_, ProgramExecutor(), hooks.progress, hooks.accepted));
}

void TFormMain::ShowGraphics() {
    const FragmentData& f = fragment_;
    // The panels' texts first: a narrow window widens the panels for them before the charts
    // take their points.
    const char separator = RegionalSeparator();
    Memo_StatDig->setPlainText(MemoText(StatPanelText(f, separator)));
    Memo_SpecDig->setPlainText(MemoText(SpecPanelText(f, separator)));
    FormResize();
    Chart_RG->SetTitle(RhythmogramTitle(f));
    std::vector<ChartPoint> rhythmogram = RhythmogramPoints(f);
    if (beats_ != nullptr) {
        MarkRhythmogram(*beats_, f, rhythmogram); // the changed beats in their marks' colours
    }
    Chart_RG->SetPoints(std::move(rhythmogram));
    Chart_Spectr->SetPoints(SpectrumPoints(f));
    Chart_Diagram->SetPoints(ComponentBars(f));
    Chart_Histo->SetPoints(HistogramPoints(f));
    Chart_Scater->SetPoints(ScatterPoints(f));
    FitMemoFonts(*Memo_StatDig, *Memo_SpecDig);
}

void TFormMain::ClearResults() {
    for (ChartWidget* chart : {Chart_RG, Chart_Spectr, Chart_Diagram, Chart_Histo, Chart_Scater}) {
        chart->SetPoints({});
    }
    Memo_StatDig->clear();
    Memo_SpecDig->clear();
}

void TFormMain::TB_OpenClick() {
    GuardedCommand(this, prompts_, [this] {
        if (!RecordingMayGo()) {
            return;
        }
        FragmentData& f = fragment_;
        OpenDialogData.FilterIndex = f.Settings.FilterIndex;
        const FileChoice choice = prompts_.OpenFile(this, OpenDialogData);
        if (!choice.Chosen()) {
            return;
        }
        const std::string path = choice.path.toStdString();
        const int fileType = choice.filterIndex >= 1 ? choice.filterIndex : 1;
        // The filter's position is the kind: RR, PPG, RR list, WFDB record, EDF/BDF.
        const FileKind kind = fileType >= static_cast<int>(FileKind::Ppg) &&
                                      fileType <= static_cast<int>(FileKind::Edf)
                                  ? static_cast<FileKind>(fileType)
                                  : FileKind::Rr;
        OpenHooks hooks = AnalysisHooks();
        bool named = false; // L_Info names the new file
        hooks.found = [&] {
            named = true;
            const std::string date = FileDateText(path);
            f.CurrentFileName = path;
            f.CurrentFileDate = date;
            const std::string folder = DirectoryOfPath(path);
            OpenDialogData.InitialDir = QString::fromStdString(folder);
            SetShortString(f.Settings.DataDir, folder);
            f.Settings.FilterIndex = fileType;
            OpenDialogData.FilterIndex = fileType;
            L_Info->setText(QString::fromStdString(BaseNameOfPath(path) + " " + date));
            recordingEnded_.clear();
            recordingUnsaved_ = false;
            ShowStatusNote(std::string());
            DropBeatSession();
            // L_Info now names the new file while the results still describe the previous one:
            // printing and the summary table wait for the new file's analysis.
            SetResultCommandsEnabled(TB_Save->isEnabled(), false);
        };
        const ProgressClosed closed(*ProgressForm);
        // Every failure once the new file is named (rejected, unreadable) takes one road: no
        // intervals, charts or panels of the previous file stay under the new name.
        const auto failed = [&] {
            if (named) {
                ForgetIntervals(f);
                ShowNoResults();
            }
        };
        OpenStatus status = OpenStatus::NotFound;
        try {
            status = OpenFragment(path, kind, f, *ppgWork_, ProgramExecutor(), hooks);
        } catch (...) {
            failed();
            throw; // the error box of the command names the file and the fault
        }
        switch (status) {
        case OpenStatus::NotFound:
            prompts_.Message(this, Q(OpenStatusText(status, path)));
            break;
        case OpenStatus::ImportError:
            failed();
            prompts_.Message(this, Q(OpenStatusText(status, path)));
            break;
        case OpenStatus::TooLittleData:
            ShowAnalysis(false);
            break;
        case OpenStatus::Analysed:
            openedKind_ = kind;
            if (StartBeatSession(kind, path)) {
                break;
            }
            // A long recording is cut to its first fragment: the status bar says so.
            ShowStatusNote(AnalysedPartNote(f));
            ShowAnalysis(true);
            break;
        }
    });
}

void TFormMain::TB_SaveClick() {
    GuardedCommand(this, prompts_, [this] {
        FragmentData& f = fragment_;
        const FileChoice choice = prompts_.SaveFile(this, SaveDialogData);
        if (!choice.Chosen()) {
            return;
        }
        const std::string chosen = choice.path.toStdString();
        const std::string path = ReplaceSpacesInFileName(chosen);
        const std::string folder = DirectoryOfPath(chosen);
        SaveDialogData.InitialDir = QString::fromStdString(folder);
        SetShortString(f.Settings.DataDir, folder);

        if (beats_ != nullptr && !SaveKeepsSource(path)) {
            return;
        }
        if (FileExists(path)) {
            const int answer = prompts_.Confirm(
                this, QStringLiteral("Подтверждение"),
                QStringLiteral("Файл ") + QString::fromStdString(path) +
                    QStringLiteral(" существует. Переписать?"),
                QStringLiteral("Переписать"), QStringLiteral("Отменить"), QString());
            if (answer != kConfirmFirst) {
                return;
            }
        }
        if (beats_ != nullptr) {
            // The fragment analysed, not the rest of the recording after it.
            const std::int32_t held = f.RrCount;
            f.RrCount = FragmentWords(f);
            try {
                WriteRrFile(path, f);
            } catch (...) {
                f.RrCount = held;
                throw;
            }
            f.RrCount = held;
            SaveSessionBeats(path);
        } else {
            WriteRrFile(path, f);
        }
        // The new name becomes the fragment's only once the file is written.
        recordingEnded_.clear();
        recordingUnsaved_ = false;
        f.CurrentFileName = path;
        f.CurrentFileDate = FileDateText(path);
        // The fragment shown is that RR file now (a record's beats stay those of its session).
        if (openedKind_ != FileKind::Wfdb && openedKind_ != FileKind::Edf) {
            openedKind_ = FileKind::Rr;
        }
        L_Info->setText(
            QString::fromStdString(BaseNameOfPath(f.CurrentFileName) + " " + f.CurrentFileDate));
    });
}

void TFormMain::TB_SetupClick() {
    GuardedCommand(this, prompts_, [this] {
        SettingsRecord& s = fragment_.Settings;
        const SetupSelections selections = SetupSelectionsFor(s);
        FormSetup->SetDeviceSelection(selections.device);
        if (selections.port >= 0) {
            FormSetup->SetPortSelection(selections.port); // otherwise the previous selection
        }
        FormSetup->SetBaudSelection(selections.baud);
        FormSetup->ChB_Correction->setChecked(fragment_.Correct == CorrectionMode::Auto);
        FormSetup->ChB_Signal->setChecked(showSignal_);
        FormSetup->ChB_Standard->setChecked(printStandard_);
        if (prompts_.ExecDialog(*FormSetup) != QDialog::Accepted) {
            return;
        }
        const SetupApplied applied =
            ApplySetupResult(s, FormSetup->DeviceSelection(), FormSetup->PortSelection(),
                             FormSetup->BaudSelection());
        deviceScale_ = applied.deviceScale;
        if (applied.caption) {
            setWindowTitle(QString::fromStdString(*applied.caption));
        }
        const CorrectionMode correct =
            FormSetup->ChB_Correction->isChecked() ? CorrectionMode::Auto : CorrectionMode::None;
        if (correct != fragment_.Correct) {
            fragment_.Correct = correct;
            if (beats_ != nullptr) {
                beats_->SetCorrect(correct == CorrectionMode::Auto);
                ShowBeatSession();
            } else if (TB_Print->isEnabled()) {
                RunAnalysis(); // the results on screen follow the new setting at once
            }
            WriteCorrectionSetting(CorrectionSettingPath(), correct);
        }
        if (const bool standard = FormSetup->ChB_Standard->isChecked();
            standard != printStandard_) {
            printStandard_ = standard;
            WriteStandardSetting(StandardSettingPath(), standard);
        }
        const bool signal = FormSetup->ChB_Signal->isChecked();
        if (signal != showSignal_) {
            showSignal_ = signal;
            WriteSignalSetting(SignalSettingPath(), signal);
            ReopenForSignal(); // the file shown with its beats, or without them
        }
    });
}

void TFormMain::TB_HelpClick() {
    GuardedCommand(this, prompts_,
                   [this] { prompts_.ShowMessage(this, MessageKind::Information, kAboutText); });
}

} // namespace hrv
