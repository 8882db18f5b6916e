#pragma once
// State decisions of the dictionary page (TS_Dict): the three lists, the reply
// handlers of "DC_C", "DC_CC", "DC_W" and "DC_S", the clicks that walk down a
// dictionary, the dictionary links and the type-ahead search.
//
// The page widgets own nothing of this: they show a DictPageState and carry out a
// DictOutcome (message boxes in order, then requests in order through
// SendToServer with requests::dictParams(request.pos, OptionList)). The session's
// dictionary positions (DictPosList, CurDict, KeepDictPos) stay with the main
// window; the functions take the record they act on.
#include "EntryTree.h"
#include "RefList.h"
#include "model/DictPos.h"
#include "model/OptionList.h"

#include <QByteArray>
#include <QList>
#include <functional>

namespace dictcore {

// One list box: the items with their references and the selected row (-1 none).
struct DictList {
    QList<reflist::RefElement> items;
    int selected = -1;

    int count() const { return int(items.size()); }
    bool isEmpty() const { return items.isEmpty(); }
    QByteArray display(int row) const { return items.at(row).display(); }
    void clear()
    {
        items.clear();
        selected = -1;
    }
};

// A jump into a dictionary: headword number counted from 1 in dictionary dictNo.
struct DictLink {
    qint32 wordNo = 0;
    qint32 dictNo = 0;
    bool operator==(const DictLink &o) const { return wordNo == o.wordNo && dictNo == o.dictNo; }
};

// Where an entry reply goes.
enum class EntryPage { Dictionary, Concordance, Other };

struct DictPageState {
    DictList LB_C;    // "Буква"
    DictList LB_CC;   // "Сочетание"
    DictList LB_W;    // "Заглавные слова"
    // Label texts (1251); empty = cleared.
    QByteArray L_CN, L_CCN, L_WN, L_SN, L_DD;
    QByteArray SearchText;

    QList<DictLink> DictLinks;   // at most three
    int selectedLink = -1;       // RBD1..RBD3 as 0..2; -1 none selected

