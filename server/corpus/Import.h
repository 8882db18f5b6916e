#pragma once
// Reading the corpus folders: which files are texts, their metadata (info.csv,
// folder names), and the splitting of fortune collections into entries. The
// formats are described in docs/corpus-formats.md.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvus::import {

struct YearRange {
    int16_t from = 0;
    int16_t to = 0;
};
// "1829" or "1862-1864" (blanks allowed around the dash, "–" and "—" too). False
// for anything else; a range whose end precedes its start is refused.
bool parseYear(std::string_view cp1251, YearRange &year);

// PlainText: "*.txt"; Candidate: a file without a known extension, a text only
// if it is a fortune collection; Vrt ("*.vrt") and Conllu ("*.conllu"): annotated
// texts; InfoCsv and VrtDeclaration ("vrt.conf", the columns of the vertical
// texts in its folder and below): descriptions, never texts.
enum class FileKind { PlainText, Candidate, InfoCsv, Vrt, Conllu, VrtDeclaration };
inline bool holdsText(FileKind k) { return k != FileKind::InfoCsv && k != FileKind::VrtDeclaration; }

struct SourceFile {
    QString path;           // absolute
    QString relative;       // "<root folder name>/<path below the root>"
    QString folder;         // absolute folder of the file
    QString baseName;       // file name without ".txt", ".vrt" or ".conllu"
    QStringList folders;    // folder names from the root (root name first) to the parent
    FileKind kind = FileKind::PlainText;
    qint64 size = 0;
    qint64 mtime = 0;       // ms since the epoch
    // What else tells an edit from none: the modification and change times to the
    // nanosecond (the change time moves on every write, whatever the modification
    // time is set back to) and the file's identity.
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;
    quint64 inode = 0;
    int permissions = 0;
};

// Lists the files of the corpus roots (folders or single files), sorted by path
// within each root, roots in the given order. Skipped: hidden files and folders,
// fortune index files (*.dat), "X.u8" beside an "X" (Debian's duplicate names),
// files whose canonical path was already listed, files with extensions that are
// never texts (.csv other than info.csv, .md, pictures, archives...), anything but
// regular files and folders (devices, pipes, sockets, dangling links).
// Returns false with a Russian *error for a missing or unreadable root. Skipped
// and named in *warnings (Russian): a subfolder that cannot be read, files and
// folders whose names are not valid in the file system's encoding (UTF-8), and
// folders deeper than MaxFolderDepth below the root.
constexpr int MaxFolderDepth = 32;
bool scanRoots(const QStringList &roots, std::vector<SourceFile> &files, QString *error,
               QStringList *warnings = nullptr);

// One row of an info.csv.
struct InfoRow {
    QString name;
    bool hasYear = false;
    YearRange year;
    QString author;   // empty: not given
    QString title;
    QString kind;     // "verse"/"prose" (or Russian), empty: not given
};
// A row of an info.csv that could not be read as written.
struct BadRow {
    int line = 0;      // 1-based
    QString reason;    // Russian
};
// Parses an info.csv (UTF-8 or 1251). The first row names the columns when it has
// a "name" column (recognised: name, year, author, title, kind; others ignored);
// otherwise every row is "name,year". Fields may be quoted with "" for a quote.
// Rows that cannot be read go to *bad: a quote left open (the row is dropped), a
// year that is not a year (the row is kept without it).
QHash<QString, InfoRow> parseInfoCsv(const QByteArray &bytes, std::vector<BadRow> *bad = nullptr);

// Whether a file's bytes are text: no NUL byte, and control bytes (other than tab,
// line ends, form feed, vertical tab and the end-of-file mark 0x1A) at most one in
// a hundred. Decides on the first 64 KiB.
bool looksLikeText(std::string_view bytes);

// Kind from a folder name: 1 verse ("poems", "poetry", "verse", "стихи"...),
// 0 prose ("prose", "проза"), -1 neither.
int kindOfFolderName(const QString &name);

// Whether 1251 text is a fortune collection: it holds a line that is just "%".
bool looksLikeFortunes(std::string_view cp1251);

struct FortuneUnit {
    std::string_view body;  // the lines of the entry's text (no attribution)
    std::string author;     // 1251, empty when unattributed
    YearRange year;         // from "-- Name, 1981"
};
// Splits a fortune collection: entries are separated by lines holding "%"; an
// attribution line ("-- Name" with any indentation, or "— Name"/"– Name" after
// leading blanks or tabs) ends a unit and gives its author; text after it in the
// same entry starts a new unit. Indented lines straight after an attribution
// continue it and are dropped. Units without any word are left out.
std::vector<FortuneUnit> splitFortunes(std::string_view cp1251);

} // namespace corvus::import
