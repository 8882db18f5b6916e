#include "Progress.h"

#include <optional>

namespace {

std::optional<int> integer(const QByteArray &text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return v;
}

} // namespace

ProgressValues parseProgressText(const QByteArray &text)
{
    QByteArray s = text;
    const qsizetype mes = s.indexOf(",MES");
    if (mes > 0)
        s.truncate(mes);
    const qsizetype end = s.indexOf(",END,");
    if (end >= 0)
        s = s.mid(end + 5);
    const qsizetype comma = s.indexOf(',');
    if (comma <= 0)
        return {};
    QByteArray after = s.mid(comma + 1);
    const qsizetype next = after.indexOf(',');
    if (next >= 0)
        after.truncate(next);
    const auto max = integer(s.left(comma));
    const auto pos = integer(after);
    if (!max || !pos)
        return {};
    return {*max, *pos};
}
