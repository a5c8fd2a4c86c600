// The real dialogs behind Prompts.
#include "ui/prompts.h"

#include "ui/confirm_dialog.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTreeView>

namespace hrv {

namespace {

// Lines in the program's texts may be separated by a lone carriage return.
QString DisplayText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString ApplicationTitle() {
    return QCoreApplication::applicationName();
}

} // namespace

void PrepareFileDialog(QFileDialog& dlg, const FileDialogState& state) {
    const QStringList filters = NameFiltersOf(state.Filter);
    dlg.setNameFilters(filters);
    if (!filters.isEmpty()) {
        const int index =
            state.FilterIndex >= 1 && state.FilterIndex <= filters.size() ? state.FilterIndex : 1;
        dlg.selectNameFilter(filters[index - 1]);
    }
    if (!state.InitialDir.isEmpty()) {
        dlg.setDirectory(state.InitialDir);
    }
    if (!state.DefaultExt.isEmpty()) {
        dlg.setDefaultSuffix(state.DefaultExt);
    }
    if (!state.FileName.isEmpty()) {
        dlg.selectFile(state.FileName);
    }
#ifndef Q_OS_WIN
    // The same dialog everywhere, in the language of the installed translations (a desktop's
    // own dialog would check itself that an opened file exists, with its own words).
    dlg.setOption(QFileDialog::DontUseNativeDialog);
#endif
    // The size, type and date columns as wide as their texts, never cut to "94…ты"; the names
    // take the rest.
    if (auto* view = dlg.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = view->header();
        header->setStretchLastSection(false);
        for (int column = 0; column < header->count(); ++column) {
            header->setSectionResizeMode(column, column == 0 ? QHeaderView::Stretch
                                                             : QHeaderView::ResizeToContents);
        }
    }
}

void PreparePrinterSetupDialog(QPrintDialog& dlg) {
    dlg.setWindowTitle(QStringLiteral("Настройка принтера"));
    // The dialog only chooses the printer; printing is the "Печать" command's.
    if (auto* buttons = dlg.findChild<QDialogButtonBox*>()) {
        if (QPushButton* accept = buttons->button(QDialogButtonBox::Ok)) {
            accept->setText(QStringLiteral("ОК"));
        }
    }
}

namespace {

FileChoice ChoiceOf(const QFileDialog& dlg) {
    FileChoice choice;
    const QStringList files = dlg.selectedFiles();
    if (files.isEmpty()) {
        return choice;
    }
    choice.path = files.first();
    choice.filterIndex = static_cast<int>(dlg.nameFilters().indexOf(dlg.selectedNameFilter())) + 1;
    if (choice.filterIndex < 1) {
        choice.filterIndex = 1;
    }
    return choice;
}

} // namespace

QStringList NameFiltersOf(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // The patterns Qt uses are the ones in the description's last parentheses.
        out << (description.endsWith(QLatin1Char(')')) && description.contains(patterns)
                    ? description
                    : description + QStringLiteral(" (") + patterns + QStringLiteral(")"));
    }
    return out;
}

void QtPrompts::ShowMessage(QWidget* parent, MessageKind kind, const QString& text) {
    QMessageBox box(parent);
    box.setText(DisplayText(text));
    box.setStandardButtons(QMessageBox::Ok);
    switch (kind) {
    case MessageKind::Plain:
        box.setIcon(QMessageBox::NoIcon);
        box.setWindowTitle(ApplicationTitle());
        break;
    case MessageKind::Information:
        box.setIcon(QMessageBox::Information);
        box.setWindowTitle(QStringLiteral("Информация"));
        break;
    case MessageKind::Warning:
        box.setIcon(QMessageBox::Warning);
        box.setWindowTitle(QStringLiteral("Предупреждение"));
        break;
    case MessageKind::Error:
        box.setIcon(QMessageBox::Critical);
        box.setWindowTitle(ApplicationTitle());
        break;
    }
    box.exec();
}

int QtPrompts::Confirm(QWidget* owner, const QString& caption, const QString& text,
                       const QString& first, const QString& second, const QString& third) {
    return ShowConfirmDialog(owner, caption, text, first, second, third);
}

FileChoice QtPrompts::OpenFile(QWidget* parent, const FileDialogState& dialog) {
    QFileDialog dlg(parent);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::AnyFile); // a missing file is the Open command's message
    PrepareFileDialog(dlg, dialog);
    return dlg.exec() == QDialog::Accepted ? ChoiceOf(dlg) : FileChoice{};
}

FileChoice QtPrompts::SaveFile(QWidget* parent, const FileDialogState& dialog) {
    QFileDialog dlg(parent);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setOption(QFileDialog::DontConfirmOverwrite); // the command asks itself
    PrepareFileDialog(dlg, dialog);
    return dlg.exec() == QDialog::Accepted ? ChoiceOf(dlg) : FileChoice{};
}

QStringList QtPrompts::OpenFiles(QWidget* parent, const FileDialogState& dialog) {
    QFileDialog dlg(parent);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFiles);
    PrepareFileDialog(dlg, dialog);
    return dlg.exec() == QDialog::Accepted ? dlg.selectedFiles() : QStringList{};
}

bool QtPrompts::PrinterSetup(QWidget* parent, QPrinter& printer) {
    QPrintDialog dlg(&printer, parent);
    PreparePrinterSetupDialog(dlg);
    return dlg.exec() == QDialog::Accepted;
}

int QtPrompts::ExecDialog(QDialog& dialog) {
    return dialog.exec();
}

} // namespace hrv
