#include "corpus/AnnotatedImport.h"

#include "corpus/BuilderPrivate.h"

#include <QFileInfo>

#include <algorithm>

namespace corvus::builder {
namespace {

using namespace std::string_view_literals;

QString linesWord(int n)
{
    const int last = n % 10, lastTwo = n % 100;
    if (last == 1 && lastTwo != 11)
        return QStringLiteral("строка");
    if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14))
        return QStringLiteral("строки");
    return QStringLiteral("строк");
}

// A column declaration is a few lines: a larger vrt.conf is not read.
constexpr qint64 kMaxDeclarationSize = qint64(1) << 20;

QByteArray bytesOf(std::string_view s) { return QByteArray(s.data(), qsizetype(s.size())); }

// A year from a date that starts with one ("1836-03-01", "1836"): false otherwise.
bool yearOfDate(std::string_view date, import::YearRange &year)
{
    if (date.size() < 4 || (date.size() > 4 && charset::isDigit(uint8_t(date[4]))))
        return false;
    return import::parseYear(date.substr(0, 4), year);
}

} // namespace

void reportLines(const QString &file, const std::vector<LineProblem> &lines, QStringList &warnings, int more)
{
    const size_t named = std::min(lines.size(), size_t(kReportedLinesPerFile));
    for (size_t i = 0; i < named; ++i)
        warnings << QStringLiteral("%1, строка %2: %3").arg(file).arg(lines[i].line).arg(lines[i].reason);
    if (lines.size() > named || more > 0) {
        const int rest = int(lines.size() - named) + more;
        warnings << QStringLiteral("%1: и ещё %2 %3").arg(file).arg(rest).arg(linesWord(rest));
    }
}

bool VrtDeclarations::init(const QString &commandLine, const std::vector<import::SourceFile> &files,
                           QStringList &warnings, QString *error)
{
    if (!commandLine.trimmed().isEmpty()) {
        QString why;
        m_commandLine = annotated::vrtLayoutOfColumns(commandLine.trimmed(), &why);
        if (!m_commandLine) {
            if (error)
                *error = QStringLiteral("Неверное описание столбцов VRT (--vrt-columns): %1").arg(why);
            return false;
        }
    }
    std::string bytes;
    for (const auto &f : files) {
        if (f.kind != import::FileKind::VrtDeclaration)
            continue;
        Declaration decl;
        decl.path = f.path;
        QFile file(f.path);
        QString why;
        const ReadResult read = file.open(QIODevice::ReadOnly) ? readWhole(file, bytes, kMaxDeclarationSize)
                                                                : ReadResult::Failed;
        if (read == ReadResult::TooLarge)
            why = QStringLiteral("файл больше предела в 1 МиБ");
        else if (read != ReadResult::Ok)
            why = QStringLiteral("файл не читается");
        else
            decl.layout = annotated::parseVrtDeclaration(QByteArray::fromStdString(bytes), &why);
        if (!decl.layout)
            warnings << QStringLiteral("Описание столбцов VRT не прочитано: %1: %2").arg(f.path, why);
        else
            for (const auto &[key, caption] : decl.layout->attributeNames)
                decl.captions.insert_or_assign(key, toBytes(caption));   // the last line of a key holds
        m_byFolder.insert(f.folder, std::move(decl));
    }
    return true;
}

const VrtDeclarations::Declaration *VrtDeclarations::nearest(const import::SourceFile &f) const
{
    // The file's folder, then its parents up to the root (folders[0] is the root).
    QString folder = f.folder;
    for (qsizetype up = 0; up < std::max<qsizetype>(f.folders.size(), 1); ++up) {
        const auto it = m_byFolder.constFind(folder);
        if (it != m_byFolder.constEnd())
            return &*it;
        folder = QFileInfo(folder).path();
    }
    return nullptr;
}

std::optional<annotated::VrtLayout> VrtDeclarations::layoutFor(const import::SourceFile &f, QStringList &warnings,
                                                               QStringList &notes)
{
    const Declaration *decl = nearest(f);
    if (m_commandLine) {
        annotated::VrtLayout layout = *m_commandLine;
        if (decl && decl->layout)
            layout.attributeNames = decl->layout->attributeNames;
        return layout;
    }
    if (decl) {
        if (!decl->layout)
            warnings << QStringLiteral("Файл VRT пропущен: его описание столбцов (%1) не прочитано: %2")
                            .arg(decl->path, f.path);
        return decl->layout;
    }
    if (!m_defaultNoted) {
        m_defaultNoted = true;
        notes << QStringLiteral("Столбцы файлов VRT не описаны (нет vrt.conf и параметра --vrt-columns): "
                                "приняты word,lemma,pos.");
    }
    return annotated::vrtLayoutOfColumns(QStringLiteral("word,lemma,pos"), nullptr);
}

const Captions &VrtDeclarations::captionsFor(const import::SourceFile &f) const
{
    static const Captions none;
    const Declaration *decl = nearest(f);
    return decl ? decl->captions : none;
}

