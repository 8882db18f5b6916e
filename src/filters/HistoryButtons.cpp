#include "HistoryButtons.h"

#include "HistoryNavigation.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>

namespace {

// A 16 by 16 arrow pointing back (left) or forward (right), in `colour`.
QPixmap arrow(bool back, const QColor &colour)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    // Drawn pointing right, mirrored for back.
    const QList<QPointF> points{{2, 6}, {8, 6}, {8, 2}, {14, 8}, {8, 14}, {8, 10}, {2, 10}};
    for (qsizetype i = 0; i < points.size(); ++i) {
        const QPointF pt = back ? QPointF(16 - points[i].x(), points[i].y()) : points[i];
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    path.closeSubpath();
    p.fillPath(path, colour);
    return pm;
}

// The glyph and its disabled image.
QIcon arrowIcon(bool back)
{
    QIcon icon;
    icon.addPixmap(arrow(back, QColor(0x00, 0x80, 0x00)), QIcon::Normal);
    icon.addPixmap(arrow(back, QColor(0x80, 0x80, 0x80)), QIcon::Disabled);
    return icon;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    parent->layout()->addWidget(b);
    return b;
}

QWidget *strip(QWidget *parent, const char *name)
{
    auto *w = new QWidget(parent);
    w->setObjectName(QLatin1String(name));
    auto *row = new QHBoxLayout(w);
    row->setContentsMargins(0, 0, 0, 0);
    return w;
}

} // namespace

HistoryButtons::HistoryButtons(HistoryNavigation &nav, QWidget *panelParent, QWidget *setParent)
    : QObject(panelParent), m_nav(nav)
{
    panelStrip = strip(panelParent, "P_History");
    BB_FBack = button(panelStrip, "BB_FBack", QString());
    BB_FBack->setIcon(arrowIcon(true));
    BB_FBack->setToolTip(QStringLiteral("Назад по истории запросов"));
    B_FBackX = button(panelStrip, "B_FBackX", QStringLiteral("Н"));
    B_FNextX = button(panelStrip, "B_FNextX", QStringLiteral("В"));
    BB_F = button(panelStrip, "BB_F", QString());
    BB_F->setIcon(arrowIcon(false));
    BB_F->setToolTip(QStringLiteral("Вперёд по истории запросов"));
    for (QPushButton *b : {B_FBackX, B_FNextX})
        b->setMaximumWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("WW")) + 8);
    qobject_cast<QHBoxLayout *>(panelStrip->layout())->addStretch(1);

    setStrip = strip(setParent, "P_HistorySet");
    B_FBack = button(setStrip, "B_FBack", QStringLiteral("Назад"));
    B_FNext = button(setStrip, "B_FNext", QStringLiteral("Вперёд"));
    B_FMark = button(setStrip, "B_FMark", QStringLiteral("История => Буфер"));
    qobject_cast<QHBoxLayout *>(setStrip->layout())->addStretch(1);

    for (QPushButton *b : {BB_FBack, B_FBackX, B_FBack})
        connect(b, &QPushButton::clicked, &nav, &HistoryNavigation::B_FBackClick);
    for (QPushButton *b : {BB_F, B_FNextX, B_FNext})
        connect(b, &QPushButton::clicked, &nav, &HistoryNavigation::B_FNextClick);
    connect(B_FMark, &QPushButton::clicked, &nav, &HistoryNavigation::B_FMarkClick);
    BB_FBack->installEventFilter(this);
    BB_F->installEventFilter(this);
}

void HistoryButtons::reset()
{
    B_FNextX->hide();
}

bool HistoryButtons::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == BB_FBack || watched == BB_F) && event->type() == QEvent::KeyPress)
        return m_nav.BB_FBackKeyDown(static_cast<QKeyEvent *>(event)->key());
    return QObject::eventFilter(watched, event);
}
