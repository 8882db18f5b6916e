// Corvus.exe over loopback TCP on a tiny corpus the test writes: the greeting, the
// registration reply, the four dictionary replies with the positions they send
// back (driven by the client's own handlers), "ZERO" for what it cannot serve with
// the connection staying usable, a request split across writes, pipelined
// requests, and eight clients at once.
#include "support/CorvusProcess.h"
#include "support/DictClient.h"

#include "model/CommaList.h"
#include "model/ConcPos.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"

#include <QtTest>
#include <memory>

using namespace corvustest;

namespace {

QByteArray ru(const char *s)
{
    return cp1251::ru(s);
}

QByteArray dc(const QByteArray &tag, const tCDictPos &pos)
{
    return requests::wire(tag, requests::dictParams(pos, OptionList::initial()));
}

QByteArrayList texts(const dictcore::DictList &list)
{
    QByteArrayList out;
    for (const auto &e : list.items)
        out.append(e.text);
    return out;
}

} // namespace

class TestProtocolServer : public QObject {
    Q_OBJECT

    TinyCorpus corpus;
    QTemporaryDir home;
    std::unique_ptr<CorvusProcess> corvus;

    // A connected client that has read the greeting.
    std::unique_ptr<WireClient> connected()
    {
        auto c = std::make_unique<WireClient>();
        if (!c->connectTo(corvus->port()))
            return nullptr;
        const auto greeting = c->nextReply();
        if (!greeting || !greeting->startsWith("$RG="))
            return nullptr;
        return c;
    }

    QByteArray ask(WireClient &c, const QByteArray &request)
    {
        if (!c.send(request))
            return {};
        return c.nextReply().value_or(QByteArray());
    }

    std::function<QByteArray(const QByteArray &)> over(WireClient &c)
    {
        return [this, &c](const QByteArray &request) { return ask(c, request); };
    }

    QProcessEnvironment serverEnv;
    QString thesaurus;

