#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

int installQtTranslations(QCoreApplication &app)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    int installed = 0;
    for (const QString &name : {QStringLiteral("qtbase_ru"), QStringLiteral("qt_ru")}) {
        auto *translator = new QTranslator(&app);
        if (translator->load(name, folder) && QCoreApplication::installTranslator(translator))
            ++installed;
        else
            delete translator;
    }
    return installed;
}
