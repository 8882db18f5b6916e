#include "ConcExport.h"

#include "WordList.h"

#include "dictionary/core/RefList.h"
#include "model/Cp1251.h"

namespace conccore {

namespace {
const QByteArray Stars16 = QByteArray(16, '*');
} // namespace

QByteArray captionWithDash(const QByteArray &caption)
{
    const qsizetype eq = caption.indexOf('=');
    return eq < 0 ? caption : caption.left(eq) + '-' + caption.mid(eq + 1);
}

QList<QByteArray> listExportRowLines(const FilterRows &filters)
{
    QList<QByteArray> lines;
    for (const FilterRow &row : filters.rows) {
        if (!row.visible)
            continue;
        if (!lines.isEmpty())
            lines.last() += " + ";
        QByteArray line;
        if (row.checked) {
            line = captionWithDash(row.caption);
        } else {
            const qsizetype eq = row.caption.indexOf('=');
            line = (eq < 0 ? row.caption : row.caption.left(eq)) + '-';
        }
        if (row.hasDistance && !row.distance.isEmpty() && row.distance != "0")
            line += cp1251::ru("(совм.встречаемость на расстоянии ") + row.distance + ") c";
        lines.append(line);
    }
    return lines;
}

QList<QByteArray> concExportHeader(const FilterRows &filters)
{
    QList<QByteArray> lines{"* * * * * * * * * * * * * * *"};
    for (const FilterRow &row : filters.rows)
        if ((row.checked && filters.perm) || row.active)
            lines.append(captionWithDash(row.caption));
    lines.append(QByteArray(24, '*'));
    return lines;
}

namespace {

// One value's line of a list export.
QByteArray listExportLine(const QByteArray &whole, const ListRecord &rec, bool frequencyShown)
{
    const QByteArray count = QByteArray::number(rec.Count);
    const QByteArray suffix = frequencyShown ? frequencySuffix(rec, true) : QByteArray();
    QByteArray line;
    line.reserve(whole.size() + 3 + count.size() + suffix.size());
    line += whole;
    line += " / ";
    line += count;
    line += suffix;
    return line;
}

// The lines before the values; returns the index of the count line.
qsizetype writeListExportHead(textcore::Buffer &buffer, const FilterRows &filters)
{
    buffer.append(Stars16);
    const qsizetype countLine = buffer.append(QByteArray());
    buffer.append(listExportRowLines(filters));
    buffer.append(Stars16);
    return countLine;
}

int writeListExportValues(textcore::Buffer &buffer, qsizetype countLine, QList<QByteArray> values)
{
    const int count = int(values.size());
    buffer.append(std::move(values));
    buffer.setLine(countLine, cp1251::ru("(Найдено ") + QByteArray::number(count) + cp1251::ru(" значений) :"));
    return count;
}

} // namespace

int writeListExport(textcore::Buffer &buffer, const WordPage &page, const FilterRows &filters,
                    bool frequencyShown)
{
    const qsizetype countLine = writeListExportHead(buffer, filters);
    QList<QByteArray> values;
    values.reserve(page.entries.size());
    for (const WordEntry &e : page.entries)
        values.append(listExportLine(e.whole, e.rec, frequencyShown));
    return writeListExportValues(buffer, countLine, std::move(values));
}

int writeListExport(textcore::Buffer &buffer, const QByteArray &body, bool showEmpty, const FilterRows &filters,
                    bool frequencyShown)
{
    const qsizetype countLine = writeListExportHead(buffer, filters);
    QList<QByteArray> values;
    reflist::RefListReader reader(body);
    while (std::optional<reflist::RefElement> e = reader.next()) {
        if (!e->ref)
            break;
        if (!applyEmptyValueRule(e->text, showEmpty))
            continue;
        const ListRecord rec{e->ref->NestRef, e->ref->NestSize, e->ref->Extra1, e->ref->Extra2};
        values.append(listExportLine(e->text, rec, frequencyShown));
    }
    return writeListExportValues(buffer, countLine, std::move(values));
}

QList<QByteArray> concExportIntro(const FilterRows &filters, const QList<QByteArray> &names, bool singleLine,
                                  qint32 found)
{
    return concExportHeader(filters) + concExportCounts(names, singleLine, found);
}

QList<QByteArray> concExportCounts(const QList<QByteArray> &names, bool singleLine, qint32 found)
{
    QList<QByteArray> lines;
    if (!names.isEmpty()) {
        QByteArray line;
        for (const QByteArray &n : names)
            line += n + '/';
        lines.append(line);
        lines.append(Stars16);
    }
    lines.append(singleLine ? cp1251::ru("Запрошенная строка : ")
                            : cp1251::ru("Найдено ") + QByteArray::number(found) + cp1251::ru(" строк"));
    lines.append(Stars16);
    return lines;
}

QList<QByteArray> headingNames(const QByteArray &char3, const QList<QByteArray> &charNames)
{
    QList<QByteArray> out;
    for (const char c : char3) {
        int n = int(uchar(c));
        if (n >= CodeBase)
            n -= CodeBase;
        if (n < charNames.size())
            out.append(charNames[n]);
    }
    return out;
}

bool ConcExportWriter::writeSome(textcore::Buffer &buffer, int maxLines)
{
    QList<QByteArray> lines;
    ExportLine line;
    for (int i = 0; i < maxLines; ++i) {
        if (!m_reader.next(&line)) {
            buffer.append(lines);
            return false;
        }
        if (!line.heading.isEmpty() && line.heading != m_heading)
            lines.append(line.heading + " : ");
        m_heading = line.heading;
        lines.append(exportLineText(++m_count, line, m_prose));
    }
    buffer.append(lines);
    return true;
}

} // namespace conccore
