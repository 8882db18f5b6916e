#include "service/CorvusService.h"

#include "corpus/MappingGuard.h"
#include "wire/ReplyWriter.h"
#include "service/UpdateOffer.h"
#include "model/CommaList.h"
#include "model/Cp1251.h"

#include <QString>

#include <atomic>
#include <cstdio>

namespace {

QByteArray ru(const char *utf8)
{
    return cp1251::ru(utf8);
}

// The registration text is the version text ("1.4.12.0") immediately followed by
// the user name.
QByteArray userNameOf(const QByteArray &params)
{
    qsizetype i = 0;
    while (i < params.size() && ((params[i] >= '0' && params[i] <= '9') || params[i] == '.'))
        ++i;
    return dictreplies::cleanText(params.mid(i)).trimmed();
}

} // namespace

CorvusService::CorvusService(CorpusFacts facts,
                             QList<std::shared_ptr<const ServedDictionary>> dictionaries)
    : m_facts(std::move(facts)), m_dictionaries(std::move(dictionaries))
{
}

void CorvusService::setUpdateOffer(std::shared_ptr<const UpdateOffer> offer)
{
    m_update = std::move(offer);
}

QByteArray CorvusService::greeting() const
{
    return reply::wire(QByteArrayLiteral("RG"), QByteArrayLiteral("Corvus " LEXAR_VERSION_TEXT));
}

QByteArray CorvusService::badRequest(const QByteArray &reason1251)
{
    return reply::zero(reason1251);
}

QByteArray CorvusService::registrationBody(const QByteArray &params) const
{
    OptionList options = OptionList::initial();
    options.set(QByteArrayLiteral("SL_Count"), QByteArray::number(m_facts.wordCount));
    options.set(QByteArrayLiteral("SWD"), QByteArrayLiteral("YES"));
    options.set(QByteArrayLiteral("SS"), m_handlers.contains("CT_D") ? QByteArrayLiteral("YES")
                                                                     : QByteArrayLiteral("NO"));

    // The client takes everything after "MES=" as the message, so the dictionary list
    // and "CONC," come first.
    QByteArray text;
    if (!m_dictionaries.isEmpty()) {
        QList<QByteArray> names;
        for (const auto &d : m_dictionaries)
            names.append(d->name());
        text += "DICT=" + commalist::join(names) + ",END,";
    }
    if (m_handlers.contains("CN_C"))
        text += "CONC,";
    const QByteArray user = userNameOf(params);
    text += "MES=" + ru("Добро пожаловать");
    if (!user.isEmpty())
        text += ", " + user;
    text += ru("! Корпус «") + m_facts.label + ru("»: текстов ") + QByteArray::number(m_facts.textCount)
        + ru(", словоупотреблений ") + QByteArray::number(m_facts.wordCount) + '.';
    return reply::body(std::nullopt, options, text);
}

QByteArray CorvusService::infoText() const
{
    QByteArray text = "Corvus " LEXAR_VERSION_TEXT + ru(" — корпус «") + m_facts.label
        + ru("», текстов ") + QByteArray::number(m_facts.textCount) + ru(", словоупотреблений ")
        + QByteArray::number(m_facts.wordCount);
    if (!m_dictionaries.isEmpty()) {
        text += ru("; словари: ");
        for (int i = 0; i < m_dictionaries.size(); ++i) {
            if (i > 0)
                text += ", ";
            text += m_dictionaries[i]->name() + " ("
                + QByteArray::number(m_dictionaries[i]->dictionary().index().size()) + ')';
        }
    }
    return text;
}

ServiceOutcome CorvusService::handle(const wirerequest::Request &request,
                                     const SessionInfo &session) const
{
    return marked(answer(request, session, false), session);
}

ServiceOutcome CorvusService::handleStreamed(const wirerequest::Request &request,
                                             const SessionInfo &session) const
{
    return marked(answer(request, session, true), session);
}

ServiceOutcome CorvusService::marked(ServiceOutcome out, const SessionInfo &session) const
{
    // The cache file was cut short under the server (mappingguard): what was read
    // from it may be blanks, so no answer made from it is given.
    if (corvus::mappingguard::damaged()) {
        static std::atomic<bool> logged{false};
        if (!logged.exchange(true))
            std::fprintf(stderr, "%s\n",
                         QStringLiteral("Corvus: файл кэша индекса укорочен во время работы сервера: запросы "
                                        "получают отказ; после перезапуска индекс будет построен заново.")
                             .toLocal8Bit()
                             .constData());
        out.reply = reply::zero(ru("Файл кэша индекса изменён во время работы сервера: ответ не может быть дан. "
                                   "Перезапустите сервер: индекс будет построен заново."));
        out.rest.reset();
        out.registeredAs.reset();
    }
    // A streamed reply's front holds the header, which counts the whole reply.
    if (out.registeredAs) {
        // The registration reply already speaks to the version just registered.
        SessionInfo registered = session;
        registered.clientVersion = out.clientVersion;
        out.reply = markedFor(registered, out.reply);
    } else {
        out.reply = markedFor(session, out.reply);
    }
    return out;
}

