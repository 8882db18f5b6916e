// Walking the history against the real corpus server: after a second value's lines,
// the back arrow brings the first value's lines back and the forward arrow the
// second's, with the value list, the lines and the query state as the server
// answers them.
#include "app/MainWindow.h"
#include "concordance/ConcPage.h"
#include "concordance/ContextPanel.h"
#include "model/Cp1251.h"
#include "support/AppFixture.h"
#include "support/CorvusServer.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

class TestE2eHistory : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!QFile::exists(corvusPath()))
            QSKIP("Corvus.exe is not built");
    }

    void backAndForward_showTheServersLinesOfEachValue()
    {
        TestHome home;
        writeFile(home.path() + QStringLiteral("/corpus/Ветров/Повесть.txt"),
                  cp1251::ru("А кот пришёл домой.\nКот спит.\n"));
        QProcess corvus;
        const quint16 port = startCorvusOnHome(corvus, home.path());
        QVERIFY(port);
        RecordingUi ui;
        MainWindow form(home.config({"IP=127.0.0.1", "Port=" + QByteArray::number(port)}), ui);
        form.createSecondaryWindows();
        form.show();
        form.B_ConnectClick();
        QTRY_VERIFY_WITH_TIMEOUT(form.PageC->isTabVisible(form.PageC->indexOf(form.TS_Conc)), 20000);
        ConcPage *conc = form.TS_Conc;
        QListWidget *values = conc->LBC_W;
        QListWidget *centres = conc->TS_Conc_C->LBC_Wx;
        const auto settled = [&] { return form.state().PendingRequest.isEmpty() && centres->count() > 0; };
        QTRY_VERIFY_WITH_TIMEOUT(settled(), 20000);
        QVERIFY(values->count() > 1);
        const QString first = values->item(0)->text().toLower();
        const QString second = values->item(1)->text().toLower();
        const auto showing = [&](const QString &value, int row) {
            return settled() && centres->item(0)->text().toLower() == value && values->currentRow() == row;
        };
        QVERIFY(showing(first, 0));

        QTest::mouseClick(values->viewport(), Qt::LeftButton, {}, values->visualItemRect(values->item(1)).center());
        QTRY_VERIFY_WITH_TIMEOUT(showing(second, 1), 20000);
        const auto contexts = [&] {
            int n = 0;
            for (const RequestHistory::Entry &e : form.state().History.entries)
                n += e.text.startsWith("CT_N=");
            return n;
        };
        QCOMPARE(contexts(), 2);

        conc->findChild<QPushButton *>(QStringLiteral("BB_FBack"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(showing(first, 0), 20000);
        conc->findChild<QPushButton *>(QStringLiteral("BB_F"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(showing(second, 1), 20000);
        // The walk re-sent the stored context requests: none was recorded anew, and
        // the dictionary look-ups of the lines' links kept the way forward open.
        QCOMPARE(contexts(), 2);
        QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join(QLatin1Char('|'))));
        form.close();
        corvus.terminate();
        corvus.waitForFinished(5000);
    }
};

QTEST_MAIN(TestE2eHistory)
#include "tst_e2e_history.moc"
