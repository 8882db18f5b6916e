// Lexar: the client of the corpus server.
#include "session/Config.h"
#include "MainWindow.h"
#include "Watchdog.h"
#include "ServerLogPage.h"
#include "LocalLinkSession.h"
#include "SessionController.h"
#include "QtTranslations.h"
#include "session/UiServices.h"
#include "platform/ProgramFolder.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QIcon>
#include <QLockFile>

#include <memory>

#ifndef LEXAR_APP_ID
#define LEXAR_APP_ID "Lexar"
#endif

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lexar"));
    // The desktop entry and the icon an installed copy brings with it.
    QGuiApplication::setDesktopFileName(QStringLiteral(LEXAR_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(LEXAR_APP_ID)));
    // Qt's standard texts in the program's language, before any widget exists; without
    // the catalogues they stay English.
    installQtTranslations(app);

    // The configuration is read before any window exists.
    const Config config = Config::load(QCoreApplication::applicationDirPath(),
                                       QDir::currentPath(), [](const QString &family) {
                                           return QFontDatabase::hasFamily(family);
                                       });
    // Held while the program runs: the updater waits until it is free before it
    // replaces the executable. A lock that cannot be taken (a second copy running,
    // a read-only folder) is no reason not to start; a folder the program may not
    // change (an installed copy) gets no lock at all.
    std::unique_ptr<QLockFile> running;
    if (platform::programFolder(config.exeFolder) == platform::ProgramFolder::Writable) {
        running = std::make_unique<QLockFile>(QCoreApplication::applicationFilePath()
                                              + QStringLiteral(".lock"));
        running->setStaleLockTime(0);
        running->tryLock(0);
    }
    DesktopUiServices ui;
    MainWindow form(config, ui);
    form.createSecondaryWindows();
    // A check of an installed copy: start, register with the server, end normally.
    if (!qEnvironmentVariableIsEmpty("LEXAR_QUIT_AFTER_REGISTRATION"))
        QObject::connect(form.session(), &SessionController::registered, &form, &QWidget::close,
                         Qt::QueuedConnection);
    form.show();
    const int rc = app.exec();
    form.saveSessionLog();
    return rc;
}
