#include "BufferWindow.h"

#include "session/Config.h"
#include "session/PageHost.h"
#include "session/SessionState.h"
#include "session/UiServices.h"
#include "model/Cp1251.h"
#include "text/core/BufferOps.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString chooseSaveFile(QWidget *parent, const QString &folder)
{
    QFileDialog dialog(parent, QString(), folder, QStringLiteral("текст (*.txt)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    // The dialog's own fields in the program's language.
    dialog.setWindowTitle(QStringLiteral("Сохранить буфер"));
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Папка:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Имя файла:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Тип файла:"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Сохранить"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Отмена"));
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().first()
               : QString();
}

// A start folder that does not exist (a home without "Documents") would open the
// dialog in its parent with the folder's name offered as the file name: start in
// the nearest folder that exists instead.
QString existingFolder(const QString &folder)
{
    if (folder.isEmpty())
        return QDir::homePath();
    QFileInfo f(folder);
    while (!f.isDir()) {
        const QString parent = f.absolutePath();
        if (parent == f.absoluteFilePath())
            return QDir::homePath();
        f.setFile(parent);
    }
    return f.absoluteFilePath();
}

std::optional<QFont> chooseFontDialog(QWidget *parent, const QFont &initial)
{
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, parent);
    return ok ? std::optional<QFont>(f) : std::nullopt;
}

} // namespace

BufferWindow::BufferWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("T_F2"));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setGeometry(70, 119, 760, 530);
    chooseFile = chooseSaveFile;
    chooseFont = chooseFontDialog;

    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    auto *menu = new QMenuBar(this);
    MM_1_T = menu->addAction(QStringLiteral("Шрифт"));
    MM_1_T->setObjectName(QStringLiteral("MM_1_T"));
    lay->setMenuBar(menu);

    LB = new QPlainTextEdit(this);
    LB->setObjectName(QStringLiteral("LB"));
    LB->setLineWrapMode(QPlainTextEdit::NoWrap);
    LB->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    LB->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    LB->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *PM_1 = new QMenu(this);
    PM_1->setObjectName(QStringLiteral("PM_1"));
    PM_1_T = PM_1->addAction(QStringLiteral("Шрифт"));
    PM_1_T->setObjectName(QStringLiteral("PM_1_T"));
    connect(LB, &QWidget::customContextMenuRequested, this,
            [this, PM_1](const QPoint &pos) { PM_1->popup(LB->mapToGlobal(pos)); });
    lay->addWidget(LB, 1);

    auto *buttons = new QHBoxLayout;
    B_Save = new QPushButton(this);
    B_Save->setObjectName(QStringLiteral("B_Save"));
    B_Clear = new QPushButton(this);
    B_Clear->setObjectName(QStringLiteral("B_Clear"));
    B_Hide = new QPushButton(this);
    B_Hide->setObjectName(QStringLiteral("B_Hide"));
    for (QPushButton *b : {B_Save, B_Clear, B_Hide}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    lay->addLayout(buttons);
    StatusBar1 = new QLabel(QStringLiteral("Шрифт - правая кнопка мыши, Выход - Esc"), this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    lay->addWidget(StatusBar1);

    connect(B_Save, &QPushButton::clicked, this, &BufferWindow::B_SaveClick);
    connect(B_Clear, &QPushButton::clicked, this, &BufferWindow::B_ClearClick);
    connect(B_Hide, &QPushButton::clicked, this, &BufferWindow::B_HideClick);
    connect(MM_1_T, &QAction::triggered, this, &BufferWindow::MM_1_TClick);
    connect(PM_1_T, &QAction::triggered, this, &BufferWindow::MM_1_TClick);

    // FormCreate: no caption.
    setWindowTitle(QString());
}

BufferWindow::~BufferWindow()
{
    if (m_host)
        m_host->state().Buffer.setObserver(this, {});
}

void BufferWindow::attach(PageHost &host)
{
    m_host = &host;
    SD_InitialDir = host.config().DocumentsFolder;
    host.state().Buffer.setObserver(this, [this] { bufferChanged(); });
    // FormCreate: the pending fragment starts empty.
    host.state().PendingFragment.clear();
}

void BufferWindow::showBuffer()
{
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
}

void BufferWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // FormShow.
    if (m_host && m_loadedRevision != m_host->state().Buffer.revision())
        reload();
    B_Save->setText(QStringLiteral("Сохранить в файл"));
    B_Clear->setText(QStringLiteral("Очистить"));
    B_Hide->setText(QStringLiteral("Закрыть"));
    B_Save->setEnabled(m_host && !m_host->state().Buffer.isEmpty());
    LB->setFocus(Qt::OtherFocusReason);
}

