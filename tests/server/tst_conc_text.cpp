// Text pages of the concordance: "CT_W" read by the text view's rules (the page
// around the current occurrence, word numbers, the current word 0, rows started by
// grave accents, empty lines between paragraphs, the title, the dictionary links,
// paging by Move / "TextPos", the buffer variant) and "CT_T" read by the full-text
// window's rules (lines per "LBC_X_Max", paging kept in "LBC_T_Beg"/"LBC_T_End").
#include "dictionary/core/DictBrowser.h"
#include "support/ConcViewsFixture.h"
#include "text/core/TextReplies.h"

#include <QStandardPaths>
#include <QTest>

using namespace corvus;
using namespace corvus::conc;
using concfixture::Read;
using concfixture::ru;
using concfixture::ViewsServer;

class TstConcText : public QObject {
    Q_OBJECT
private:
    ViewsServer m_server;

    // The n-th (0-based) occurrence of a form in the corpus.
    uint32_t occurrence(const char *form, size_t n) const
    {
        return m_server.corpus->forms().postings(m_server.formId(form))[n];
    }
    // A position on the value of a form whose current line is a given token, as the
    // value list leaves it after a word clicked in the text view.
    tCConcPos at(const char *form, uint32_t token, const OptionList &o) const
    {
        tCConcPos c = ViewsServer::position(kCharForm, m_server.formId(form));
        if (!m_server.lines->pointAtToken(c, o, token))
            QTest::qFail("not an occurrence", __FILE__, __LINE__);
        return c;
    }
    static OptionList textOptions(int rows, const char *textPos = nullptr)
    {
        OptionList o = ViewsServer::options(5, 2, "CLR");
        o.set("LBC_T_Max", QByteArray::number(rows));
        o.set("LBC_X_Max", QByteArray::number(rows));
        if (textPos)
            o.set("TextPos", textPos);
        return o;
    }
    // The rows of a page as the text view lays them out.
    static QList<QByteArray> textRows(const QByteArray &body) { return textcore::textRows(textcore::parseTextPage(body).words); }
    static QByteArray paragraph(int n) { return ru("Абзац ") + QByteArray::number(n) + ru(": кот пришёл домой."); }
    // The token number a label carries: its word's token + 1.
    static int number(const textcore::TextPageReply &page, const QByteArray &text)
    {
        for (const auto &w : page.words)
            if (w.text.trimmed() == text)
                return w.number;
        return -99;
    }

