#include "FilterRows.h"

#include "model/Cp1251.h"

#include <utility>

namespace filtercore {

namespace {

bool isDistanceChar(char c)
{
    return c == '+' || c == '-' || (c >= '0' && c <= '9');
}

// Sets `flag` for the life of the guard, back to false after it.
class Lock {
public:
    explicit Lock(bool &flag) : m_flag(flag) { m_flag = true; }
    ~Lock() { m_flag = false; }
    Lock(const Lock &) = delete;
    Lock &operator=(const Lock &) = delete;

private:
    bool &m_flag;
};

const QByteArray Equals = " = ";

} // namespace

QByteArray distanceKept(const QByteArray &text)
{
    QByteArray out;
    for (const char c : text)
        if (isDistanceChar(c) && out.size() < 2)
            out += c;
    return out;
}

std::optional<qint32> distanceValue(const QByteArray &text)
{
    bool ok = false;
    const QByteArray t = text.startsWith('+') ? text.mid(1) : text;
    const int v = t.toInt(&ok);
    if (!ok || t.isEmpty() || t.startsWith('+'))
        return std::nullopt;
    return qint32(v);
}

tCConcPos &FilterRows::conc()
{
    tCConcPos *c = m_env.conc();
    return c ? *c : m_none;
}

// ---------------------------------------------------------------- set-up

void FilterRows::reset()
{
    {
        Lock lock(m_checkLock);
        for (int r = 1; r <= RowCount; ++r) {
            FilterRowView &v = m_s.row(r);
            v = FilterRowView();
            v.visible = r == 1;
        }
        for (DistanceField &f : m_s.fields)
            f = DistanceField();
        m_s.coloured = false;
    }
    m_checkLock = m_radioLock = m_filterLock = m_requestLock = m_distanceLock = false;
    m_s.perm = false;
    m_s.permVisible = false;
    m_s.permEnabled = true;
    m_s.context = false;
    m_s.popupTag = 0;
    CB_ContextClick();
}

// ---------------------------------------------------------------- control changes

void FilterRows::setChecked(int row, bool checked)
{
    if (row < 1 || row > RowCount || m_s.row(row).checked == checked)
        return;
    m_s.row(row).checked = checked;
    rowClicked();
}

void FilterRows::setRadio(int row)
{
    if (row < 1 || row > RowCount || m_s.row(row).radio)
        return;
    // The radio buttons share the panel: checking one unchecks the others.
    for (int r = 1; r <= RowCount; ++r)
        m_s.row(r).radio = r == row;
    RB_Q1Click();
}

void FilterRows::setPerm(bool checked)
{
    if (m_s.perm == checked)
        return;
    m_s.perm = checked;
    CB_PermClick();
}

void FilterRows::setContext(bool checked)
{
    if (m_s.context == checked)
        return;
    m_s.context = checked;
    CB_ContextClick();
}

void FilterRows::setDistanceText(int field, const QByteArray &text)
{
    if (field < FirstField || field > LastField || m_s.field(field).text == text)
        return;
    m_s.field(field).text = text;
    E_Plus2Change(field);
}

void FilterRows::distanceEnter()
{
    rowClicked();
    RB_Q1Click();
}

void FilterRows::distanceExit(int field)
{
    if (field >= FirstField && field <= LastField && m_s.field(field).text.isEmpty())
        setDistanceText(field, "0");
    m_distanceLock = false;
}

// ---------------------------------------------------------------- rows

void FilterRows::hideRow(int r)
{
    FilterRowView &v = m_s.row(r);
    v.visible = v.enabled = false;
    v.labelVisible = false;
    if (r == DistanceRow) {
        m_s.field(r).visible = false;
        m_s.field(r).enabled = false;
    }
}

void FilterRows::showFieldOf(int row)
{
    if (row == DistanceRow) {
        m_s.field(row).visible = m_s.row(row).visible && m_s.context;
        m_s.field(row).enabled = true;
    }
}

bool FilterRows::distanceRefused(int row) const
{
    if (row != DistanceRow || !m_s.context || !m_s.row(row).checked)
        return false;
    const QByteArray &t = m_s.field(row).text;
    return !t.isEmpty() && t != "0";
}

void FilterRows::rowClicked()
{
    // 1. The colour runs even under the check lock.
    m_s.coloured = m_s.row(1).checked;
    if (m_checkLock)
        return;
    tCConcPos &c = conc();

    // 2. Unchecking a row that carries a composed filter is confirmed first.
    if (uncheckRefused())
        return;

    // 3. The active row: the first unchecked one, or the last.
    const int n = activeRow();
    c.Level = n;

    // 4. C counts the rows in use, K the fixed ones.
    int used = 0;
    int fixed = 0;
    for (int r = RowCount; r >= 1; --r) {
        used += m_s.row(r).checked || r == n;
        fixed += m_s.row(r).checked;
    }
    if (!hideUnchecked())
        return;
    if (!m_s.row(1).checked)
        setContext(false);

    markRows(c, n, used, fixed);
    openActiveRow(c, n);
}

bool FilterRows::uncheckRefused()
{
    const int hovered = m_s.popupTag < 0 ? -m_s.popupTag : 0;
    if (hovered >= 1 && hovered <= RowCount && m_s.row(hovered).tag > 0 && !m_s.row(hovered).checked
        && !m_env.askOkCancel(QStringLiteral("Выключить составной фильтр ?"))) {
        Lock lock(m_checkLock);
        m_s.row(hovered).checked = true;
        return true;
    }
    return false;
}

int FilterRows::activeRow() const
{
    int n = RowCount;
    for (int r = 1; r <= RowCount; ++r)
        if (!m_s.row(r).checked) {
            n = r;
            break;
        }
    return n;
}

bool FilterRows::hideUnchecked()
{
    for (int r = RowCount; r >= 1; --r) {
        if (distanceRefused(r)) {
            // A row at a distance is a co-occurrence list, never a fixed condition.
            setChecked(r, false);
            return false;
        }
        if (!m_s.row(r).checked)
            hideRow(r);
    }
    return true;
}

void FilterRows::markRows(tCConcPos &c, int n, int used, int fixed)
{
    // 5. Marks, and only the last fixed and the active row clickable.
    for (int r = RowCount; r >= 1; --r) {
        c.Mark[size_t(r)] = m_s.row(r).checked ? 'Y' : 'N';
        m_s.row(r).enabled = r >= used || (r == used - 1 && fixed < used);
    }

    // 6. The overall filtering letter.
    c.Mark[0] = m_s.perm && used > 1 ? 'Y' : 'N';

    // 7. Rows with a composed filter send its value numbers.
    for (int r = 1; r <= n; ++r) {
        const int tag = m_s.row(r).tag;
        if (tag > 0 && m_sets.SelectFilter(tag - 1))
            c.Request[size_t(r)] = m_sets.requestText(tag - 1);
    }
}

void FilterRows::openActiveRow(tCConcPos &c, int n)
{
    // 8. The active row opens. Its own mark and typed text are the level's before
    // anything is sent: a text left from the row's time as a fixed condition (a
    // value name, a composed filter's "**" numbers) would be read as a pattern.
    c.Mark[size_t(n)] = 'N';
    c.Request[size_t(n)].clear();
    {
        const bool lockRequest = !m_s.perm;
        if (lockRequest)
            m_requestLock = true;
        setRadio(n);
        m_requestLock = false;
    }
    FilterRowView &v = m_s.row(n);
    v.radio = true;
    v.enabled = true;
    v.visible = true;
    showFieldOf(n);
    v.labelVisible = true;
    v.labelCaption = "L";
    setPerm(true);
    tCConcPos &after = conc();
    after.Level = n;
    after.Mark[size_t(n)] = 'N';
    after.Request[size_t(n)].clear();
}

void FilterRows::RB_Q1Click()
{
    // 1. The list tools come back whatever follows.
    m_env.blockListTools(false);
    if (m_radioLock)
        return;
    tCConcPos &c = conc();
    RB_QFClick();
    // 4. The active row is the checked radio button.
    int row = 0;
    for (int r = RowCount; r >= 1; --r)
        if (m_s.row(r).radio) {
            row = r;
            break;
        }
    if (row == 0)
        return;
    // 5. The list shows the row's characteristic.
    c.Level = row;
    const QByteArray codes = m_env.options().value("Char0");
    const qint32 code = c.CharNo[size_t(row)] + 200;
    const int index = code >= 0 && code <= 255 ? int(codes.indexOf(char(code))) : -1;
    if (!m_env.selectListIndex(index)) {
        m_env.rollBack();
        return;
    }
    // 6. Its count, where the list starts, the counts caption.
    c.ValueNo[0] = m_env.listCount();
    OptionList &o = m_env.options();
    if (m_s.listPosX && m_env.typedPrefixEmpty())
        o.set("ListPos", "TOP");
    else
        o.remove("ListPos");
    m_env.refreshQuant();
    if (!m_requestLock)
        m_env.sendWordList();
}

void FilterRows::RB_QFClick()
{
    if (m_s.perm)
        return;
    conc().Mark[0] = 'N';
    m_env.blockListTools(false);
}

void FilterRows::CB_PermClick()
{
    if (m_filterLock)
        return;
    OptionList &o = m_env.options();
    if (m_s.perm) {
        o.set("SetFilter", "True");
    } else {
        o.set("SetFilter", "False");
        tCConcPos &c = conc();
        if (c.Mark[0] == 'F')
            c.Mark[0] = 'N';
    }
    m_env.listKindChange();
}

void FilterRows::CB_ContextClick()
{
    if (m_s.context && !m_env.alphabeticalOrder()) {
        m_env.message(QStringLiteral("Фильтры работают только при алфавитной сортировке словаря"));
        setContext(false);
        return;
    }
    tCConcPos &c = conc();
    const bool inForce = m_s.field(DistanceRow).visible || c.Distance[DistanceRow] != 0;
    if (DistanceRow <= c.Level)
        showFieldOf(DistanceRow);
    if (m_s.context) {
        if (const auto v = distanceValue(m_s.field(DistanceRow).text)) {
            c.Distance[DistanceRow] = *v;
            // A distance kept in the field is in force again, and sorts as when typed.
            if (*v > 0)
                m_env.options().set("SortSeq", "CRL");
        }
    } else {
        c.Distance[DistanceRow] = 0;
        // The distance field is gone with the co-occurrence: the lines sort by the
        // centre word first again, as for a distance of 0. A switch that never
        // took effect (the set-up, a refused tick) leaves the order alone.
        if (inForce)
            m_env.options().set("SortSeq", "CLR");
    }
}

void FilterRows::E_Plus2Change(int field)
{
    if (field < FirstField || field > LastField || m_distanceLock)
        return;
    DistanceField &f = m_s.field(field);
    // A hidden field only keeps its text: the rows' re-application writes the text
    // before it decides the visibility, and the stored distance must survive that.
    if (!f.visible || f.text.isEmpty() || f.text == "-" || f.text == "+")
        return;
    {
        Lock lock(m_distanceLock);
        f.text = distanceKept(f.text);
    }
    tCConcPos &c = conc();
    if (const auto v = distanceValue(f.text))
        c.Distance[size_t(field)] = *v;
    m_env.options().set("SortSeq", c.Distance[size_t(field)] > 0 ? "CRL" : "CLR");
}

void FilterRows::LD2EndDrag(int s, int t)
{
    if (s < 1 || s > RowCount || t < 1 || t > RowCount || s == t || !LD1DragOver())
        return;
    tCConcPos &c = conc();
    const size_t a = size_t(s);
    const size_t b = size_t(t);
    std::swap(c.CharNo[a], c.CharNo[b]);
    std::swap(c.Mark[a], c.Mark[b]);
    std::swap(c.ValueNo[a], c.ValueNo[b]);
    std::swap(c.Distance[a], c.Distance[b]);
    std::swap(c.Request[a], c.Request[b]);
    std::swap(c.Found[a], c.Found[b]);
    std::swap(c.Move[a], c.Move[b]);
    FilterRowView &x = m_s.row(s);
    FilterRowView &y = m_s.row(t);
    std::swap(x.caption, y.caption);
    // The composed filter goes with its level, or its numbers would be written
    // into the other row's request.
    std::swap(x.tag, y.tag);
    x.hint = x.caption;
    y.hint = y.caption;
    x.hintShown = y.hintShown = true;
    rowClicked();
    RB_Q1Click();
}

// ---------------------------------------------------------------- captions

bool FilterRows::SetRowCaption(int row)
{
    if (row < 1 || row > RowCount)
        return false;
    const std::optional<QByteArray> list = m_env.listText();
    const std::optional<QByteArray> value = m_env.valueText();
    if (!list || !value)
        return false;
    FilterRowView &v = m_s.row(row);
    if (v.tag > 0 && m_sets.SelectFilter(v.tag - 1))
        v.caption = *list + Equals + m_sets.valuesText(v.tag - 1);
    else
        v.caption = *list + Equals + *value;
    v.hint = v.caption;
    v.hintShown = true;
    return true;
}

void FilterRows::SetFilter(int row)
{
    if (!SetRowCaption(row) || conc().Mark[0] == 'Y')
        return;
    FilterRowView &v = m_s.row(row);
    v.visible = true;
    v.labelVisible = true;
    v.labelCaption = "L";
    Lock lock(m_radioLock);
    setRadio(row);
}

void FilterRows::ApplyFilterMarks()
{
    tCConcPos &c = conc();
    if (m_env.options().value("SetFilter") != "True" || c.Level < 0 || c.Level >= tCConcPos::Levels)
        return;
    bool other = false;
    for (int r = 1; r <= RowCount; ++r)
        other = other || (r != c.Level && (c.Mark[size_t(r)] == 'Y' || c.Mark[size_t(r)] == 'F'));
    if (!other)
        return;
    if (c.Mark[0] != 'Y')
        c.Mark[0] = 'F';
    if (c.Mark[size_t(c.Level)] != 'Y')
        c.Mark[size_t(c.Level)] = 'F';
}

void FilterRows::SyncFilterRows()
{
    tCConcPos &c = conc();
    bool any = false;
    {
        Lock check(m_checkLock);
        Lock radio(m_radioLock);
        Lock filter(m_filterLock);
        for (int r = 1; r <= RowCount; ++r) {
            FilterRowView &v = m_s.row(r);
            v.checked = c.Mark[size_t(r)] == 'Y';
            any = any || v.checked;
            v.radio = r == c.Level;
            if (r == DistanceRow) {
                Lock distance(m_distanceLock);
                m_s.field(r).text = QByteArray::number(c.Distance[size_t(r)]);
                m_s.field(r).visible = v.visible && m_s.context;
            }
        }
        m_s.coloured = m_s.row(1).checked;
    }
    if (any) {
        m_s.permVisible = true;
        m_s.permEnabled = false;
        setPerm(true);
    } else {
        // The indicator says that a fixed row narrows the list: with none left it
        // goes (the filtering switch itself stays as it is).
        m_s.permVisible = false;
    }
    m_checkLock = m_radioLock = m_filterLock = false;
}

void FilterRows::FillRowCaptions()
{
    tCConcPos &c = conc();
    for (int r = 1; r <= RowCount && r <= c.Level; ++r) {
        FilterRowView &v = m_s.row(r);
        const qsizetype at = v.caption.indexOf(Equals);
        QByteArray &request = c.Request[size_t(r)];
        if (at < 0 || request.isEmpty())
            continue;
        QByteArray rest = request;
        if (v.tag > 0) {
            rest.clear();
            for (const ComposedValue &value : m_sets.currentValues())
                rest += (rest.isEmpty() ? QByteArray() : QByteArray(",")) + value.text;
        }
        v.caption = v.caption.left(at + Equals.size()) + rest;
        v.hint = v.caption;
        v.hintShown = true;
        request.clear();
    }
}

void FilterRows::restoreRows()
{
    Lock lock(m_checkLock);
    const int level = conc().Level;
    for (int r = 1; r <= RowCount; ++r) {
        FilterRowView &v = m_s.row(r);
        if (r <= level) {
            v.visible = v.labelVisible = true;
            v.labelCaption = "L";
            v.enabled = r >= level - 1;
        } else {
            v.visible = v.labelVisible = false;
            v.checked = false;
        }
        if (r == DistanceRow)
            m_s.field(r).visible = v.visible && m_s.context;
    }
    m_s.coloured = m_s.row(1).checked;
}

conccore::FilterRows FilterRows::exportRows() const
{
    conccore::FilterRows out;
    out.perm = m_s.perm;
    for (int r = 1; r <= RowCount; ++r) {
        const FilterRowView &v = m_s.row(r);
        conccore::FilterRow row;
        row.visible = v.visible;
        row.checked = v.checked;
        row.active = v.radio;
        row.caption = v.caption;
        row.hasDistance = r == DistanceRow;
        if (row.hasDistance)
            row.distance = m_s.field(r).text;
        out.rows.append(row);
    }
    return out;
}

// ---------------------------------------------------------------- composed filters on rows

std::optional<QString> FilterRows::hoverRow(int row)
{
    if (row < 1 || row > RowCount - 1)
        return std::nullopt;
    const FilterRowView &v = m_s.row(row);
    if (v.tag > 0) {
        m_s.popupTag = -row;
        return QStringLiteral("Отключить составной фильтр");
    }
    if (m_sets.filters.isEmpty() || m_sets.filters.first().line.isEmpty())
        return std::nullopt;
    m_s.popupTag = row;
    return QStringLiteral("Включить составной фильтр");
}

void FilterRows::attachOrDetach(const std::function<int(const QList<QByteArray> &lines)> &choose)
{
    const int tag = m_s.popupTag;
    const int r = tag < 0 ? -tag : tag;
    if (r < 1 || r > RowCount - 1 || m_sets.filters.isEmpty())
        return;
    FilterRowView &v = m_s.row(r);
    int index = 0;
    if (m_sets.filters.size() > 1 && m_sets.filters[1].named() && tag > 0 && v.tag >= 0) {
        QList<QByteArray> lines;
        for (const ComposedFilter &f : m_sets.filters)
            lines.append(f.line);
        index = choose ? choose(lines) : -1;
        if (index < 0 || index >= m_sets.filters.size())
            return;
    }
    if (v.tag == 0) {
        if (v.checked)
            return;
        v.tag = index + 1;
        SetRowCaption(r);
        setChecked(r, true);
        return;
    }
    if (v.tag > 0) {
        // The last fixed row becomes the level again; the question on the way may
        // keep it fixed, and then it keeps its composed filter too.
        if (v.checked && !m_s.row(r + 1).checked) {
            setChecked(r, false);
            if (v.checked)
                return;
        }
        v.tag = 0;
        SetRowCaption(r);
    }
}

void FilterRows::composedFilterRemoved(int index)
{
    for (FilterRowView &v : m_s.rows) {
        if (v.tag == index + 1)
            v.tag = 0;
        else if (v.tag > index + 1)
            --v.tag;
    }
}

} // namespace filtercore
