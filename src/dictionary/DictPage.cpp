#include "DictPage.h"

#include "app/PageHost.h"
#include "model/Cp1251.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

namespace {
QLabel *namedLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}
} // namespace

DictPage::DictPage(PageHost &host, QWidget *parent) : QWidget(parent), m_host(host)
{
    setObjectName(QStringLiteral("TS_Dict"));
    auto *grid = new QGridLayout(this);
    CB_Dict = new QComboBox(this);
    CB_Dict->setObjectName(QStringLiteral("CB_Dict"));
    B_Refr = new QPushButton(QStringLiteral("Обновить"), this);
    B_Refr->setObjectName(QStringLiteral("B_Refr"));
    LB_C = new QListWidget(this);
    LB_C->setObjectName(QStringLiteral("LB_C"));
    LB_CC = new QListWidget(this);
    LB_CC->setObjectName(QStringLiteral("LB_CC"));
    LB_W = new QListWidget(this);
    LB_W->setObjectName(QStringLiteral("LB_W"));
    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    L_CN = namedLabel(QStringLiteral("L_CN"), QString(), this);
    L_CCN = namedLabel(QStringLiteral("L_CCN"), QString(), this);
    L_WN = namedLabel(QStringLiteral("L_WN"), QString(), this);
    L_SN = namedLabel(QStringLiteral("L_SN"), QString(), this);
    L_DD = namedLabel(QStringLiteral("L_DD"), QString(), this);

    grid->addWidget(CB_Dict, 0, 0, 1, 3);
    grid->addWidget(B_Refr, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Буква"), this), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Сочетание"), this), 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Заглавные слова"), this), 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Справка"), this), 1, 3);
    grid->addWidget(LB_C, 2, 0);
    grid->addWidget(LB_CC, 2, 1);
    grid->addWidget(LB_W, 2, 2);
    grid->addWidget(TreeView1, 2, 3);
    grid->addWidget(L_CN, 3, 0);
    grid->addWidget(L_CCN, 3, 1);
    grid->addWidget(L_WN, 3, 2);
    grid->addWidget(L_SN, 3, 3);
    grid->addWidget(L_DD, 4, 3);
    grid->setColumnStretch(3, 3);
}

void DictPage::SetDict()
{
    LB_C->clear();
    LB_CC->clear();
    LB_W->clear();
    TreeView1->clear();
    for (QLabel *l : {L_CN, L_CCN, L_WN, L_SN, L_DD})
        l->clear();
}

void DictPage::TS_DictShow() {}

void DictPage::setDictionaryNames(const QList<QByteArray> &names, int current)
{
    CB_Dict->clear();
    for (const QByteArray &n : names)
        CB_Dict->addItem(cp1251::decode(n));
    if (current >= 0 && current < names.size())
        CB_Dict->setCurrentIndex(current);
}

void DictPage::selectDictionary(int index)
{
    if (index >= 0 && index < CB_Dict->count())
        CB_Dict->setCurrentIndex(index);
}

void DictPage::onDC_C(const QByteArray &) {}
void DictPage::onDC_CC(const QByteArray &) {}
void DictPage::onDC_W(const QByteArray &) {}
void DictPage::onDC_S(const QByteArray &) {}
