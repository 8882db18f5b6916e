#pragma once
// Ties the concordance page to its neighbours in the frame: the dictionary links of
// a line, the history's step back, the progress window, the status bar with its
// hints and its hover, the font commands of the menu, and the progress window on a
// press while a request is pending.
class MainWindow;

void connectConcordancePage(MainWindow &frame);
