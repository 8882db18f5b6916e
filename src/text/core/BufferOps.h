#pragma once
// What goes into the buffer and how it is saved: the choice among the five ways of
// copying to the buffer, the lines each writes, the export header of a concordance
// export, the text page written for the buffer ("PrintText" = "1F"), and saving
// the buffer into a text file. 1251 bytes throughout.
#include "PendingFragment.h"
#include "TextReplies.h"
#include "TextView.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace textcore {

// The sub-page of the concordance page that is shown.
enum class SubPage { Context, Text, Usage, Other };

enum class CopyStep {
    None,
    ExportConcordance,   // 1: the whole concordance of the value, through "PrintConc"
    MarkedLines,         // 2: the marked concordance lines
    ExportText,          // 3: the text page, through "PrintText" = "1F"
    MarkedWords,         // 4: the marked words of the text view
    MemoSelection,       // 5: the selection in the full text's memo
};

struct CopyInput {
    SubPage page = SubPage::Other;
    bool fragmentEmpty = true;   // nothing is marked
    bool fastListing = false;    // CB_FastListing
    int memoSelection = 0;       // the selection count of the text view
};

// The one step of B_Buf2Click that fits the state.
CopyStep chooseCopyStep(const CopyInput &in);

// Step 1 asks before a long export: more than this many lines found.
constexpr qint32 LongExportLines = 1000;
bool needsLongExportQuestion(qint32 found);

// The questions and messages of the buffer.
namespace texts {
QByteArray longExportQuestion();   // "Выполнение запроса может потребовать ..."
QByteArray clearQuestion();        // "Очистить без сохранения ?"
QByteArray appendQuestion();       // "Добавить информацию в существующий файл ?"
QByteArray saveFailed();           // "Ошибка сохранения информации"
QByteArray copyText();             // "Текст -> буфер"
QByteArray saveFragment();         // "Сохранить фрагмент"
QByteArray copyLines();            // "Конк.-> Буфер"
// "В буфере остались собранные строки (N). Очистить буфер?": asked when a new
// session would start with the lines of the last one still in the buffer.
QByteArray keptLinesQuestion(qsizetype lines);
} // namespace texts

// Step 2: ".... "<LC_TextName>" ...." and the marked lines' texts in order.
// The marked concordance lines, each under the heading of its own text (a line
// without one takes `concTextName`).
QList<QByteArray> markedLinesLines(const PendingFragment &fragment, const QByteArray &concTextName);

// ".... "<L_TextName>" .... - (выделенные)".
QByteArray textHeading(const QByteArray &textName);

// Step 4: "*****", the text heading, "*****", an empty line, then the marked words:
// words on one row of the view make one line, a word on another row starts the
// next line. Rows are told apart by the labels' tops.
QList<QByteArray> markedWordsLines(const PendingFragment &fragment,
                                   const QList<WordLabel> &labels, const QByteArray &textName);

// Step 5 and the full-text window: the text heading, then a blank and the selected
// text (a selection over several lines gives several buffer lines).
QList<QByteArray> selectionLines(const QByteArray &textName, const QByteArray &selected);

// A text page meant for the buffer: the page as rows of running text (accents
// starting rows), then L_TextName's caption.
QList<QByteArray> textPageExport(const TextPageReply &page, const QByteArray &textName);

// One filter row of the export header.
struct FilterRow {
    QByteArray caption;
    bool checked = false;   // its check box
    bool active = false;    // its radio button: the active row
};

// "* * * ...", the captions of the rows that are checked while CB_Perm is checked
// or active (the first "=" turned into "-"), "************************".
QList<QByteArray> exportHeader(const QList<FilterRow> &rows, bool permChecked);

// The bytes a save writes: `old` (an existing file's bytes when appending, else
// empty) followed by the full path, the lines and "=============", each ended by
// CR LF. An `old` that does not end with a line break gets one.
QByteArray saveBytes(const QByteArray &old, const QString &fullPath, const QList<QByteArray> &lines);

// Saves the buffer into `path`: appended to what the file holds (`append`, the
// file exists) or replacing it (text/core/BufferSave.cpp). A plain file is replaced
// atomically, so a failure leaves the old file whole; a file with other hard links,
// or reached through a symbolic link, is written in place; a read-only file, a
// folder and a symbolic link to nothing are refused. Returns an empty string on
// success, else a Russian message naming the file and the reason.
QString saveBuffer(const QString &path, const QList<QByteArray> &lines, bool append);

// The buffer kept on disk between runs (text/BufferKeeper): each line's bytes ended
// by CR LF, as a save writes them, without the save's path and closing line. No
// lines: no bytes.
QByteArray keptBufferBytes(const QList<QByteArray> &lines);
// The lines of a kept buffer, read as far as they go: a line ends at LF (a CR before
// it is dropped), a last line without its break still counts, and a NUL byte ends
// the text (the tail of a file that never reached the disk, or no text at all).
QList<QByteArray> keptBufferLines(const QByteArray &bytes);
// Reads the kept buffer at `path`; a missing or unreadable file gives no lines.
QList<QByteArray> readKeptBuffer(const QString &path);

} // namespace textcore
