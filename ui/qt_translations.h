// The framework's own texts (file dialogs, the printer set-up, standard buttons) in Russian.
#pragma once

#include <QString>

namespace hrv {

// Loads Qt's Russian translations ("qtbase_ru.qm") from `folder` (by default Qt's translations
// folder) and installs them in the application. False when they are missing or unreadable: the
// framework's texts then stay in English, and everything else works as before.
bool InstallQtTranslations(const QString& folder = QString());

} // namespace hrv
