// The confirmation dialog.
#include "ui/confirm_dialog.h"

#include "ui/prompts.h"

#include <memory>

#include <QPalette>
#include <QPushButton>
#include <QTextEdit>

namespace hrv {

namespace {

constexpr int kClientWidth = 398;
constexpr int kClientHeight = 197;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 25;

QPushButton* MakeButton(QWidget* parent, const QString& text, const QString& name) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->resize(kButtonWidth, kButtonHeight);
    b->setDefault(false);
    return b;
}

} // namespace

TMyMessageForm::TMyMessageForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("MyMessageForm"));
    setFixedSize(kClientWidth, kClientHeight);

    Memo1 = new QTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(16, 24, 361, 89);
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setLineWrapMode(QTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette memoPalette = Memo1->palette();
    memoPalette.setColor(QPalette::Base, palette().color(QPalette::Window)); // the menu colour
    Memo1->setPalette(memoPalette);

    Button1 = MakeButton(this, QStringLiteral("OK"), QStringLiteral("Button1"));
    Button2 = MakeButton(this, QStringLiteral("Отмена"), QStringLiteral("Button2"));
    Button3 = MakeButton(this, QStringLiteral("Button3"), QStringLiteral("Button3"));
    connect(Button1, &QPushButton::clicked, this, [this] { done(kConfirmFirst); });
    connect(Button2, &QPushButton::clicked, this, [this] { done(kConfirmSecond); });
    connect(Button3, &QPushButton::clicked, this, [this] { done(kConfirmThird); });

    setTabOrder(Button2, Button1);
    setTabOrder(Button1, Memo1);
    setTabOrder(Memo1, Button3);
}

void TMyMessageForm::Setup(const QString& caption, const QString& text, const QString& first,
                           const QString& second, const QString& third) {
    Button1->show();
    Button2->show();
    Button3->show();
    // The window system's frame is not known before the dialog is shown: the client size
    // stands for the outer size.
    const int wd = width();
    const int hd = height();
    const int top = hd - 3 * Button1->height();
    for (QPushButton* b : {Button1, Button2, Button3}) {
        b->move(b->x(), top);
    }
    setWindowTitle(caption);
    Memo1->setPlainText(text);
    Memo1->selectAll();
    Memo1->setAlignment(Qt::AlignHCenter);
    Memo1->moveCursor(QTextCursor::Start);
    Button1->setText(first);

    auto centreAt = [top](QPushButton* b, int centre) { b->move(centre - b->width() / 2, top); };
    if (!third.isEmpty()) {
        Button3->setText(third);
        Button2->setText(second);
        centreAt(Button1, wd / 4);
        centreAt(Button2, 2 * (wd / 4));
        centreAt(Button3, 3 * (wd / 4));
    } else if (!second.isEmpty()) {
        Button3->hide();
        Button2->setText(second);
        centreAt(Button1, wd / 3);
        centreAt(Button2, 2 * (wd / 3));
    } else {
        Button2->hide();
        Button3->hide();
        centreAt(Button1, wd / 2);
    }
    (Button2->isHidden() ? Button1 : Button2)->setFocus();
}

void TMyMessageForm::reject() {
    done(kConfirmSecond);
}

int ShowConfirmDialog(QWidget* owner, const QString& caption, const QString& text,
                      const QString& first, const QString& second, const QString& third) {
    const auto dialog = std::make_unique<TMyMessageForm>(owner);
    dialog->Setup(caption, text, first, second, third);
    const int result = dialog->exec();
    return result == QDialog::Rejected ? kConfirmSecond : result;
}

} // namespace hrv
