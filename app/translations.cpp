#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace sornafex {

bool InstallFrenchTranslations(QCoreApplication& application) {
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    // Owned by the application, so it lives exactly as long as the texts it translates.
    auto* translator = new QTranslator(&application);
    if (!translator->load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace sornafex
