#include "corpus/MorphDictionary.h"

#include "corpus/Charset.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <dawgdic/completer.h>
#include <dawgdic/dictionary.h>
#include <dawgdic/guide.h>

#include <algorithm>
#include <cstring>

namespace corvus::morph {
namespace {

constexpr uint8_t kSeparator = 1;   // between a key and its packed record
constexpr uint8_t kE = 0xE5, kYo = 0xB8;   // "е" and "ё" in 1251

// One DAWG file: a dawgdic dictionary followed by its guide, both mapped.
struct Dawg {
    dawgdic::Dictionary dic;
    dawgdic::Guide guide;

    // Maps the file's bytes after checking that every transition of every unit
    // stays inside the dictionary and that the guide covers it, so that Follow,
    // value() and the Completer read only inside the mapping.
    bool map(const uchar *data, qint64 size)
    {
        if (size < 8)
            return false;
        uint32_t n = 0, g = 0;
        std::memcpy(&n, data, 4);
        if (n == 0 || qint64(n) > (size - 8) / 4)
            return false;
        std::memcpy(&g, data + 4 + qint64(n) * 4, 4);
        if (g < n || qint64(g) > (size - 8 - qint64(n) * 4) / 2)
            return false;
        const auto *units = reinterpret_cast<const dawgdic::DictionaryUnit *>(data + 4);
        for (uint32_t i = 0; i < n; ++i) {
            const dawgdic::DictionaryUnit &u = units[i];
            if (u.label() & dawgdic::DictionaryUnit::IS_LEAF_BIT)
                continue;   // a value: never followed from
            if (((i ^ u.offset()) | 0xFFu) >= n)
                return false;
        }
        dic.Map(data);
        guide.Map(data + 4 + qint64(n) * 4);
        return true;
    }

    // The index reached by the key, or false.
    bool follow(std::string_view key, dawgdic::BaseType &index) const
    {
        for (char c : key)
            if (c == 0 || !dic.Follow(c, &index))
                return false;
        return true;
    }
};

// A record under a key: 16-bit numbers packed two bytes each, neither byte zero.
inline uint16_t unpack(const uint8_t *p) { return uint16_t(((p[0] ^ 1u) << 6) + (p[1] >> 1)); }

std::string toCp(const QString &s)
{
    const QByteArray b = charset::toCp1251(s);
    return std::string(b.constData(), size_t(b.size()));
}

} // namespace

struct Dictionary::Private {
    std::vector<std::unique_ptr<QFile>> files;
    Dawg words, probs, suffixDawgs[3];
    size_t suffixDawgCount = 0;
    std::vector<std::string> suffixes, prefixes, tags;
    std::vector<uint8_t> productive;   // by tag
    const uint16_t *paradigmData = nullptr;
    std::vector<uint32_t> paradigmStart;   // offset of each paradigm's numbers
    std::vector<uint16_t> paradigmForms;   // forms per paradigm
    QString description;

    const uint16_t *paradigm(uint16_t p) const { return paradigmData + paradigmStart[p]; }
    std::string_view suffix(uint16_t p, uint16_t f) const { return suffixes[paradigm(p)[f]]; }
    std::string_view prefix(uint16_t p, uint16_t f) const { return prefixes[paradigm(p)[2 * paradigmForms[p] + f]]; }

    const uchar *mapFile(const QString &path, qint64 &size, QString *error)
    {
        auto f = std::make_unique<QFile>(path);
        if (!f->open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("Не удалось открыть файл морфологического словаря: %1").arg(path);
            return nullptr;
        }
        size = f->size();
        uchar *p = size > 0 ? f->map(0, size) : nullptr;
        if (!p) {
            *error = QStringLiteral("Не удалось прочитать файл морфологического словаря: %1").arg(path);
            return nullptr;
        }
        files.push_back(std::move(f));
        return p;
    }

    bool mapDawg(const QString &path, Dawg &dawg, QString *error)
    {
        qint64 size = 0;
        const uchar *p = mapFile(path, size, error);
        if (!p)
            return false;
        if (!dawg.map(p, size)) {
            *error = QStringLiteral("Файл морфологического словаря повреждён: %1").arg(path);
            return false;
        }
        return true;
    }

