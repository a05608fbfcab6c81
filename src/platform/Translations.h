#pragma once

class QCoreApplication;

// Qt's own texts (standard buttons, file, font and colour dialogs, context menus) in Arabic, from
// the translations Qt ships (on Debian the package qt6-translations-l10n). False when they are not
// installed: the program still works, with those texts in English.
bool installArabicQtTexts(QCoreApplication& app);
