#include "BufferOps.h"

#include "model/Cp1251.h"

#include <QFile>

using cp1251::ru;

namespace textcore {

CopyStep chooseCopyStep(const CopyInput &in)
{
    switch (in.page) {
    case SubPage::Context:
    case SubPage::Usage:
        return in.fragmentEmpty ? CopyStep::ExportConcordance : CopyStep::MarkedLines;
    case SubPage::Text:
        if (in.fastListing)
            return in.memoSelection > 0 ? CopyStep::MemoSelection : CopyStep::None;
        return in.fragmentEmpty ? CopyStep::ExportText : CopyStep::MarkedWords;
    case SubPage::Other:
        break;
    }
    return CopyStep::None;
}

bool needsLongExportQuestion(qint32 found)
{
    return found > LongExportLines;
}

namespace texts {
QByteArray longExportQuestion()
{
    // The buttons' words as the question box shows them (UiServices).
    return ru("Выполнение запроса может потребовать нескольких минут. Продолжить (OK), "
              "Отменить (Отмена)");
}
QByteArray clearQuestion() { return ru("Очистить без сохранения ?"); }
QByteArray appendQuestion() { return ru("Добавить информацию в существующий файл ?"); }
QByteArray saveFailed() { return ru("Ошибка сохранения информации"); }
QByteArray copyText() { return ru("Текст -> буфер"); }
QByteArray saveFragment() { return ru("Сохранить фрагмент"); }
QByteArray copyLines() { return ru("Конк.-> Буфер"); }
QByteArray keptLinesQuestion(qsizetype lines)
{
    return ru("В буфере остались собранные строки (") + QByteArray::number(lines)
           + ru("). Очистить буфер?");
}
} // namespace texts

QList<QByteArray> markedLinesLines(const PendingFragment &fragment, const QByteArray &concTextName)
{
    // Each line goes under the heading of its own text: a new heading wherever the
    // text changes from the line before.
    QList<QByteArray> out;
    const QByteArray *heading = nullptr;
    for (const FragmentEntry &e : fragment.entries) {
        const QByteArray &name = e.source.isEmpty() ? concTextName : e.source;
        if (!heading || *heading != name)
            out.append(".... \"" + name + "\" ....");
        heading = &name;
        out.append(e.text);
    }
    return out;
}

QByteArray textHeading(const QByteArray &textName)
{
    return ".... \"" + textName + "\" .... - " + ru("(выделенные)");
}

QList<QByteArray> markedWordsLines(const PendingFragment &fragment,
                                   const QList<WordLabel> &labels, const QByteArray &textName)
{
    QList<QByteArray> out;
    if (fragment.entries.isEmpty())
        return out;
    out += {"*****", textHeading(textName), "*****", QByteArray()};
    int row = 0;
    bool started = false;
    for (const FragmentEntry &e : fragment.entries) {
        const int top = e.object >= 0 && e.object < labels.size() ? labels[e.object].top : row;
        if (started && top == row) {
            out.last() += e.text;
        } else {
            out.append(e.text);
            row = top;
            started = true;
        }
    }
    return out;
}

QList<QByteArray> selectionLines(const QByteArray &textName, const QByteArray &selected)
{
    QList<QByteArray> out{textHeading(textName)};
    QByteArray text = ' ' + selected;
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    out += text.split('\n');
    return out;
}

QList<QByteArray> textPageExport(const TextPageReply &page, const QByteArray &textName)
{
    QList<QByteArray> out = textRows(page.words);
    out.append(textName);
    return out;
}

QList<QByteArray> exportHeader(const QList<FilterRow> &rows, bool permChecked)
{
    QList<QByteArray> out{"* * * * * * * * * * * * * * *"};
    for (const FilterRow &r : rows) {
        if (!((r.checked && permChecked) || r.active))
            continue;
        QByteArray caption = r.caption;
        const qsizetype eq = caption.indexOf('=');
        if (eq >= 0)
            caption[eq] = '-';
        out.append(caption);
    }
    out.append("************************");
    return out;
}

QByteArray saveBytes(const QByteArray &old, const QString &fullPath, const QList<QByteArray> &lines)
{
    QByteArray out = old;
    if (!out.isEmpty() && !out.endsWith('\n'))
        out += "\r\n";
    const auto line = [&out](const QByteArray &l) {
        out += l;
        out += "\r\n";
    };
    line(cp1251::encode(fullPath));
    for (const QByteArray &l : lines)
        line(l);
    line("=============");
    return out;
}

QByteArray keptBufferBytes(const QList<QByteArray> &lines)
{
    qsizetype size = 0;
    for (const QByteArray &l : lines)
        size += l.size() + 2;
    QByteArray out;
    out.reserve(size);
    for (const QByteArray &l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

QList<QByteArray> keptBufferLines(const QByteArray &bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    const QByteArray text = nul >= 0 ? bytes.left(nul) : bytes;
    if (text.isEmpty())
        return {};
    QList<QByteArray> lines = text.split('\n');
    if (text.endsWith('\n'))
        lines.removeLast();
    for (QByteArray &l : lines) {
        if (l.endsWith('\r'))
            l.chop(1);
    }
    return lines;
}

QList<QByteArray> readKeptBuffer(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    return keptBufferLines(bytes);
}

} // namespace textcore
