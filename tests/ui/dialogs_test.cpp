// The confirmation dialog, the setup dialog's controls, the file filters and the chart layer's
// drawing into any painter.
#include "tests/support/scratch_dir.h"
#include "tests/support/test_support.h"
#include "ui/chart_layer.h"
#include "ui/confirm_dialog.h"
#include "ui/form_setup.h"
#include "ui/prompts.h"
#include "ui/qt_text.h"

#include <functional>
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFont>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <QXYSeries>

namespace hrv {
namespace {

int CentreX(const QPushButton* b) {
    return b->x() + b->width() / 2;
}

TEST(ConfirmDialog, TwoButtonsAtOneAndTwoThirds) {
    TMyMessageForm d;
    d.Setup(Q("Подтверждение"), Q("Файл x существует. Переписать?"), Q("Переписать"), Q("Отменить"),
            QString());
    EXPECT_EQ(d.width(), 398);
    EXPECT_EQ(d.height(), 197);
    EXPECT_EQ(d.windowTitle(), Q("Подтверждение"));
    EXPECT_EQ(d.Memo1->toPlainText(), Q("Файл x существует. Переписать?"));
    EXPECT_EQ(d.Memo1->geometry(), QRect(16, 24, 361, 89));
    EXPECT_EQ(d.Button1->text(), Q("Переписать"));
    EXPECT_EQ(d.Button2->text(), Q("Отменить"));
    EXPECT_TRUE(d.Button3->isHidden());
    EXPECT_FALSE(d.Button2->isHidden());
    // 398 div 3 = 132: centres at 132 and 264; tops 197 - 3 * 25 = 122.
    EXPECT_EQ(d.Button1->geometry(), QRect(132 - 45, 122, 90, 25));
    EXPECT_EQ(d.Button2->geometry(), QRect(264 - 45, 122, 90, 25));
}

TEST(ConfirmDialog, ThreeButtonsAtQuarters) {
    TMyMessageForm d;
    d.Setup(Q("c"), Q("t"), Q("a"), Q("b"), Q("c"));
    // 398 div 4 = 99.
    EXPECT_EQ(CentreX(d.Button1), 99);
    EXPECT_EQ(CentreX(d.Button2), 198);
    EXPECT_EQ(CentreX(d.Button3), 297);
    EXPECT_EQ(d.Button3->text(), Q("c"));
    EXPECT_FALSE(d.Button3->isHidden());
}

TEST(ConfirmDialog, OneButtonCentred) {
    TMyMessageForm d;
    d.Setup(Q("c"), Q("t"), Q("Ok"), QString(), QString());
    EXPECT_EQ(d.Button1->geometry(), QRect(199 - 45, 122, 90, 25));
    EXPECT_TRUE(d.Button2->isHidden());
    EXPECT_TRUE(d.Button3->isHidden());
}

TEST(ConfirmDialog, NoDefaultButtonAndOnlyACloseBox) {
    TMyMessageForm d;
    d.Setup(Q("c"), Q("t"), Q("a"), Q("b"), QString());
    EXPECT_FALSE(d.Button1->isDefault());
    EXPECT_FALSE(d.Button2->isDefault());
    // Without the close box the window system is told nothing and shows every border icon.
    EXPECT_TRUE(d.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(d.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
}

// Runs the dialog modally; `act` runs once it is shown and closes it.
int RunConfirm(const QString& second, const QString& third,
               const std::function<void(TMyMessageForm&)>& act) {
    TMyMessageForm d;
    d.Setup(Q("caption"), Q("text"), Q("first"), second, third);
    QTimer::singleShot(0, &d, [&] {
        QApplication::setActiveWindow(&d);
        act(d);
    });
    const int result = d.exec();
    return result == QDialog::Rejected ? kConfirmSecond : result;
}

TEST(ConfirmDialog, ResultsOfKeysAndButtons) {
    const auto enter = [](TMyMessageForm& d) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &d,
                        Qt::Key_Return);
    };
    const auto escape = [](TMyMessageForm& d) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &d,
                        Qt::Key_Escape);
    };
    struct Case {
        const char* what;
        const char* second;
        const char* third;
        std::function<void(TMyMessageForm&)> act;
        int expect;
    };
    const Case table[] = {
        {"Enter on two buttons: the focused second", "b", "", enter, 2},
        {"Esc on two buttons", "b", "", escape, 2},
        {"first button", "b", "", [](TMyMessageForm& d) { d.Button1->click(); }, 1},
        {"second button", "b", "c", [](TMyMessageForm& d) { d.Button2->click(); }, 2},
        {"third button", "b", "c", [](TMyMessageForm& d) { d.Button3->click(); }, 6},
        {"Enter on one button", "", "", enter, 1},
        {"Esc on one button", "", "", escape, 2},
        {"window closed", "b", "", [](TMyMessageForm& d) { d.close(); }, 2},
    };
    for (const Case& c : table) {
        EXPECT_EQ(RunConfirm(Q(c.second), Q(c.third), c.act), c.expect) << c.what;
    }
}