    // The click on a page's first or last word label, as the text view's keys do it:
    // the word becomes the current line of the list of its value.
    Read pageFrom(const textcore::TextPageReply &page, bool last, char letter, int rows)
    {
        const textcore::TextWord &w = last ? page.words.last() : page.words.first();
        const uint32_t token = uint32_t(w.number - 1);
        QByteArray form = QByteArray::fromStdString(std::string(m_server.corpus->forms().text(m_server.corpus->formOf(token))));
        OptionList o = textOptions(rows, QByteArray(1, letter).constData());
        tCConcPos c = ViewsServer::position(kCharForm, m_server.corpus->formOf(token));
        if (!m_server.lines->pointAtToken(c, o, token))
            QTest::qFail("the clicked word is no occurrence of its own value", __FILE__, __LINE__);
        c.Move[0] = letter;
        return m_server.request("CT_W", c, o);
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_server.start());
    }

    void wordPage_aroundOccurrence_numbersTitleLinks()
    {
        const OptionList o = textOptions(6);
        const uint32_t cat = occurrence("кот", 20);   // Абзац 20 (Абзац 5 has two)
        const tCConcPos c = at("кот", cat, o);
        const Read r = m_server.request("CT_W", c, o);
        QCOMPARE(r.tag, QByteArray("CT_W"));
        const textcore::TextPageReply page = textcore::parseTextPage(r.body);
        QCOMPARE(textcore::textRows(page.words),
                 QList<QByteArray>({paragraph(18), paragraph(19), paragraph(20), paragraph(21), paragraph(22), paragraph(23)}));
        QCOMPARE(page.title, ru("Ветров. Повесть"));
        QCOMPARE(page.number, QByteArray::number(c.CurLine));
        // The current occurrence is 0, every other word its token + 1.
        int zeros = 0;
        for (const auto &w : page.words) {
            if (w.number == 0) {
                ++zeros;
                QCOMPARE(w.text.trimmed(), ru("кот"));
            }
        }
        QCOMPARE(zeros, 1);
        QCOMPARE(number(page, ru("20:")), int(cat) - 1);   // "20" two tokens before: numbered token + 1
        // The links of the current word: the corpus dictionary's headword "кот".
        const auto links = dictcore::readDictLinks(page.links);
        QCOMPARE(links.size(), 1);
        QCOMPARE(links[0].dictNo, 0);
        QCOMPARE(m_server.service->dictionaries()[0]->dictionary().index().word(links[0].wordNo - 1),
                 QStringLiteral("кот"));
        // The position comes back with the same current line; "TextPos" is used up.
        QCOMPARE(r.conc.CurLine, c.CurLine);
        QCOMPARE(r.conc.Found[0], c.Found[0]);
        QVERIFY(!r.options.has("TextPos"));
    }

    void wordPage_pagingByLetters()
    {
        const OptionList o = textOptions(6);
        const Read first = m_server.request("CT_W", at("кот", occurrence("кот", 20), o), o);
        const auto page = textcore::parseTextPage(first.body);

        // PgDn: the last word of the page becomes current, the next page starts with its line.
        Read r = pageFrom(page, true, '+', 6);
        auto rows = textRows(r.body);
        QCOMPARE(rows.first(), paragraph(23));
        QCOMPARE(rows.size(), 6);
        QCOMPARE(textcore::parseTextPage(r.body).words.last().text.trimmed(), ru("домой."));

        // PgUp: the first word becomes current, the page ends with its line.
        r = pageFrom(page, false, '-', 6);
        rows = textRows(r.body);
        QCOMPARE(rows.last(), paragraph(18));
        QCOMPARE(rows.first(), paragraph(13));

        // Home and End: the text's first and last pages; empty lines between the
        // last paragraphs count as rows.
        r = pageFrom(page, false, 'B', 6);
        rows = textRows(r.body);
        QCOMPARE(rows.first(), paragraph(1));
        r = pageFrom(page, true, 'E', 6);
        rows = textRows(r.body);
        QCOMPARE(rows, QList<QByteArray>({paragraph(38), QByteArray(), paragraph(39), QByteArray(), paragraph(40)}));
        // The text's last word numbered, the title after it.
        QCOMPARE(textcore::parseTextPage(r.body).title, ru("Ветров. Повесть"));
    }

    void wordPage_letterFromTextPosOption()
    {
        OptionList o = textOptions(4, "B");
        tCConcPos c = at("кот", occurrence("кот", 20), o);
        c.Move[0] = ' ';
        const Read r = m_server.request("CT_W", c, o);
        QCOMPARE(textRows(r.body).first(), paragraph(1));
    }

    void wordPage_verseLinesStartWithGraveAccent()
    {
        const OptionList o = textOptions(4);
        const uint32_t home = occurrence("дом", 4);   // "Вот [дом] родной,"
        const Read r = m_server.request("CT_W", at("дом", home, o), o);
        const auto page = textcore::parseTextPage(r.body);
        QCOMPARE(textcore::textRows(page.words),
                 QList<QByteArray>({ru("но дом хорош."), ru("Вот дом родной,"), ru("и дом большой."), ru("За домом лес,")}));
        QCOMPARE(page.words[0].text, ru("но"));          // the page's first row needs no accent
        QCOMPARE(page.words[3].text, ru("`Вот"));
        QCOMPARE(page.title, ru("Борин. Песня"));
    }

    void wordPage_wrappedParagraphIsOneRowAndFillsThree()
    {
        const OptionList o = textOptions(6);
        const Read r = m_server.request("CT_W", at("кот", occurrence("кот", 5), o), o);   // "а [кот] спит"
        const auto rows = textRows(r.body);
        // The long paragraph wraps into three display lines ("а кот" on the second),
        // which take three of the six rows; the client shows it as one flowing row.
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0], paragraph(4));
        QVERIFY(rows[1].startsWith(paragraph(5) + ru(" Здесь длинный")));
        QVERIFY(rows[1].endsWith(ru("а кот спит.")));
        QCOMPARE(rows[2], paragraph(6));
        QCOMPARE(rows[3], paragraph(7));
    }

    void wordPage_forTheBuffer_keepsPrintText()
    {
        OptionList o = textOptions(3);
        o.set("PrintText", "1F");
        const Read r = m_server.request("CT_W", at("кот", occurrence("кот", 20), o), o);
        QCOMPARE(r.options.value("PrintText"), QByteArray("1F"));
        QCOMPARE(textcore::parseTextPage(r.body).words.size(), 15);   // three paragraphs of five labels
    }

    void plainText_pagesAndEnds()
    {
        OptionList o = textOptions(5);
        o.set("LBC_T_End", "-1");
        const tCConcPos c = at("кот", occurrence("кот", 20), o);
        Read r = m_server.request("CT_T", c, o);
        QCOMPARE(r.tag, QByteArray("CT_T"));
        auto text = textcore::parseFullText(r.body);
        QCOMPARE(text.lines, QList<QByteArray>({paragraph(19), paragraph(20), paragraph(21), paragraph(22), paragraph(23)}));
        QCOMPARE(text.title, ru("Ветров. Повесть"));
        // "кот" of paragraph 20: second row, after "Абзац 20: ".
        QCOMPARE(r.options.value("TextMark"), QByteArray("1:10:3"));
        const QByteArray end = r.options.value("LBC_T_End");
        QVERIFY(end.toLongLong() > 0);

        OptionList next = r.options;
        next.set("TextPos", "+");
        r = m_server.request("CT_T", r.conc, next);
        text = textcore::parseFullText(r.body);
        QCOMPARE(text.lines.first(), paragraph(24));
        QCOMPARE(r.conc.CurLine, c.CurLine);   // the current occurrence stays
        QVERIFY(!r.options.has("TextMark"));   // and is not on this page

        next = r.options;
        next.set("TextPos", "-");
        r = m_server.request("CT_T", r.conc, next);
        QCOMPARE(textcore::parseFullText(r.body).lines.first(), paragraph(19));
        QCOMPARE(r.options.value("TextMark"), QByteArray("1:10:3"));

        next = r.options;
        next.set("TextPos", "E");
        r = m_server.request("CT_T", r.conc, next);
        text = textcore::parseFullText(r.body);
        QCOMPARE(text.lines, QList<QByteArray>({paragraph(38), " ", paragraph(39), " ", paragraph(40)}));
        // "+" on the last page stays on it.
        next = r.options;
        next.set("TextPos", "+");
        r = m_server.request("CT_T", r.conc, next);
        QCOMPARE(textcore::parseFullText(r.body).lines.last(), paragraph(40));

        next = r.options;
        next.set("TextPos", "B");
        r = m_server.request("CT_T", r.conc, next);
        QCOMPARE(textcore::parseFullText(r.body).lines.first(), paragraph(1));
        // "-" on the first page stays on it.
        next = r.options;
        next.set("TextPos", "-");
        r = m_server.request("CT_T", r.conc, next);
        QCOMPARE(textcore::parseFullText(r.body).lines.first(), paragraph(1));
        QVERIFY(!r.options.has("TextPos"));
    }

    void plainText_markCountsTheBlankRows()
    {
        OptionList o = textOptions(5, "E");
        const Read r = m_server.request("CT_T", at("кот", occurrence("кот", 39), o), o);
        QCOMPARE(textcore::parseFullText(r.body).lines,
                 QList<QByteArray>({paragraph(38), " ", paragraph(39), " ", paragraph(40)}));
        QCOMPARE(r.options.value("TextMark"), QByteArray("2:10:3"));
    }

    void plainText_staleOrForeignPageStartsAtOccurrence()
    {
        OptionList o = textOptions(3);
        o.set("LBC_T_Beg", "0");          // a page of another text
        o.set("LBC_T_End", "4");
        o.set("TextPos", "+");
        const Read r = m_server.request("CT_T", at("кот", occurrence("кот", 20), o), o);
        const auto text = textcore::parseFullText(r.body);
        QCOMPARE(text.lines, QList<QByteArray>({paragraph(19), paragraph(20), paragraph(21)}));
        OptionList bad = o;
        bad.set("LBC_T_End", "garbage");
        const Read g = m_server.request("CT_T", at("кот", occurrence("кот", 20), bad), bad);
        QCOMPARE(textcore::parseFullText(g.body).lines.size(), 3);
    }

    void refusals_zeroWithReason()
    {
        QVERIFY(m_server.send("$CT_W=New").contains("$ZERO="));
        QVERIFY(m_server.send("$CT_T=New").contains("$ZERO="));
        tCConcPos c = ViewsServer::position(kCharForm, m_server.formId("кот"));
        c.Mark[2] = 'Y';
        c.CharNo[2] = kCharAuthor;
        c.ValueNo[2] = qint32(m_server.value(kCharAuthor, "Аверин"));
        QCOMPARE(m_server.request("CT_W", c, textOptions(3)).tag, QByteArray("ZERO"));
        QCOMPARE(m_server.request("CT_T", c, textOptions(3)).tag, QByteArray("ZERO"));
    }
};

QTEST_GUILESS_MAIN(TstConcText)
#include "tst_conc_text.moc"
