// Lexar: the client of the corpus server.
#include "Config.h"
#include "MainWindow.h"
#include "UiServices.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QLockFile>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lexar"));

    // The configuration is read before any window exists.
    const Config config = Config::load(QCoreApplication::applicationDirPath(),
                                       QDir::currentPath(), [](const QString &family) {
                                           return QFontDatabase::hasFamily(family);
                                       });
    // Held while the program runs: the updater waits until it is free before it
    // replaces the executable. A lock that cannot be taken (a second copy running,
    // a read-only folder) is no reason not to start.
    QLockFile running(QCoreApplication::applicationFilePath() + QStringLiteral(".lock"));
    running.setStaleLockTime(0);
    running.tryLock(0);
    DesktopUiServices ui;
    TForm1 form(config, ui);
    form.createSecondaryWindows();
    form.show();
    const int rc = app.exec();
    form.saveSessionLog();
    return rc;
}