    QStringList serverArgs(const QString &cacheDir)
    {
        return {QStringLiteral("--corpus"), corpus.path(), QStringLiteral("--port"), QStringLiteral("0"),
                QStringLiteral("--cache"), cacheDir, QStringLiteral("--dict"), thesaurus, QStringLiteral("--no-local")};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(corpus.isValid());
        QVERIFY(home.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
        corvus = std::make_unique<CorvusProcess>();
        serverEnv = env;
        thesaurus = writeTinyThesaurus(corpus.root());
        const bool started = corvus->start(serverArgs(corpus.cacheDir()), env);
        QVERIFY2(started, qPrintable(corvus->stderrText()));
        QVERIFY(corvus->port() > 0);
        QVERIFY(corvus->stdoutText().contains(QStringLiteral("Corvus listening on 127.0.0.1:")));
    }

    void cleanupTestCase()
    {
        corvus.reset();
    }

    void greeting_isRGWithLengthHeader()
    {
        WireClient c;
        QVERIFY(c.connectTo(corvus->port()));
        const auto greeting = c.nextReply();
        QVERIFY2(greeting, qPrintable(c.error()));
        QVERIFY(greeting->startsWith("$RG="));
        QCOMPARE(readTagged(*greeting).tag, QByteArray("RG"));
    }

    void registration_dictionariesThenMessage_optionsCarryCorpusSize()
    {
        auto c = connected();
        QVERIFY(c);
        const QByteArray reply = ask(*c, "$NM=1.4.12.0" + ru("Тестер"));
        const TaggedReply t = readTagged(reply);
        QCOMPARE(t.tag, QByteArray("NM"));
        QVERIFY(t.hasOptions);
        const qint64 words = t.options.value("SL_Count").toLongLong();
        QVERIFY2(words >= 60 && words <= 80, t.options.value("SL_Count").constData());
        QCOMPARE(t.options.value("SWD"), QByteArray("YES"));
        QVERIFY(t.body.startsWith("DICT="));
        const qsizetype end = t.body.indexOf(",END,");
        QVERIFY(end > 0);
        QCOMPARE(commalist::split(t.body.mid(5, end - 5)),
                 QList<QByteArray>({ru("Словарь корпуса"), ru("Тезаурус")}));
        const qsizetype mes = t.body.indexOf("MES=");
        QVERIFY(mes > end);
        const QByteArray message = t.body.mid(mes + 4);
        QVERIFY(message.contains(ru("Тестер")));
        QVERIFY(message.contains(ru("«tiny»")));

        // The repeated registration answers the same way.
        const TaggedReply again = readTagged(ask(*c, "$NMD=1.4.12.0" + ru("Тестер")));
        QCOMPARE(again.tag, QByteArray("NMD"));
        QVERIFY(again.body.startsWith("DICT="));
    }

    void info_namesServerCorpusAndDictionaries()
    {
        auto c = connected();
        QVERIFY(c);
        const TaggedReply t = readTagged(ask(*c, "$INFO="));
        QCOMPARE(t.tag, QByteArray("INFO"));
        QVERIFY(t.body.startsWith("Corvus "));
        QVERIFY(t.body.contains(ru("текстов 3")));
        QVERIFY(t.body.contains(ru("Тезаурус (5)")));
    }

    void corpusDictionary_letterChainReachesEntry_positionsAsClientExpects()
    {
        auto c = connected();
        QVERIFY(c);
        DictClient client(2);
        const dictcore::DictOutcome show =
            dictcore::TS_DictShow(client.page, client.current(), 0, client.KeepDictPos, true, false);
        QCOMPARE(client.runChain(client.requestsOf(show), over(*c)), 4);
        QCOMPARE(client.tags, QByteArrayList({"DC_C", "DC_CC", "DC_W", "DC_S"}));
        QVERIFY2(client.messages.isEmpty(), client.messages.join('|').constData());
        QVERIFY(client.page.L_DD.startsWith(ru("Словарь корпуса/")));

        // Letters in Russian order, Ё right after Е (дом, ель, ёж/ёлка are in the corpus).
        const QByteArrayList letters = texts(client.page.LB_C);
        const int ye = int(letters.indexOf(ru("Е")));
        QVERIFY(ye >= 0);
        QCOMPARE(letters.value(ye + 1), ru("Ё"));
        QVERIFY(letters.indexOf(ru("Д")) < ye);
        QVERIFY(letters.indexOf(ru("Л")) > ye);

        // Click "Л": the pairs, "ЛЕ" selected by the chain only if first; pick it.
        const int l = int(letters.indexOf(ru("Л")));
        client.tags.clear();
        client.runChain(client.requestsOf(dictcore::LB_CClick(client.page, client.current(), l)), over(*c));
        QCOMPARE(client.tags, QByteArrayList({"DC_CC", "DC_W", "DC_S"}));
        QCOMPARE(client.current()->LetterNo, l + 1);
        const int le = int(texts(client.page.LB_CC).indexOf(ru("ЛЕ")));
        QVERIFY(le >= 0);
        client.runChain(client.requestsOf(dictcore::LB_CCClick(client.page, client.current(), le)), over(*c));
        const int lesRow = int(texts(client.page.LB_W).indexOf(ru("ЛЕС")));
        QVERIFY(lesRow >= 0);
        client.runChain(client.requestsOf(dictcore::LB_WClick(client.page, client.current(), lesRow)), over(*c));
        QVERIFY(client.messages.isEmpty());
        QCOMPARE(client.current()->text(),
                 "$(0,0," + QByteArray::number(l + 1) + ',' + QByteArray::number(le) + ",R"
                     + QByteArray::number(lesRow) + ")$");

        // The entry of "лес": uses, forms, authors, texts, examples, the synonym "бор".
        const dictcore::EntryTree &tree = client.page.TreeView1;
        QStringList shown;
        qint32 borLink = 0;
        for (const auto &n : tree.nodes) {
            shown.append(cp1251::decode(n.text));
            if (n.text == ru("бор -->"))
                borLink = n.link;
        }
        const QString all = shown.join(u'\n');
        QVERIFY2(shown.value(0) == u"лес"_qs, qPrintable(all));
        QVERIFY2(all.contains(u"Словоформы"_qs) && all.contains(u"лесу — "_qs), qPrintable(all));
        QVERIFY2(all.contains(u"Иванов — "_qs), qPrintable(all));
        QVERIFY2(all.contains(u"Иванов. Леса и поля — "_qs), qPrintable(all));
        QVERIFY2(all.contains(u"«Лес» шумел"_qs), qPrintable(all));
        QVERIFY2(borLink > 0, qPrintable(all));

        // Following the link asks in absolute mode; the chain ends at "бор".
        client.tags.clear();
        client.runChain(client.requestsOf(dictcore::followEntryLink(client.current(), 0, borLink)), over(*c));
        QCOMPARE(client.tags, QByteArrayList({"DC_CC", "DC_W", "DC_S"}));
        QVERIFY(client.messages.isEmpty());
        QCOMPARE(client.page.TreeView1.nodes.value(0).text, ru("бор"));
        QCOMPARE(client.current()->WordMode, 'R');
        QCOMPARE(texts(client.page.LB_W).value(client.current()->WordNo), ru("БОР"));
    }

    void thesaurusDictionary_chainAndReturnedRecord()
    {
        auto c = connected();
        QVERIFY(c);
        tCDictPos pos(1);
        pos.LetterNo = 0;
        pos.PairNo = 0;
        pos.WordMode = 'A';
        pos.WordNo = 1;   // бор, дом, ель, ёлка, лес
        const TaggedReply t = readTagged(ask(*c, dc("DC_C", pos)));
        QCOMPARE(t.tag, QByteArray("DC_C"));
        QVERIFY(t.hasDictPos);
        QCOMPARE(t.dict.text(), QByteArray("$(1,0,2,0,R0)$"));
        QVERIFY(!t.hasOptions);   // the client keeps its own options

        DictClient client(2);
        client.CurDict = 1;
        client.runChain({dc("DC_C", pos)}, over(*c));
        QCOMPARE(client.tags, QByteArrayList({"DC_C", "DC_CC", "DC_W", "DC_S"}));
        QVERIFY(client.messages.isEmpty());
        QCOMPARE(client.page.L_DD, ru("Тезаурус/5/8"));
        const dictcore::EntryTree &tree = client.page.TreeView1;
        QCOMPARE(tree.nodes.value(0).text, ru("дом"));
        QCOMPARE(tree.nodes.value(2).text, ru("жилище"));
        QCOMPARE(tree.nodes.value(4).text, ru("дорога"));
    }

    // A second server on a copy of the running one's cache: intact, it serves the
    // tables it maps in place; damaged past its section table (where only the full
    // check after the start reads), it never serves from it and builds the index
    // again. Either way every reply is the first server's, byte for byte.
    void warmStart_fromCacheCopy_answersAlike_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("intact") << false;
        QTest::newRow("damaged") << true;
    }

