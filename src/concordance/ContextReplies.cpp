// The context request and the "CT_N" reply: a page of lines shown in the three
// columns, or the whole concordance written into the buffer.
#include "ContextPanel.h"

#include "ConcPage.h"
#include "session/ConcWidgets.h"
#include "WordListPanel.h"

#include "session/Config.h"
#include "dictionary/api/DictionaryLinks.h"
#include "dictionary/api/UsageSubPage.h"
#include "filters/api/FilterRowsView.h"
#include "filters/api/HistorySteps.h"
#include "session/PageHost.h"
#include "text/api/TextSubPage.h"
#include "session/SessionState.h"
#include "session/UiServices.h"
#include "concordance/core/ConcExport.h"
#include "concordance/core/ContextLines.h"
#include "concordance/core/Zones.h"
#include "model/Cp1251.h"
#include "wire/RequestWriter.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QScrollBar>
#include <QTabWidget>

namespace {

// Lines written between two looks at the window's events during an export.
constexpr int ExportPortion = 2000;
// Bodies up to this size are written without the caption's percentage.
constexpr qsizetype QuietExportSize = 1000;

} // namespace

void ContextPanel::contextRequest()
{
    SessionState &s = m_page.state();
    if (!s.CurrentConcPos)
        return;
    if (!m_page.host().progressShowing() && !m_page.filters().distanceEditFocused())
        m_page.activateZone();
    m_page.filters().applyFilterMarks();
    // A request that cannot be made leaves the options as they were.
    const conccore::SubPage sub = m_page.shownSubPage();
    if (sub == conccore::SubPage::None || !m_page.readSelection() || s.DictPosList.isEmpty())
        return;
    const QByteArray previous = s.Options.value("TabType");
    s.Options.set("TabType", QByteArray(m_page.textContextChecked() ? "TEXT" : "CONC") + previous.mid(4, 1));
    m_page.filters().selectGroupZero();
    const bool lines = sub == conccore::SubPage::Context || (sub == conccore::SubPage::Dictionary && m_fromDictionary);
    if (lines) {
        m_fromDictionary = false;
        if (!m_rebuild && s.Options.value("TabType") != "CONC3") {
            const int row = int(m_numbers.indexOf(s.CurrentConcPos->CurLine));
            if (row >= 0) {
                setRows(row);
                return;
            }
            m_rebuild = true;
        }
        s.Options.set("TabType", "CONC2");
        m_page.host().SendToServer(
            "CT_N", requests::concDictParams(*s.CurrentConcPos, s.DictPosList.first().pos, s.Options));
    } else if (sub == conccore::SubPage::Text) {
        m_page.text().requestText();
    } else if (sub == conccore::SubPage::Dictionary) {
        m_page.usage().requestUsage();
    }
}

void ContextPanel::onCT_N(const QByteArray &body)
{
    if (m_page.state().Options.value("PrintConc") == "True")
        exportLines(body);
    else
        showLines(body);
}

void ContextPanel::showLines(const QByteArray &body)
{
    SessionState &s = m_page.state();
    tCConcPos *conc = s.CurrentConcPos.get();
    if (!conc)
        return;
    const bool prose = m_page.proseMode();
    clearLines();

    const QList<conccore::ContextLine> lines = conccore::parseContextLines(body);
    if (lines.isEmpty()) {
        L_LNC->hide();   // the width caption goes with the lines it describes
        m_page.host().ui().message(m_page.window(), QStringLiteral("Сбой системы. Не получен требуемый конкорданс."));
        m_page.history().stepBack(false);
        return;
    }
    int selected = fillColumns(lines, prose, conc->CurLine);

    layoutColumns();
    showPageLabels(*conc, lines.size());
    if (m_pendingLine > 0 && m_pendingLine < lines.size())
        selected = m_pendingLine;
    m_pendingLine = -1;
    LBC_WxClick(selected < 0 ? 0 : selected);
}

void ContextPanel::clearLines()
{
    SessionState &s = m_page.state();
    m_syncing = true;
    LBC_L->clear();
    LBC_Wx->clear();
    LBC_R->clear();
    m_syncing = false;
    m_numbers.clear();
    m_names.clear();
    m_tags.clear();
    m_hoverRow = -1;
    // Marks of the page that goes away point at no row any more.
    for (textcore::FragmentEntry &e : s.PendingFragment.entries)
        e.object = -1;
    L_Wx->setFont(LBC_L->font());
    m_page.dictionary().loadDictLinks(QByteArray());
    rebuildWidths();
}

