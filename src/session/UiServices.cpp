#include "session/UiServices.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QFontDialog>
#include <QProcess>
#include <QUrl>

void DesktopUiServices::message(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, QString(), text, QMessageBox::Ok);
}

bool DesktopUiServices::askYesNo(QWidget *parent, const QString &text)
{
    return QMessageBox::question(parent, QString(), text, QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

bool DesktopUiServices::askOkCancel(QWidget *parent, const QString &text)
{
    return QMessageBox::question(parent, QString(), text, QMessageBox::Ok | QMessageBox::Cancel)
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
