#pragma once
// Readers of annotated corpora in the two interchange formats of the field: vertical
// text (one token per line, tab-separated positional attributes, structural tags
// such as <text author="..."> and <s>) and CoNLL-U (ten columns, "# newdoc" and
// "# sent_id" comments, multiword token ranges). Both take the file already in
// 1251 (see charset::toCp1251) and give documents of tokens with their form, the
// file's lemma, part of speech and features, and the document's attributes; lines
// that cannot be read are skipped and reported with their number.
#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvus::annotated {

struct Token {
    std::string form;    // 1251
    std::string lemma;   // empty: the file gives none
    std::string pos;     // part of speech; empty: none
    std::string feats;   // grammatical features as written; empty: none
    bool spaceBefore = true;
    // 0: none; 1: a sentence ends after the token; 2: a paragraph ends after it.
    int breakAfter = 0;
};

struct Document {
    // Attributes in file order ("author", "title", "year", "genre"...), 1251 values.
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<Token> tokens;
    int firstLine = 0;   // 1-based line where the document starts

    // The attribute's value, or nothing.
    std::optional<std::string_view> attribute(std::string_view name) const;
};

struct Skipped {
    int line = 0;      // 1-based
    QString reason;    // Russian
};

struct Parsed {
    std::vector<Document> documents;
    std::vector<Skipped> skipped;
};

// Where a reader hands what it reads as it goes, so that a file of any size costs
// a bounded room: each document in parts of at most kPartTokens tokens (its
// attributes come with part 0; a document without tokens comes as an empty part
// 0), and each skipped line.
constexpr size_t kPartTokens = size_t(1) << 16;
struct Sink {
    std::function<void(Document &doc, int part)> document;
    std::function<void(Skipped &&line)> skipped;
};

// ---- Vertical text ----

// Which column holds what: the declaration, one "key=value" per line ("#" starts a
// comment):
//   columns=word,lemma,pos,feats     names of the positional attributes in order;
//                                    "word" (or "form") is required, the rest is
//                                    recognised by name ("lemma"; "pos", "upos" or
//                                    "tag"; "feats" or "msd"), others ignored
//   attribute.genre=Жанр             the Russian name of a <text> attribute
// The command line form is the "columns" value alone.
struct VrtLayout {
    int form = 0;
    int lemma = -1;
    int pos = -1;
    int feats = -1;
    int columns = 1;   // columns a token line must have at least
    std::vector<std::pair<std::string, QString>> attributeNames;   // attribute -> caption
};
// Reads a declaration (UTF-8 or 1251 text). Nothing, with a Russian *error, when it
// has no "columns" line or no word column, or a line that is not "key=value".
std::optional<VrtLayout> parseVrtDeclaration(const QByteArray &text, QString *error);
// The layout of a "columns" value alone ("word,lemma,pos").
std::optional<VrtLayout> vrtLayoutOfColumns(const QString &columns, QString *error);

// Reads vertical text. <text ...> starts a document (attributes key="value" with
// the XML entities &amp; &lt; &gt; &quot; &apos;), </text> ends it; tokens before
// any <text> go into a document without attributes. </s> ends a sentence, </p> a
// paragraph; other tags are boundaries without meaning here. A token line with too
// few columns or an empty form is skipped.
void readVrt(std::string_view cp1251, const VrtLayout &layout, const Sink &sink);
// The same, every document whole (for files known to be small).
Parsed readVrt(std::string_view cp1251, const VrtLayout &layout);

// ---- CoNLL-U ----

// Reads CoNLL-U. "# newdoc" starts a document ("# newdoc id = X" gives its "id");
// metadata lines after it, "# newdoc <key> = <value>" or "# meta::<key> = <value>",
// give its attributes. "# newpar" ends a paragraph, a blank line a sentence. A
// multiword token ("3-4") is one token of the text: its form, with the lemmas and
// parts of speech of its words joined by "+"; the words themselves are not tokens.
// Empty nodes ("8.1") are skipped silently; lines without ten columns, or with an
// ID that is not a number or a range, are skipped and reported. "SpaceAfter=No" in
// MISC joins the next token.
void readConllu(std::string_view cp1251, const Sink &sink);
Parsed readConllu(std::string_view cp1251);

// Whether a token is punctuation (no letter and no digit in it).
bool isPunctuation(std::string_view form);

} // namespace corvus::annotated
