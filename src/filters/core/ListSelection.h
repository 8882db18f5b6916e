#pragma once
// Which characteristics a group offers, and in which order. A group's membership is
// the option "Char" + G (its code: characteristic number + 200 per member); the
// group line from the server ("name - pattern", one pattern character per
// characteristic) says which characteristics may be chosen. The dialog edits a
// selection (characteristic numbers in order) against the characteristics still
// on offer. Pure: no widgets.
#include <QByteArray>
#include <QList>
#include <optional>

namespace filtercore {

// A marker at or above this value keeps a characteristic out of the offered list.
inline constexpr int NotOffered = 200;
// The marker of a characteristic offered because the selection was built from the
// pattern.
inline constexpr int PatternOffered = 58;
// Characteristics a code byte can carry (number + 200 must stay below 256).
inline constexpr int CodableCharacteristics = 56;

// What the dialog opens with for one group.
struct ListSelSetup {
    QByteArray name;        // before " - "
    QByteArray selection;   // characteristic numbers, one byte each, in order
    QList<int> markers;     // one per characteristic
    bool fromOption = false;
};

// Prepares the dialog for a group line, the current value of its option and the
// number of characteristics. Nothing when the line has no " - ". An option whose
// first byte is above 199 holds numbers + 200. An empty option builds the selection
// from the pattern, rank by rank ("1" before "2" ... before "9"; an "X" ranks as
// "1": it is the group's default). Bytes naming no characteristic that can be
// shown and coded are dropped, and so are repeated ones.
std::optional<ListSelSetup> prepareListSelection(const QByteArray &groupLine, const QByteArray &optionValue,
                                                 int charCount);

// The option value for a selection: every byte + 200.
QByteArray groupCodeOf(const QByteArray &selection);

// The selection being edited: the characteristics on offer (by position) and the
// chosen ones (in order), with the selection saved when the dialog opened.
class ListSelection {
public:
    // Showing the dialog: saves the selection for Cancel and offers every
    // characteristic marked below NotOffered that is not selected.
    void open(const QList<int> &markers, const QByteArray &selection);

    // The characteristics on offer, in position order, and the selection in order.
    QList<int> offered() const;
    const QByteArray &selection() const { return m_selection; }
    // One character per characteristic: its number while it is on offer, a blank
    // otherwise (characteristic 32 reads as a blank there: use offered()).
    QByteArray availability() const;

    // Moves characteristic `charNo` into the selection (at its end); false when it
    // is not on offer.
    bool select(int charNo);
    // Moves a selected characteristic back on offer at its own position.
    bool remove(int charNo);
    // Swaps the selection's entry `index` with the one before / after it; false at
    // the first / last entry.
    bool moveUp(int index);
    bool moveDown(int index);
    // Every offered characteristic, in position order, joins the selection.
    void selectAll();
    // Every selected characteristic goes back on offer; the selection is empty.
    void clear();
    // The selection saved when the dialog opened.
    void cancel();

    QByteArray groupCode() const { return groupCodeOf(m_selection); }

private:
    QList<bool> m_offered;
    QByteArray m_selection;
    QByteArray m_saved;
};

} // namespace filtercore
