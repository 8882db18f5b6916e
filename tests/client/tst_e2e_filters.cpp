// The filter rows against the real corpus server: an author fixed in row 1, the
// lemmas as row 2's list at a co-occurrence distance of +2, and the counts the list
// shows are those of the corpus the test writes; on an annotated corpus, the part
// of speech fixed in row 1 and the file's lemmas under it.
#include "app/MainWindow.h"
#include "concordance/ConcPage.h"
#include "concordance/WordListPanel.h"
#include "filters/FilterPanel.h"
#include "model/Cp1251.h"
#include "support/AppFixture.h"
#include "support/CorvusServer.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QTabWidget>
#include <QtTest>

namespace {

QStringList texts(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out.append(list->item(i)->text());
    return out;
}

} // namespace

class TestE2eFilters : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!QFile::exists(corvusPath()))
            QSKIP("Corvus.exe is not built");
    }

    void authorFixed_lemmasWithinTwoWordsToTheRight()
    {
        TestHome home;
        // A lemma dictionary of our own ("морозы" is "мороз"), found by the server
        // under the data folder the test home gives it.
        writeFile(home.path() + QStringLiteral("/data/hunspell/ru_RU.aff"), "SET UTF-8\nSFX A Y 1\nSFX A 0 ы .\n");
        writeFile(home.path() + QStringLiteral("/data/hunspell/ru_RU.dic"),
                  QStringLiteral("3\nмороз/A\nдень\nлес\n").toUtf8());
        // Пушкин's words in order: мороз, день, мороз(ы), лес. Within two words to
        // the right of each: {день, мороз}, {мороз, лес}, {лес}, {} -- so день 1,
        // лес 2, мороз 2. Гоголь's text is outside the author's condition.
        writeFile(home.path() + QStringLiteral("/corpus/Пушкин/Зима.txt"), cp1251::ru("Мороз, день, морозы, лес.\n"));
        writeFile(home.path() + QStringLiteral("/corpus/Гоголь/Нос.txt"), cp1251::ru("Лес, лес, мороз, день.\n"));
        QProcess corvus;
        const quint16 port = startCorvusOnHome(corvus, home.path());
        QVERIFY(port);
        RecordingUi ui;
        MainWindow form(home.config({"IP=127.0.0.1", "Port=" + QByteArray::number(port)}), ui);
        form.createSecondaryWindows();
        form.show();
        QApplication::setActiveWindow(&form);
        form.B_ConnectClick();
        ConcPage *page = form.TS_Conc;
        WordListPanel *list = page->Panel3;
        FilterPanel *rows = form.findChild<FilterPanel *>(QStringLiteral("P_CF"));
        const auto settled = [&] { return form.state().PendingRequest.isEmpty(); };
        QTRY_VERIFY_WITH_TIMEOUT(page->LBC_W->count() > 0 && settled(), 30000);

        // Row 1: the author Пушкин.
        list->CBC_List->setCurrentIndex(list->CBC_List->findText(QStringLiteral("Автор")));
        list->CBC_ListChange();
        QTRY_VERIFY_WITH_TIMEOUT(settled() && texts(page->LBC_W).contains(QStringLiteral("Пушкин")), 20000);
        list->LBC_WClick(int(texts(page->LBC_W).indexOf(QStringLiteral("Пушкин"))));
        QTRY_VERIFY_WITH_TIMEOUT(settled(), 20000);
        QCOMPARE(rows->CB_Q[0]->text(), QStringLiteral("Автор = Пушкин"));
        rows->CB_Q[0]->click();
        QTRY_VERIFY_WITH_TIMEOUT(settled() && rows->CB_Q[1]->isVisible(), 20000);
        QCOMPARE(texts(page->LBC_W), (QStringList{QStringLiteral("день"), QStringLiteral("лес"), QStringLiteral("мороз"),
                                                  QStringLiteral("морозы")}));

        // Row 2: the lemmas, then those within two words to the right.
        list->CBC_List->setCurrentIndex(list->CBC_List->findText(QStringLiteral("Лемма")));
        list->CBC_ListChange();
        QTRY_VERIFY_WITH_TIMEOUT(settled() && page->LBC_W->count() == 3, 20000);
        QCOMPARE(texts(list->LBC_W_Q2), (QStringList{QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("2")}));
        rows->CB_Context->click();
        QLineEdit *distance = rows->E_Plus[0];
        QVERIFY(distance->isVisible());
        distance->setFocus();
        distance->clear();
        QTest::keyClicks(distance, QStringLiteral("+2"));
        QTest::keyClick(distance, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(settled() && form.state().CurrentConcPos->Distance[2] == 2
                                     && texts(list->LBC_W_Q2) != QStringList({QStringLiteral("1"), QStringLiteral("1"),
                                                                              QStringLiteral("2")}),
                                 20000);
        QCOMPARE(texts(page->LBC_W), (QStringList{QStringLiteral("день"), QStringLiteral("лес"), QStringLiteral("мороз")}));
        QCOMPARE(texts(list->LBC_W_Q2), (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("2")}));
        QVERIFY(rows->CB_Q[0]->isChecked() && rows->CB_Perm->isChecked());
        QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join(QLatin1Char('|'))));
        form.close();
        corvus.terminate();
        corvus.waitForFinished(5000);
    }

    void annotatedCorpus_partOfSpeechListFiltersTheForms()
    {
        TestHome home;
        // A CoNLL-U file: "стали" is a noun once and a verb once.
        writeFile(home.path() + QStringLiteral("/corpus/Гоголь/Сталь.conllu"),
                  "# newdoc id = d1\n# newdoc genre = повесть\n"
                  "1\tСтали\tсталь\tNOUN\t_\tCase=Nom\t_\t_\t_\t_\n"
                  "2\tстали\tстать\tVERB\t_\tTense=Past\t_\t_\t_\t_\n"
                  "3\tкрепче\tкрепкий\tADJ\t_\t_\t_\t_\t_\tSpaceAfter=No\n"
                  "4\t.\t.\tPUNCT\t_\t_\t_\t_\t_\t_\n\n");
        QProcess corvus;
        const quint16 port = startCorvusOnHome(corvus, home.path());
        QVERIFY(port);
        RecordingUi ui;
        MainWindow form(home.config({"IP=127.0.0.1", "Port=" + QByteArray::number(port)}), ui);
        form.createSecondaryWindows();
        form.show();
        QApplication::setActiveWindow(&form);
        form.B_ConnectClick();
        ConcPage *page = form.TS_Conc;
        WordListPanel *list = page->Panel3;
        FilterPanel *rows = form.findChild<FilterPanel *>(QStringLiteral("P_CF"));
        const auto settled = [&] { return form.state().PendingRequest.isEmpty(); };
        QTRY_VERIFY_WITH_TIMEOUT(page->LBC_W->count() > 0 && settled(), 30000);
        QVERIFY(list->CBC_List->findText(QStringLiteral("genre")) >= 0);

        list->CBC_List->setCurrentIndex(list->CBC_List->findText(QStringLiteral("Часть речи")));
        list->CBC_ListChange();
        QTRY_VERIFY_WITH_TIMEOUT(settled() && texts(page->LBC_W).contains(QStringLiteral("NOUN")), 20000);
        QCOMPARE(texts(page->LBC_W), (QStringList{QStringLiteral("ADJ"), QStringLiteral("NOUN"), QStringLiteral("VERB")}));
        list->LBC_WClick(1);
        QTRY_VERIFY_WITH_TIMEOUT(settled(), 20000);
        rows->CB_Q[0]->click();
        QTRY_VERIFY_WITH_TIMEOUT(settled() && rows->CB_Q[1]->isVisible(), 20000);
        // Under the noun: the one "стали" that is the noun, with the file's lemma.
        list->CBC_List->setCurrentIndex(list->CBC_List->findText(QStringLiteral("Лемма")));
        list->CBC_ListChange();
        QTRY_VERIFY_WITH_TIMEOUT(settled() && page->LBC_W->count() == 1, 20000);
        QCOMPARE(texts(page->LBC_W), (QStringList{QStringLiteral("сталь")}));
        QCOMPARE(texts(list->LBC_W_Q2), (QStringList{QStringLiteral("1")}));
        QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join(QLatin1Char('|'))));
        form.close();
        corvus.terminate();
        corvus.waitForFinished(5000);
    }
};

QTEST_MAIN(TestE2eFilters)
#include "tst_e2e_filters.moc"
