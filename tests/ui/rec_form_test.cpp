// The recording dialog on its own: layout, looks, labels, abort and its keys.
#include "tests/support/fake_serial_link.h"
#include "ui/rec_form.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace hrv {
namespace {

using test::FakeSerialLink;

class RecFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto link = std::make_unique<FakeSerialLink>();
        link_ = link.get();
        form_.SetLink(std::move(link));
        f_->Settings.PortIndex = 1;
        f_->Settings.BaudIndex = 1;
    }
    std::unique_ptr<FragmentData> f_ = std::make_unique<FragmentData>();
    TRecForm form_{*f_};
    FakeSerialLink* link_ = nullptr;
};

TEST_F(RecFormTest, CreatedInTheRecordingLookWithEmptyLabels) {
    EXPECT_EQ(form_.objectName(), QStringLiteral("RecForm"));
    EXPECT_EQ(form_.windowTitle(), QStringLiteral("Идет запись..."));
    EXPECT_EQ(form_.size(), QSize(472, 134));
    EXPECT_EQ(form_.PB_Rec->minimum(), 0);
    EXPECT_EQ(form_.PB_Rec->maximum(), 33000);
    EXPECT_TRUE(form_.Label2->text().isEmpty());
    EXPECT_TRUE(form_.Label3->text().isEmpty());
    EXPECT_EQ(form_.Label1->text(), QStringLiteral("Запись 5-минутного фрагмента завершена"));
    EXPECT_EQ(form_.Button1->text(), QStringLiteral("Прервать"));
    EXPECT_EQ(form_.Button2->text(), QStringLiteral("ОК"));
    EXPECT_TRUE(form_.Recording());
    EXPECT_TRUE(form_.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(form_.windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
}

TEST_F(RecFormTest, LongestTextsFitAndNoControlsOverlapInEitherLook) {
    form_.ShowProgress(33000, 255); // the longest interval and the longest status text
    form_.ShowStatusText(QStringLiteral("Отказ датчика"));
    for (const bool recording : {true, false}) {
        form_.Vis(recording);
        QList<QWidget*> shown = form_.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        shown.removeIf([this](const QWidget* w) { return !w->isVisibleTo(&form_); });
        ASSERT_EQ(shown.size(), 4) << "bar or text, two labels and one button in each look";
        for (qsizetype i = 0; i < shown.size(); ++i) {
            const std::string name = shown[i]->objectName().toStdString();
            EXPECT_TRUE(form_.rect().contains(shown[i]->geometry())) << name;
            if (qobject_cast<QLabel*>(shown[i]) != nullptr) { // its text is not cut off
                EXPECT_LE(shown[i]->sizeHint().width(), shown[i]->width()) << name;
            }
            for (qsizetype j = i + 1; j < shown.size(); ++j) {
                EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
                    << name << " / " << shown[j]->objectName().toStdString();
            }
        }
    }
}

TEST_F(RecFormTest, VisSwitchesBetweenTheTwoLooks) {
    form_.ShowProgress(85, 85);
    form_.ShowStatusText(QStringLiteral("Нет пульса"));
    for (bool recording : {false, true, false}) {
        form_.Vis(recording);
        EXPECT_EQ(form_.PB_Rec->isVisibleTo(&form_), recording);
        EXPECT_EQ(form_.Button1->isVisibleTo(&form_), recording);
        EXPECT_EQ(form_.Label1->isVisibleTo(&form_), !recording);
        EXPECT_EQ(form_.Button2->isVisibleTo(&form_), !recording);
        EXPECT_EQ(form_.Recording(), recording);
        EXPECT_EQ(form_.Label2->text(), QStringLiteral("RR : 850 мс")); // kept
        EXPECT_EQ(form_.Label3->text(), QStringLiteral("Нет пульса"));
    }
}

TEST_F(RecFormTest, ProgressLabelsAndTheirReset) {
    form_.ShowProgress(33100, 100); // past the bar's end: the bar stands full
    EXPECT_EQ(form_.PB_Rec->value(), 33000);
    EXPECT_EQ(form_.Label2->text(), QStringLiteral("RR : 1000 мс"));
    form_.ShowStatusText(QStringLiteral("Ограничение"));
    EXPECT_EQ(form_.Label3->palette().color(QPalette::WindowText), QColor(Qt::black));
    form_.ClearProgress();
    EXPECT_EQ(form_.PB_Rec->value(), 0);
    EXPECT_TRUE(form_.Label2->text().isEmpty());
    EXPECT_TRUE(form_.Label3->text().isEmpty());
}

TEST_F(RecFormTest, AbortButtonEndsTheRecordingAndCancels) {
    ASSERT_TRUE(form_.Session().Start(f_->Settings, 10));
    form_.show();
    QTest::mouseClick(form_.Button1, Qt::LeftButton);
    EXPECT_FALSE(form_.Session().Active());
    EXPECT_FALSE(link_->opened);
    EXPECT_EQ(form_.result(), QDialog::Rejected);
    EXPECT_FALSE(form_.isVisible());
}

TEST_F(RecFormTest, EscapeAbortsWhileRecordingAndConfirmsWhenFinished) {
    ASSERT_TRUE(form_.Session().Start(f_->Settings, 10));
    form_.show();
    QTest::keyClick(&form_, Qt::Key_Escape);
    EXPECT_FALSE(form_.Session().Active());
    EXPECT_FALSE(link_->opened);
    EXPECT_EQ(form_.result(), QDialog::Rejected);

    form_.Vis(false);
    form_.show();
    QTest::keyClick(&form_, Qt::Key_Escape);
    EXPECT_EQ(form_.result(), QDialog::Accepted);
    EXPECT_FALSE(form_.isVisible());
}

TEST_F(RecFormTest, EnterPressesOkWhenFinishedAndNothingWhileRecording) {
    ASSERT_TRUE(form_.Session().Start(f_->Settings, 10));
    form_.show();
    QTest::keyClick(&form_, Qt::Key_Return);
    EXPECT_TRUE(form_.isVisible()) << "Enter must not abort a recording";
    EXPECT_TRUE(form_.Session().Active());
    form_.Button1Click();

    form_.show();
    form_.Vis(false);
    QTest::keyClick(form_.Button2, Qt::Key_Return);
    EXPECT_EQ(form_.result(), QDialog::Accepted);
    EXPECT_FALSE(form_.isVisible());

    form_.setResult(QDialog::Rejected);
    form_.show();
    QTest::keyClick(&form_, Qt::Key_Enter);
    EXPECT_EQ(form_.result(), QDialog::Accepted);
}

TEST_F(RecFormTest, OkButtonConfirms) {
    form_.Vis(false);
    form_.show();
    QTest::mouseClick(form_.Button2, Qt::LeftButton);
    EXPECT_EQ(form_.result(), QDialog::Accepted);
}

} // namespace
} // namespace hrv