TEST(ConfirmDialog, LongTextWrapsAndTheDialogKeepsItsSize) {
    TMyMessageForm d;
    d.Setup(Q("c"), QString(400, QLatin1Char('w')), Q("a"), QString(), QString());
    EXPECT_EQ(d.size(), QSize(398, 197));
    EXPECT_EQ(d.Memo1->lineWrapMode(), QTextEdit::WidgetWidth);
}

TEST(SetupDialog, SelectionsIncludingNone) {
    TFormSetup d;
    d.SetDeviceSelection(-1);
    EXPECT_EQ(d.DeviceSelection(), -1);
    d.SetDeviceSelection(5);
    EXPECT_EQ(d.DeviceSelection(), 1);
    d.SetBaudSelection(3);
    EXPECT_EQ(d.BaudSelection(), -1);
    d.SetBaudSelection(0);
    EXPECT_EQ(d.BaudSelection(), 0);
    d.CB_Baud->setEditText(Q("38400")); // typed, not a list entry
    EXPECT_EQ(d.BaudSelection(), -1);
}

TEST(FileFilters, OneNameFilterPerFileType) {
    EXPECT_EQ(
        NameFiltersOf(Q("Файл кардиоинтервалов (*.rr)|*.rr|Файл фотоплетизмограммы (*.ppg)|*.ppg")),
        (QStringList{Q("Файл кардиоинтервалов (*.rr)"), Q("Файл фотоплетизмограммы (*.ppg)")}));
    EXPECT_EQ(NameFiltersOf(Q("Text|*.txt;*.csv")), QStringList{Q("Text (*.txt *.csv)")});
}

// The size, type and date columns of the file dialogs are at least as wide as the widest of
// their texts, whatever the dialog remembered or the style proposes.
TEST(FileDialogs, SizeTypeAndDateColumnsShowTheirTextsWhole) {
    test::ScratchDir dir;
    test::WriteBytes(dir / "a.rr", std::string(94, 'x'));
    test::WriteBytes(dir / "record with a long name.ppg", std::string(123456, 'x'));
    QFileDialog dlg;
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    // Narrow columns, as a dialog restores them from what an earlier one remembered.
    if (auto* remembered = dlg.findChild<QTreeView*>(Q("treeView"))) {
        for (int column = 1; column < remembered->header()->count(); ++column) {
            remembered->header()->setSectionResizeMode(column, QHeaderView::Interactive);
            remembered->header()->resizeSection(column, 40);
        }
    }
    FileDialogState state;
    state.Filter = Q("Все файлы (*)|*");
    state.InitialDir = QString::fromStdString(dir.path().string());
    PrepareFileDialog(dlg, state);
    dlg.setViewMode(QFileDialog::Detail);
    dlg.resize(500, 300);     // narrow: the names give way, the other columns do not
    QFont large = dlg.font(); // texts wider than the columns' usual widths, as in Russian
    large.setPixelSize(22);
    dlg.setFont(large);
    dlg.show();
    auto* view = dlg.findChild<QTreeView*>(Q("treeView"));
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) >= 2; }));
    QTest::qWait(50);
    QHeaderView* header = view->header();
    for (int column = 1; column < header->count(); ++column) {
        if (header->isSectionHidden(column)) {
            continue;
        }
        // A cell shows its text whole when the text and the style's margins fit the column.
        const int margins =
            2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
            const QModelIndex cell = view->model()->index(row, column, view->rootIndex());
            const QString text = cell.data().toString();
            EXPECT_GE(header->sectionSize(column),
                      view->fontMetrics().horizontalAdvance(text) + margins)
                << text.toStdString();
        }
        EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column));
    }
    dlg.close();
}

