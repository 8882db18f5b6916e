// Assembling replies from socket chunks: length headers, split and joined replies,
// hostile headers, and the header removal used for whole local-link messages.
#include "wire/ReplyAssembler.h"

#include <QtTest/QtTest>

using Items = QList<ReplyAssembler::Item>;

class TestNetAssembler : public QObject {
    Q_OBJECT

    static QByteArray withHeader(const QByteArray &reply)
    {
        return "##" + QByteArray::number(reply.size()) + "###" + reply;
    }

private slots:
    void headerAnnouncingWholeReply_isCompleteAtOnce()
    {
        ReplyAssembler a;
        const Items items = a.feed("##5###$NM=x");
        QCOMPARE(items.size(), 1);
        QVERIFY(items[0].ok);
        QCOMPARE(items[0].reply, QByteArray("$NM=x"));
        QVERIFY(!a.isIncomplete());
    }

    void headerAnnouncingMore_waitsAndReportsProgress()
    {
        ReplyAssembler a;
        QVERIFY(a.feed("##10###$NM=x").isEmpty());
        QVERIFY(a.isIncomplete());
        QCOMPARE(a.expected(), 10);
        QCOMPARE(a.received(), 5);
        QCOMPARE(a.progressPercent(), 50);
        const Items items = a.feed("yzuvw");
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].reply, QByteArray("$NM=xyzuvw"));
        QVERIFY(!a.isIncomplete());
        QCOMPARE(a.progressPercent(), 0);
    }

    void replySplitOverThreeChunks_headerItselfSplit_assemblesOnce()
    {
        const QByteArray whole = withHeader("$DC_S=" + QByteArray(300, 'a') + "end");
        ReplyAssembler a;
        QVERIFY(a.feed(whole.left(3)).isEmpty());      // "##3": the header is not complete yet
        QVERIFY(a.isIncomplete());
        QVERIFY(a.feed(whole.mid(3, 100)).isEmpty());
        const Items items = a.feed(whole.mid(103));
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].reply, "$DC_S=" + QByteArray(300, 'a') + "end");
    }

    void twoHeaderedRepliesInOneChunk_bothDeliveredInOrder()
    {
        ReplyAssembler a;
        const Items items = a.feed(withHeader("$DC_C=ab") + withHeader("$DC_W=cd"));
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0].reply, QByteArray("$DC_C=ab"));
        QCOMPARE(items[1].reply, QByteArray("$DC_W=cd"));
    }

    void bytesBeyondAnnouncedLength_startNextReply()
    {
        ReplyAssembler a;
        const QByteArray second = withHeader("$CN_W=second");
        Items items = a.feed(withHeader("$CN_C=first") + second.left(6));
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].reply, QByteArray("$CN_C=first"));
        QVERIFY(a.isIncomplete());
        items = a.feed(second.mid(6));
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].reply, QByteArray("$CN_W=second"));
        // Header-less bytes after a complete reply are the rest of that chunk.
        items = a.feed(withHeader("$RG=") + "$INFO=tail");
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[1].reply, QByteArray("$INFO=tail"));
    }

    void oversizedLength_droppedWithErrorAndResynchronised()
    {
        // The refused reply's bytes are thrown away exactly; what follows them is read.
        ReplyAssembler a;
        const QByteArray cap = QByteArray::number(ReplyAssembler::MaxReplyLength);
        const QByteArray above = QByteArray::number(ReplyAssembler::MaxReplyLength + 1);
        Items items = a.feed("##" + above + "###$NM=x");
        QCOMPARE(items.size(), 1);
        QVERIFY(!items[0].ok);
        QVERIFY(!items[0].lost);
        QVERIFY(items[0].error.contains(QStringLiteral("отброшен")));
        QVERIFY(items[0].error.contains(QString::fromLatin1(above)));
        QVERIFY(a.isIncomplete());
        QCOMPARE(a.skipping(), ReplyAssembler::MaxReplyLength + 1 - 5);
        a.reset();
        // The exact cap is still allowed.
        QVERIFY(a.feed("##" + cap + "###$NM=").isEmpty());
        QCOMPARE(a.expected(), ReplyAssembler::MaxReplyLength);
        a.reset();
        // A never-ending run of digits is not waited for, and nothing after it can be
        // told apart: the stream is given up until reset.
        items = a.feed("##99999999999999999999");
        QCOMPARE(items.size(), 1);
        QVERIFY(!items[0].ok);
        QVERIFY(items[0].lost);
        QVERIFY(a.isLost());
        QVERIFY(a.feed(withHeader("$NM=ok")).isEmpty());
        a.reset();
        items = a.feed(withHeader("$NM=ok"));
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].reply, QByteArray("$NM=ok"));
    }

    void nonNumericLength_droppedWithErrorAndNextReplyWorks()
    {
        ReplyAssembler a;
        for (const QByteArray &bad : {QByteArray("##1x###$NM=x"), QByteArray("##-5###$NM=x"),
                                      QByteArray("## 5###$NM=x"), QByteArray("##12345678901###$NM=x")}) {
            Items items = a.feed(bad);
            QCOMPARE(items.size(), 1);
            QVERIFY2(!items[0].ok, bad.constData());
            QVERIFY2(items[0].lost, bad.constData());
            QVERIFY(!items[0].error.isEmpty());
            // Where the next reply begins is unknown: nothing is read as a reply.
            QVERIFY(a.feed("##5###$NM=y").isEmpty());
            a.reset();
        }
        const Items items = a.feed(withHeader("$NM=x"));
        QCOMPARE(items.size(), 1);
        QVERIFY(items[0].ok);
    }

    // A refused reply (cap 8) whose bytes hold reply text, then a normal reply, cut
    // into two reads at every place: the refused bytes never come out, the normal
    // reply comes out once, whole.
    void refusedReply_skippedExactlyWhereverTheReadsSplit()
    {
        const QByteArray refused = "##24###$CT_D=y$(N0\x04$(1,2,3,4\x04)$";
        QCOMPARE(refused.size(), 7 + 24);
        const QByteArray stream = refused + "##6###$NM=ok" + "##0###";
        for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
            ReplyAssembler a(8);
            Items items = a.feed(stream.left(cut));
            items += a.feed(stream.mid(cut));
            QCOMPARE(items.size(), 3);
            QVERIFY(!items[0].ok);
            QVERIFY(!items[0].lost);
            QCOMPARE(items[0].error, QStringLiteral("Ответ сервера отброшен: объявленная длина 24 байт больше допустимой (8 байт)"));
            QVERIFY(items[1].ok && items[1].counted);
            QCOMPARE(items[1].reply, QByteArray("$NM=ok"));
            QVERIFY(items[2].ok && items[2].counted);
            QCOMPARE(items[2].reply, QByteArray());
            QVERIFY2(!a.isIncomplete(), QByteArray::number(cut).constData());
        }
    }

    // The same stream fed a byte at a time: the skip goes on across reads.
    void refusedReply_skippedAcrossOneByteReads()
    {
        const QByteArray stream = "##10###$CT_D=0123##4###$RG=";
        ReplyAssembler a(4);
        Items items;
        for (qsizetype i = 0; i < stream.size(); ++i) {
            items += a.feed(stream.mid(i, 1));
            // The header is bytes 0..6, the refused body bytes 7..16.
            if (i >= 6 && i <= 16)
                QCOMPARE(a.skipping(), qint64(16 - i));
        }
        QCOMPARE(items.size(), 2);
        QVERIFY(!items[0].ok);
        QCOMPARE(items[1].reply, QByteArray("$RG="));
    }

    // A counted reply's body is handed out as the array it was gathered in.
    void largeCountedReply_assembledIntoOneArrayOfItsSize()
    {
        const qsizetype size = 3 * 1024 * 1024;
        ReplyAssembler a;
        QVERIFY(a.feed("##" + QByteArray::number(size) + "###").isEmpty());
        const QByteArray piece(64 * 1024, 'v');
        Items items;
        for (qsizetype sent = 0; sent < size; sent += piece.size())
            items += a.feed(piece);
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].reply.size(), size);
        QVERIFY(items[0].reply.capacity() <= size + 64);
        QCOMPARE(items[0].reply.count('v'), size);
    }

    void headerlessChunk_isOneWholeReply()
    {
        ReplyAssembler a;
        Items items = a.feed("$RG=");
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].reply, QByteArray("$RG="));
        // "###" at the very start is no header; the text is the reply as it came.
        items = a.feed("###5###$NM=x");
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].reply, QByteArray("###5###$NM=x"));
        // "##" followed by text that cannot become a header.
        items = a.feed("##ab$NM=x");
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].reply, QByteArray("##ab$NM=x"));
        QVERIFY(!a.isIncomplete());
    }

    void zeroLengthAndEmptyChunks_noLoopNoPhantomReplies()
    {
        ReplyAssembler a;
        QVERIFY(a.feed(QByteArray()).isEmpty());
        const Items items = a.feed("##0###");
        QCOMPARE(items.size(), 1);
        QVERIFY(items[0].ok);
        QVERIFY(items[0].reply.isEmpty());
        QVERIFY(!a.isIncomplete());
    }

    void stripLengthHeader_wholeTexts()
    {
        auto s = ReplyAssembler::stripLengthHeader("##5###$NM=x");
        QVERIFY(s.ok);
        QCOMPARE(s.text, QByteArray("$NM=x"));
        // Trailing spaces removed after the header was written: what is there counts.
        s = ReplyAssembler::stripLengthHeader("##8###$NM=x");
        QCOMPARE(s.text, QByteArray("$NM=x"));
        s = ReplyAssembler::stripLengthHeader("##3###$NM=x");
        QCOMPARE(s.text, QByteArray("$NM"));
        s = ReplyAssembler::stripLengthHeader("Server is Ready");
        QCOMPARE(s.text, QByteArray("Server is Ready"));
        s = ReplyAssembler::stripLengthHeader("##12");   // no "###": no header
        QVERIFY(s.ok);
        QCOMPARE(s.text, QByteArray("##12"));
        s = ReplyAssembler::stripLengthHeader("##x###$NM=x");
        QVERIFY(!s.ok);
        s = ReplyAssembler::stripLengthHeader("##999999999###$NM=x");
        QVERIFY(!s.ok);
        s = ReplyAssembler::stripLengthHeader("##9###$NM=xyzuv", 8);
        QVERIFY(!s.ok);
        QVERIFY(s.error.contains(QStringLiteral("(8 байт)")));
    }
};

QTEST_APPLESS_MAIN(TestNetAssembler)
#include "tst_net_assembler.moc"