    void warmStart_fromCacheCopy_answersAlike()
    {
        QFETCH(bool, damaged);
        QTemporaryDir cacheCopy;
        const QStringList files = QDir(corpus.cacheDir()).entryList({QStringLiteral("*.idx")});
        QCOMPARE(files.size(), 1);
        const QString copy = cacheCopy.path() + QLatin1Char('/') + files[0];
        QVERIFY(QFile::copy(corpus.cacheDir() + QLatin1Char('/') + files[0], copy));
        const QDateTime copiedAt = QFileInfo(copy).lastModified();
        if (damaged) {
            QFile f(copy);
            QVERIFY(f.open(QIODevice::ReadWrite));
            const qint64 at = f.size() - 5;
            QVERIFY(f.seek(at));
            const char flipped = char(f.read(1).at(0) ^ 0x5A);
            QVERIFY(f.seek(at) && f.write(&flipped, 1) == 1);
        }

        tCConcPos list;
        list.Level = 1;
        list.CharNo[1] = 0;
        list.ValueNo[1] = -1;
        list.FirstLine = -1;
        for (auto &m : list.Move)
            m = ' ';
        OptionList o = OptionList::initial();
        o.set("SortD", "Q");
        o.set("ListPos", "TOP");
        o.set("ConcWidth", "5");
        tCConcPos lines = list;
        lines.ValueNo[1] = 0;
        lines.Move[0] = 'B';
        const QList<QByteArray> asked = {
            dc("DC_C", tCDictPos(0)), dc("DC_C", tCDictPos(1)), dc("DC_W", tCDictPos(0)), dc("DC_S", tCDictPos(0)),
            dc("DC_S", tCDictPos(1)), requests::wire("CN_W", requests::concDictParams(list, tCDictPos(0), o)),
            requests::wire("CT_N", requests::concDictParams(lines, tCDictPos(0), o))};
        auto c = connected();
        QVERIFY(c);
        QList<QByteArray> expected;
        for (const QByteArray &request : asked)
            expected.append(ask(*c, request));
        QVERIFY(expected[5].contains("$CN_W=") && expected[6].contains("$CT_N="));

        CorvusProcess second;
        QVERIFY2(second.start(serverArgs(cacheCopy.path()), serverEnv), qPrintable(second.stderrText()));
        WireClient w;
        QVERIFY(w.connectTo(second.port()));
        QVERIFY(w.nextReply().value_or(QByteArray()).startsWith("$RG="));
        QVERIFY(readTagged(ask(w, "$NM=1.4.12.0" + ru("Тестер"))).body.startsWith("DICT="));
        for (int i = 0; i < asked.size(); ++i)
            QCOMPARE(ask(w, asked[i]), expected[i]);
        if (damaged) {
            // The line comes through the server's stderr pipe, which this process reads
            // only while its event loop runs: a loaded machine can take a while.
            QTRY_VERIFY2_WITH_TIMEOUT(second.stderrText().contains(QStringLiteral("кэш индекса повреждён")),
                                      qPrintable(second.stderrText()), 30000);
        } else {
            // Served from the copy as it was: neither removed nor written again.
            QCOMPARE(QFileInfo(copy).lastModified(), copiedAt);
        }
    }

