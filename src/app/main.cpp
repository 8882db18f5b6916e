// Lexar: the client of the corpus server.
#include "Config.h"
#include "MainWindow.h"
#include "UiServices.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lexar"));

    // The configuration is read before any window exists.
    const Config config = Config::load(QCoreApplication::applicationDirPath(),
                                       QDir::currentPath(), [](const QString &family) {
                                           return QFontDatabase::hasFamily(family);
                                       });
    DesktopUiServices ui;
    TForm1 form(config, ui);
    form.createSecondaryWindows();
    form.show();
    const int rc = app.exec();
    form.saveSessionLog();
    return rc;
}