    bool mapParadigms(const QString &path, QString *error)
    {
        qint64 size = 0;
        const uchar *p = mapFile(path, size, error);
        if (!p)
            return false;
        const auto *u = reinterpret_cast<const uint16_t *>(p);
        const size_t n = size_t(size / 2);
        const auto bad = [&] {
            *error = QStringLiteral("Файл морфологического словаря повреждён: %1").arg(path);
            return false;
        };
        if (n == 0)
            return bad();
        paradigmData = u;
        size_t pos = 1;
        for (uint32_t k = 0; k < u[0]; ++k) {
            if (pos >= n)
                return bad();
            const size_t len = u[pos++];
            if (len == 0 || len % 3 != 0 || pos + len > n)
                return bad();
            const size_t forms = len / 3;
            for (size_t i = 0; i < forms; ++i)
                if (u[pos + i] >= suffixes.size() || u[pos + forms + i] >= tags.size()
                    || u[pos + 2 * forms + i] >= prefixes.size())
                    return bad();
            paradigmStart.push_back(uint32_t(pos));
            paradigmForms.push_back(uint16_t(forms));
            pos += len;
        }
        return true;
    }

    // Every record under key + separator in the DAWG, as groups of `width` numbers.
    template <typename F>
    void records(const Dawg &dawg, dawgdic::BaseType index, size_t width, F &&each) const
    {
        if (!dawg.dic.Follow(char(kSeparator), &index))
            return;
        dawgdic::Completer c(dawg.dic, dawg.guide);
        c.Start(index);
        uint16_t v[4];
        while (c.Next()) {
            if (c.length() != 2 * width)
                continue;
            const auto *k = reinterpret_cast<const uint8_t *>(c.key());
            for (size_t i = 0; i < width; ++i)
                v[i] = unpack(k + 2 * i);
            each(v);
        }
    }

    // Every spelling of the key found in the DAWG, "е" also read as "ё".
    template <typename F>
    void variants(const Dawg &dawg, std::string_view key, F &&each) const
    {
        std::string spelled(key);
        walk(dawg, spelled, 0, dawg.dic.root(), each);
    }
    template <typename F>
    void walk(const Dawg &dawg, std::string &key, size_t at, dawgdic::BaseType index, F &each) const
    {
        for (; at < key.size(); ++at) {
            if (uint8_t(key[at]) == kE) {
                dawgdic::BaseType yo = index;
                if (dawg.dic.Follow(char(kYo), &yo)) {
                    key[at] = char(kYo);
                    walk(dawg, key, at + 1, yo, each);
                    key[at] = char(kE);
                }
            }
            if (key[at] == 0 || !dawg.dic.Follow(key[at], &index))
                return;
        }
        each(std::string_view(key), index);
    }

    // The normal form of a lexeme from one of its forms; false when the form does
    // not fit the paradigm.
    bool normalForm(std::string_view word, uint16_t para, uint16_t form, uint16_t target, std::string &out) const
    {
        if (para >= paradigmForms.size() || form >= paradigmForms[para] || target >= paradigmForms[para])
            return false;
        const std::string_view pre = prefix(para, form), suf = suffix(para, form);
        if (word.size() < pre.size() + suf.size() || word.substr(0, pre.size()) != pre
            || word.substr(word.size() - suf.size()) != suf)
            return false;
        const std::string_view stem = word.substr(pre.size(), word.size() - pre.size() - suf.size());
        out.assign(prefix(para, target));
        out.append(stem);
        out.append(suffix(para, target));
        return true;
    }

