#pragma once
// The pages of the main window put side by side: the panels that live on the
// concordance page's tabs (the text view, the usage table, the filter rows, the
// composed filter sets, the list settings, the history buttons) are made here,
// placed, and every page is handed its neighbours' named operations once.
#include <memory>

class CharListPage;
class ComposedFilterPage;
class FilterPanel;
class FilterSide;
class HistoryButtons;
class MainWindow;
class TextPanel;
class UsagePanel;

struct PagePanels {
    TextPanel *text = nullptr;
    UsagePanel *usage = nullptr;
    FilterPanel *filterRows = nullptr;
    ComposedFilterPage *composed = nullptr;
    CharListPage *lists = nullptr;
    HistoryButtons *historyButtons = nullptr;
    std::unique_ptr<FilterSide> filters;

    PagePanels();
    PagePanels(PagePanels &&) noexcept;
    PagePanels &operator=(PagePanels &&) noexcept;
    ~PagePanels();
};

// Needs the frame's dictionary and concordance pages and its history navigation.
PagePanels wirePages(MainWindow &frame);
