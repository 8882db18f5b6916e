#include "PrivateProfile.h"

#include <QFile>
#include <QFileInfo>

namespace platform {

namespace {

bool isBlank(char c)
{
    // Control-Z counts as a blank: old editors end text files with it.
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'
        || c == '\x1a';
}

QByteArrayView trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

QByteArrayView trimmedRight(QByteArrayView text)
{
    qsizetype end = text.size();
    while (end > 0 && isBlank(text[end - 1]))
        --end;
    return text.first(end);
}

// Capital of one code page 1251 byte. Besides A-Z and А-Я (0xC0-0xDF, small letters
// 0x20 above) the code page holds Ё and the letters of the other Slavic alphabets,
// whose pairs sit at scattered places.
unsigned char upperByte(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return c - 0x20;
    if (c >= 0xE0)
        return c - 0x20;
    switch (c) {
    case 0x90: return 0x80;   // ђ
    case 0x83: return 0x81;   // ѓ
    case 0x9A: return 0x8A;   // љ
    case 0x9C: return 0x8C;   // њ
    case 0x9D: return 0x8D;   // ќ
    case 0x9E: return 0x8E;   // ћ
    case 0x9F: return 0x8F;   // џ
    case 0xA2: return 0xA1;   // ў
    case 0xBC: return 0xA3;   // ј
    case 0xB4: return 0xA5;   // ґ
    case 0xB8: return 0xA8;   // ё
    case 0xBA: return 0xAA;   // є
    case 0xBF: return 0xAF;   // ї
    case 0xB3: return 0xB2;   // і
    case 0xBE: return 0xBD;   // ѕ
    default: return c;
    }
}

} // namespace

PrivateProfile::PrivateProfile(const QString &path)
    : m_path(path)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        // Nothing there (a link to nothing included): every key takes its default.
        m_status = Status::Absent;
        return;
    }
    if (!info.isFile()) {
        // A directory, pipe or device in the file's place. Reading a pipe could
        // block for ever, so nothing but a regular file is opened.
        m_status = Status::Unreadable;
        m_error = QStringLiteral("не является файлом");
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_status = Status::Unreadable;
        m_error = file.errorString();
        return;
    }
    const QByteArray contents = file.read(MaxFileSize);
    if (file.error() != QFileDevice::NoError) {
        m_status = Status::Unreadable;
        m_error = file.errorString();
        return;
    }
    m_status = Status::Ok;
    parse(contents);
}

PrivateProfile PrivateProfile::fromBytes(const QByteArray &contents)
{
    PrivateProfile profile;
    profile.m_status = Status::Ok;
    profile.parse(contents);
    return profile;
}

void PrivateProfile::parse(const QByteArray &contents)
{
    QByteArrayView text(contents);
    // A UTF-8 byte-order mark would otherwise glue itself to the first line.
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);

    Section *current = nullptr;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype eol = pos;
        while (eol < text.size() && text[eol] != '\n' && text[eol] != '\r')
            ++eol;
        const QByteArrayView line = trimmed(text.sliced(pos, eol - pos));
        pos = eol + 1;
        if (line.isEmpty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            const qsizetype close = line.lastIndexOf(']');
            if (close > 0) {
                m_sections.append(Section{trimmed(line.sliced(1, close - 1)).toByteArray(), {}});
                current = &m_sections.last();
                continue;
            }
            // "[" without "]": an ordinary line.
        }
        if (!current)
            continue;
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            continue;   // a key without a value reads as missing
        current->entries.append(Entry{trimmed(line.first(eq)).toByteArray(),
                                      trimmed(line.sliced(eq + 1)).toByteArray()});
    }
}

const PrivateProfile::Entry *PrivateProfile::find(QByteArrayView section,
                                                  QByteArrayView key) const
{
    const QByteArrayView sectionName = trimmed(section);
    const QByteArrayView keyName = trimmed(key);
    for (const Section &s : m_sections) {
        if (!equalNames(s.name, sectionName))
            continue;
        // Only the first section of a name is searched.
        for (const Entry &e : s.entries) {
            if (equalNames(e.key, keyName))
                return &e;
        }
        return nullptr;
    }
    return nullptr;
}

QByteArray PrivateProfile::value(QByteArrayView section, QByteArrayView key,
                                 QByteArrayView defaultValue) const
{
    const Entry *entry = find(section, key);
    if (!entry)
        return trimmedRight(defaultValue).toByteArray();
    QByteArrayView v(entry->value);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.sliced(1, v.size() - 2);
    return v.toByteArray();
}

bool PrivateProfile::contains(QByteArrayView section, QByteArrayView key) const
{
    return find(section, key) != nullptr;
}

QByteArray PrivateProfile::read(const QString &path, QByteArrayView section,
                                QByteArrayView key, QByteArrayView defaultValue)
{
    return PrivateProfile(path).value(section, key, defaultValue);
}

QByteArray PrivateProfile::upper1251(QByteArrayView text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = char(upperByte(static_cast<unsigned char>(text[i])));
    return out;
}

bool PrivateProfile::equalNames(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (upperByte(static_cast<unsigned char>(a[i]))
            != upperByte(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace platform
