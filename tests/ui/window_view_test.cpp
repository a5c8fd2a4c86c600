// What the window shows while and after it works: the progress dialog painted during the
// analysis, a flat spectrum, the smallest window, the tool bar's pictures, and the framework's
// open dialog and texts.
#include "tests/ui/window_fixture.h"
#include "ui/chart_layer.h"
#include "ui/progress_form.h"
#include "ui/qt_text.h"
#include "ui/qt_translations.h"

#include <map>

#include <QAbstractAxis>
#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QValueAxis>
#include <QXYSeries>

namespace hrv {
namespace {

using test::SharedFile;
using test::WindowTest;

const char kGood[] = "nsrdb_long_00-06min.rr";

// Pixels of `image` within `area` whose colour is (nearly) `colour`.
int PixelsOf(const QImage& image, const QRect& area, const QColor& colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                     std::abs(c.blue() - colour.blue()) <
                 30;
        }
    }
    return n;
}

TEST_F(WindowTest, ProgressDialogIsOnScreenWithItsBarDuringTheAnalysis) {
    HRV_NEED_SHARED(kGood);
    TFormMain& w = Start();
    w.show();
    QImage shown; // what the window system holds of the dialog halfway through
    bool modal = false;
    QObject::connect(w.ProgressForm->ProgressBar1, &QProgressBar::valueChanged, [&](int bin) {
        if (bin == 81) {
            shown = w.ProgressForm->screen()->grabWindow(w.ProgressForm->winId()).toImage();
            modal = QApplication::activeModalWidget() == w.ProgressForm;
        }
    });
    Open(SharedFile(kGood), 1);
    ASSERT_FALSE(shown.isNull());
    // The painted part of the bar: the columns whose middle pixel has the highlight's hue.
    const QRect bar = w.ProgressForm->ProgressBar1->geometry();
    const int hue = w.ProgressForm->ProgressBar1->palette().color(QPalette::Highlight).hsvHue();
    int columns = 0;
    for (int x = bar.left(); x <= bar.right(); ++x) {
        const QColor c = shown.pixelColor(x, bar.center().y());
        columns += c.hsvSaturation() > 60 && std::abs(c.hsvHue() - hue) < 20;
    }
    EXPECT_GT(columns, bar.width() * 4 / 10) << "about half the bar is painted";
    EXPECT_LT(columns, bar.width() * 7 / 10);
    EXPECT_TRUE(modal) << "the main window takes no input meanwhile";
    EXPECT_TRUE(w.ProgressForm->isHidden());
}

// Counts the paintings of the watched widgets.
class PaintCounter : public QObject {
public:
    std::map<QObject*, int> paints;
    void Watch(QWidget* w) {
        paints[w] = 0;
        w->installEventFilter(this);
    }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++paints[o];
        }
        return false;
    }
};

TEST_F(WindowTest, OpenPaintsTheBarEveryTenthStepAndPlacesEachChartsPointsOnce) {
    HRV_NEED_SHARED(kGood);
    TFormMain& w = Start();
    w.resize(1600, 1000);
    w.show();
    Open(SharedFile(kGood), 1);
    QApplication::processEvents();
    auto* line = qobject_cast<QXYSeries*>(w.Chart_RG->chart()->series().value(0));
    ASSERT_NE(line, nullptr);
    int replaced = 0;
    int added = 0;
    QObject::connect(line, &QXYSeries::pointsReplaced, [&] { ++replaced; });
    QObject::connect(line, &QXYSeries::pointAdded, [&] { ++added; });
    PaintCounter counter;
    counter.Watch(w.ProgressForm->ProgressBar1);
    counter.Watch(w.Chart_RG->viewport());
    int steps = 0;
    QObject::connect(w.ProgressForm->ProgressBar1, &QProgressBar::valueChanged, [&] { ++steps; });

    Open(SharedFile(kGood), 1);
    QApplication::processEvents();
    EXPECT_EQ(steps, 151) << "the bar still moves bin by bin, from 0";
    // 150 bins: bins 10, 20, ... 150, besides the painting of the dialog as it comes up.
    EXPECT_GE(counter.paints[w.ProgressForm->ProgressBar1], 15);
    EXPECT_LE(counter.paints[w.ProgressForm->ProgressBar1], 17);
    EXPECT_EQ(w.Chart_RG->chart()->series().value(0), line) << "the same series, refilled";
    EXPECT_EQ(replaced, 1) << "29,999 points in one step";
    EXPECT_EQ(added, 0);
    EXPECT_EQ(line->count(), 29999);
    EXPECT_GE(counter.paints[w.Chart_RG->viewport()], 1);

    // A window turning active and inactive again does not redraw the charts.
    counter.paints[w.Chart_RG->viewport()] = 0;
    for (const QEvent::Type type : {QEvent::WindowActivate, QEvent::WindowDeactivate}) {
        QEvent event(type);
        QApplication::sendEvent(&w, &event);
        QApplication::processEvents();
    }
    EXPECT_EQ(counter.paints[w.Chart_RG->viewport()], 0);
}

