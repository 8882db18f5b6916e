#include "ConcPage.h"

#include "app/PageHost.h"
#include "app/SessionState.h"
#include "dictionary/UsagePanel.h"
#include "model/Cp1251.h"
#include "text/TextPanel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QRadioButton>
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
    RBD1 = new QRadioButton(QStringLiteral("1"), TS_Conc_D);
    RBD2 = new QRadioButton(QStringLiteral("2"), TS_Conc_D);
    RBD3 = new QRadioButton(QStringLiteral("3"), TS_Conc_D);
    for (QRadioButton *rb : {RBD1, RBD2, RBD3}) {
        rb->setObjectName(QStringLiteral("RBD") + rb->text());
        rb->hide();
        links->addWidget(rb);
    }
    links->addStretch(1);
    TreeDOx = new QTreeWidget(TS_Conc_D);
    TreeDOx->setObjectName(QStringLiteral("TreeDOx"));
    TreeDOx->setHeaderHidden(true);
    TreeDOx->hide();
    CB_DST = new QCheckBox(QStringLiteral("Иерархия элементов"), TS_Conc_D);
    CB_DST->setObjectName(QStringLiteral("CB_DST"));
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
