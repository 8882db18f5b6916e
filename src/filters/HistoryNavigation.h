#pragma once
// Steps back and forward through the request history (the back and forward buttons,
// and the roll back after a reply that cannot be shown), the arrow keys on the
// history buttons and the history written into the buffer. The step's plan comes
// from the pure part; this class restores the state and sends.
#include <QByteArray>
#include <QObject>
#include <functional>

class PageHost;

class HistoryNavigation : public QObject {
    Q_OBJECT
public:
    explicit HistoryNavigation(PageHost &host, QObject *parent = nullptr);

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

    // Set by the word list's reply around the step back it asks for when a list
    // comes back empty.
    bool skipFlag = false;
    // Run before a step (the filter page is shown) and after a restore (the filter
    // rows follow the restored levels).
    std::function<void()> beforeStep;
    std::function<void()> afterRestore;
    // The keyboard panes of the concordance page.
    std::function<void()> wordListPane;
    std::function<void()> lowerPane;

private:
    PageHost &m_host;
};
