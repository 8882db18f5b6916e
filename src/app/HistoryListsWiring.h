#pragma once
// Wires the history buttons and the characteristic-list page into the concordance
// page: the strips of history buttons on the filter pages, the arrow keys' panes,
// the restore's filter rows, the groups of "Настройка списков" and the set-up.
class MainWindow;

void wireHistoryAndLists(MainWindow &frame);
