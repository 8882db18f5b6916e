// A cache file that passed only the quick check (header, section table, sizes of
// the arrays against each other), with hostile values inside its arrays: ids and
// offsets out of range, offsets that go backwards, postings out of order. The
// service is loaded from it as a warm start loads it, without the full check, and
// asked every kind of query; each must get a framed reply, nothing may crash or
// hang. (The full check would refuse these files: here the readers alone stand.)
#include "model/ConcPos.h"
#include "model/DictPos.h"
#include "model/OptionList.h"
#include "service/ServerSetup.h"
#include "support/CorpusFixture.h"
#include "support/ServiceCall.h"
#include "wire/RequestWriter.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstring>

namespace {

QByteArray concRequest(const char *tag, int charNo, int valueNo, const QByteArray &prefix, const char *sortSeq,
                       int firstLine)
{
    tCConcPos conc;
    conc.Level = 1;
    conc.CharNo[1] = charNo;
    conc.ValueNo[1] = valueNo;
    conc.Request[1] = prefix;
    conc.FirstLine = firstLine;
    OptionList o = OptionList::initial();
    o.set("SortSeq", sortSeq);
    return requests::wire(tag, requests::concDictParams(conc, tCDictPos(-1), o));
}

// Value lists in the three orders, with and without a prefix; lines in three
// sort sequences; text pages; both dictionaries' lists and entries.
QByteArrayList everyKindOfRequest()
{
    QByteArrayList out;
    const char *orders[] = {"A", "B", "Q"};
    for (int ch = 0; ch < 12; ++ch)
        for (int k = 0; k < 3; ++k) {
            out << concRequest("CN_C", ch, 0, k == 1 ? QByteArray("\xef") : QByteArray(), orders[k], 0);
            out << concRequest("CN_W", ch, k, QByteArray(), orders[k], 2);
        }
    for (int ch = 0; ch < 12; ++ch)
        for (const char *sort : {"CLR", "RLC", "LCR"})
            for (const char *tag : {"CT_N", "CT_W"})
                out << concRequest(tag, ch, 1, QByteArray(), sort, 1);
    for (const char *tag : {"CT_T", "CT_D"})
        out << concRequest(tag, 0, 1, QByteArray(), "CLR", 0) << concRequest(tag, 1, 2, QByteArray(), "CLR", 0);
    for (int d = 0; d < 2; ++d)
        for (const char *tag : {"DC_C", "DC_CC", "DC_W", "DC_S"})
            for (const int word : {-1, 0, 3}) {
                tCDictPos pos(d);
                pos.WordNo = word;
                out << requests::wire(tag, requests::dictParams(pos, OptionList::initial()));
            }
    return out;
}

struct Section {
    uint32_t id, elemSize;
    uint64_t offset, count;
};

std::vector<Section> sectionsOf(const QByteArray &file)
{
    uint32_t n = 0;
    std::memcpy(&n, file.constData() + 12, 4);
    std::vector<Section> out(n);
    for (uint32_t i = 0; i < n; ++i) {
        const char *e = file.constData() + 64 + 24 * i;
        std::memcpy(&out[i].id, e, 4);
        std::memcpy(&out[i].elemSize, e + 4, 4);
        std::memcpy(&out[i].offset, e + 8, 8);
        std::memcpy(&out[i].count, e + 16, 8);
    }
    return out;
}

} // namespace

