#pragma once
// The import of annotated files (vertical text, CoNLL-U) into the corpus builder:
// which column declaration holds for a vertical text, how a document's attributes
// become a text's metadata, and the report of the lines a reader skipped.
#include "corpus/AnnotatedText.h"
#include "corpus/Corpus.h"
#include "corpus/Import.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvus {

class CorpusBuilder;

namespace builder {

// At most this many skipped lines of one file are named in the report; the rest
// are counted.
constexpr int kReportedLinesPerFile = 20;

// Lines of one file that were not read, into warnings: "<file>, строка N: why" for
// the first kReportedLinesPerFile, then "<file>: и ещё N строк" (N counting `more`
// lines that were not kept).
struct LineProblem {
    int line = 0;
    QString reason;
};
void reportLines(const QString &file, const std::vector<LineProblem> &lines, QStringList &warnings, int more = 0);

// The captions of further text attributes by their keys (1251), as vrt.conf
// declares them.
using Captions = std::unordered_map<std::string, QByteArray>;

// At most this many further attributes of one text are kept; the rest are named in
// the report (a line of the file), so that one text cannot declare keys without end.
constexpr size_t kMaxAttributesPerText = 64;

// The column declarations of the vertical texts: the command line's columns when
// given, otherwise the nearest vrt.conf in the file's folder or above it (up to
// the corpus root), otherwise "word,lemma,pos", which the notes then say. The
// captions of further text attributes come from the nearest vrt.conf, for CoNLL-U
// files too.
class VrtDeclarations {
public:
    // Reads the vrt.conf files among `files`; one that cannot be read is named in
    // warnings. False with a Russian *error when the command line's columns are
    // not a declaration.
    bool init(const QString &commandLine, const std::vector<import::SourceFile> &files, QStringList &warnings,
              QString *error);
    // The layout of a file's columns; nothing (and a warning) when its declaration
    // could not be read.
    std::optional<annotated::VrtLayout> layoutFor(const import::SourceFile &f, QStringList &warnings,
                                                  QStringList &notes);
    // The captions of a file's attributes (those of the nearest readable vrt.conf).
    const Captions &captionsFor(const import::SourceFile &f) const;

private:
    struct Declaration {
        QString path;
        std::optional<annotated::VrtLayout> layout;   // nothing: unreadable
        Captions captions;                            // its layout's attributeNames by key
    };
    // The nearest declaration of a file, or nullptr.
    const Declaration *nearest(const import::SourceFile &f) const;

    std::optional<annotated::VrtLayout> m_commandLine;
    QHash<QString, Declaration> m_byFolder;
    bool m_defaultNoted = false;
};

// Reads one annotated file's 1251 text (vertical text with `layout`, CoNLL-U
// without) into the builder, document by document as the reader hands them over,
// so that the room it takes is bounded whatever the file's size: author (else the
// folder's, as for plain text), title, year and kind into the text's metadata,
// every other attribute but "id" as a further attribute under its caption; the
// lines the reader skipped and attributes that cannot be read go to warnings.
void addAnnotatedFile(CorpusBuilder &builder, const import::SourceFile &f, std::string_view text,
                      const annotated::VrtLayout *layout, const Captions &captions, TextKind kind,
                      const QByteArray &folderAuthor, QStringList &warnings);

} // namespace builder
} // namespace corvus