TEST(PrinterSetup, AcceptButtonDoesNotReadPrint) {
    QPrinter printer;
    QPrintDialog dlg(&printer);
    PreparePrinterSetupDialog(dlg);
    dlg.show();
    QTest::qWait(20);
    EXPECT_EQ(dlg.windowTitle(), Q("Настройка принтера"));
    const auto* buttons = dlg.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    ASSERT_NE(buttons->button(QDialogButtonBox::Ok), nullptr);
    EXPECT_EQ(buttons->button(QDialogButtonBox::Ok)->text(), Q("ОК"));
    for (const QPushButton* button : dlg.findChildren<QPushButton*>()) {
        const QString text = button->text().remove(QLatin1Char('&'));
        EXPECT_NE(text, Q("Печать"));
        EXPECT_NE(text, Q("Print"));
    }
    dlg.close();
}

TEST(ChartLayer, DrawsTheWholeChartIntoAnyRectangle) {
    ChartSpec definition = ChartSpecOf(ChartId::Components);
    std::vector<ChartPoint> bars = {{0, 100, "Total", kClBlack},
                                    {1, 50, "VLF", kClNavy},
                                    {2, 30, "LF", kClBlue},
                                    {3, 20, "HF", kClTeal}};
    QImage image(900, 500, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        DrawChart(painter, QRectF(500, 100, 400, 300), definition, bars);
    }
    int silver = 0;
    int black = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (x < 500 || y < 100 || y >= 400) {
                ASSERT_EQ(c, QColor(Qt::white))
                    << "nothing outside the rectangle: " << x << "," << y;
            } else if (c == QColor(192, 192, 192)) {
                ++silver;
            } else if (c == QColor(0, 0, 0)) {
                ++black;
            }
        }
    }
    EXPECT_GT(silver, 400 * 300 / 4) << "the silver background fills the rectangle";
    EXPECT_GT(black, 500) << "the Total bar is drawn black";
}

TEST(ChartLayer, PointsAddedOneByOneReachTheSeriesTogether) {
    ChartWidget chart(ChartSpecOf(ChartId::Rhythmogram));
    for (int i = 0; i < 1000; ++i) {
        chart.AddValue(i * 0.001, QString(), QColor(Qt::black));
    }
    EXPECT_EQ(chart.Points().size(), 1000u);
    EXPECT_EQ(chart.Points()[999].x, 999);
    QApplication::processEvents();
    int held = 0;
    for (auto* s : chart.chart()->series()) {
        held += static_cast<QXYSeries*>(s)->count();
    }
    EXPECT_EQ(held, 1000);
    chart.Clear();
    chart.AddXY(0.5, 1.0, QString(), QColor(Qt::black));
    chart.Flush();
    EXPECT_EQ(static_cast<QXYSeries*>(chart.chart()->series().front())->count(), 1);
    EXPECT_EQ(chart.objectName(), Q("Chart_RG"));
    EXPECT_EQ(chart.chart()->title(), Q("Ритмограмма"));
}

} // namespace
} // namespace hrv
