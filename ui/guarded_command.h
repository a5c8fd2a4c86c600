// Every command and timer handler runs inside GuardedCommand: an unexpected failure (the file
// layer's input/output error, the serial link's error) ends the command with an error box, and
// no exception ever reaches Qt's event loop.
#pragma once

#include "ui/prompts.h"

#include <exception>

#include <QString>

class QWidget;

namespace hrv {

template <class F> void GuardedCommand(QWidget* parent, Prompts& prompts, F&& body) noexcept {
    QString text;
    try {
        body();
        return;
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = QStringLiteral("Непредвиденная ошибка");
    }
    try {
        prompts.Error(parent, text);
    } catch (...) {
        // The error box itself failed; the command has ended all the same.
    }
}

} // namespace hrv
