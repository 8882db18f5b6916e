#include "ListSelDialog.h"

#include "model/Cp1251.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QListWidget *list(QWidget *parent, const char *name)
{
    auto *l = new QListWidget(parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

} // namespace

ListSelDialog::ListSelDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("F_ListSel"));
    setWindowTitle(QStringLiteral("Выбор списка характеристик"));
    setModal(true);
    resize(500, 443);

    L_Cap = new QLabel(this);
    L_Cap->setObjectName(QStringLiteral("L_Cap"));
    L_Cap->setAlignment(Qt::AlignCenter);
    L_Cap->setWordWrap(true);
    QFont capFont = L_Cap->font();
    capFont.setPixelSize(16);
    L_Cap->setFont(capFont);
    QPalette olive = L_Cap->palette();
    olive.setColor(QPalette::WindowText, QColor(0x80, 0x80, 0x00));
    L_Cap->setPalette(olive);

    Label1 = new QLabel(QStringLiteral("Список исключённых характеристик"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(QStringLiteral("Список выбранных характеристик"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    LBC = list(this, "LBC");
    LBS = list(this, "LBS");
    B_Sel = button(this, "B_Sel", QStringLiteral("Перенести -->"));
    B_Del = button(this, "B_Del", QStringLiteral("<-- удалить"));
    B_Up = button(this, "B_Up", QStringLiteral("Выше"));
    B_Dn = button(this, "B_Dn", QStringLiteral("Ниже"));
    B_All = button(this, "B_All", QStringLiteral("Выбрать все"));
    B_Clr = button(this, "B_Clr", QStringLiteral("Очистить"));
    B_Close = button(this, "B_Close", QStringLiteral("Завершить"));
    B_Cancel = button(this, "B_Cancel", QStringLiteral("Отменить"));

    auto *middle = new QVBoxLayout;
    middle->addStretch(1);
    for (QPushButton *b : {B_Sel, B_Del, B_Up, B_Dn, B_All, B_Clr})
        middle->addWidget(b);
    middle->addStretch(1);
    auto *grid = new QGridLayout(this);
    grid->addWidget(L_Cap, 0, 0, 1, 3);
    grid->addWidget(Label1, 1, 0);
    grid->addWidget(Label2, 1, 2);
    grid->addWidget(LBC, 2, 0);
    grid->addLayout(middle, 2, 1);
    grid->addWidget(LBS, 2, 2);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(B_Close);
    bottom->addWidget(B_Cancel);
    grid->addLayout(bottom, 3, 0, 1, 3);

    connect(B_Sel, &QPushButton::clicked, this, &ListSelDialog::B_SelClick);
    connect(B_Del, &QPushButton::clicked, this, &ListSelDialog::B_DelClick);
    connect(B_Up, &QPushButton::clicked, this, &ListSelDialog::B_UpClick);
    connect(B_Dn, &QPushButton::clicked, this, &ListSelDialog::B_DnClick);
    connect(B_All, &QPushButton::clicked, this, &ListSelDialog::B_AllClick);
    connect(B_Clr, &QPushButton::clicked, this, &ListSelDialog::B_ClrClick);
    connect(B_Close, &QPushButton::clicked, this, &ListSelDialog::B_CloseClick);
    connect(B_Cancel, &QPushButton::clicked, this, &ListSelDialog::B_CancelClick);
    connect(LBC, &QListWidget::itemDoubleClicked, this, &ListSelDialog::B_SelClick);
    connect(LBS, &QListWidget::itemDoubleClicked, this, &ListSelDialog::B_DelClick);
    for (QListWidget *l : {LBC, LBS})
        l->installEventFilter(this);
}

void ListSelDialog::prepare(const QString &caption, const QList<QByteArray> &names, const QList<int> &markers,
                         const QByteArray &selection)
{
    L_Cap->setText(caption);
    m_names = names;
    m_markers = markers;
    m_initial = selection;
    m_sel.open(m_markers, m_initial);
}

void ListSelDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void ListSelDialog::FormShow()
{
    m_sel.open(m_markers, m_initial);
    refresh(0, 0);
    focusList(LBC);
}

int ListSelDialog::currentChar(const QListWidget *list)
{
    const QListWidgetItem *item = list->currentItem();
    return item ? item->data(Qt::UserRole).toInt() : -1;
}

void ListSelDialog::refresh(int lbcRow, int lbsRow)
{
    const auto fill = [this](QListWidget *list, const QList<int> &chars, int row) {
        list->clear();
        for (const int c : chars) {
            if (c < 0 || c >= m_names.size())
                continue;   // a name that cannot be looked up is skipped
            auto *item = new QListWidgetItem(cp1251::decode(m_names[c]), list);
            item->setData(Qt::UserRole, c);
        }
        list->setCurrentRow(list->count() == 0 ? -1 : qBound(0, row, list->count() - 1));
    };
    fill(LBC, m_sel.offered(), lbcRow);
    QList<int> chosen;
    for (const char c : m_sel.selection())
        chosen.append(uchar(c));
    fill(LBS, chosen, lbsRow);
    paintLabels();
}

void ListSelDialog::focusList(QListWidget *list)
{
    m_active = list;
    list->setFocus();
    paintLabels();
}

void ListSelDialog::paintLabels()
{
    for (const auto &[label, list] : {std::pair{Label1, LBC}, std::pair{Label2, LBS}}) {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, m_active == list ? QColor(Qt::red) : QPalette().color(QPalette::WindowText));
        label->setPalette(p);
    }
}

// After a line moves, its neighbour stays selected, so that repeated presses walk
// down the list.
void ListSelDialog::B_SelClick()
{
    const int row = LBC->currentRow();
    if (m_sel.select(currentChar(LBC)))
        refresh(row, LBS->currentRow());
}

void ListSelDialog::B_DelClick()
{
    const int row = LBS->currentRow();
    if (m_sel.remove(currentChar(LBS)))
        refresh(LBC->currentRow(), row);
}

void ListSelDialog::B_UpClick()
{
    const int row = LBS->currentRow();
    if (m_sel.moveUp(row))
        refresh(LBC->currentRow(), row - 1);
}

void ListSelDialog::B_DnClick()
{
    const int row = LBS->currentRow();
    if (m_sel.moveDown(row))
        refresh(LBC->currentRow(), row + 1);
}

void ListSelDialog::B_AllClick()
{
    m_sel.selectAll();
    refresh(0, 0);
    focusList(LBS);
}

void ListSelDialog::B_ClrClick()
{
    m_sel.clear();
    refresh(0, 0);
    focusList(LBC);
}

void ListSelDialog::B_CancelClick()
{
    reject();
}

void ListSelDialog::reject()
{
    m_sel.cancel();
    LBC->clear();
    LBS->clear();
    QDialog::reject();
}

void ListSelDialog::B_CloseClick()
{
    accept();
}

bool ListSelDialog::LBCKeyDown(int key, Qt::KeyboardModifiers mods)
{
    Q_UNUSED(mods);
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        B_SelClick();
        return true;
    }
    if (key == Qt::Key_Left || key == Qt::Key_Right) {
        focusList(LBS);
        return true;
    }
    return false;
}

bool ListSelDialog::LBSKeyDown(int key, Qt::KeyboardModifiers mods)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        B_DelClick();
        return true;
    }
    if (key == Qt::Key_Left || key == Qt::Key_Right) {
        focusList(LBC);
        return true;
    }
    if ((mods & Qt::ControlModifier) && (key == Qt::Key_Up || key == Qt::Key_Down)) {
        if (key == Qt::Key_Up)
            B_UpClick();
        else
            B_DnClick();
        return true;
    }
    return false;
}

bool ListSelDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != LBC && watched != LBS)
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        return watched == LBC ? LBCKeyDown(key->key(), key->modifiers())
                              : LBSKeyDown(key->key(), key->modifiers());
    }
    case QEvent::MouseButtonPress:
        focusList(static_cast<QListWidget *>(watched));
        break;
    case QEvent::FocusIn:
        m_active = static_cast<QListWidget *>(watched);
        paintLabels();
        break;
    default:
        break;
    }
    return false;
}
