// The filter rows and the composed filter-lists without widgets: which rows a change
// leaves open, fixed and clickable, what goes into the levels, how many value lists
// are asked for, the distance field, dragging, and the lists' naming and choice.
#include "filters/core/FilterRows.h"
#include "model/Cp1251.h"

#include <QtTest>

using cp1251::ru;
using filtercore::FilterRows;
using filtercore::tComposed_Filters_Set;

namespace {

// The page around the rows: three characteristics in the value list (0, 1, 2), a
// selected value, and counters for what the rows ask of it.
class Env : public filtercore::FilterEnv {
public:
    tCConcPos pos;
    OptionList opts;
    int listIndex = 0;
    int lists = 0;         // value lists asked for (either way)
    int rollBacks = 0;
    bool alphabetical = true;
    bool answer = true;
    QStringList asked;
    QStringList messages;

    Env() { opts.set("Char0", "\xC8\xC9\xCA"); }
    tCConcPos *conc() override { return &pos; }
    OptionList &options() override { return opts; }
    std::optional<QByteArray> listText() override { return ru("Лемма"); }
    QByteArray value = ru("дом");
    std::optional<QByteArray> valueText() override { return value; }
    bool selectListIndex(int index) override
    {
        listIndex = index;
        return index >= 0 && index < 3;
    }
    qint32 listCount() override { return 10; }
    bool typedPrefixEmpty() override { return true; }
    bool alphabeticalOrder() override { return alphabetical; }
    void blockListTools(bool) override {}
    void refreshQuant() override {}
    void sendWordList() override { ++lists; }
    void listKindChange() override { ++lists; }
    void rollBack() override { ++rollBacks; }
    void message(const QString &text) override { messages.append(text); }
    bool askOkCancel(const QString &text) override
    {
        asked.append(text);
        return answer;
    }
};

struct Rows {
    Env env;
    tComposed_Filters_Set sets;
    FilterRows rows{env, sets};
    Rows()
    {
        rows.reset();
        rows.SetFilter(1);
    }
    // Checks rows 1..n one after the other, as the user fixes them.
    void fix(int n)
    {
        for (int r = 1; r <= n; ++r)
            rows.setChecked(r, true);
    }
    QList<int> enabledVisible() const
    {
        QList<int> out;
        for (int r = 1; r <= 5; ++r)
            if (rows.row(r).visible && rows.row(r).enabled)
                out.append(r);
        return out;
    }
};

conccore::ListRecord rec(qint32 alpha)
{
    conccore::ListRecord r;
    r.AlphaNo = alpha;
    return r;
}

} // namespace

class TestFiltersCore : public QObject {
    Q_OBJECT
private slots:
    void fixingRows_data()
    {
        QTest::addColumn<int>("fixed");
        QTest::addColumn<int>("level");
        QTest::addColumn<QList<int>>("clickable");
        QTest::addColumn<QByteArray>("marks");   // Mark[0..5]
        QTest::addColumn<int>("lists");
        QTest::newRow("row 1 opens row 2") << 1 << 2 << QList<int>{1, 2} << QByteArray("NYNNNN") << 1;
        QTest::newRow("rows 1-3 fixed, row 4 active") << 3 << 4 << QList<int>{3, 4} << QByteArray("YYYYNN") << 3;
        QTest::newRow("all five: row 5 stays the level") << 5 << 5 << QList<int>{5} << QByteArray("YYYYYN") << 4;
    }
    void fixingRows()
    {
        QFETCH(int, fixed);
        QFETCH(int, level);
        QFETCH(QList<int>, clickable);
        QFETCH(QByteArray, marks);
        QFETCH(int, lists);
        Rows t;
        t.fix(fixed);
        QCOMPARE(t.env.pos.Level, level);
        QCOMPARE(t.enabledVisible(), clickable);
        QCOMPARE(QByteArray(t.env.pos.Mark.data(), 6), marks);
        QVERIFY(t.env.pos.Request[size_t(t.env.pos.Level)].isEmpty());
        // One value list per row fixed before the last, and filtering on from the
        // first.
        QCOMPARE(t.env.lists, lists);
        QVERIFY(t.rows.state().perm);
        QCOMPARE(t.env.opts.value("SetFilter"), QByteArray("True"));
        for (int r = fixed + 2; r <= 5; ++r)
            QVERIFY(!t.rows.row(r).visible);
    }

