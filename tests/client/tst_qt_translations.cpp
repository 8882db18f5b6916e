// Qt's own texts in Russian: the catalogues main() installs translate the standard
// buttons, and the program's questions show the button words they name.
#include "app/QtTranslations.h"
#include "model/Cp1251.h"
#include "session/UiServices.h"
#include "text/core/BufferOps.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

namespace {

QString catalogue(const char *name)
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QLatin1Char('/') + QLatin1String(name)
        + QStringLiteral(".qm");
}

// Runs `ask` while a watcher waits for its message box: the box's button texts in
// the order shown, then the button that reads `press` is clicked.
QStringList buttonsOf(const std::function<void()> &ask, const QString &press)
{
    QStringList texts;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (!box || !box->isVisible())
                continue;
            watch.stop();
            for (QAbstractButton *b : box->findChild<QDialogButtonBox *>()->buttons())
                texts.append(b->text());
            for (QAbstractButton *b : box->buttons())
                if (b->text() == press) {
                    b->click();
                    return;
                }
            box->done(QMessageBox::NoButton);   // no such button: the test goes on and fails
            return;
        }
    });
    watch.start();
    ask();
    return texts;
}

} // namespace

class TestQtTranslations : public QObject {
    Q_OBJECT
private slots:
    void installed_translatesTheStandardButtons()
    {
        if (!QFileInfo::exists(catalogue("qtbase_ru")))
            QSKIP("Qt's Russian catalogue is not installed (qt6-translations-l10n)");
        QVERIFY(installQtTranslations(*qApp) >= 1);
        QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Close);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
        QCOMPARE(buttons.button(QDialogButtonBox::Close)->text(), QStringLiteral("Закрыть"));
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Save | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Save)->text(), QStringLiteral("Сохранить"));
        QCOMPARE(box.button(QMessageBox::No)->text(), QStringLiteral("&Нет"));
    }

    // Whether or not Qt's texts are translated, the buttons read what the questions
    // tell the user to press.
    void questions_showTheButtonWordsTheyName()
    {
        installQtTranslations(*qApp);
        DesktopUiServices ui;
        const QString question = cp1251::decode(textcore::texts::longExportQuestion());
        QVERIFY(question.contains(QStringLiteral("(OK)")) && question.contains(QStringLiteral("(Отмена)")));
        bool answer = true;
        QStringList shown = buttonsOf([&] { answer = ui.askOkCancel(nullptr, question); }, QStringLiteral("Отмена"));
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown.contains(QStringLiteral("OK")) && shown.contains(QStringLiteral("Отмена")));
        QVERIFY(!answer);
        shown = buttonsOf([&] { answer = ui.askYesNo(nullptr, QStringLiteral("Обновить?")); }, QStringLiteral("Да"));
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown.contains(QStringLiteral("Да")) && shown.contains(QStringLiteral("Нет")));
        QVERIFY(answer);
        shown = buttonsOf([&] { ui.message(nullptr, QStringLiteral("Готово")); }, QStringLiteral("OK"));
        QCOMPARE(shown, QStringList{QStringLiteral("OK")});
    }
};

QTEST_MAIN(TestQtTranslations)
#include "tst_qt_translations.moc"