class TstCorpusCacheReaders : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    ServerOptions m_options;
    QString m_cacheFile;
    QByteArray m_pristine;

    // Loads the service from `file` put in the cache's place (as a warm start does,
    // with the quick check only) and asks it everything. Empty, or what went wrong.
    QString askEverything(const QByteArray &file)
    {
        QFile f(m_cacheFile);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(file) != file.size())
            return QStringLiteral("cannot write the cache");
        f.close();
        const LoadedService warm = loadService(m_options);
        if (!warm.service)
            return QStringLiteral("no service: ") + warm.error;
        for (const QByteArray &request : everyKindOfRequest()) {
            const QByteArray reply = corvustest::unframe(corvustest::handleWire(*warm.service, request));
            if (reply.isEmpty())
                return QStringLiteral("no framed reply to ") + QString::fromLatin1(request.left(40));
        }
        return QString();
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        const QString root = m_tmp.path() + QStringLiteral("/corpus");
        corpusfixture::writeUtf8(root, QStringLiteral("prose/Пушкин/Метель.txt"),
                                 "В конце 1811 года жил в своём поместье Ненарадове добрый Гаврила Гаврилович.\n\n"
                                 "Марья Гавриловна была воспитана на французских романах.\n");
        corpusfixture::writeUtf8(root, QStringLiteral("стихи/Лермонтов/Парус.txt"),
                                 "Белеет парус одинокой\nВ тумане моря голубом!..\n");
        corpusfixture::writeUtf8(root, QStringLiteral("Гоголь/Сталь.conllu"),
                                 "# newdoc id = d1\n# newdoc genre = повесть\n"
                                 "1\tСтали\tсталь\tNOUN\t_\tCase=Nom\t_\t_\t_\t_\n"
                                 "2\tстали\tстать\tVERB\t_\tTense=Past\t_\t_\t_\tSpaceAfter=No\n"
                                 "3\t.\t.\tPUNCT\t_\t_\t_\t_\t_\t_\n\n");
        corpusfixture::writeUtf8(m_tmp.path(), QStringLiteral("th.dat"),
                                 "UTF-8\nпарус|1\n(синоним)|ветрило\nморе|1\n(синоним)|пучина|океан\n");
        m_options.corpusPaths = {root};
        m_options.cacheDir = m_tmp.path() + QStringLiteral("/cache");
        m_options.thesaurusPath = m_tmp.path() + QStringLiteral("/th.dat");
        m_options.thesaurusGiven = true;
        const LoadedService cold = loadService(m_options);
        QVERIFY(cold.service);
        m_cacheFile = cold.cacheFile;
        QFile f(m_cacheFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        m_pristine = f.readAll();
        QVERIFY(sectionsOf(m_pristine).size() > 60);
    }

    // Every array of 32-bit ids, offsets, counts or runs (the index's and the
    // concordance's and dictionaries' tables alike; not the digest, whose change
    // the quick check sees), one element at its start, in
    // its middle and at its end made hostile: far out of range, one past the
    // largest sensible value, or zero (offsets then go backwards, lists out of
    // order).
    void hostileElement_everyQueryAnswered_data()
    {
        QTest::addColumn<uint32_t>("value");
        QTest::newRow("far out") << 0xFFFFFFF0u;
        QTest::newRow("just out") << 0x00010000u;
        QTest::newRow("zero") << 0u;
        QTest::newRow("all ones") << 0xFFFFFFFFu;
        // Near the sizes of this corpus's arrays (64 words, some 40 forms): one
        // past an end for some of them.
        QTest::newRow("small") << 0x41u;
        QTest::newRow("high bit") << 0x80000000u;
    }
    void hostileElement_everyQueryAnswered()
    {
        QFETCH(uint32_t, value);
        QVERIFY(askEverything(m_pristine).isEmpty());
        int tried = 0;
        for (const Section &s : sectionsOf(m_pristine)) {
            // (The 8-byte elements of the tables above the index are pairs of ids
            // and counts: their first half. Flags, kinds and the dictionaries'
            // 16-bit tables take the value's low bytes.)
            if (!(s.elemSize <= 4 || (s.elemSize == 8 && s.id >= 1000)) || s.count == 0)
                continue;
            for (const uint64_t at : {uint64_t(0), s.count / 2, s.count - 1}) {
                QByteArray bad = m_pristine;
                std::memcpy(bad.data() + s.offset + at * s.elemSize, &value, std::min<size_t>(s.elemSize, 4));
                const QString problem = askEverything(bad);
                QVERIFY2(problem.isEmpty(),
                         qPrintable(QStringLiteral("section %1, element %2: %3").arg(s.id).arg(at).arg(problem)));
                ++tried;
            }
        }
        QVERIFY(tried > 150);
    }
};

QTEST_GUILESS_MAIN(TstCorpusCacheReaders)
#include "tst_corpus_cache_readers.moc"
