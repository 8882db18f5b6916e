#include "service/UpdateOffer.h"

#include "wire/ReplyWriter.h"
#include "wire/ReplyAssembler.h"
#include "wire/ReplyReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace update {

QByteArray versionPrefix(const QByteArray &registration)
{
    qsizetype i = 0;
    while (i < registration.size()
           && ((registration[i] >= '0' && registration[i] <= '9') || registration[i] == '.'))
        ++i;
    return registration.left(i);
}

namespace {

// One component without its leading zeros ("" for 0).
QByteArrayView significant(QByteArrayView part)
{
    qsizetype i = 0;
    while (i < part.size() && part[i] == '0')
        ++i;
    return part.sliced(i);
}

// The next component of `text` from `at`, which moves past it and its dot.
QByteArrayView nextComponent(QByteArrayView text, qsizetype &at)
{
    if (at >= text.size())
        return {};
    qsizetype end = text.indexOf('.', at);
    if (end < 0)
        end = text.size();
    const QByteArrayView part = text.sliced(at, end - at);
    at = end + 1;
    return part;
}

} // namespace

int compareVersions(QByteArrayView a, QByteArrayView b)
{
    qsizetype ia = 0;
    qsizetype ib = 0;
    while (ia < a.size() || ib < b.size()) {
        // Numbers of any length compare by their digit count first, then by digits,
        // so nothing overflows.
        const QByteArrayView x = significant(nextComponent(a, ia));
        const QByteArrayView y = significant(nextComponent(b, ib));
        if (x.size() != y.size())
            return x.size() < y.size() ? -1 : 1;
        const int c = x.compare(y);
        if (c != 0)
            return c < 0 ? -1 : 1;
    }
    return 0;
}

QByteArray withMark(const QByteArray &wireReply, char mark)
{
    if (wireReply.startsWith("##")) {
        const qsizetype end = wireReply.indexOf("###", 2);
        if (end > 2) {
            bool ok = false;
            const qint64 count = wireReply.mid(2, end - 2).toLongLong(&ok);
            if (ok) {
                QByteArray out;
                out.reserve(wireReply.size() + 2);
                out += "##";
                out += QByteArray::number(count + 1);
                out += "###";
                out += mark;
                out += QByteArrayView(wireReply).sliced(end + 3);
                return out;
            }
        }
    }
    return mark + wireReply;
}

} // namespace update

namespace {

bool isDottedNumber(const QByteArray &text)
{
    if (text.isEmpty() || text.size() > 64 || text.front() == '.' || text.back() == '.'
        || text.contains(".."))
        return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || c == '.'))
            return false;
    }
    return true;
}

// The bytes of folder/name as one update file, or an empty array with `error` set.
QByteArray readUpdateFile(const QDir &folder, const QString &name, QString *error)
{
    const QString path = folder.filePath(name);
    const QFileInfo fi(path);
    if (!fi.exists()) {
        *error = QStringLiteral("В папке обновления нет файла %1").arg(path);
        return {};
    }
    if (!fi.isFile()) {
        *error = QStringLiteral("%1 в папке обновления не является файлом").arg(path);
        return {};
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Не удалось прочитать %1: %2").arg(path, f.errorString());
        return {};
    }
    // Room for the mark, "$CL_E=" and nothing else under the client's cap.
    constexpr qint64 maxSize = ReplyAssembler::MaxReplyLength - 8;
    if (f.size() > maxSize) {
        *error = QStringLiteral("Файл %1 слишком велик для передачи клиенту: %2 байт, допустимо не более %3")
                     .arg(path)
                     .arg(f.size())
                     .arg(maxSize);
        return {};
    }
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError || bytes.size() != f.size()) {
        *error = QStringLiteral("Не удалось прочитать %1: %2").arg(path, f.errorString());
        return {};
    }
    if (bytes.isEmpty()) {
        *error = QStringLiteral("Файл %1 в папке обновления пуст").arg(path);
        return {};
    }
    return bytes;
}

// The client finds a reply's tag by searching the whole text for the markers of its
// tag list in list order, then takes framed records off the front of the body. A
// file that holds an earlier tag's marker, or starts with a record's byte, would be
// misread or cut; the composed reply is read here exactly as the client reads it.
bool clientReadsIntact(const QByteArray &wireReply, const QByteArray &tag, const QByteArray &bytes)
{
    const ReplyAssembler::Stripped s = ReplyAssembler::stripLengthHeader(wireReply);
    if (!s.ok)
        return false;
    tCConcPos conc;
    tCDictPos dict;
    OptionList options;
    const replyreader::ReplyRead r = replyreader::readReply(s.text, conc, dict, options);
    return r.found && r.tag == tag && r.body == bytes;
}

} // namespace

std::shared_ptr<const UpdateOffer> UpdateOffer::load(const QString &folderPath, QString *error)
{
    QString why;
    auto fail = [&](const QString &reason) {
        if (error)
            *error = reason;
        return std::shared_ptr<const UpdateOffer>();
    };
    const QFileInfo fi(folderPath);
    if (!fi.isDir())
        return fail(QStringLiteral("Папка обновления не найдена: %1").arg(folderPath));
    const QDir folder(fi.absoluteFilePath());

    auto offer = std::make_shared<UpdateOffer>();
    const QByteArray version = readUpdateFile(folder, QString::fromLatin1(VersionFile), &why);
    if (version.isEmpty())
        return fail(why);
    offer->m_version = version.trimmed();
    if (!isDottedNumber(offer->m_version))
        return fail(QStringLiteral("Файл %1 должен содержать номер версии из цифр и точек, например 1.4.13.0")
                        .arg(folder.filePath(QString::fromLatin1(VersionFile))));

    const struct {
        const char *name;
        QByteArray tag;
        QByteArray *reply;
    } files[] = {
        {ClientFile, QByteArrayLiteral("CL_E"), &offer->m_clientReply},
        {UpdaterFile, QByteArrayLiteral("CL_B"), &offer->m_updaterReply},
    };
    for (const auto &file : files) {
        const QString name = QString::fromLatin1(file.name);
        const QByteArray bytes = readUpdateFile(folder, name, &why);
        if (bytes.isEmpty())
            return fail(why);
        *file.reply = reply::wire(file.tag, bytes);
        if (!clientReadsIntact(update::withMark(*file.reply, 'U'), file.tag, bytes))
            return fail(QStringLiteral("Файл %1 нельзя передать клиенту без искажений: он начинается с "
                                       "управляющего байта записи или содержит метку другого ответа")
                            .arg(folder.filePath(name)));
    }
    return offer;
}

bool UpdateOffer::isNewerThan(const QByteArray &clientVersion) const
{
    return !clientVersion.isEmpty() && update::compareVersions(clientVersion, m_version) < 0;
}

QByteArray UpdateOffer::reply(const QByteArray &tag) const
{
    if (tag == "CL_E")
        return m_clientReply;
    if (tag == "CL_B")
        return m_updaterReply;
    return {};
}
