#include "ConcPage.h"

#include "ConcDictLinks.h"

#include "app/PageHost.h"
#include "app/SessionState.h"
#include "dictionary/UsagePanel.h"
#include "model/Cp1251.h"
#include "text/TextPanel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

ConcPage::ConcPage(PageHost &host, QWidget *parent) : QWidget(parent), m_host(host)
{
    setObjectName(QStringLiteral("TS_Conc"));
    auto *lay = new QHBoxLayout(this);
    LBC_W = new QListWidget(this);
    LBC_W->setObjectName(QStringLiteral("LBC_W"));
    PC_Conc = new QTabWidget(this);
    PC_Conc->setObjectName(QStringLiteral("PC_Conc"));
    auto page = [this](const QString &name, const QString &caption) {
        auto *w = new QWidget(PC_Conc);
        w->setObjectName(name);
        PC_Conc->addTab(w, caption);
        return w;
    };
    TS_Context = page(QStringLiteral("TS_Context"), QStringLiteral("Контекст"));
    TS_Text = page(QStringLiteral("TS_Text"), QStringLiteral("Текст"));
    TS_Conc_D = page(QStringLiteral("TS_Conc_D"), QStringLiteral("Словарь"));
    TS_FGrp = page(QStringLiteral("TS_FGrp"), QStringLiteral("Набор фильтров"));

    auto *dict = new QVBoxLayout(TS_Conc_D);
    auto *links = new QHBoxLayout;
    m_dictLinks = new ConcDictLinks(
        TS_Conc_D, [this] { return isShowing(); }, [this] { return LBC_W->count() > 0; },
        [this] { return LBC_W->isEnabled(); });
    TreeDOx = m_dictLinks->TreeDOx;
    RBD1 = m_dictLinks->RBD1;
    RBD2 = m_dictLinks->RBD2;
    RBD3 = m_dictLinks->RBD3;
    CB_DST = m_dictLinks->CB_DST;
    for (QRadioButton *rb : {RBD1, RBD2, RBD3})
        links->addWidget(rb);
    links->addStretch(1);
    m_usage = new UsagePanel(host, TS_Conc_D);
    m_usage->adoptEntryTree(TreeDOx);
    dict->addLayout(links);
    dict->addWidget(m_usage, 1);
    dict->addWidget(CB_DST);
    auto *text = new QVBoxLayout(TS_Text);
    text->setContentsMargins(0, 0, 0, 0);
    m_text = new TextPanel(host, TS_Text);
    text->addWidget(m_text);
    lay->addWidget(LBC_W, 1);
    lay->addWidget(PC_Conc, 3);
    setSubPageVisibility(false, false);
    // The text sub-page appears with the first text of an occurrence.
    PC_Conc->setTabVisible(PC_Conc->indexOf(TS_Text), false);
}

void ConcPage::SetConc()
{
    SessionState &s = m_host.state();
    s.CurrentConcPos = std::make_unique<tCConcPos>();
    s.History.reset();
    s.KeepDictPos = false;
    LBC_W->clear();
    m_text->reset();
    m_usage->reset();
    emit concordanceReset();
}

bool ConcPage::isShowing() const
{
    const auto *stack = qobject_cast<const QStackedWidget *>(parentWidget());
    return stack && stack->currentWidget() == this;
}

void ConcPage::applyDefaultFont(const QFont &face)
{
    LBC_W->setFont(face);
    TreeDOx->setFont(face);
    m_text->setTextFont(face);
}

void ConcPage::setBusy(bool busy)
{
    if (busy)
        LBC_W->setCursor(Qt::WaitCursor);
    else
        LBC_W->unsetCursor();
}

void ConcPage::applyListIndexOption()
{
    OptionList &options = m_host.state().Options;
    const QByteArray index = options.value("LBCWIndex");
    if (index.isEmpty() || index == "NO" || index == "YES")
        return;
    bool ok = false;
    const int row = index.toInt(&ok);
    if (ok && row >= 0 && row < LBC_W->count())
        LBC_W->setCurrentRow(row);
    options.remove("LBCWIndex");
}

void ConcPage::hideTextSubPage()
{
    PC_Conc->setTabVisible(PC_Conc->indexOf(TS_Text), false);
}

bool ConcPage::applyReplyState() { return true; }

void ConcPage::refreshLevelDisplay() {}

bool ConcPage::textViewKey(QKeyEvent *event) { return m_text->textViewKey(event); }

void ConcPage::setSubPageVisibility(bool concDict, bool filterSet)
{
    PC_Conc->setTabVisible(PC_Conc->indexOf(TS_Conc_D), concDict);
    PC_Conc->setTabVisible(PC_Conc->indexOf(TS_FGrp), filterSet);
}

void ConcPage::showLoadingLines(const QByteArray &suffix)
{
    LBC_W->addItem(QStringLiteral("<        ИДЁТ       >"));
    LBC_W->addItem(QStringLiteral("<  ЗАГРУЗКА СЛОВАРЯ >") + cp1251::decode(suffix));
    LBC_W->repaint();
}

void ConcPage::onCN_C(const QByteArray &) {}
void ConcPage::onCN_Cx(const QByteArray &) {}
void ConcPage::onCN_W(const QByteArray &) {}
void ConcPage::onCT_N(const QByteArray &) {}
void ConcPage::onCT_W(const QByteArray &body) { m_text->onCT_W(body); }
void ConcPage::onCT_T(const QByteArray &body) { m_text->onCT_T(body); }
void ConcPage::onCT_D(const QByteArray &body) { m_usage->onCT_D(body); }
