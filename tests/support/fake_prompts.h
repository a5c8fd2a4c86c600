// Scripted prompts for tests: answers are queued before a command runs, and everything the
// command showed is recorded. A prompt with no queued answer is cancelled (empty path, second
// button, dialog rejected) and counted in `unscripted`.
#pragma once

#include "ui/prompts.h"

#include <deque>
#include <functional>
#include <vector>

#include <QDialog>
#include <QString>
#include <QStringList>

namespace hrv {

class FakePrompts : public Prompts {
public:
    struct Shown {
        MessageKind kind;
        QString text;
    };
    struct ConfirmShown {
        QString caption;
        QString text;
        QString first;
        QString second;
        QString third;
    };

    // Answers, taken from the front.
    std::deque<FileChoice> openAnswers;
    std::deque<FileChoice> saveAnswers;
    std::deque<QStringList> openFilesAnswers;
    std::deque<int> confirmAnswers;
    std::deque<bool> printerSetupAnswers;
    // Each runs in place of one modal dialog: it may change the dialog's controls (or drive
    // timers) and returns the dialog's result.
    std::deque<std::function<int(QDialog&)>> dialogScripts;

    // What was shown, in order.
    std::vector<Shown> messages;
    std::vector<ConfirmShown> confirms;
    std::vector<FileDialogState> openDialogs;
    std::vector<FileDialogState> saveDialogs;
    std::vector<FileDialogState> openFilesDialogs;
    std::vector<QString> dialogsShown; // objectName of each dialog run by ExecDialog
    int printerSetups = 0;
    int unscripted = 0;

    // The texts of the messages of one kind, in order.
    QStringList Texts(MessageKind kind) const {
        QStringList out;
        for (const Shown& m : messages) {
            if (m.kind == kind) {
                out << m.text;
            }
        }
        return out;
    }

    void ShowMessage(QWidget*, MessageKind kind, const QString& text) override {
        messages.push_back({kind, text});
    }

    int Confirm(QWidget*, const QString& caption, const QString& text, const QString& first,
                const QString& second, const QString& third) override {
        confirms.push_back({caption, text, first, second, third});
        return Take(confirmAnswers, kConfirmSecond);
    }

    FileChoice OpenFile(QWidget*, const FileDialogState& dialog) override {
        openDialogs.push_back(dialog);
        return Take(openAnswers, FileChoice{});
    }

    FileChoice SaveFile(QWidget*, const FileDialogState& dialog) override {
        saveDialogs.push_back(dialog);
        return Take(saveAnswers, FileChoice{});
    }

    QStringList OpenFiles(QWidget*, const FileDialogState& dialog) override {
        openFilesDialogs.push_back(dialog);
        return Take(openFilesAnswers, QStringList{});
    }

    bool PrinterSetup(QWidget*, QPrinter&) override {
        ++printerSetups;
        return Take(printerSetupAnswers, false);
    }

    int ExecDialog(QDialog& dialog) override {
        dialogsShown.push_back(dialog.objectName());
        if (dialogScripts.empty()) {
            ++unscripted;
            return QDialog::Rejected;
        }
        auto script = std::move(dialogScripts.front());
        dialogScripts.pop_front();
        return script(dialog);
    }

private:
    template <class T> T Take(std::deque<T>& answers, T cancelled) {
        if (answers.empty()) {
            ++unscripted;
            return cancelled;
        }
        T answer = std::move(answers.front());
        answers.pop_front();
        return answer;
    }
};

} // namespace hrv
