#include "corpus/Import.h"

#include "corpus/Charset.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <unistd.h>

namespace corvus::import {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == char(0xA0); }

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (isBlank(s.front()) || s.front() == '\n'))
        s.remove_prefix(1);
    while (!s.empty() && (isBlank(s.back()) || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool parseInt(std::string_view s, int &v)
{
    if (s.empty() || s.size() > 4)
        return false;
    v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    return true;
}

} // namespace

bool parseYear(std::string_view s, YearRange &year)
{
    s = trim(s);
    int a = 0, b = 0;
    size_t dash = s.find('-');
    size_t dashLen = 1;
    for (char d : {char(0x96), char(0x97)}) {
        if (dash == std::string_view::npos) {
            dash = s.find(d);
        }
    }
    if (dash == std::string_view::npos) {
        if (!parseInt(s, a) || a < 1 || s.size() != 4)
            return false;
        year.from = year.to = int16_t(a);
        return true;
    }
    const std::string_view l = trim(s.substr(0, dash)), r = trim(s.substr(dash + dashLen));
    if (l.size() != 4 || r.size() != 4 || !parseInt(l, a) || !parseInt(r, b) || b < a)
        return false;
    year.from = int16_t(a);
    year.to = int16_t(b);
    return true;
}

bool looksLikeText(std::string_view bytes)
{
    const size_t n = std::min<size_t>(bytes.size(), size_t(64) << 10);
    size_t control = 0;
    for (size_t i = 0; i < n; ++i) {
        const auto c = uint8_t(bytes[i]);
        if (c == 0)
            return false;
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v' && c != 0x1A)
            || c == 0x7F)
            ++control;
    }
    return control * 100 <= n;
}

int kindOfFolderName(const QString &name)
{
    const QString n = name.toLower();
    static const QStringList verse = {QStringLiteral("poems"), QStringLiteral("poetry"), QStringLiteral("verse"),
                                      QStringLiteral("verses"), QStringLiteral("стихи"), QStringLiteral("поэзия"),
                                      QStringLiteral("стихотворения")};
    static const QStringList prose = {QStringLiteral("prose"), QStringLiteral("проза")};
    if (verse.contains(n))
        return 1;
    if (prose.contains(n))
        return 0;
    return -1;
}

namespace {

// Splits one CSV line into fields ("" inside quotes is a quote); *open tells
// whether a quote was left open at the end of the line.
QStringList csvFields(const QString &line, bool *open = nullptr)
{
    QStringList out;
    QString cur;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
                    cur += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cur += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            out << cur.trimmed();
            cur.clear();
        } else {
            cur += c;
        }
    }
    out << cur.trimmed();
    if (open)
        *open = quoted;
    return out;
}

} // namespace

QHash<QString, InfoRow> parseInfoCsv(const QByteArray &bytes, std::vector<BadRow> *bad)
{
    QHash<QString, InfoRow> rows;
    const std::string text = charset::toCp1251(std::string_view(bytes.constData(), size_t(bytes.size())));
    const QString all = charset::toQString(text);
    const QStringList lines = all.split(QLatin1Char('\n'));
    int colName = 0, colYear = 1, colAuthor = -1, colTitle = -1, colKind = -1;
    bool first = true;
    int lineNo = 0;
    auto report = [&](const QString &reason) {
        if (bad)
            bad->push_back({lineNo, reason});
    };
    for (const QString &raw : lines) {
        ++lineNo;
        if (raw.trimmed().isEmpty())
            continue;
        bool open = false;
        const QStringList f = csvFields(raw, &open);
        if (open) {
            first = false;
            report(QStringLiteral("кавычка не закрыта, строка пропущена"));
            continue;
        }
        if (first) {
            first = false;
            QStringList lower;
            for (const QString &h : f)
                lower << h.toLower();
            if (lower.contains(QStringLiteral("name"))) {
                colName = int(lower.indexOf(QStringLiteral("name")));
                colYear = int(lower.indexOf(QStringLiteral("year")));
                colAuthor = int(lower.indexOf(QStringLiteral("author")));
                colTitle = int(lower.indexOf(QStringLiteral("title")));
                colKind = int(lower.indexOf(QStringLiteral("kind")));
                continue;
            }
        }
        auto field = [&](int col) { return col >= 0 && col < f.size() ? f[col] : QString(); };
        InfoRow row;
        row.name = field(colName);
        if (row.name.isEmpty())
            continue;
        const QString yearText = field(colYear);
        const QByteArray y = charset::toCp1251(yearText);
        row.hasYear = parseYear(std::string_view(y.constData(), size_t(y.size())), row.year);
        if (!row.hasYear && !yearText.isEmpty())
            report(QStringLiteral("год «%1» не год (нужно 1836 или 1862-1864), текст без года").arg(yearText));
        row.author = field(colAuthor);
        row.title = field(colTitle);
        row.kind = field(colKind);
        rows.insert(row.name, row);
    }
    return rows;
}