namespace {

// A text's further attributes in the order of their keys' indexes, each key once
// (the last value given for it).
void byKey(std::vector<TextAttribute> &attributes)
{
    std::stable_sort(attributes.begin(), attributes.end(),
                     [](const TextAttribute &a, const TextAttribute &b) { return a.key < b.key; });
    size_t kept = 0;
    for (size_t i = 0; i < attributes.size(); ++i)
        if (i + 1 == attributes.size() || attributes[i + 1].key != attributes[i].key)
            attributes[kept++] = std::move(attributes[i]);
    attributes.resize(kept);
}

// A document's attributes as a text's metadata; a year that cannot be read, and
// further attributes beyond kMaxAttributesPerText, go to problems. `id` is set to
// the "id" attribute.
TextInfo metadata(CorpusBuilder &builder, const annotated::Document &doc, const Captions &captions, TextInfo t,
                  std::string &id, std::vector<LineProblem> &problems)
{
    std::string_view date;
    bool hasYear = false;
    size_t dropped = 0;
    id.clear();
    for (const auto &[key, value] : doc.attributes) {
        if (key == "author"sv) {
            if (!value.empty())   // an empty one is not given
                t.author = bytesOf(value);
        } else if (key == "title"sv) {
            t.title = bytesOf(value);
        } else if (key == "year"sv) {
            import::YearRange y;
            if (import::parseYear(value, y)) {
                hasYear = true;
                t.yearFrom = y.from;
                t.yearTo = y.to;
            } else if (!value.empty()) {
                problems.push_back({doc.firstLine, QStringLiteral("год «%1» не год, текст без года")
                                                       .arg(charset::toQString(value))});
            }
        } else if (key == "kind"sv) {
            const int k = import::kindOfFolderName(charset::toQString(value));
            if (k >= 0)
                t.kind = k == 1 ? TextKind::Verse : TextKind::Prose;
        } else if (key == "id"sv) {
            id = value;
        } else {
            if (key == "date"sv)
                date = value;
            if (t.attributes.size() >= kMaxAttributesPerText) {
                ++dropped;
                continue;
            }
            const auto caption = captions.find(key);
            t.attributes.push_back({builder.attributeIndex(bytesOf(key), caption != captions.end() ? caption->second
                                                                                                    : QByteArray()),
                                    bytesOf(value)});
        }
    }
    if (dropped > 0)
        problems.push_back({doc.firstLine, QStringLiteral("у текста больше %1 атрибутов, лишние (%2) пропущены")
                                               .arg(kMaxAttributesPerText)
                                               .arg(dropped)});
    byKey(t.attributes);
    import::YearRange y;
    if (!hasYear && yearOfDate(date, y)) {
        t.yearFrom = y.from;
        t.yearTo = y.to;
    }
    return t;
}

// Problems kept for the report: the first ones by line, the rest only counted.
constexpr size_t kKeptProblems = 1000;

} // namespace

void addAnnotatedFile(CorpusBuilder &builder, const import::SourceFile &f, std::string_view text,
                      const annotated::VrtLayout *layout, const Captions &captions, TextKind kind,
                      const QByteArray &folderAuthor, QStringList &warnings)
{
    std::vector<LineProblem> problems;
    int dropped = 0;
    const auto problem = [&](LineProblem p) {
        if (problems.size() < kKeptProblems)
            problems.push_back(std::move(p));
        else
            ++dropped;
    };
    TextInfo base;
    base.kind = kind;
    base.source = toBytes(f.relative);
    base.author = folderAuthor;
    const QByteArray fileTitle = toBytes(f.baseName);
    // The texts the file made, and the ids of those that have no title of their
    // own: they are named after the file, and numbered once the file turns out to
    // hold several.
    struct Untitled {
        uint32_t text;
        uint32_t n;
        std::string id;
    };
    std::vector<Untitled> untitled;
    uint32_t texts = 0;
    bool open = false;   // the document being read made a text
    std::string id;

    annotated::Sink sink;
    sink.skipped = [&](annotated::Skipped &&s) { problem({s.line, std::move(s.reason)}); };
    sink.document = [&](annotated::Document &doc, int part) {
        if (part > 0) {
            if (open)
                builder.continueDocument(doc);
            return;
        }
        open = false;
        // Documents without a token (only metadata, or only skipped lines) make no text.
        if (doc.tokens.empty())
            return;
        std::vector<LineProblem> found;
        TextInfo t = metadata(builder, doc, captions, base, id, found);
        for (LineProblem &p : found)
            problem(std::move(p));
        const bool titled = !t.title.isEmpty();
        if (!titled)
            t.title = fileTitle;
        const uint32_t before = builder.textCount();
        builder.addDocument(doc, std::move(t));
        if (builder.textCount() == before)
            return;
        open = true;
        ++texts;
        if (!titled)
            untitled.push_back({before, texts, id});
    };
    if (layout)
        annotated::readVrt(text, *layout, sink);
    else
        annotated::readConllu(text, sink);

    if (texts > 1)
        for (const Untitled &u : untitled)
            builder.text(u.text).title += ", " + (u.id.empty() ? toBytes(QStringLiteral("№ ")) + QByteArray::number(u.n)
                                                               : bytesOf(u.id));
    std::stable_sort(problems.begin(), problems.end(),
                     [](const LineProblem &a, const LineProblem &b) { return a.line < b.line; });
    reportLines(f.path, problems, warnings, dropped);
}

} // namespace corvus::builder
