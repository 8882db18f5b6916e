#pragma once
// What the "Словарь" sub-page (the usage table) does for the concordance page. The
// usage panel implements it; the main window hands it to the concordance page.
class UsageSubPage {
public:
    virtual ~UsageSubPage() = default;
    // The concordance reset: no table, the entry box off.
    virtual void reset() = 0;
    // The context request while "Словарь" is the sub-page ("CT_D").
    virtual void requestUsage() = 0;
    // CB_Txt ("контекст"): the characteristics of the text, not of the concordance.
    virtual bool isContextChecked() const = 0;
};