TEST_F(WindowTest, EqualIntervalsDrawNoSpectrumBelowOrAboveZero) {
    TFormMain& w = Start();
    w.show();
    for (int k = 1; k <= 400; ++k) { // 400 intervals of 80 ticks: a paced rhythm
        fragment_->RrTicks[k] = 80;
        fragment_->AnalysisSeries[k] = 80;
        fragment_->RrWords[k] = 80 * 256;
    }
    fragment_->RrCount = 400;
    ASSERT_TRUE(w.RunAnalysis());
    QApplication::processEvents();
    const auto* left = qobject_cast<QValueAxis*>(w.Chart_Spectr->chart()->axes(Qt::Vertical)[0]);
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->min(), 0) << "no labels below zero (no \"-0\")";
    EXPECT_GT(left->max(), 0);
    const QImage chart = w.Chart_Spectr->grab().toImage();
    int bands = 0;
    for (const Rgb c : {kClNavy, kClBlue, kClTeal}) {
        bands += PixelsOf(chart, chart.rect(), ToQColor(c));
    }
    EXPECT_LT(bands, chart.width()) << "at most the zero line, no area";
}

TEST_F(WindowTest, SmallestWindowShowsEveryRowAndWholeCaptionsAndStaysSmallest) {
    HRV_NEED_SHARED(kGood);
    TFormMain& w = Start();
    w.show();
    w.resize(1600, 1000); // as maximised
    Open(SharedFile(kGood), 1);
    QApplication::processEvents();
    EXPECT_LE(w.minimumSize().width(), 741);
    EXPECT_LE(w.minimumSize().height(), 491);
    w.resize(741, 491);
    QApplication::processEvents();
    ASSERT_EQ(w.size(), QSize(741, 491));
    for (QPlainTextEdit* memo : {w.Memo_StatDig, w.Memo_SpecDig}) {
        QTextCursor end(memo->document());
        end.movePosition(QTextCursor::End);
        EXPECT_LE(memo->cursorRect(end).bottom(), memo->viewport()->height())
            << memo->objectName().toStdString();
        EXPECT_FALSE(memo->verticalScrollBar()->isVisible());
    }
    // Qt cuts an axis caption to the length of the plot along it.
    for (ChartWidget* chart :
         {w.Chart_RG, w.Chart_Histo, w.Chart_Scater, w.Chart_Spectr, w.Chart_Diagram}) {
        const QRectF plot = chart->chart()->plotArea();
        for (QAbstractAxis* axis : chart->chart()->axes()) {
            const double room = axis->orientation() == Qt::Vertical ? plot.height() : plot.width();
            EXPECT_LE(QFontMetricsF(axis->titleFont()).horizontalAdvance(axis->titleText()), room)
                << chart->objectName().toStdString() << ": " << axis->titleText().toStdString();
        }
    }
}

// Mean saturation and alpha of a picture.
std::pair<double, double> Look(const QIcon& icon, QIcon::Mode mode) {
    const QImage image = icon.pixmap(QSize(16, 16), mode).toImage();
    double saturation = 0;
    double alpha = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            saturation += c.hsvSaturationF() * c.alphaF();
            alpha += c.alphaF();
        }
    }
    return {saturation / alpha, alpha};
}

TEST_F(WindowTest, ToolBarPicturesAreDistinctAndGreyWhenDisabled) {
    TFormMain& w = Start();
    std::vector<QImage> pictures;
    for (QToolButton* b : {w.TB_Open, w.TB_Save, w.TB_Start, w.TB_Setup, w.TB_Print, w.ToolButton4,
                           w.TB_Report, w.TB_Help}) {
        pictures.push_back(b->icon().pixmap(QSize(16, 16)).toImage());
        const auto [saturation, alpha] = Look(b->icon(), QIcon::Normal);
        const auto [greySaturation, greyAlpha] = Look(b->icon(), QIcon::Disabled);
        EXPECT_GT(saturation, greySaturation) << b->objectName().toStdString();
        EXPECT_LT(greySaturation, 0.02) << b->objectName().toStdString();
        EXPECT_LT(greyAlpha, alpha * 0.6) << b->objectName().toStdString();
    }
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        for (std::size_t j = i + 1; j < pictures.size(); ++j) {
            EXPECT_NE(pictures[i], pictures[j]) << i << " and " << j;
        }
    }
}

TEST(FrameworkTexts, RussianTranslationsAndAnOpenDialogThatTakesAMissingName) {
    ASSERT_TRUE(InstallQtTranslations()) << "qt6-translations-l10n is installed by the scripts";
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "File &name:"), Q("&Имя файла:"));
    EXPECT_FALSE(InstallQtTranslations(Q("/nonexistent"))) << "missing: English, no failure";

    test::ScratchDir dir;
    FileDialogState state;
    state.Filter = Q("Файл кардиоинтервалов (*.rr)|*.rr");
    state.InitialDir = QString::fromStdString(dir.string());
    state.DefaultExt = Q("rr");
    bool answered = false;
    QTimer timer; // types the name, then closes whatever the dialog shows about it
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog != nullptr && !answered) {
            answered = true;
            dialog->findChild<QLineEdit*>(Q("fileNameEdit"))->setText(Q("none.rr"));
            QMetaObject::invokeMethod(dialog, "accept");
        } else if (modal != nullptr) {
            modal->close(); // the dialog's own "File not found" box, then the dialog
        }
    });
    timer.start(50);
    QtPrompts prompts;
    const FileChoice choice = prompts.OpenFile(nullptr, state);
    EXPECT_EQ(choice.path, QString::fromStdString(dir.string() + "/none.rr"))
        << "the Open command says \"Файл … не найден\" itself";
}

} // namespace
} // namespace hrv
