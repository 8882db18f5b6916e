#include "Zones.h"

#include "ContextFit.h"

namespace conccore {

QString markLineHint()
{
    return QStringLiteral("Shift+щелчок — отметить строку для буфера");
}

StatusHints statusHints(MainTab tab, SubPage sub, bool wordListVisible, Zone highlighted)
{
    StatusHints h;
    if (tab != MainTab::Concordance) {
        h.panel0 = QStringLiteral(" ");
        return h;
    }
    if (sub == SubPage::Context)
        h.panel0 = QStringLiteral("  Перекл.: словарь-конкорд. : <- ->");
    else if (sub == SubPage::Text)
        h.panel0 = QStringLiteral("  Перекл.: словарь-текст : <- ->");
    if (wordListVisible) {
        switch (highlighted) {
        case Zone::WordList:
            h.panel0 += QStringLiteral("| Перемещ. по СЛОВАРЮ \"стр.вверх\", \"с.вниз\", PgUp, PgDn, Home, End|");
            break;
        case Zone::Context:
            h.panel0 += QStringLiteral("| Листание КОНКОРДАНСА PgUp, PgDn, Home, End|");
            break;
        case Zone::Text:
            h.panel0 += QStringLiteral("| Листание ТЕКСТА PgUp, PgDn, Home, End|");
            break;
        }
    }
    if (sub == SubPage::Text)
        h.panel1 = QStringLiteral("Выделение (начало/конец) - Shift+лев.кн.мыши, Выдел. слова - Ctrl+лев.кн.м.|");
    else if (sub == SubPage::Context)
        h.panel1 = markLineHint();
    return h;
}

Zone lowerZone(SubPage sub, Zone active)
{
    if (sub == SubPage::Context)
        return Zone::Context;
    if (sub == SubPage::Text)
        return Zone::Text;
    return active;
}

bool setPageSizes(OptionList &options, const PageGeometry &g)
{
    const struct {
        const char *name;
        int rows;
    } sizes[] = {
        {"LBC_W_Max", rowsThatFit(g.wordListHeight, 16, g.wordListRow)},
        {"LBC_L_Max", rowsThatFit(g.contextHeight, 0, g.contextRow)},
        {"LBC_T_Max", rowsThatFit(g.contextHeight, 0, g.textRow)},
        {"LBC_X_Max", rowsThatFit(g.fullTextHeight, 0, g.fullTextRow)},
    };
    bool changed = false;
    for (const auto &s : sizes) {
        const QByteArray value = QByteArray::number(s.rows);
        changed |= options.value(s.name) != value;
        options.set(s.name, value);
    }
    return changed;
}

} // namespace conccore
