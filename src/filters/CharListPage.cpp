#include "CharListPage.h"

#include "ListSelDialog.h"

#include "app/PageHost.h"
#include "app/SessionState.h"
#include "concordance/ConcPage.h"
#include "concordance/WordListPanel.h"
#include "filters/core/ListSelection.h"
#include "model/Cp1251.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

CharListPage::CharListPage(PageHost &host, ConcPage &page, QWidget *tab, QCheckBox *dst,
                           std::function<ListSelDialog *()> dialog)
    : QObject(tab), m_host(host), m_page(page), m_dialog(std::move(dialog))
{
    auto *v = qobject_cast<QVBoxLayout *>(tab->layout());
    if (!v)
        v = new QVBoxLayout(tab);
    CB_Groups = new QComboBox(tab);
    CB_Groups->setObjectName(QStringLiteral("CB_Groups"));
    B_ListSel = new QPushButton(QStringLiteral("Выбор списка элем."), tab);
    B_ListSel->setObjectName(QStringLiteral("B_ListSel"));
    CB_DST = dst;
    CB_ListPos = new QCheckBox(QStringLiteral("Устанавливать список значений в начало"), tab);
    CB_ListPos->setObjectName(QStringLiteral("CB_ListPos"));
    v->addWidget(CB_Groups);
    v->addWidget(B_ListSel);
    if (CB_DST)
        v->addWidget(CB_DST);
    v->addWidget(CB_ListPos);
    v->addStretch(1);
    connect(B_ListSel, &QPushButton::clicked, this, &CharListPage::B_ListSelClick);
}

void CharListPage::groupsChanged(const QList<conccore::Group> &groups)
{
    m_lines.clear();
    CB_Groups->clear();
    for (const conccore::Group &g : groups) {
        m_lines.append(g.line);
        CB_Groups->addItem(cp1251::decode(g.named ? g.name : g.line), g.defaultPos);
    }
    selectGroupZero();
}

void CharListPage::selectGroupZero()
{
    if (CB_Groups->count() > 0)
        CB_Groups->setCurrentIndex(0);
}

void CharListPage::reset()
{
    CB_ListPos->hide();
}

void CharListPage::B_ListSelClick()
{
    const int g = CB_Groups->currentIndex();
    ListSelDialog *dialog = m_dialog ? m_dialog() : nullptr;
    if (g < 0 || g >= m_lines.size() || !dialog)
        return;
    SessionState &s = m_host.state();
    QList<QByteArray> names;
    for (const CharEntry &c : s.CharList)
        names.append(c.name);
    const std::optional<filtercore::ListSelSetup> setup = filtercore::prepareListSelection(
        m_lines[g], s.Options.value(conccore::groupOptionName(g)), int(names.size()));
    if (!setup)
        return;
    dialog->prepare(B_ListSel->text() + QLatin1Char(' ') + cp1251::decode(setup->name), names, setup->markers,
                    setup->selection);
    if (dialog->exec() != QDialog::Accepted)
        return;
    applySelection(g, dialog->selection().selection());
}

void CharListPage::applySelection(int g, const QByteArray &selection)
{
    // An empty group would leave the value list with no kind of information to
    // offer: the choice is not taken.
    if (selection.isEmpty() && (g == 0 || g == 1))
        return;
    const QByteArray code = filtercore::groupCodeOf(selection);
    if (g == 0)
        refillCombo(m_page.wordList()->CBC_List, code);
    else if (g == 1)
        refillCombo(m_page.wordList()->CBC_CList, code);
    m_host.state().Options.set(conccore::groupOptionName(g), code);
    if (g == 2)
        m_page.wordList()->LBC_WClick(m_page.LBC_W->currentRow());
}

void CharListPage::refillCombo(QComboBox *box, const QByteArray &code)
{
    const QList<CharEntry> &chars = m_host.state().CharList;
    const std::optional<QList<int>> members = conccore::comboCharacteristics(code, int(chars.size()));
    if (!members)
        return;
    const QSignalBlocker block(box);
    box->clear();
    for (const int n : *members)
        box->addItem(cp1251::decode(chars[n].name), n);
    box->setCurrentIndex(box->count() > 0 ? 0 : -1);
}