int ContextPanel::fillColumns(const QList<conccore::ContextLine> &lines, bool prose, qint32 curLine)
{
    const int leftWidth = LBC_L->width();
    const QFontMetrics fm(LBC_L->font());
    QStringList lefts, centres, rights;
    int widest = 0;
    int selected = -1;
    for (const conccore::ContextLine &line : lines) {
        const QByteArray left = line.left.isEmpty()
            ? QByteArray()
            : conccore::renderMarks(conccore::fitLeft(line.left, leftWidth, m_widths), prose);
        lefts.append(cp1251::decode(left));
        centres.append(cp1251::decode(conccore::renderMarks(line.centre, prose)));
        rights.append(cp1251::decode(conccore::renderMarks(line.right, prose)));
        m_numbers.append(line.number);
        m_tags.append(line.tag);
        m_names.append(line.name);
        widest = qMax(widest, fm.horizontalAdvance(centres.last()));
        if (line.number == curLine && selected < 0)
            selected = int(m_numbers.size()) - 1;
    }
    // The table fitted by average widths; the real measure corrects what is still
    // too wide.
    const auto measure = [&fm](const QString &t) { return fm.horizontalAdvance(t); };
    m_syncing = true;
    for (QString &left : lefts)
        left = conccore::correctLeft(left, leftWidth, measure);
    // One insertion per column: row by row the views would lay out after each.
    LBC_L->addItems(lefts);
    LBC_Wx->addItems(centres);
    LBC_R->addItems(rights);
    // Each line says how it is marked for the buffer; the centre names its text too.
    const QString markHint = conccore::markLineHint();
    for (int i = 0; i < LBC_L->count(); ++i) {
        LBC_L->item(i)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        LBC_L->item(i)->setToolTip(markHint);
        LBC_Wx->item(i)->setToolTip(cp1251::decode(m_names[i]) + QLatin1Char('\n') + markHint);
        LBC_R->item(i)->setToolTip(markHint);
    }
    m_syncing = false;
    m_rebuild = false;

    m_widestCentre = widest;
    return selected;
}

void ContextPanel::showPageLabels(const tCConcPos &conc, qsizetype shown)
{
    SessionState &s = m_page.state();
    const conccore::ConcCount count = conccore::parseConcCount(s.Options.value("ConcCount"));
    L_LNC_B->setText(QStringLiteral("нач.строка ") + cp1251::decode(count.first));
    L_LNC_E->setText(QStringLiteral("кон.строка ") + cp1251::decode(count.last));
    const int level = conc.Level >= 0 && conc.Level < tCConcPos::Levels ? conc.Level : 0;
    L_LNC_C->setText(QStringLiteral("Показано %1 из %2 строк").arg(shown).arg(conc.Found[size_t(level)]));
    L_LNC->setText(cp1251::decode(conccore::shownConcWidth(s.Options.value("ConcWidth")))
                   + QStringLiteral(" слов справа-слева"));
    L_LNC->show();
    const QByteArray thumb = s.Options.value("ConcSBar");
    if (!thumb.isEmpty()) {
        SB_Wx->setValue(thumb.toInt());
        SB_Wx->show();
        s.Options.remove("ConcSBar");
    } else {
        SB_Wx->hide();
    }
    s.Options.set("TabType", s.Options.value("TabType").left(4));
}

void ContextPanel::exportLines(const QByteArray &body)
{
    SessionState &s = m_page.state();
    if (!s.CurrentConcPos)
        return;
    if (m_exporting) {
        // The window answers during a long export; another one is written after it.
        m_exportQueue.append(body);
        return;
    }
    m_exporting = true;
    const tCConcPos &conc = *s.CurrentConcPos;
    const int level = conc.Level >= 0 && conc.Level < tCConcPos::Levels ? conc.Level : 0;
    QList<QByteArray> charNames;
    for (const CharEntry &c : s.CharList)
        charNames.append(c.name);
    const QList<QByteArray> names = conccore::headingNames(s.Options.value("Char3"), charNames);
    const bool single = s.Options.value("PrintConcStr") != "False";
    m_page.text().writeExportHeader();   // the buffer's own header: the filter summary
    s.Buffer.append(conccore::concExportCounts(names, single, conc.Found[size_t(level)]));
    s.Options.set("PrintConcStr", "False");

    // A long body is written in portions; between them the window answers and the
    // caption shows how far the export has come.
    QPointer<QWidget> window = m_page.window();
    const QString caption = window->windowTitle();
    const QString title = QString::fromUtf8(Config::ApplicationTitle);
    const bool showProgress = body.size() > QuietExportSize;
    conccore::ConcExportWriter writer(body, m_page.proseMode());
    int shown = -1;
    while (writer.writeSome(s.Buffer, ExportPortion)) {
        if (showProgress && writer.percent() != shown && window) {
            shown = writer.percent();
            window->setWindowTitle(title + QStringLiteral("   +%1%").arg(shown));
        }
        QCoreApplication::processEvents();
    }
    s.Options.set("TabType", s.Options.value("TabType").left(4));
    s.Options.set("PrintConc", "False");
    if (window)
        window->setWindowTitle(caption);
    m_exporting = false;
    if (!m_exportQueue.isEmpty())
        exportLines(m_exportQueue.takeFirst());
}
