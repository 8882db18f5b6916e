#include "session/ConcWidgets.h"

#include "model/Cp1251.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QListWidget>
#include <QStyledItemDelegate>

namespace concwidgets {

namespace {

class FixedRowDelegate : public QStyledItemDelegate {
public:
    FixedRowDelegate(int height, QObject *parent) : QStyledItemDelegate(parent), m_height(height) {}
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), m_height);
    }
    int m_height;
};

} // namespace

void setupList(QListWidget *list, int height)
{
    list->setUniformItemSizes(true);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setItemDelegate(new FixedRowDelegate(height, list));
    list->setSpacing(0);
}

void setRowHeight(QListWidget *list, int height)
{
    if (auto *d = dynamic_cast<FixedRowDelegate *>(list->itemDelegate())) {
        d->m_height = height;
        list->doItemsLayout();
    }
}

int rowHeight(const QListWidget *list)
{
    if (auto *d = dynamic_cast<FixedRowDelegate *>(list->itemDelegate()))
        return d->m_height;
    return listRowHeight(list->font());
}

int listRowHeight(const QFont &font)
{
    return QFontMetrics(font).height() + 2;
}

int columnRowHeight(const QFont &font)
{
    const int size = font.pointSize() > 0 ? font.pointSize() : QFontInfo(font).pixelSize();
    return qMax(size + 6, QFontMetrics(font).height());
}

void setBackground(QWidget *w, const QColor &colour)
{
    QPalette p = w->palette();
    const QPalette standard = w->style() ? w->style()->standardPalette() : QPalette();
    const QPalette::ColorRole role = qobject_cast<QAbstractItemView *>(w) ? QPalette::Base : QPalette::Window;
    p.setColor(role, colour.isValid() ? colour : standard.color(role));
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

QColor zoneHighlight()
{
    return QColor(0xC0, 0xDC, 0xC0);
}

conccore::ListKey listKeyOf(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_PageUp: return conccore::ListKey::PageUp;
    case Qt::Key_PageDown: return conccore::ListKey::PageDown;
    case Qt::Key_Up: return conccore::ListKey::Up;
    case Qt::Key_Down: return conccore::ListKey::Down;
    case Qt::Key_Home: return conccore::ListKey::Home;
    case Qt::Key_End: return conccore::ListKey::End;
    default: return conccore::ListKey::Other;
    }
}

char typedChar(const QKeyEvent *event)
{
    if (event->key() == Qt::Key_Backspace)
        return conccore::KeyBackspace;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return conccore::KeyEnter;
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return 0;
    const QString text = event->text();
    if (text.size() != 1 || text.at(0).unicode() < 32 || text.at(0).unicode() == 127)
        return 0;
    const QByteArray b = cp1251::encode(text);
    return b.size() == 1 ? b[0] : 0;
}

int rowAt(const QListWidget *list, int y)
{
    const int h = rowHeight(list);
    if (h <= 0 || y < 0)
        return -1;
    const QModelIndex top = list->indexAt(QPoint(4, 0));
    const int row = (top.isValid() ? top.row() : 0) + y / h;
    return row < list->count() ? row : -1;
}

} // namespace concwidgets