    EntryTree TreeView1;
    EntryTree TreeDOx;
    bool TreeDOxVisible = false;
    // CB_ConcRef enabled and shown; whenever it turns false the box is also unticked.
    bool concRefShown = false;
};

struct DictRequest {
    QByteArray tag;   // "DC_C", "DC_CC", "DC_W", "DC_S"
    tCDictPos pos;    // the record as it stood when the request was decided
};

struct DictOutcome {
    QList<QByteArray> messages;    // message boxes with OK, shown in this order (1251)
    QList<DictRequest> requests;   // sent in this order, after the messages
    // The rest of the reply handling (its common closing steps) is skipped.
    bool endReplyHandling = false;
    qint32 picture = 0;            // > 0: show the reference picture of this number
};

// The message texts of the list replies.
namespace messages {
QByteArray letterIndex();      // "Не определённый индекс буквы"
QByteArray noLetters();        // "Не получена информация - список букв"
QByteArray pairIndex();        // "Не определёённый индекс пары букв"
QByteArray noPairs();          // "Не получена информация - список пар букв"
QByteArray wordIndex();        // "Не определённая ссылка на заглавное слово"
QByteArray emptyWords();       // "Получена пустая словарная статья"
} // namespace messages

// ---- Replies. `current` is CurDictPos (nullptr when there is none). ----

// "DC_C": the summary element (shown in L_DD), then the letters.
DictOutcome onDC_C(DictPageState &page, tCDictPos *current, const QByteArray &body);
// "DC_CC": the letter pairs; an empty reply keeps the previous pairs.
DictOutcome onDC_CC(DictPageState &page, tCDictPos *current, const QByteArray &body);
// "DC_W": the headwords up to the first element without a reference.
DictOutcome onDC_W(DictPageState &page, tCDictPos *current, const QByteArray &body);
// "DC_S": builds the entry tree for the active page and sets KeepDictPos. On the
// dictionary page also L_SN and CB_ConcRef (offered when concRefAllowed holds for
// `wordListHasItems`); on the concordance page TreeDOx is shown and copied into
// TreeView1. Returns false when the entry was dropped (another page is active).
bool onDC_S(DictPageState &page, const tCDictPos *current, bool &KeepDictPos,
            const QByteArray &body, const OptionList &options, EntryPage activePage,
            const EntryContext &ctx, bool wordListHasItems);

// ---- User actions. `record` is the record of CurDict (nullptr when missing). ----

// The page is shown. Does nothing unless the server offers dictionaries and there
// is a record; asks for the letters. In "LOCAL" mode CB_ConcRef is withdrawn.
DictOutcome TS_DictShow(DictPageState &page, tCDictPos *record, int CurDict, bool &KeepDictPos,
                        bool dictionariesOffered, bool localMode);
// A choice in CB_Dict: when `selected` differs from CurDict, it becomes CurDict,
// KeepDictPos turns false and the caller shows the combo text and runs TS_DictShow.
bool chooseDictionary(int selected, int &CurDict, bool &KeepDictPos);

DictOutcome LB_CClick(DictPageState &page, tCDictPos *record, int row);
DictOutcome LB_CClickX(tCDictPos *record);
DictOutcome LB_CCClick(DictPageState &page, tCDictPos *record, int row);
DictOutcome LB_CCClickX(tCDictPos *record);
DictOutcome LB_WClick(DictPageState &page, tCDictPos *record, int row);
void LB_CEnter(tCDictPos *record);
void LB_CCEnter(tCDictPos *record);
// Leaving LB_W ends the type-ahead.
void LB_WExit(DictPageState &page);

// A click on an entry-tree node (TreeView1Click, TreeDOxClick): a positive link
// asks for that headword (WordMode 'A'), a negative one shows its picture, 0 or no
// node does nothing.
DictOutcome followEntryLink(tCDictPos *record, int CurDict, qint32 link);

// SetDict: withdraws CB_ConcRef and sets "SWD" to "NO". The caller empties
// DictPosList and clears the captions it owns.
void SetDict(DictPageState &page, OptionList &options);

// ---- Dictionary links. ----

// Reads "$$+<headword>,<dictionary>" links in order: at most three, stopping at the
// first whose numbers are not integers.
QList<DictLink> readDictLinks(const QByteArray &text);
// How many of RBD1..RBD3 are shown for `links` links (none for a single link).
int visibleLinkButtons(int links);
// The session's record of dictionary i, or nullptr when i addresses none.
using DictRecordLookup = std::function<tCDictPos *(int dictNo)>;
// Loads a link list into DictLinks: TreeDOx cleared and hidden, radio buttons
// reset, then the first link (if any) selected and followed.
DictOutcome loadDictLinks(DictPageState &page, const QByteArray &text,
                          const DictRecordLookup &records);
// RBD1Click for radio button `which` (0..2): asks the link's dictionary for the
// headword with WordMode 'A'; a link to a missing dictionary is ignored.
DictOutcome RBD1Click(DictPageState &page, int which, const DictRecordLookup &records);

// ---- Type-ahead search on the dictionary page. ----

// A typed character mapped for the search: Latin letters to the Cyrillic letter on
// the same key, the seven punctuation keys to their Cyrillic letters, Cyrillic
// small letters to capitals. Anything else is returned unchanged.
char mapSearchKey(char key);
// Whether a mapped character extends SearchText.
bool isSearchChar(char mapped);

struct KeyOutcome {
    bool swallow = false;        // the focused control does not see the key
    char passOn = 0;             // otherwise: the character it sees instead
    bool focusWordList = false;  // the focus moves to LB_W
    DictOutcome actions;         // from FindInDict
};
// A character (1251 byte; Backspace is 8) typed on the dictionary page.
KeyOutcome dictKeyPress(DictPageState &page, tCDictPos *record, char key, bool wordListEnabled);
// Letter, pair, headword steps over the lists as they stand.
DictOutcome FindInDict(DictPageState &page, tCDictPos *record, const QByteArray &text);

} // namespace dictcore
