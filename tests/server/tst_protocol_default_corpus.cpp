// Corvus.exe on the installed default corpus (fortunes-ru), as the client's local
// mode would serve it, here over TCP: registration with the corpus size, both
// dictionaries, and a chain down to an entry. Skipped when fortunes-ru is absent.
#include "support/CorvusProcess.h"
#include "support/DictClient.h"

#include "corpus/Corpus.h"
#include "model/Cp1251.h"
#include "service/ServerSetup.h"

#include <QtTest>

using namespace corvustest;

class TestProtocolDefaultCorpus : public QObject {
    Q_OBJECT
private slots:
    void defaultCorpus_registrationAndDictionaryChain()
    {
        if (corvus::Corpus::defaultCorpusPath().isEmpty())
            QSKIP("fortunes-ru is not installed");
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home.path() + QStringLiteral("/cache"));
        CorvusProcess corvus;
        QVERIFY2(corvus.start({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--no-local"),
                               QStringLiteral("--cache"), home.path() + QStringLiteral("/index")},
                              env, 240000),
                 qPrintable(corvus.stderrText()));

        WireClient c;
        QVERIFY(c.connectTo(corvus.port()));
        QVERIFY(c.nextReply().value_or(QByteArray()).startsWith("$RG="));
        QVERIFY(c.send("$NM=1.4.12.0"));
        const TaggedReply reg = readTagged(c.nextReply().value_or(QByteArray()));
        QCOMPARE(reg.tag, QByteArray("NM"));
        QVERIFY(reg.options.value("SL_Count").toLongLong() > 100000);
        QVERIFY(reg.body.contains(cp1251::ru("«fortunes-ru»")));
        const bool thesaurus = !defaultThesaurusPath().isEmpty();
        QCOMPARE(reg.body.contains(cp1251::ru("Тезаурус")), thesaurus);

        for (int dict = 0; dict < (thesaurus ? 2 : 1); ++dict) {
            DictClient client(2);
            client.CurDict = dict;
            const dictcore::DictOutcome show =
                dictcore::TS_DictShow(client.page, client.current(), dict, client.KeepDictPos, true, false);
            const auto server = [&c](const QByteArray &request) {
                c.send(request);
                return c.nextReply().value_or(QByteArray());
            };
            QCOMPARE(client.runChain(client.requestsOf(show), server), 4);
            QVERIFY2(client.messages.isEmpty(), client.messages.join('|').constData());
            QCOMPARE(client.page.LB_C.items.value(0).text, cp1251::ru("А"));
            QVERIFY(client.page.LB_C.count() >= 28);
            QVERIFY(client.page.TreeView1.count() >= 2);
        }
    }
};

QTEST_GUILESS_MAIN(TestProtocolDefaultCorpus)
#include "tst_protocol_default_corpus.moc"
