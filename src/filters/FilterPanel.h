#pragma once
// P_CF on the sub-page "Фильтры": the five filter rows (CB_Q1..CB_Q5 with their
// hidden radio buttons RB_Q1..RB_Q5, the drag labels LD1..LD5 and the distance
// fields E_Plus2..E_Plus5), CB_Context, CB_Perm and CB_ListPosX, and the colour
// menu PM_ChangeColor. The rows' decisions are filtercore::FilterRows; this panel
// shows its state after every change and hands it the user's changes.
#include "filters/core/FilterRows.h"

#include <QColor>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class ComposedFilterPage;
class ConcordanceView;
class PageHost;
class TextSubPage;
class QAction;
class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QRadioButton;
struct SessionState;

class FilterPanel : public QWidget, private filtercore::FilterEnv {
    Q_OBJECT
public:
    FilterPanel(PageHost &host, ConcordanceView &conc, TextSubPage &text, QWidget *parent);

    void setComposedPage(ComposedFilterPage *composed) { m_composed = composed; }

    // The controls of row 1..5; the distance field only for row 2.
    struct RowControls {
        QCheckBox *check = nullptr;
        QRadioButton *radio = nullptr;
        QLineEdit *distance = nullptr;
        QLabel *label = nullptr;
    };
    std::optional<RowControls> CaseQ(int row) const;
    filtercore::FilterRows &rows() { return m_rows; }
    const filtercore::FilterRows &rows() const { return m_rows; }
    SessionState &state();
    // Shows the rows' state on the controls.
    void render();

    // Set-up of the concordance page.
    void reset();
    // The colour dialog; QColorDialog when unset. Nothing when cancelled.
    std::function<std::optional<QColor>(const QColor &initial)> chooseColor;
    QColor filterColor() const { return m_filterColor; }
    bool distanceEditFocused() const;

    // Handlers (the controls call them; tests too).
    void CB_QClick(int row, bool checked);
    void E_PlusChange(int field, const QString &text);
    void E_PlusEnter();
    void E_PlusExit(int field);
    void CB_ContextClick(bool checked);
    bool LD1DragOver() const { return m_rows.LD1DragOver(); }
    void LD2EndDrag(int dragged, int target);
    // The mouse over CB_Q1..CB_Q4 while "Фильтры" is shown: the row pop-up.
    void CB_Q1MouseMove(int row);
    void MI_ChangeColorClick();
    void M_TextBackClick();

    std::array<QCheckBox *, filtercore::RowCount> CB_Q{};
    std::array<QRadioButton *, filtercore::RowCount> RB_Q{};
    std::array<QLabel *, filtercore::RowCount> LD{};
    // E_Plus2..E_Plus5 at 0..3.
    std::array<QLineEdit *, filtercore::LastField - filtercore::FirstField + 1> E_Plus{};
    QCheckBox *CB_Context;
    QCheckBox *CB_Perm;
    QCheckBox *CB_ListPosX;
    QMenu *PM_ChangeColor;
    QAction *MI_ChangeColor;
    QAction *M_TextBack;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // FilterEnv.
    tCConcPos *conc() override;
    OptionList &options() override;
    std::optional<QByteArray> listText() override;
    std::optional<QByteArray> valueText() override;
    bool selectListIndex(int index) override;
    qint32 listCount() override;
    bool typedPrefixEmpty() override;
    bool alphabeticalOrder() override;
    void blockListTools(bool block) override;
    void refreshQuant() override;
    void sendWordList() override;
    void listKindChange() override;
    void rollBack() override;
    void message(const QString &text) override;
    bool askOkCancel(const QString &text) override;

    // The steps of the constructor, in the order the widgets are created.
    void buildRows(QGridLayout *grid);
    void buildDistanceFields(QGridLayout *grid);
    void buildOptionBoxes(QGridLayout *grid);
    void buildColourMenu();

    std::optional<QColor> askColor(const QColor &initial);
    void applyTextColour();
    int rowOfLabel(QObject *o) const;

    PageHost &m_host;
    ConcordanceView &m_conc;
    TextSubPage &m_text;
    ComposedFilterPage *m_composed = nullptr;
    filtercore::FilterRows m_rows;
    QColor m_filterColor;
    QColor m_textColour;
    int m_popupRow = 0;   // the row whose check box offers PM_Filter
};
