#include "platform/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool installArabicQtTexts(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    // "qt_ar" gathers the module catalogues (qtbase_ar, qtmultimedia_ar, ...).
    if (!translator->load(QLocale(QLocale::Arabic), QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        qWarning("Qt's Arabic texts are not installed (package qt6-translations-l10n): standard buttons stay in "
                 "English");
        delete translator;
        return false;
    }
    return true;
}