    // The cache file cut short while a server maps it (the pages the queries read
    // are gone, which raises SIGBUS): the server stays up, every request then gets
    // "ZERO" with the reason, and the log says so once.
    void cacheCutShortWhileServed_zeroRepliesNoCrash()
    {
        QTemporaryDir cacheCopy;
        const QStringList files = QDir(corpus.cacheDir()).entryList({QStringLiteral("*.idx")});
        QCOMPARE(files.size(), 1);
        const QString copy = cacheCopy.path() + QLatin1Char('/') + files[0];
        QVERIFY(QFile::copy(corpus.cacheDir() + QLatin1Char('/') + files[0], copy));
        QVERIFY(QFileInfo(copy).size() > 3 * 4096);

        CorvusProcess second;
        QVERIFY2(second.start(serverArgs(cacheCopy.path()), serverEnv), qPrintable(second.stderrText()));
        WireClient w;
        QVERIFY(w.connectTo(second.port()));
        QVERIFY(w.nextReply().value_or(QByteArray()).startsWith("$RG="));
        tCConcPos lines;
        lines.Level = 1;
        lines.CharNo[1] = 0;
        lines.ValueNo[1] = 0;
        for (auto &m : lines.Move)
            m = ' ';
        lines.Move[0] = 'B';
        const QByteArray ct = requests::wire("CT_N", requests::concDictParams(lines, tCDictPos(0), OptionList::initial()));
        QCOMPARE(readTagged(ask(w, ct)).tag, QByteArray("CT_N"));   // served from the mapping

        QVERIFY(QFile::resize(copy, 64));   // the header only: every page after the first is gone
        const QByteArray zero = "$ZERO=" + ru("Файл кэша индекса изменён во время работы сервера: ответ не может быть "
                                              "дан. Перезапустите сервер: индекс будет построен заново.");
        for (const QByteArray &request : {ct, dc("DC_S", tCDictPos(0)), QByteArray("$INFO=")})
            QCOMPARE(ask(w, request), zero);
        QCOMPARE(second.process().state(), QProcess::Running);
        QTRY_VERIFY2_WITH_TIMEOUT(second.stderrText().contains(QStringLiteral("файл кэша индекса укорочен")),
                                  qPrintable(second.stderrText()), 30000);
    }

