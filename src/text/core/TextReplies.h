#pragma once
// The two text replies taken apart: "CT_W" (a page of word labels with the
// dictionary links of the current word and the text's title) and "CT_T" (plain
// lines of the text for the full-text window). 1251 bytes in and out.
#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <optional>

namespace textcore {

// The first "$$+" or "$$-" at or after `from` that is not the tail of "$$$+" or
// "$$$-"; -1 when there is none.
qsizetype findMarker(const QByteArray &text, const char *marker, qsizetype from = 0);

struct TextWord {
    QByteArray text;    // as sent: leading blank and grave accents included
    qint32 number = 0;  // 0 the current occurrence, else the word's token + 1
};

struct TextPageReply {
    // "$$+h,d$$+h,d..." up to the link section's "$$-" (empty: no links).
    QByteArray links;
    // The number section, read and not used.
    QByteArray number;
    QList<TextWord> words;
    QByteArray title;
    bool hasTitle = false;
};

// Entries are read through a window of this many bytes starting at the entry, so
// an entry with its markers must fit into 254 bytes.
constexpr qsizetype EntryWindow = 255;

// "CT_W": the link section ("$$+" ... "$$-"), the optional number section, then
// entries "text$@$number$$$" and last the title followed by "$$$". An entry whose
// number is not an integer, or a text without a number, is skipped; an entry that
// does not fit the window ends the reading.
TextPageReply parseTextPage(const QByteArray &body);

struct FullTextReply {
    QList<QByteArray> lines;
    QByteArray title;
    bool hasTitle = false;
};

// "CT_T": one line per piece ended by "$$$"; the piece whose "$$$" ends the body is
// the title; text after the last "$$$" is dropped.
FullTextReply parseFullText(const QByteArray &body);

// Where the current occurrence is on a full-text page: the server's option
// "TextMark", "row:column:length" (the row among the reply's lines, column and
// length in characters of that line).
struct TextMark {
    int row = 0;
    int column = 0;
    int length = 0;
};
// The mark read from the option's value; none when the value is empty, malformed or
// does not lie inside `lines` (a mark is never drawn past its line).
std::optional<TextMark> parseTextMark(const QByteArray &value, const QList<QByteArray> &lines);

// L_TextName's caption for a title: "Название текста " and the title in double
// quotes.
QByteArray textNameCaption(const QByteArray &title);

// The words of a page as rows of running text: a grave accent (after blanks) at
// the start of a word, or anywhere inside it, starts a new row; the accents are
// dropped and the words of a row joined as they are (each carries its blank).
QList<QByteArray> textRows(const QList<TextWord> &words);

} // namespace textcore
