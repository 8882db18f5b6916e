#pragma once
// The entry of a headword ("DC_S") as a flat, pre-ordered list of tree nodes with
// their depths, plus the decisions around it (the tie to the concordance).
#include "model/ConcPos.h"
#include "model/DictPos.h"
#include "model/OptionList.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <functional>
#include <optional>

namespace dictcore {

struct EntryNode {
    QByteArray text;     // as shown (1251): reference cut off, " -->" on links,
                         // grave accents turned into double quotes
    qint32 link = 0;     // > 0 headword number from 1; < 0 picture number negated
    int depth = 0;       // 0 = top level; a node's parent is at depth - 1
    int parent = -1;     // index of the parent node in EntryTree::nodes, -1 at top
    bool filler = false; // "..." node standing for a skipped depth
};

struct EntryTree {
    QList<EntryNode> nodes;   // parents before children, siblings in order
    int count() const { return int(nodes.size()); }
    bool isEmpty() const { return nodes.isEmpty(); }
    QList<int> children(int parent) const;   // parent -1: the top-level nodes
    bool operator==(const EntryTree &o) const;
};

// What the reference reader cannot know by itself: picture references give links
// only in the "LOCAL" connection mode and only for pictures that exist.
struct EntryContext {
    bool localMode = false;
    std::function<bool(qint32 picture)> pictureExists;   // unset: no picture exists

    // Pictures looked up with findReferencePicture under `currentDir`.
    static EntryContext forDirectory(bool localMode, const QString &currentDir);
};

struct EntryLine {
    int depth = 0;
    QByteArray text;   // shown text
    qint32 link = 0;
};

// One line of an entry: depth, shown text and link.
EntryLine readEntryLine(const QByteArray &line, const EntryContext &ctx);
// The link of the text after "$$+" (kind letter and number part); 0 when it does
// not parse, for a picture outside "LOCAL" mode or whose file is missing, and for
// a number that does not name a headword or picture (0 or below).
qint32 readEntryReference(QByteArrayView afterMarker, const EntryContext &ctx);
// A "DC_S" body: a comma list whose item 0 is not shown; every later item is a line.
EntryTree parseEntryBody(const QByteArray &body, const EntryContext &ctx);

// Whether an entry's tree is kept for the dictionary position: the current
// record's DictNo is 0 or more, or exactly 0 when the option "SWD" is "NO".
bool entryKeepsDictPos(const tCDictPos *current, const OptionList &options);

// Whether "Связать с конкордансом" (CB_ConcRef) is offered after an entry built on
// the dictionary page.
bool concRefAllowed(bool wordListHasItems, const OptionList &options, bool localMode);

// Tying the concordance to the entry (CB_ConcRefClick), on the concordance record.
struct ConcRefResult {
    enum Status {
        NotApplicable,   // "DTCR" or "DTCC" is not an integer: nothing happens
        Applied,         // record changed; select charNo in CBC_List, give the
                         // selected word-list item NestRef valueNo, request "CN_W"
        Failed           // show rollbackMessage() and step back in the history
    };
    Status status = NotApplicable;
    qint32 charNo = 0;
    qint32 valueNo = 0;
};
ConcRefResult applyConcRef(tCConcPos &conc, const OptionList &options);
QByteArray rollbackMessage();

} // namespace dictcore
