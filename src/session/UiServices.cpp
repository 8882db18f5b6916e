#include "session/UiServices.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QMessageBox>
#include <QFontDialog>
#include <QProcess>
#include <QUrl>

namespace {

// A message box whose buttons read the program's own words, the ones its questions
// name ("Продолжить (OK), Отменить (Отмена)"), whether Qt's texts are translated or
// not. The button chosen; the escape button's when the box is closed.
QMessageBox::StandardButton showBox(QWidget *parent, QMessageBox::Icon icon, const QString &text,
                                    QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, QString(), text, buttons, parent);
    static const struct {
        QMessageBox::StandardButton button;
        const char16_t *text;
    } words[] = {{QMessageBox::Ok, u"OK"},
                 {QMessageBox::Cancel, u"Отмена"},
                 {QMessageBox::Yes, u"Да"},
                 {QMessageBox::No, u"Нет"}};
    for (const auto &w : words)
        if (QAbstractButton *b = box.button(w.button))
            b->setText(QString::fromUtf16(w.text));
    return QMessageBox::StandardButton(box.exec());
}

} // namespace

void DesktopUiServices::message(QWidget *parent, const QString &text)
{
    showBox(parent, QMessageBox::Information, text, QMessageBox::Ok);
}

bool DesktopUiServices::askYesNo(QWidget *parent, const QString &text)
{
    return showBox(parent, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool DesktopUiServices::askOkCancel(QWidget *parent, const QString &text)
{
    return showBox(parent, QMessageBox::Question, text, QMessageBox::Ok | QMessageBox::Cancel)
        == QMessageBox::Ok;
}

bool DesktopUiServices::askYesNoDefaultNo(QWidget *parent, const QString &text)
{
    return QMessageBox::question(parent, QString(), text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
        == QMessageBox::Yes;
}

bool DesktopUiServices::openFile(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool DesktopUiServices::startDetached(const QString &program)
{
    return QProcess::startDetached(program, {});
}

std::optional<QFont> DesktopUiServices::chooseFont(QWidget *parent, const QFont &initial)
{
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, parent);
    if (!ok)
        return std::nullopt;
    return f;
}
