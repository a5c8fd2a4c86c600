// The confirmation dialog: a message and one to three freely labelled buttons.
#pragma once

#include <QDialog>
#include <QString>

class QPushButton;
class QTextEdit;

namespace hrv {

class TMyMessageForm : public QDialog {
    Q_OBJECT

public:
    explicit TMyMessageForm(QWidget* owner = nullptr);

    // Sets the caption, the message and the button texts and places the buttons: an empty
    // second or third text hides that button. The second button gets the focus, or the first
    // when it is alone.
    void Setup(const QString& caption, const QString& text, const QString& first,
               const QString& second, const QString& third);

    QTextEdit* Memo1 = nullptr;
    QPushButton* Button1 = nullptr; // result 1
    QPushButton* Button2 = nullptr; // result 2
    QPushButton* Button3 = nullptr; // result 6

    // Esc and closing the window give the second button's result.
    void reject() override;
};

// Shows the confirmation dialog modally and returns 1, 2 or 6 (kConfirmFirst, kConfirmSecond,
// kConfirmThird); a new dialog for every call.
int ShowConfirmDialog(QWidget* owner, const QString& caption, const QString& text,
                      const QString& first, const QString& second, const QString& third);

} // namespace hrv
