#pragma once
// Steps back and forward through the request history (the back and forward buttons,
// and the roll back after a reply that cannot be shown). The step's plan comes from
// the pure part; this class restores the state and sends.
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

    // Set by the word list's reply around the step back it asks for when a list
    // comes back empty.
    bool skipFlag = false;
    // Run before a step (the filter page is shown) and after a restore (the filter
    // rows follow the restored levels); set by the filter panel.
    std::function<void()> beforeStep;
    std::function<void()> afterRestore;

private:
    PageHost &m_host;
};
