#include "ConcPage.h"

#include "app/PageHost.h"
#include "app/SessionState.h"
#include "model/Cp1251.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QTabWidget>

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
    lay->addWidget(LBC_W, 1);
    lay->addWidget(PC_Conc, 3);
    setSubPageVisibility(false, false);
}

void ConcPage::SetConc()
{
    SessionState &s = m_host.state();
    s.CurrentConcPos = std::make_unique<tCConcPos>();
    s.History.reset();
    s.KeepDictPos = false;
    LBC_W->clear();
}

bool ConcPage::applyReplyState() { return true; }

void ConcPage::refreshLevelDisplay() {}

bool ConcPage::textViewKey(QKeyEvent *) { return false; }

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
void ConcPage::onCT_W(const QByteArray &) {}
void ConcPage::onCT_T(const QByteArray &) {}
void ConcPage::onCT_D(const QByteArray &) {}
