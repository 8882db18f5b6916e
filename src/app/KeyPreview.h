#pragma once
// Lets a window see every key pressed in it before the focused control does, once per
// key: a key that a control ignores travels up to its parents and would pass the
// application's event filter again.
#include <QObject>
#include <QPointer>
#include <functional>

class QKeyEvent;
class QWidget;

class KeyPreview : public QObject {
    Q_OBJECT
public:
    // `handler` returns true when it consumed the key.
    KeyPreview(QWidget *window, std::function<bool(QKeyEvent *)> handler);
    ~KeyPreview() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    std::function<bool(QKeyEvent *)> m_handler;
    const QEvent *m_event = nullptr;
    QPointer<QWidget> m_widget;
    int m_key = 0;
    Qt::KeyboardModifiers m_modifiers;
};
