#pragma once
// Steps back and forward through the request history (the back and forward buttons,
// and the roll back after a reply that cannot be shown), the arrow keys on the
// history buttons and the history written into the buffer. The step's plan comes
// from the pure part; this class restores the state and sends.
#include "filters/api/HistorySteps.h"

#include <QByteArray>
#include <QObject>

class ConcordanceView;
class FilterRowsView;
class PageHost;

class HistoryNavigation : public QObject, public HistorySteps {
    Q_OBJECT
public:
    explicit HistoryNavigation(PageHost &host, QObject *parent = nullptr);
    // The concordance page (its filter page and keyboard panes) and the filter rows
    // (which follow a restored position); both are needed.
    void connectNeighbours(ConcordanceView *conc, FilterRowsView *filters);
    // HistorySteps: the step back asked for by an empty value list or lines reply.
    void stepBack(bool skip) override;

    void B_FBackClick();
    void B_FNextClick();
    // Restores the query state from a stored request's parameter text; false when
    // there is no current dictionary position or concordance (nothing changes).
    bool RestoreFromHistory(const QByteArray &text);
    // The whole history into the buffer; the next entry becomes the current one.
    void B_FMarkClick();
    // A key on BB_FBack or BB_F: Left gives the keyboard to the value list, Right to
    // the lower pane; true when the key is consumed.
    bool BB_FBackKeyDown(int key);

private:
    ConcordanceView &conc() const;
    FilterRowsView &filters() const;

    PageHost &m_host;
    ConcordanceView *m_conc = nullptr;
    FilterRowsView *m_filters = nullptr;
    // Set around the step back of a value list that came back empty.
    bool m_skip = false;
};