    void distanceRefusesFixingRowTwo_data()
    {
        QTest::addColumn<QByteArray>("distance");
        QTest::addColumn<bool>("fixedAfter");
        QTest::newRow("5 refused") << QByteArray("5") << false;
        QTest::newRow("0 accepted") << QByteArray("0") << true;
    }
    void distanceRefusesFixingRowTwo()
    {
        QFETCH(QByteArray, distance);
        QFETCH(bool, fixedAfter);
        Rows t;
        t.fix(1);
        t.rows.setContext(true);
        t.rows.setDistanceText(2, distance);
        const int before = t.env.lists;
        t.rows.setChecked(2, true);
        QCOMPARE(t.rows.row(2).checked, fixedAfter);
        // A refused check asks for nothing: the level stays where it was.
        QCOMPARE(t.env.pos.Level, t.rows.row(2).checked ? 3 : 2);
        QCOMPARE(t.env.lists, before + (t.rows.row(2).checked ? 1 : 0));
    }

    void distanceField_data()
    {
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<QByteArray>("kept");
        QTest::addColumn<int>("distance");
        QTest::addColumn<QByteArray>("sortSeq");
        QTest::newRow("letter removed") << QByteArray("3x") << QByteArray("3") << 3 << QByteArray("CRL");
        QTest::newRow("minus") << QByteArray("-3") << QByteArray("-3") << -3 << QByteArray("CLR");
        QTest::newRow("plus") << QByteArray("+3") << QByteArray("+3") << 3 << QByteArray("CRL");
        QTest::newRow("zero") << QByteArray("0") << QByteArray("0") << 0 << QByteArray("CLR");
        QTest::newRow("sign alone waits") << QByteArray("-") << QByteArray("-") << 7 << QByteArray("CRL");
    }
    void distanceField()
    {
        QFETCH(QByteArray, typed);
        QFETCH(QByteArray, kept);
        QFETCH(int, distance);
        QFETCH(QByteArray, sortSeq);
        Rows t;
        t.fix(1);
        t.rows.setContext(true);
        t.rows.setDistanceText(2, "7");
        t.rows.setDistanceText(2, typed);
        QCOMPARE(t.rows.state().field(2).text, kept);
        QCOMPARE(t.env.pos.Distance[2], distance);
        QCOMPARE(t.env.opts.value("SortSeq"), sortSeq);
        // An emptied field reads "0" on leaving it; Enter asks for one list.
        t.rows.setDistanceText(2, "");
        t.rows.distanceExit(2);
        QCOMPARE(t.rows.state().field(2).text, QByteArray("0"));
        const int before = t.env.lists;
        t.rows.distanceEnter();
        QCOMPARE(t.env.lists, before + 1);
    }

    // However co-occurrence at a distance ends, the lines sort by the centre word
    // first again.
    void coOccurrenceEnded_sortsByTheCentreAgain_data()
    {
        QTest::addColumn<bool>("byRowOne");
        QTest::newRow("co-occurrence unticked") << false;
        QTest::newRow("row 1 unfixed") << true;
    }
    void coOccurrenceEnded_sortsByTheCentreAgain()
    {
        QFETCH(bool, byRowOne);
        Rows t;
        t.fix(1);
        t.rows.setContext(true);
        t.rows.setDistanceText(2, "3");
        QCOMPARE(t.env.opts.value("SortSeq"), QByteArray("CRL"));
        if (byRowOne)
            t.rows.setChecked(1, false);
        else
            t.rows.setContext(false);
        QVERIFY(!t.rows.state().field(2).visible);
        QCOMPARE(t.env.pos.Distance[2], 0);
        QCOMPARE(t.env.opts.value("SortSeq"), QByteArray("CLR"));
        if (byRowOne)
            return;
        // Ticked again: the distance still in the field is in force and sorts again.
        t.rows.setContext(true);
        QCOMPARE(t.env.pos.Distance[2], 3);
        QCOMPARE(t.env.opts.value("SortSeq"), QByteArray("CRL"));
    }

