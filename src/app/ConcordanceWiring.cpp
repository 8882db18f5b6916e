#include "ConcordanceWiring.h"

#include "HistoryListsWiring.h"
#include "MainWindow.h"
#include "ProgressWindow.h"
#include "concordance/ConcPage.h"
#include "dictionary/DictPage.h"
#include "filters/HistoryNavigation.h"
#include "text/BufferWindow.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>

namespace {

// The status bar turns bold on aqua while the mouse is over it below its top pixel
// row; a press on the window's own surface while a request is pending brings up
// the progress window.
class FrameSurface : public QObject {
public:
    explicit FrameSurface(MainWindow &frame) : QObject(&frame), m_frame(frame), m_bar(frame.statusBar())
    {
        m_bar->setMouseTracking(true);
        m_bar->installEventFilter(this);
        frame.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseMove && type != QEvent::Leave && type != QEvent::MouseButtonPress)
            return false;
        QStatusBar *bar = m_bar;
        if (watched == bar && (type == QEvent::MouseMove || type == QEvent::Leave)) {
            const bool over = type == QEvent::MouseMove
                && static_cast<QMouseEvent *>(event)->position().y() >= 1;
            QFont f = bar->font();
            f.setBold(over);
            bar->setFont(f);
            QPalette p = bar->palette();
            p.setColor(QPalette::Window, over ? QColor(0x00, 0xFF, 0xFF) : QPalette().color(QPalette::Button));
            bar->setPalette(p);
            bar->setAutoFillBackground(true);
        } else if (watched == &m_frame && type == QEvent::MouseButtonPress
                   && !m_frame.state().PendingRequest.isEmpty()) {
            m_frame.showProgress("0,0,", true);
        }
        return false;
    }

private:
    MainWindow &m_frame;
    QPointer<QStatusBar> m_bar;
};

} // namespace

void connectConcordancePage(MainWindow &frame)
{
    ConcPage *page = frame.TS_Conc;
    ConcHooks &h = page->hooks();
    DictPage *dict = frame.TS_Dict;
    HistoryNavigation *nav = frame.historyNavigation();
    h.dictLinks = [dict](const QByteArray &links) { dict->loadDictLinks(links); };
    h.historyBack = [nav](bool skip) {
        nav->skipFlag = skip;
        nav->B_FBackClick();
        nav->skipFlag = false;
    };
    h.progressShowing = [&frame] { return frame.Form2 && frame.Form2->isVisible(); };
    h.setBufferFont = [&frame](const QFont &font) {
        if (frame.T_F2)
            frame.T_F2->LB->setFont(font);
    };
    h.statusHints = [&frame](const QString &panel0, const QString &panel1) {
        frame.SB_Panel0->setText(panel0);
        frame.SB_Panel1->setText(panel1);
    };
    QObject::connect(dict, &DictPage::concordanceTied, page, &ConcPage::tieToEntry);
    QObject::connect(frame.M_Font, &QAction::triggered, page, &ConcPage::M_FontClick);
    QObject::connect(frame.M_ConcFont, &QAction::triggered, page,
                     [page] { page->M_FontTClick(page->fontTTag()); });
    QObject::connect(page, &ConcPage::fontTChanged, frame.M_ConcFont, [&frame](const QString &caption, int tag) {
        frame.M_ConcFont->setText(caption);
        frame.M_ConcFont->setProperty("tag", tag);
    });
    new FrameSurface(frame);
    wireHistoryAndLists(frame);
}
