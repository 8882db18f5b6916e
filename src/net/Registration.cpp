#include "Registration.h"

#include "model/CommaList.h"

namespace {

QByteArray upperLatin(QByteArray s)
{
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

} // namespace

RegistrationReply readRegistration(const QByteArray &body)
{
    RegistrationReply r;
    const QByteArray upper = upperLatin(body);
    const qsizetype mes = upper.indexOf("MES=");
    if (mes >= 0) {
        r.hasMessage = true;
        r.message = body.mid(mes + 4);
    }
    r.concordance = upper.contains("CONC,");
    const qsizetype dict = upper.indexOf("DICT=");
    if (dict >= 0) {
        r.hasDictionaries = true;
        const qsizetype from = dict + 5;
        const qsizetype end = upper.indexOf(",END,", from);
        r.dictionaries = commalist::split(end < 0 ? body.mid(from) : body.mid(from, end - from));
    }
    return r;
}