    void coOccurrence_onlyInAlphabeticalOrder()
    {
        Rows t;
        QVERIFY(!t.env.opts.has("SortSeq"));   // the set-up leaves the order alone
        t.env.opts.set("SortSeq", "LRC");
        t.env.alphabetical = false;
        t.rows.setContext(true);
        QVERIFY(!t.rows.state().context);
        QCOMPARE(t.env.messages, QStringList{QStringLiteral("Фильтры работают только при алфавитной сортировке словаря")});
        // Co-occurrence never began: the order the user chose stays.
        QCOMPARE(t.env.opts.value("SortSeq"), QByteArray("LRC"));
    }

    void drop_swapsLevelsAndCaptions_refusedWithCoOccurrence()
    {
        Rows t;
        t.fix(1);
        t.env.pos.CharNo[1] = 2;
        t.env.pos.CharNo[2] = 1;
        t.env.pos.ValueNo[1] = 4;
        t.env.value = ru("бор");
        t.rows.SetFilter(2);
        const QByteArray first = t.rows.row(1).caption;
        t.rows.setContext(true);
        QVERIFY(!t.rows.LD1DragOver());
        t.rows.LD2EndDrag(1, 2);
        QCOMPARE(t.env.pos.CharNo[1], 2);
        t.rows.setContext(false);
        const int before = t.env.lists;
        t.rows.LD2EndDrag(1, 2);
        QCOMPARE(t.env.pos.CharNo[1], 1);
        QCOMPARE(t.env.pos.CharNo[2], 2);
        QCOMPARE(t.env.pos.ValueNo[2], 4);
        QCOMPARE(t.rows.row(2).caption, first);
        // The check states stay in place: row 1 fixed, row 2 the level, one list.
        QCOMPARE(QByteArray(t.env.pos.Mark.data() + 1, 2), QByteArray("YN"));
        QCOMPARE(t.env.listIndex, 2);
        QCOMPARE(t.env.lists, before + 1);
    }

    void composedFilterOnRow_questionCancelKeepsRow()
    {
        Rows t;
        QVERIFY(!t.rows.hoverRow(1));   // nothing named yet
        t.sets.SelectFilterForCharacteristic(ru("Лемма"), 1);
        t.sets.AddValue(ru("дом"), rec(7), 1, ru("Лемма"));
        t.sets.AddValue(ru("бор"), rec(3), 1, ru("Лемма"));
        QCOMPARE(*t.rows.hoverRow(1), QStringLiteral("Включить составной фильтр"));
        QVERIFY(!t.rows.hoverRow(5));
        t.rows.attachOrDetach({});
        QCOMPARE(t.rows.row(1).caption, ru("Лемма = бор,дом"));
        QVERIFY(t.rows.row(1).checked);
        QCOMPARE(t.env.pos.Request[1], QByteArray("**3,7"));
        QCOMPARE(t.env.pos.Level, 2);
        // Detaching asks; Cancel leaves the row fixed with its list.
        QCOMPARE(*t.rows.hoverRow(1), QStringLiteral("Отключить составной фильтр"));
        t.env.answer = false;
        const int before = t.env.lists;
        t.rows.attachOrDetach({});
        QCOMPARE(t.env.asked, QStringList{QStringLiteral("Выключить составной фильтр ?")});
        QVERIFY(t.rows.row(1).checked);
        QCOMPARE(t.rows.row(1).tag, 1);
        QCOMPARE(t.env.pos.Level, 2);
        QCOMPARE(t.env.lists, before);
        // OK: the row is the level again, with no "**" left in its typed text.
        t.env.answer = true;
        t.rows.attachOrDetach({});
        QVERIFY(!t.rows.row(1).checked);
        QCOMPARE(t.rows.row(1).tag, 0);
        QCOMPARE(t.env.pos.Level, 1);
        QVERIFY(t.env.pos.Request[1].isEmpty());
    }

