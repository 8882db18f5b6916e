#pragma once
// Ties the text view, the buffer and the usage table to the windows and pages the
// frame owns: the full-text and buffer windows, the dictionary browser (links of a
// text page, the entry of the usage table's headword) and the start-up font of the
// buffer. Run once the secondary windows exist. The concordance page sets its own
// hooks on the same panels.
class MainWindow;

void wireTextPages(MainWindow &form);