bool looksLikeFortunes(std::string_view s)
{
    size_t pos = 0;
    while (pos < s.size()) {
        size_t end = s.find('\n', pos);
        if (end == std::string_view::npos)
            end = s.size();
        if (trim(s.substr(pos, end - pos)) == "%")
            return true;
        pos = end + 1;
    }
    return false;
}

namespace {

// The author text after an attribution marker, or false when the line is not one.
bool attribution(std::string_view line, std::string_view &rest)
{
    size_t i = 0;
    while (i < line.size() && isBlank(line[i]))
        ++i;
    const bool indented = i > 0;
    std::string_view s = line.substr(i);
    size_t markLen = 0;
    if (s.substr(0, 2) == "--")
        markLen = 2;
    else if (indented && !s.empty() && (s[0] == char(0x97) || s[0] == char(0x96)))
        markLen = 1;
    else
        return false;
    s.remove_prefix(markLen);
    if (!s.empty() && !isBlank(s[0]))
        return false;
    rest = trim(s);
    return !rest.empty();
}

bool hasWord(std::string_view s)
{
    for (char c : s)
        if (charset::isLetter(uint8_t(c)) || charset::isDigit(uint8_t(c)))
            return true;
    return false;
}

} // namespace

std::vector<FortuneUnit> splitFortunes(std::string_view s)
{
    std::vector<FortuneUnit> units;
    size_t unitStart = 0;   // first byte of the current unit's body
    bool inUnit = false;
    bool afterAttribution = false;
    auto close = [&](size_t end, std::string_view author) {
        if (inUnit) {
            FortuneUnit u;
            u.body = s.substr(unitStart, end - unitStart);
            if (hasWord(u.body)) {
                std::string_view name = author;
                const size_t comma = name.find(',');
                if (comma != std::string_view::npos) {
                    YearRange y;
                    if (parseYear(name.substr(comma + 1), y))
                        u.year = y;
                    name = trim(name.substr(0, comma));
                }
                u.author = std::string(name);
                if (!u.author.empty())
                    u.author[0] = char(charset::upper(uint8_t(u.author[0])));
                units.push_back(std::move(u));
            }
        }
        inUnit = false;
    };

    size_t pos = 0;
    while (pos <= s.size()) {
        size_t end = s.find('\n', pos);
        if (end == std::string_view::npos)
            end = s.size();
        const std::string_view line = s.substr(pos, end - pos);
        std::string_view author;
        if (trim(line) == "%") {
            close(pos, {});
            afterAttribution = false;
        } else if (inUnit && attribution(line, author)) {
            close(pos, author);
            afterAttribution = true;
        } else if (afterAttribution && !line.empty() && isBlank(line[0])) {
            // continuation of the attribution ("   \"Book title\"")
        } else if (!trim(line).empty() || inUnit) {
            if (!inUnit) {
                inUnit = true;
                unitStart = pos;
            }
            afterAttribution = false;
        }
        if (end == s.size())
            break;
        pos = end + 1;
    }
    close(s.size(), {});
    return units;
}

} // namespace corvus::import