    double probability(std::string_view word, uint16_t tag) const
    {
        std::string key(word);
        key += ':';
        key += tags[tag];
        dawgdic::BaseType index = probs.dic.root();
        if (!probs.follow(key, index) || !probs.dic.has_value(index))
            return 0;
        return double(probs.dic.value(index)) / 1e6;
    }
};

Dictionary::Dictionary() : d(new Private) {}
Dictionary::~Dictionary() = default;

QString Dictionary::defaultPath()
{
    const QString rel = QStringLiteral("corvus/opencorpora");
    QStringList candidates;
    if (QCoreApplication::instance()) {
        // A build folder (bin/ beside share/) and an unpacked package (lib/lexar/).
        const QString app = QCoreApplication::applicationDirPath();
        candidates << app + QStringLiteral("/../share/") + rel << app + QStringLiteral("/../../share/") + rel;
    }
    const QString found = QStandardPaths::locate(QStandardPaths::GenericDataLocation, rel, QStandardPaths::LocateDirectory);
    if (!found.isEmpty())
        candidates << found;
    for (const QString &c : candidates)
        if (QFileInfo::exists(c + QStringLiteral("/words.dawg")))
            return QDir::cleanPath(c);
    return QString();
}

std::shared_ptr<const Dictionary> Dictionary::open(const QString &folder, QString *error)
{
    QString dummy;
    QString &err = error ? *error : dummy;
    std::shared_ptr<Dictionary> dict(new Dictionary);
    Private &p = *dict->d;
    const auto path = [&](const char *name) { return folder + QLatin1Char('/') + QLatin1String(name); };
    const auto json = [&](const char *name, QJsonDocument &doc) {
        QFile f(path(name));
        if (!f.open(QIODevice::ReadOnly)) {
            err = QStringLiteral("Не удалось открыть файл морфологического словаря: %1").arg(f.fileName());
            return false;
        }
        QJsonParseError pe;
        doc = QJsonDocument::fromJson(f.readAll(), &pe);
        if (pe.error != QJsonParseError::NoError) {
            err = QStringLiteral("Файл морфологического словаря повреждён: %1").arg(f.fileName());
            return false;
        }
        return true;
    };
    QJsonDocument meta, suffixes, tags;
    if (!json("meta.json", meta) || !json("suffixes.json", suffixes) || !json("gramtab-opencorpora-int.json", tags))
        return nullptr;
    QJsonObject metaMap;
    for (const QJsonValue &v : meta.array())
        if (v.isArray() && v.toArray().size() == 2)
            metaMap.insert(v.toArray().at(0).toString(), v.toArray().at(1));
    for (const QJsonValue &v : metaMap.value(QStringLiteral("compile_options")).toObject().value(QStringLiteral("paradigm_prefixes")).toArray())
        p.prefixes.push_back(toCp(v.toString()));
    for (const QJsonValue &v : suffixes.array())
        p.suffixes.push_back(toCp(v.toString()));
    for (const QJsonValue &v : tags.array()) {
        p.tags.push_back(toCp(v.toString()));
        // Closed classes and pronominal words are never predicted for unknown words.
        const std::string &t = p.tags.back();
        bool prod = true;
        for (const char *closed : {"NUMR", "NPRO", "PRED", "PREP", "CONJ", "PRCL", "INTJ", "Apro"})
            if (t.find(closed) != std::string::npos)
                prod = false;
        p.productive.push_back(prod ? 1 : 0);
    }
    if (p.prefixes.empty() || p.prefixes.size() > 3 || p.suffixes.empty() || p.tags.empty()
        || p.tags.size() >= kNoTag || p.suffixes.size() > 0xFFFF) {
        err = QStringLiteral("Файл морфологического словаря повреждён: %1").arg(path("meta.json"));
        return nullptr;
    }
    p.suffixDawgCount = p.prefixes.size();
    if (!p.mapParadigms(path("paradigms.array"), &err) || !p.mapDawg(path("words.dawg"), p.words, &err)
        || !p.mapDawg(path("p_t_given_w.intdawg"), p.probs, &err))
        return nullptr;
    for (size_t i = 0; i < p.suffixDawgCount; ++i)
        if (!p.mapDawg(folder + QStringLiteral("/prediction-suffixes-%1.dawg").arg(i), p.suffixDawgs[i], &err))
            return nullptr;
    p.description = QStringLiteral("OpenCorpora %1, ревизия %2")
                        .arg(metaMap.value(QStringLiteral("source_version")).toString(),
                             metaMap.value(QStringLiteral("source_revision")).toString());
    return dict;
}

QString Dictionary::description() const { return d->description; }
std::string_view Dictionary::tagText(uint16_t tag) const { return tag < d->tags.size() ? d->tags[tag] : std::string_view(); }
size_t Dictionary::tagCount() const { return d->tags.size(); }
bool Dictionary::productive(uint16_t tag) const { return tag < d->productive.size() && d->productive[tag]; }

uint16_t Dictionary::formTag(uint16_t paradigm, uint16_t form) const
{
    if (paradigm >= d->paradigmForms.size() || form >= d->paradigmForms[paradigm])
        return kNoTag;
    return d->paradigm(paradigm)[d->paradigmForms[paradigm] + form];
}

uint16_t Dictionary::formCount(uint16_t paradigm) const
{
    return paradigm < d->paradigmForms.size() ? d->paradigmForms[paradigm] : 0;
}

std::string Dictionary::inflect(std::string_view word, uint16_t paradigm, uint16_t form, uint16_t target) const
{
    std::string out;
    if (!d->normalForm(word, paradigm, form, target, out))
        out.clear();
    return out;
}

bool Dictionary::lookup(std::string_view word, std::vector<RawParse> &out) const
{
    const size_t before = out.size();
    d->variants(d->words, word, [&](std::string_view spelled, dawgdic::BaseType index) {
        d->records(d->words, index, 2, [&](const uint16_t *v) {
            RawParse r;
            if (!d->normalForm(spelled, v[0], v[1], 0, r.lemma))
                return;
            r.word.assign(spelled);
            r.paradigm = v[0];
            r.form = v[1];
            r.tag = formTag(v[0], v[1]);
            // P(tag | word) was counted on the corpus's own spelling: "ё" as printed.
            r.score = d->probability(spelled, r.tag);
            if (r.score == 0 && spelled != word)
                r.score = d->probability(word, r.tag);
            out.push_back(std::move(r));
        });
    });
    return out.size() > before;
}

void Dictionary::predict(std::string_view word, std::vector<RawParse> &out) const
{
    // The longest known ending decides; the ending one letter shorter is heard too
    // (it often holds the paradigm the longer one misses). Longer endings weigh more.
    static constexpr double kWeight[] = {0, 0.2, 0.3, 0.4, 0.5, 0.6};
    constexpr size_t kMaxEnding = 5;
    constexpr double kDotted = 0.3;
    if (word.size() < 4)
        return;
    const size_t first = out.size();
    for (size_t i = 0; i < d->suffixDawgCount; ++i) {
        const std::string &pre = d->prefixes[i];
        if (!pre.empty() && word.substr(0, pre.size()) != pre)
            continue;
        const std::string_view base = word.substr(pre.size());
        size_t minLen = 1;
        for (size_t len = kMaxEnding; len >= minLen; --len) {
            if (len >= base.size())
                continue;
            const std::string_view left = base.substr(0, base.size() - len), right = base.substr(base.size() - len);
            const size_t start = out.size();
            double best = 1;
            d->variants(d->suffixDawgs[i], right, [&](std::string_view ending, dawgdic::BaseType index) {
                std::string form = pre;
                form.append(left);
                form.append(ending);
                d->records(d->suffixDawgs[i], index, 3, [&](const uint16_t *v) {
                    const uint16_t tag = formTag(v[1], v[2]);
                    if (tag == kNoTag || !d->productive[tag])
                        return;
                    for (size_t k = first; k < out.size(); ++k)
                        if (out[k].paradigm == v[1] && out[k].form == v[2] && out[k].word == form)
                            return;
                    RawParse r;
                    if (!d->normalForm(form, v[1], v[2], 0, r.lemma))
                        return;
                    r.word = form;
                    r.paradigm = v[1];
                    r.form = v[2];
                    r.tag = tag;
                    // An ending read with "ё" where the text has "е" is a weaker guess.
                    r.score = v[0] * kWeight[len] * (ending == right ? 1.0 : kDotted);
                    r.predicted = true;
                    best = std::max(best, double(v[0]));
                    out.push_back(std::move(r));
                });
            });
            if (out.size() > start) {
                for (size_t k = start; k < out.size(); ++k)
                    out[k].score /= best;
                minLen = std::max<size_t>(len - 1, 1);
            }
        }
    }
}

} // namespace corvus::morph
