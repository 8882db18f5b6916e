#include "OptionList.h"

#include "CommaList.h"
#include "StrictInt.h"

namespace {

char latinLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool sameName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (latinLower(a[i]) != latinLower(b[i]))
            return false;
    }
    return true;
}

// The longest distance from the start at which the second '/' of an option-list
// record is looked for.
constexpr qsizetype MaxHeaderSpan = 1500;

} // namespace

OptionList OptionList::initial()
{
    OptionList l;
    l.m_entries.append(QByteArrayLiteral("1=2"));
    return l;
}

OptionList OptionList::fromCommaText(const QByteArray &text)
{
    OptionList l;
    l.m_entries = commalist::split(text);
    return l;
}

int OptionList::indexOf(const QByteArray &name) const
{
    for (int i = 0; i < m_entries.size(); ++i) {
        const QByteArray &e = m_entries[i];
        const qsizetype eq = e.indexOf('=');
        // An entry without '=' has no name and matches nothing.
        if (eq >= 0 && sameName(QByteArrayView(e).first(eq), name))
            return i;
    }
    return -1;
}

QByteArray OptionList::value(const QByteArray &name) const
{
    const int i = indexOf(name);
    if (i < 0)
        return {};
    const QByteArray &e = m_entries[i];
    return e.mid(e.indexOf('=') + 1);
}

bool OptionList::has(const QByteArray &name) const
{
    return indexOf(name) >= 0;
}

void OptionList::set(const QByteArray &name, const QByteArray &value)
{
    const int i = indexOf(name);
    if (value.isEmpty()) {
        if (i >= 0)
            m_entries.removeAt(i);
        return;
    }
    QByteArray entry = name + '=' + value;
    if (i >= 0)
        m_entries[i] = entry;
    else
        m_entries.append(entry);
}

void OptionList::remove(const QByteArray &name)
{
    const int i = indexOf(name);
    if (i >= 0)
        m_entries.removeAt(i);
}

QByteArray OptionList::commaText() const
{
    return commalist::join(m_entries);
}

QByteArray OptionList::framed() const
{
    if (m_entries.isEmpty())
        return {};
    const QByteArray text = commaText();
    QByteArray f;
    f.reserve(text.size() + 16);
    f += char(5);
    f += '/';
    f += QByteArray::number(text.size());
    f += '/';
    f += char(5);
    f += text;
    return f;
}

OptionRecordResult readOptionRecord(QByteArray &body, OptionList &list)
{
    if (body.size() < 2 || body[0] != char(5) || body[1] != '/')
        return OptionRecordResult::NotARecord;

    auto emptied = [&list] {
        list.clear();
        return OptionRecordResult::Emptied;
    };
    if (body.size() <= 2)
        return emptied();
    const qsizetype slash = body.indexOf('/', 2);
    if (slash < 0 || slash >= MaxHeaderSpan || slash + 1 >= body.size()
        || body[slash + 1] != char(5))
        return emptied();
    const auto length = strictint::parse(QByteArrayView(body).sliced(2, slash - 2));
    if (!length || *length < 0)
        return emptied();
    const qsizetype start = slash + 2;
    if (body.size() - start < *length)
        return emptied();
    list = OptionList::fromCommaText(body.mid(start, *length));
    body.remove(0, start + *length);
    return OptionRecordResult::Consumed;
}
