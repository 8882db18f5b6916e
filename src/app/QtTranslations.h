#pragma once
// Qt's own texts in Russian: the standard buttons, the context menus of the text
// fields ("Копировать", "Выделить всё"), the file and font dialogs.
class QCoreApplication;

// Loads Qt's Russian catalogues from Qt's translations folder, "qtbase_ru" and
// "qt_ru" where each exists, and installs them on `app`, which owns them. Answers
// how many were installed: none where the catalogues are missing (Debian's
// qt6-translations-l10n not installed), and Qt's texts then stay English.
int installQtTranslations(QCoreApplication &app);
