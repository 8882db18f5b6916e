// Code page 1251 conversion and the byte-pair encoding of the local link.
#include "model/Cp1251.h"
#include "wire/DdeWire.h"

#include <QStringDecoder>
#include <QtTest>

namespace {

template <size_t N>
QByteArray B(const char (&s)[N])
{
    return QByteArray(s, qsizetype(N - 1));
}

QByteArray allBytes()
{
    QByteArray b(256, '\0');
    for (int i = 0; i < 256; ++i)
        b[i] = char(i);
    return b;
}

} // namespace

class TestModelEncoding : public QObject {
    Q_OBJECT
private slots:
    void cp1251_russianLettersMapToTheirBytes()
    {
        QCOMPARE(cp1251::ru("Запрос"), B("\xc7\xe0\xef\xf0\xee\xf1"));
        QCOMPARE(cp1251::ru("Ёё А я"), B("\xa8\xb8\x20\xc0\x20\xff"));
        QCOMPARE(cp1251::ru("№ €"), B("\xb9\x20\x88"));
        QCOMPARE(cp1251::decode(B("\xc4\xe0")), QString::fromUtf8("Да"));
    }

    void cp1251_unencodableCharacter_becomesOneQuestionMark()
    {
        QCOMPARE(cp1251::encode(QString::fromUtf8("a中b")), QByteArray("a?b"));
        // A character outside the basic plane is two UTF-16 units but one '?'.
        QCOMPARE(cp1251::encode(QString::fromUtf8("x\xF0\x9F\x98\x80y")), QByteArray("x?y"));
        // A lone surrogate is one '?' too.
        QString lone;
        lone.append(QChar(char16_t(0xD800)));
        QCOMPARE(cp1251::encode(lone), QByteArray("?"));
    }

    void cp1251_everyByte_survivesDecodeEncode()
    {
        const QByteArray bytes = allBytes();
        QCOMPARE(cp1251::encode(cp1251::decode(bytes)), bytes);
    }

    void cp1251_tableAgreesWithPlatformCodec()
    {
        QStringDecoder dec("windows-1251");
        if (!dec.isValid())
            QSKIP("the platform has no windows-1251 codec to compare with");
        const QByteArray bytes = allBytes();
        const QString platform = dec.decode(bytes);
        const QString ours = cp1251::decode(bytes);
        QCOMPARE(platform.size(), ours.size());
        for (int i = 0; i < 256; ++i) {
            if (i == 0x98)
                continue;   // unassigned in the code page
            QCOMPARE(ours[i].unicode(), platform[i].unicode());
        }
    }

    void ddeWire_encodesSingleBytes_data()
    {
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("dollar") << QByteArray("$") << B("\xff\x4c");   // 255, 76
        QTest::newRow("letter") << QByteArray("a") << QByteArray("aa");
        QTest::newRow("equals") << QByteArray("=") << QByteArray("==");
        QTest::newRow("space") << QByteArray(" ") << B("\xff\x48");    // 255, 72
        QTest::newRow("byte 39") << QByteArray("'") << B("\xff\x4f");
        QTest::newRow("byte 40") << QByteArray("(") << QByteArray("((");
        QTest::newRow("nul") << B("\0") << B("\xff\x28");
        QTest::newRow("byte 255") << B("\xff") << B("\xff\xff");
    }
    void ddeWire_encodesSingleBytes()
    {
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, encoded);
        QCOMPARE(ddewire::encode(plain), encoded);
        QCOMPARE(ddewire::decode(encoded), plain);
    }

    void ddeWire_equalPairBelowForty_decodesToItself()
    {
        QCOMPARE(ddewire::decode(B("\x05\x05")), B("\x05"));
        QCOMPARE(ddewire::decode(B("  ")), QByteArray(" "));
        QCOMPARE(ddewire::decode(B("\xff\x48")), QByteArray(" "));
    }

    void ddeWire_oddLength_losesFirstByte()
    {
        QCOMPARE(ddewire::decode("Xaabb"), QByteArray("ab"));
        QCOMPARE(ddewire::decode("X"), QByteArray());
        QCOMPARE(ddewire::decode(QByteArray()), QByteArray());
    }

    void ddeWire_everyByte_roundTripsAtDoubleLength()
    {
        const QByteArray bytes = allBytes();
        const QByteArray enc = ddewire::encode(bytes);
        QCOMPARE(enc.size(), 512);
        QCOMPARE(ddewire::decode(enc), bytes);
        QCOMPARE(ddewire::decode(ddewire::encode("$DC_W=New")), QByteArray("$DC_W=New"));
    }
};

QTEST_GUILESS_MAIN(TestModelEncoding)
#include "tst_model_encoding.moc"
