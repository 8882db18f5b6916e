#include "corpus/Lemmatiser.h"

#include "corpus/Charset.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <hunspell/hunspell.hxx>

#include <algorithm>
#include <mutex>

namespace corvus {

namespace {

// Hunspell keeps tables shared by all its objects (created by the first one, freed
// by the last) without a lock of its own: two objects made or destroyed at once on
// two threads race for them and leak or free them twice. Every Hunspell object is
// made and destroyed under this lock; using one is per thread and needs none.
std::mutex &hunspellLifeLock()
{
    static std::mutex lock;
    return lock;
}

} // namespace

struct Lemmatiser::Private {
    std::unique_ptr<Hunspell> hunspell;
    bool utf8 = true;
    QStringEncoder encoder;   // used when the dictionary is neither UTF-8 nor 1251
    QStringDecoder decoder;
    bool cp1251 = false;

    std::string toDict(std::string_view cp) 
    {
        if (utf8)
            return charset::cp1251ToUtf8(cp);
        if (cp1251)
            return std::string(cp);
        const QByteArray b = encoder.encode(charset::toQString(cp));
        return std::string(b.constData(), size_t(b.size()));
    }
    std::string fromDict(const std::string &s)
    {
        if (utf8)
            return charset::utf8ToCp1251(s);
        if (cp1251)
            return s;
        const QString q = decoder.decode(QByteArrayView(s.data(), qsizetype(s.size())));
        const QByteArray b = charset::toCp1251(q);
        return std::string(b.constData(), size_t(b.size()));
    }
};

Lemmatiser::Lemmatiser() : d(new Private) {}

Lemmatiser::~Lemmatiser()
{
    std::lock_guard<std::mutex> lock(hunspellLifeLock());
    d->hunspell.reset();
}

std::unique_ptr<Lemmatiser> Lemmatiser::open(const QString &basePath, QString *error)
{
    const QString aff = basePath + QStringLiteral(".aff");
    const QString dic = basePath + QStringLiteral(".dic");
    for (const QString &f : {aff, dic}) {
        QFile probe(f);
        if (!probe.open(QIODevice::ReadOnly)) {
            if (error)
                *error = QStringLiteral("Не удалось открыть словарь hunspell: %1").arg(f);
            return nullptr;
        }
    }
    std::unique_ptr<Lemmatiser> l(new Lemmatiser);
    {
        std::lock_guard<std::mutex> lock(hunspellLifeLock());
        l->d->hunspell = std::make_unique<Hunspell>(QFile::encodeName(aff).constData(),
                                                    QFile::encodeName(dic).constData());
    }
    const QByteArray enc = QByteArray::fromStdString(l->d->hunspell->get_dict_encoding()).trimmed().toUpper();
    if (enc == "UTF-8" || enc == "UTF8") {
        l->d->utf8 = true;
    } else if (enc == "CP1251" || enc == "WINDOWS-1251" || enc == "MICROSOFT-CP1251") {
        l->d->utf8 = false;
        l->d->cp1251 = true;
    } else {
        l->d->utf8 = false;
        l->d->encoder = QStringEncoder(enc.constData());
        l->d->decoder = QStringDecoder(enc.constData());
        if (!l->d->encoder.isValid() || !l->d->decoder.isValid()) {
            if (error)
                *error = QStringLiteral("Неизвестная кодировка словаря hunspell: %1")
                             .arg(QString::fromLatin1(enc));
            return nullptr;
        }
    }
    return l;
}

bool Lemmatiser::known(std::string_view cp1251)
{
    return d->hunspell->spell(d->toDict(cp1251));
}

std::vector<std::string> Lemmatiser::stems(std::string_view folded)
{
    std::vector<std::string> out;
    auto collect = [&](const std::string &word) {
        for (const std::string &s : d->hunspell->stem(word)) {
            std::string f = d->fromDict(s);
            charset::foldInPlace(f);
            if (std::find(out.begin(), out.end(), f) == out.end())
                out.push_back(std::move(f));
        }
    };
    collect(d->toDict(folded));
    if (out.empty() && !folded.empty()) {
        std::string cap(folded);
        cap[0] = char(charset::upper(uint8_t(cap[0])));
        collect(d->toDict(cap));
    }
    return out;
}

std::optional<std::string> Lemmatiser::lemma(std::string_view folded)
{
    if (folded.empty())
        return std::nullopt;
    const std::vector<std::string> all = stems(folded);
    if (!all.empty()) {
        for (const std::string &s : all)
            if (s == folded)
                return s;
        return all.front();
    }
    const size_t dash = folded.rfind('-');
    if (dash == std::string_view::npos)
        return std::nullopt;
    // Hyphenated words: hunspell accepts some compounds ("кто-то") without giving
    // a stem; such a form is its own lemma.
    std::string cap(folded);
    cap[0] = char(charset::upper(uint8_t(cap[0])));
    if (known(folded) || known(cap))
        return std::string(folded);
    // A hyphenated compound hunspell does not know as a whole: lemmatise its last
    // part ("северо-западного" -> "северо-западный").
    if (dash > 0 && dash + 1 < folded.size()) {
        if (auto tail = lemma(folded.substr(dash + 1)))
            return std::string(folded.substr(0, dash + 1)) + *tail;
    }
    return std::nullopt;
}

} // namespace corvus
