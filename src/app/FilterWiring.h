#pragma once
// Puts the filter rows on "Фильтры" and the composed filter-lists on "Набор
// фильтров", and ties them to the concordance page's hooks, to its set-up and to
// the history's steps.
class MainWindow;

void connectFilters(MainWindow &frame);
