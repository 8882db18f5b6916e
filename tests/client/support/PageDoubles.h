#pragma once
// Recording stand-ins for the pages beside a panel under test: each counts what is
// asked of it and answers from its fields, so a test of one panel sees exactly
// which named operations of its neighbours it used.
#include "concordance/api/ConcordanceView.h"
#include "dictionary/api/DictionaryLinks.h"
#include "dictionary/api/UsageSubPage.h"
#include "filters/api/FilterRowsView.h"
#include "text/api/TextSubPage.h"

#include <QByteArrayList>
#include <QStringList>

class ConcordanceDouble : public ConcordanceView {
public:
    void requestList() override { ++listRequests; }
    void clickSelectedValue() override { ++valueClicks; }
    void activateWordList() override { zones.append(QStringLiteral("list")); }
    void activateLowerZone() override { zones.append(QStringLiteral("lower")); }
    // The text view is the active zone: it is highlighted and has the keyboard.
    void activateText() override
    {
        zones.append(QStringLiteral("text"));
        if (text) {
            text->setZoneHighlight(true);
            text->focusText();
        }
    }
    void activateZone() override { zones.append(QStringLiteral("zone")); }
    textcore::SubPage subPage() const override { return shown; }
    QByteArray selectedTextName() const override { return textName; }
    void showContextPage() override { ++contextShown; }
    void unmarkLine(int row) override { unmarked.append(row); }
    void linesCopied() override { ++copied; }
    void bufferEmptinessChanged(bool empty) override { bufferEmpty = empty; }
    void pageSubPage(char move) override { pages.append(move); }
    void selectContextLine(int line) override { selectedLines.append(line); }
    void allowContextFromDictionaryOnce() override {}
    void textPopup(const QPoint &) override { ++popups; }
    void entryTreePressed(bool popup, const QPoint &) override { entryPresses.append(popup); }
    std::optional<QByteArray> listCaption() const override { return std::nullopt; }
    int listCharacteristic() const override { return -1; }
    bool selectListIndex(int) override { return false; }
    void fillCharacteristicList(int, const QList<int> &) override {}
    const conccore::WordEntry *selectedValue() const override { return nullptr; }
    bool typedPrefixEmpty() const override { return true; }
    bool alphabeticalOrder() const override { return false; }
    void blockListTools(bool) override {}
    void refreshQuant() override {}
    void sendWordList() override {}
    void wideFull() override {}
    void setFilterMarksColour(const QColor &) override {}
    void addListMenuAction(QAction *) override {}
    void showFilterRowsPage() override {}
    bool filterRowsPageShown() const override { return true; }
    bool filterSetPageShown() const override { return false; }

    TextSubPage *text = nullptr;   // highlighted by activateText when set
    textcore::SubPage shown = textcore::SubPage::Text;
    QByteArray textName;
    int listRequests = 0;
    int valueClicks = 0;
    int contextShown = 0;
    int copied = 0;
    int popups = 0;
    QList<bool> entryPresses;   // one per press on the entry trees: whether it opened the menu
    bool bufferEmpty = true;
    QStringList zones;
    QList<int> unmarked;
    QList<int> selectedLines;
    QByteArray pages;   // the paging letters asked for
};

class FilterRowsDouble : public FilterRowsView {
public:
    bool filterOn() const override { return false; }
    bool rowOneEnabled() const override { return true; }
    bool listPosX() const override { return listPosXChecked; }
    void uncheckListPosX() override { listPosXChecked = false; }
    conccore::FilterRows exportRows() const override { return rows; }
    QColor filterColor() const override { return QColor(); }
    bool distanceEditFocused() const override { return false; }
    void syncRows() override {}
    void applyFilterMarks() override {}
    void fillRowCaptions() override {}
    void restoreRows() override {}
    void selectRowFilter(int) override {}
    void filterSetWideFull() override {}
    void groupsChanged(const QList<conccore::Group> &) override {}
    void selectGroupZero() override {}

    bool listPosXChecked = false;
    conccore::FilterRows rows;
};

class DictionaryDouble : public DictionaryLinks {
public:
    void loadDictLinks(const QByteArray &links) override { loaded.append(links); }
    void clearDictLinks() override { ++cleared; }
    void requestEntry() override { ++entryRequests; }

    QByteArrayList loaded;
    int cleared = 0;
    int entryRequests = 0;
};

class UsageDouble : public UsageSubPage {
public:
    void reset() override {}
    void requestUsage() override { ++requests; }
    bool isContextChecked() const override { return contextChecked; }

    bool contextChecked = false;
    int requests = 0;
};

// The real filter rows, with the restores counted.
class CountingFilterRows : public FilterRowsView {
public:
    explicit CountingFilterRows(FilterRowsView &inner) : m_inner(inner) {}
    bool filterOn() const override { return m_inner.filterOn(); }
    bool rowOneEnabled() const override { return m_inner.rowOneEnabled(); }
    bool listPosX() const override { return m_inner.listPosX(); }
    void uncheckListPosX() override { m_inner.uncheckListPosX(); }
    conccore::FilterRows exportRows() const override { return m_inner.exportRows(); }
    QColor filterColor() const override { return m_inner.filterColor(); }
    bool distanceEditFocused() const override { return m_inner.distanceEditFocused(); }
    void syncRows() override { m_inner.syncRows(); }
    void applyFilterMarks() override { m_inner.applyFilterMarks(); }
    void fillRowCaptions() override { m_inner.fillRowCaptions(); }
    void restoreRows() override
    {
        ++restores;
        m_inner.restoreRows();
    }
    void selectRowFilter(int charNo) override { m_inner.selectRowFilter(charNo); }
    void filterSetWideFull() override { m_inner.filterSetWideFull(); }
    void groupsChanged(const QList<conccore::Group> &groups) override { m_inner.groupsChanged(groups); }
    void selectGroupZero() override { m_inner.selectGroupZero(); }

    int restores = 0;

private:
    FilterRowsView &m_inner;
};