QByteArray CorvusService::markedFor(const SessionInfo &session, const QByteArray &reply) const
{
    if (!m_update || session.local || !m_update->isNewerThan(session.clientVersion))
        return reply;
    return update::withMark(reply, 'U');
}

QByteArray CorvusService::updateReply(const QByteArray &tag, const SessionInfo &session) const
{
    if (!m_update)
        return reply::zero(ru("Обновление программы с этого сервера недоступно."));
    if (session.local)
        return reply::zero(ru("Обновление программы по локальной связи не выполняется: подключитесь "
                              "к серверу по сети."));
    return m_update->reply(tag);
}

ServiceOutcome CorvusService::answer(const wirerequest::Request &request,
                                     const SessionInfo &session, bool streamed) const
{
    ServiceOutcome out;
    const QByteArray &tag = request.tag;
    if (tag == "NM" || tag == "NMD") {
        out.reply = reply::wire(tag, registrationBody(request.params));
        out.registeredAs = userNameOf(request.params);
        out.clientVersion = update::versionPrefix(request.params);
        return out;
    }
    if (tag == "INFO") {
        out.reply = reply::wire(tag, infoText());
        return out;
    }
    if (tag == "DC_C" || tag == "DC_CC" || tag == "DC_W" || tag == "DC_S") {
        out.reply = dictionaryReply(request);
        return out;
    }
    if (const auto h = m_streamHandlers.constFind(tag); streamed && h != m_streamHandlers.constEnd()) {
        StreamedReply r = (*h)(request, session);
        out.reply = std::move(r.front);
        out.rest = std::move(r.rest);
        return out;
    }
    if (const auto h = m_handlers.constFind(tag); h != m_handlers.constEnd()) {
        out.reply = (*h)(request, session);
        return out;
    }
    if (tag == "CL_E" || tag == "CL_B") {
        out.reply = updateReply(tag, session);
        return out;
    }
    if (request.known) {
        out.reply = reply::zero(ru("Запрос «") + tag + ru("» этим сервером не обслуживается."));
        return out;
    }
    out.reply = reply::zero(ru("Неизвестный запрос «") + tag + ru("»."));
    return out;
}

QByteArray CorvusService::dictionaryReply(const wirerequest::Request &request) const
{
    if (!request.dict)
        return reply::zero(ru("В запросе нет позиции в словаре."));
    const tCDictPos &asked = *request.dict;
    if (asked.LetterNo == -2)
        return reply::zero(ru("Позиция в словаре в запросе искажена."));
    if (asked.DictNo < 0 || asked.DictNo >= m_dictionaries.size())
        return reply::zero(ru("Словарь с номером ") + QByteArray::number(asked.DictNo)
                           + ru(" на сервере отсутствует."));
    const ServedDictionary &dict = *m_dictionaries[asked.DictNo];
    const ServedDictionary::Resolved r = dict.resolve(asked);
    if (!r.ok)
        return reply::zero(r.error);

    const QByteArray &tag = request.tag;
    if (tag == "DC_C")
        return reply::wire(tag, reply::body(r.pos, std::nullopt, dict.lettersBody()));
    if (r.place < 0)
        return reply::zero(ru("Словарь «") + dict.name() + ru("» пуст."));
    if (tag == "DC_CC")
        return reply::wire(tag, reply::body(r.pos, std::nullopt, dict.pairsBody(r.pos.LetterNo - 1)));
    if (tag == "DC_W")
        return reply::wire(
            tag, reply::body(r.pos, std::nullopt, dict.headwordsBody(r.pos.LetterNo - 1, r.pos.PairNo)));
    if (m_entryTie && request.options) {
        OptionList options = *request.options;
        if (const auto tie = m_entryTie(asked.DictNo, r.place)) {
            options.set("DTCR", QByteArray::number(tie->first));
            options.set("DTCC", QByteArray::number(tie->second));
        } else {
            options.remove("DTCR");
            options.remove("DTCC");
        }
        return reply::wire(tag, reply::body(r.pos, options, dict.entryBody(r.place)));
    }
    return reply::wire(tag, reply::body(r.pos, std::nullopt, dict.entryBody(r.place)));
}