void BufferWindow::hideEvent(QHideEvent *event)
{
    commitEdits();
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        emit closed();
}

void BufferWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        B_HideClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

void BufferWindow::reload()
{
    if (!m_host)
        return;
    textcore::Buffer &b = m_host->state().Buffer;
    QTextDocument *doc = LB->document();
    const qsizetype keep = qMin(b.unchangedPrefix(), m_loadedSize);
    m_syncing = true;
    doc->setUndoRedoEnabled(false);
    if (keep == 0 || doc->isModified() || keep > doc->blockCount()) {
        LB->setPlainText(cp1251::decode(b.lines().join('\n')));
    } else if (keep < b.size() || keep < m_loadedSize) {
        // Only the lines after the unchanged ones: a big buffer is not laid out
        // again for an export appended to it or a line it rewrote.
        QTextCursor c(doc);
        const QTextBlock last = doc->findBlockByNumber(int(keep) - 1);
        c.setPosition(last.position() + last.length() - 1);
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        c.removeSelectedText();
        if (keep < b.size())
            c.insertText(QLatin1Char('\n') + cp1251::decode(b.lines().mid(keep).join('\n')));
    }
    doc->setUndoRedoEnabled(true);
    doc->setModified(false);
    m_syncing = false;
    b.markSynced();
    m_loadedRevision = b.revision();
    m_loadedSize = b.size();
}

QList<QByteArray> BufferWindow::editedLines() const
{
    const QString text = LB->toPlainText();
    if (text.isEmpty())
        return {};
    return cp1251::encode(text).split('\n');
}

void BufferWindow::commitEdits()
{
    if (!m_host || !LB->document()->isModified())
        return;
    textcore::Buffer &b = m_host->state().Buffer;
    QList<QByteArray> lines = editedLines();
    // Lines that arrived while the user was editing follow the edited text; a
    // buffer emptied meanwhile stays empty.
    const bool merged = b.revision() != m_loadedRevision;
    if (merged)
        lines = b.size() >= m_loadedSize ? lines + b.lines().mid(m_loadedSize) : b.lines();
    m_syncing = true;
    b.setLines(std::move(lines));
    m_syncing = false;
    LB->document()->setModified(false);
    if (merged) {
        reload();   // the lines that arrived meanwhile, after the edited ones
        return;
    }
    b.markSynced();
    m_loadedRevision = b.revision();
    m_loadedSize = b.size();
}

void BufferWindow::bufferChanged()
{
    if (m_host)
        emit emptinessChanged(m_host->state().Buffer.isEmpty());
    // Exports arriving while the window is open show up once they are done.
    if (m_syncing || !isVisible() || m_reloadQueued)
        return;
    m_reloadQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_reloadQueued = false;
        commitEdits();
        if (m_host && m_loadedRevision != m_host->state().Buffer.revision())
            reload();
        B_Save->setEnabled(m_host && !m_host->state().Buffer.isEmpty());
    });
}

void BufferWindow::B_SaveClick()
{
    if (!m_host)
        return;
    const QString path = chooseFile ? chooseFile(this, existingFolder(SD_InitialDir)) : QString();
    if (path.isEmpty())
        return;
    // The next save starts where this one went.
    SD_InitialDir = QFileInfo(path).absolutePath();
    commitEdits();
    UiServices &ui = m_host->ui();
    bool append = false;
    if (QFileInfo::exists(path))
        append = ui.askOkCancel(this, cp1251::decode(textcore::texts::appendQuestion()));
    const QString error = textcore::saveBuffer(path, m_host->state().Buffer.lines(), append);
    if (!error.isEmpty())
        ui.message(this, cp1251::decode(textcore::texts::saveFailed()) + QLatin1Char('\n') + error);
}

void BufferWindow::B_ClearClick()
{
    if (m_host) {
        commitEdits();
        textcore::Buffer &b = m_host->state().Buffer;
        if (!b.isEmpty() && m_host->ui().askOkCancel(this, cp1251::decode(textcore::texts::clearQuestion()))) {
            b.clear();
            reload();
            B_Save->setEnabled(false);
        }
    }
    emit clearClicked();
}

void BufferWindow::B_HideClick()
{
    close();
}

void BufferWindow::MM_1_TClick()
{
    if (!chooseFont)
        return;
    if (const auto f = chooseFont(this, LB->font()))
        LB->setFont(*f);
}