    void syncAndCaptions_followTheServer()
    {
        Rows t;
        t.env.pos.Mark = {'Y', 'Y', 'Y', 'N', 'N', 'N'};
        t.env.pos.Level = 3;
        t.env.pos.Distance[2] = -2;
        t.rows.SyncFilterRows();
        QVERIFY(t.rows.row(1).checked && t.rows.row(2).checked && !t.rows.row(3).checked);
        QVERIFY(t.rows.row(3).radio && !t.rows.row(1).radio);
        QCOMPARE(t.rows.state().field(2).text, QByteArray("-2"));
        QVERIFY(t.rows.state().perm && !t.rows.state().permEnabled);
        QCOMPARE(t.env.lists, 1);   // filtering switched on asks once
        t.rows.SyncFilterRows();
        QCOMPARE(t.env.lists, 1);
        // The server's value names replace the captions' values.
        t.env.pos.Request[1] = ru("Пушкин");
        t.rows.FillRowCaptions();
        QCOMPARE(t.rows.row(1).caption, ru("Лемма = Пушкин"));
        QVERIFY(t.env.pos.Request[1].isEmpty());
    }

    void composedSets_data()
    {
        QTest::addColumn<int>("charNo");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("lines");
        QTest::newRow("its own list") << 1 << 0 << 2;
        QTest::newRow("first unnamed") << 2 << 1 << 2;
        QTest::newRow("a new unnamed one") << 0 << 2 << 3;
    }
    void composedSets()
    {
        QFETCH(int, charNo);
        QFETCH(int, selected);
        QFETCH(int, lines);
        tComposed_Filters_Set s;
        s.SelectFilterForCharacteristic(ru("Лемма"), 1);
        QCOMPARE(s.filters.size(), 1);
        QVERIFY(s.AddValue(ru("дом"), rec(7), 1, ru("Лемма")));
        QVERIFY(s.AddValue(ru("дом"), rec(7), 1, ru("Лемма")));
        QCOMPARE(s.filters[0].line, ru("СостФильтр0 - Лемма"));
        QCOMPARE(s.currentValues().size(), 1);
        s.filters.append(filtercore::ComposedFilter());   // an unnamed one after it
        if (charNo == 0) {
            s.filters[1].charObject = 3;
            s.filters[1].line = "x";
        }
        s.SelectFilterForCharacteristic(ru("X"), charNo);
        QCOMPARE(s.selected, selected);
        QCOMPARE(s.filters.size(), lines);
    }

    void composedClear_lastSetMakesAFreshOne()
    {
        tComposed_Filters_Set s;
        s.SelectFilterForCharacteristic(ru("Лемма"), 1);
        s.AddValue(ru("дом"), rec(7), 1, ru("Лемма"));
        s.AddValue(ru("бор"), rec(3), 1, ru("Лемма"));
        QCOMPARE(s.requestText(0), QByteArray("**3,7"));
        QVERIFY(s.DeleteSelectedFilter());
        QCOMPARE(s.filters.size(), 1);
        QVERIFY(!s.filters[0].named() && s.currentValues().isEmpty());
        // Numbers are never given twice.
        s.AddValue(ru("лес"), rec(1), 1, ru("Лемма"));
        QCOMPARE(s.filters[0].line, ru("СостФильтр1 - Лемма"));
    }
};

QTEST_GUILESS_MAIN(TestFiltersCore)
#include "tst_filters_core.moc"
