#include "KeyPreview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

KeyPreview::KeyPreview(QWidget *window, std::function<bool(QKeyEvent *)> handler)
    : QObject(window), m_window(window), m_handler(std::move(handler))
{
    qApp->installEventFilter(this);
}

KeyPreview::~KeyPreview()
{
    qApp->removeEventFilter(this);
}

bool KeyPreview::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto *w = static_cast<QWidget *>(watched);
    auto *key = static_cast<QKeyEvent *>(event);
    const bool propagated = event == m_event && m_widget && w != m_widget
                            && w->isAncestorOf(m_widget) && key->key() == m_key
                            && key->modifiers() == m_modifiers;
    if (propagated || (w != m_window && !m_window->isAncestorOf(w)))
        return false;
    m_event = event;
    m_widget = w;
    m_key = key->key();
    m_modifiers = key->modifiers();
    return m_handler(key);
}
