// The replies of the value list: the characteristics, the groups, a page of values
// or a list export, and the controls restored from every reply.
#include "WordListPanel.h"

#include "ConcPage.h"
#include "ContextPanel.h"

#include "session/Config.h"
#include "dictionary/api/DictionaryLinks.h"
#include "dictionary/api/UsageSubPage.h"
#include "filters/api/FilterRowsView.h"
#include "filters/api/HistorySteps.h"
#include "session/PageHost.h"
#include "text/api/TextSubPage.h"
#include "session/SessionState.h"
#include "session/UiServices.h"
#include "concordance/core/ConcExport.h"
#include "model/Cp1251.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>

void WordListPanel::onCN_C(const QByteArray &body)
{
    SessionState &s = m_page.state();
    s.CharList.clear();
    for (const conccore::Characteristic &c : conccore::parseCharacteristics(body))
        s.CharList.append(CharEntry{c.name, c.count});
    const bool base = s.Options.value("ChangeConcC") == "YES";
    P_CS->setVisible(base);
    Label8->setVisible(base);
    CBC_CList->setVisible(base);
    m_page.send("CN_Cx", true);
    m_page.host().showProgress("0,0,", true);
}

void WordListPanel::fillCombo(QComboBox *box, const QByteArray &code)
{
    const QList<CharEntry> &chars = m_page.state().CharList;
    const std::optional<QList<int>> members = conccore::comboCharacteristics(code, int(chars.size()));
    if (!members)
        return;
    box->clear();
    for (const int n : *members)
        box->addItem(cp1251::decode(chars[n].name), n);
}

void WordListPanel::onCN_Cx(const QByteArray &body)
{
    SessionState &s = m_page.state();
    m_groups = conccore::parseGroups(body);
    for (int g = 0; g < m_groups.size(); ++g)
        if (m_groups[g].named)
            s.Options.set(conccore::groupOptionName(g), m_groups[g].code);
    m_page.filters().groupsChanged(m_groups);
    fillCombo(CBC_List, s.Options.value("Char0"));
    fillCombo(CBC_CList, s.Options.value("Char1"));
    if (CBC_List->count() == 0 || CBC_CList->count() == 0) {
        m_page.host().RollBack();
        return;
    }
    auto defaultOf = [this](int g, const QComboBox *box) {
        const int d = g < m_groups.size() ? m_groups[g].defaultPos : 0;
        return d >= 0 && d < box->count() ? d : 0;
    };
    CBC_List->setCurrentIndex(defaultOf(0, CBC_List));
    CBC_CList->setCurrentIndex(defaultOf(1, CBC_CList));
    CBC_ListChange();
}

void WordListPanel::showEntries()
{
    m_syncing = true;
    LBC_W->clear();
    LBC_W_Q1->clear();
    LBC_W_Q2->clear();
    for (const conccore::WordEntry &e : m_entries) {
        LBC_W->addItem(cp1251::decode(e.text));
        // Every row gets a line in the second column, so that both stay level on
        // pages that mix values with and without a second part.
        LBC_W_Q1->addItem(cp1251::decode(e.second));
        LBC_W_Q2->addItem(QString::number(e.rec.Count));
    }
    m_syncing = false;
    applySuffixes();
    LBC_W_Q1->setVisible(!m_entries.isEmpty() && m_entries.last().hasSecond);
}

void WordListPanel::onCN_W(const QByteArray &body)
{
    SessionState &s = m_page.state();
    tCConcPos *c = conc();
    if (!c)
        return;
    if (s.Options.value("ListPos") == "FILL") {
        writeListExport(body);
        return;
    }
    m_entries.clear();
    LBC_W_Q1->hide();
    if (s.Options.value("TabType").mid(4, 1) == "4")
        m_page.filters().fillRowCaptions();
    const bool showEmpty = m_page.config().readKey("AllowEmptySign", "NO") != "NO";
    conccore::WordPage page = conccore::parseWordPage(body, showEmpty);
    c->ValueNo[0] -= page.dropped;
    m_entries = std::move(page.entries);
    showEntries();
    const QByteArray thumb = s.Options.value("ConcSBarW");
    if (!thumb.isEmpty()) {
        SB_W->setValue(thumb.toInt());
        SB_W->show();
        s.Options.remove("ConcSBarW");
    } else {
        SB_W->hide();
    }
    if (m_entries.isEmpty()) {
        m_page.host().ui().message(m_page.window(), QStringLiteral("Соответствующие значения у ")
                                                        + CBC_List->currentText() + QStringLiteral(" отсутствуют"));
        const int fallback = m_groups.isEmpty() ? 0 : m_groups[0].defaultPos;
        if (CBC_List->currentIndex() == fallback) {
            m_page.history().stepBack(true);
        } else if (fallback >= 0 && fallback < CBC_List->count()) {
            CBC_List->setCurrentIndex(fallback);
            CBC_ListChange();
        }
        return;
    }
    // The server names the row of the value it placed the page at (the last row
    // after "END" and "PREV"); the first row otherwise.
    bool ok = false;
    int row = s.Options.value("LBCWIndex").toInt(&ok);
    if (!ok || row < 0 || row >= m_entries.size())
        row = 0;
    selectRow(row);
    s.Options.set("LBCWIndex", QByteArray::number(row));
    s.Options.set("TabType", m_page.textContextChecked() ? "TEXT" : m_fromTextView ? "CONC" : "CONC2");
    selectAction();
    m_fromTextView = false;
    m_page.text().uncheckFastListing();
}

void WordListPanel::writeListExport(const QByteArray &body)
{
    SessionState &s = m_page.state();
    s.Options.remove("ListPos");
    const bool showEmpty = m_page.config().readKey("AllowEmptySign", "NO") != "NO";
    conccore::writeListExport(s.Buffer, body, showEmpty, m_page.filters().exportRows(), m_frequency);
    m_page.text().uncheckFastListing();
}

bool WordListPanel::selectByCode(QComboBox *box, const QByteArray &code, qint32 charNo)
{
    if (code.isEmpty() || box->count() == 0)
        return true;
    const int index = conccore::codeIndexOf(code, charNo);
    if (index >= box->count())
        return false;
    box->setCurrentIndex(index);
    return true;
}

bool WordListPanel::restoreFromReply()
{
    SessionState &s = m_page.state();
    const int order = conccore::sortIndex(s.Options.value("SortD"));
    if (order >= 0 && order < CB_SortD->count() && order != CB_SortD->currentIndex()) {
        CB_SortD->setCurrentIndex(order);
        colourList();
    }
    L_Req->setVisible(alphabetical());
    if (!m_page.filters().rowOneEnabled()) {
        m_lreq.clear();
        showPrefix();
    }
    const tCConcPos *c = conc();
    if (!c)
        return true;
    const int level = c->Level >= 0 && c->Level < tCConcPos::Levels ? c->Level : 0;
    const bool ok = selectByCode(CBC_CList, s.Options.value("Char1"), c->CharNo[0])
        && selectByCode(CBC_List, s.Options.value("Char0"), c->CharNo[size_t(level)]);
    return ok;
}