    void unservable_getsZero_connectionStaysUsable()
    {
        auto c = connected();
        QVERIFY(c);
        for (const QByteArray &bad : {QByteArray("GET / HTTP/1.0\r\n\r\n"), QByteArray("$XYZ=1"),
                                      dc("CN_W", tCDictPos(0)), dc("DC_C", tCDictPos(9))}) {
            const TaggedReply t = readTagged(ask(*c, bad));
            QCOMPARE(t.tag, QByteArray("ZERO"));
            QVERIFY(!t.body.isEmpty());
            QCOMPARE(readTagged(ask(*c, "$INFO=")).tag, QByteArray("INFO"));
        }
        // Binary noise, then a request in the same write.
        QByteArray noise(300, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 37 + 11) & 0xFF);
        noise.replace('$', '#');
        QVERIFY(c->send(noise + "$INFO="));
        QCOMPARE(readTagged(c->nextReply().value_or(QByteArray())).tag, QByteArray("ZERO"));
        QCOMPARE(readTagged(c->nextReply().value_or(QByteArray())).tag, QByteArray("INFO"));
        QVERIFY(c->silentFor(400));
    }

    void requestSplitAcrossWrites_answeredOnce()
    {
        auto c = connected();
        QVERIFY(c);
        const QByteArray request = dc("DC_C", tCDictPos(0));
        for (const int cut : {1, 7, 11, int(request.size()) - 1}) {
            QVERIFY(c->send(request.left(cut)));
            QTest::qWait(50);
            QVERIFY(c->send(request.mid(cut)));
            const TaggedReply t = readTagged(c->nextReply().value_or(QByteArray()));
            QCOMPARE(t.tag, QByteArray("DC_C"));
            QVERIFY(c->silentFor(300));
        }
    }

    void pipelinedRequests_answeredInRequestOrder()
    {
        auto c = connected();
        QVERIFY(c);
        tCDictPos letter(0);
        letter.LetterNo = 3;
        QByteArray batch;
        QByteArrayList expected;
        // More than a connection handles at once: reading pauses and resumes.
        for (int i = 0; i < 100; ++i) {
            const QByteArray tag = QByteArrayList({"DC_S", "DC_C", "DC_W", "DC_CC"})[i % 4];
            batch += dc(tag, letter);
            expected.append(tag);
        }
        batch += "$INFO=";
        expected.append("INFO");
        QVERIFY(c->send(batch));
        for (const QByteArray &tag : expected) {
            const auto reply = c->nextReply();
            QVERIFY2(reply, qPrintable(c->error()));
            QCOMPARE(readTagged(*reply).tag, tag);
        }
    }

    void eightClientsAtOnce_eachGetsItsOwnReplies()
    {
        std::vector<std::unique_ptr<WireClient>> clients;
        for (int i = 0; i < 8; ++i) {
            clients.push_back(std::make_unique<WireClient>());
            QVERIFY(clients.back()->connectTo(corvus->port()));
        }
        // Everyone sends before anyone reads.
        for (int i = 0; i < 8; ++i) {
            QVERIFY(clients[i]->nextReply().value_or(QByteArray()).startsWith("$RG="));
            tCDictPos pos(i % 2);
            pos.LetterNo = 1 + i % 3;
            QByteArray batch;
            for (int k = 0; k < 5; ++k)
                batch += dc("DC_CC", pos) + dc("DC_S", pos);
            QVERIFY(clients[i]->send(batch));
        }
        for (int i = 0; i < 8; ++i) {
            for (int k = 0; k < 10; ++k) {
                const auto reply = clients[i]->nextReply();
                QVERIFY2(reply, qPrintable(clients[i]->error()));
                const TaggedReply t = readTagged(*reply);
                QCOMPARE(t.tag, QByteArray(k % 2 ? "DC_S" : "DC_CC"));
                QCOMPARE(t.dict.DictNo, i % 2);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestProtocolServer)
#include "tst_protocol_server.moc"
