// guide-shots: the screenshots of the user guide (docs/guide/img/*.png), taken of the
// real program. It starts the build's Corvus.exe on a corpus, opens the real main
// window offscreen in the local mode (the window reaches the server over the local
// link, as an installed copy does), drives it through the steps the guide describes
// and saves QWidget::grab() pictures of the window and its secondary windows.
//
//   QT_QPA_PLATFORM=offscreen build/bin/guide-shots [--out DIR] [--corpus DIR]...
//                                                   [--literature DIR] [--word WORD]
//
// The corpus: the folders given with --corpus; else a part of the literature corpus
// whose folder --literature names (Pushkin, Lermontov, Chekhov, under Russian author
// names); else a few poems this tool writes itself. Everything runs in a
// temporary home (the tests' TestHome), so nothing of the user's profile is touched.
#include "app/GuideWindow.h"
#include "app/MainWindow.h"
#include "app/SessionController.h"
#include "concordance/ConcPage.h"
#include "concordance/ContextPanel.h"
#include "concordance/SortSeqDialog.h"
#include "concordance/WordListPanel.h"
#include "dictionary/DictPage.h"
#include "filters/FilterPanel.h"
#include "model/Cp1251.h"
#include "support/AppFixture.h"
#include "text/BufferWindow.h"
#include "text/FullTextWindow.h"
#include "text/TextPanel.h"
#include "text/core/TextView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const QString &why)
{
    std::fprintf(stderr, "guide-shots: %s\n", qPrintable(why));
    std::exit(1);
}

void note(const QString &what)
{
    std::fprintf(stdout, "guide-shots: %s\n", qPrintable(what));
    std::fflush(stdout);
}

// ---------------------------------------------------------------- the corpus

// A few poems, enough for every step when no literature corpus is at hand.
struct Poem {
    const char *folder;
    const char *title;
    const char *text;
};

const Poem OwnPoems[] = {
    {"стихи/Лермонтов", "Парус",
     "Белеет парус одинокой\nВ тумане моря голубом!..\nЧто ищет он в стране далекой?\n"
     "Что кинул он в краю родном?..\n\nИграют волны — ветер свищет,\nИ мачта гнется и скрыпит...\n"
     "Увы! он счастия не ищет\nИ не от счастия бежит!\n\nПод ним струя светлей лазури,\n"
     "Над ним луч солнца золотой...\nА он, мятежный, просит бури,\nКак будто в бурях есть покой!\n"},
    {"стихи/Лермонтов", "Выхожу один я на дорогу",
     "Выхожу один я на дорогу;\nСквозь туман кремнистый путь блестит;\n"
     "Ночь тиха. Пустыня внемлет богу,\nИ звезда с звездою говорит.\n\n"
     "В небесах торжественно и чудно!\nСпит земля в сиянье голубом...\n"
     "Что же мне так больно и так трудно?\nЖду ль чего? жалею ли о чем?\n"},
    {"стихи/Пушкин", "Зимняя дорога",
     "Сквозь волнистые туманы\nПробирается луна,\nНа печальные поляны\nЛьет печально свет она.\n\n"
     "По дороге зимней, скучной\nТройка борзая бежит,\nКолокольчик однозвучный\nУтомительно гремит.\n\n"
     "Что-то слышится родное\nВ долгих песнях ямщика:\nТо разгулье удалое,\nТо сердечная тоска...\n"},
    {"стихи/Пушкин", "Зимнее утро",
     "Мороз и солнце; день чудесный!\nЕще ты дремлешь, друг прелестный —\nПора, красавица, проснись:\n"
     "Открой сомкнуты негой взоры\nНавстречу северной Авроры,\nЗвездою севера явись!\n\n"
     "Вечор, ты помнишь, вьюга злилась,\nНа мутном небе мгла носилась;\nЛуна, как бледное пятно,\n"
     "Сквозь тучи мрачные желтела,\nИ ты печальная сидела —\nА нынче... погляди в окно:\n"},
    {"стихи/Пушкин", "Бесы",
     "Мчатся тучи, вьются тучи;\nНевидимкою луна\nОсвещает снег летучий;\n"
     "Мутно небо, ночь мутна.\nЕду, еду в чистом поле;\nКолокольчик дин-дин-дин...\n"
     "Страшно, страшно поневоле\nСредь неведомых равнин!\n\n"
     "«Эй, пошел, ямщик!..» — «Нет мочи:\nКоням, барин, тяжело;\nВьюга мне слипает очи;\n"
     "Все дороги занесло;\nХоть убей, следа не видно;\nСбились мы. Что делать нам!\n"},
};

bool writeText(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

void writeOwnCorpus(const QString &corpus)
{
    for (const Poem &p : OwnPoems) {
        const QString path = corpus + QLatin1Char('/') + QString::fromUtf8(p.folder) + QLatin1Char('/')
            + QString::fromUtf8(p.title) + QStringLiteral(".txt");
        if (!writeText(path, QByteArray(p.text)))
            fail(QStringLiteral("cannot write %1").arg(path));
    }
}

// The part of the literature corpus the pictures show, under Russian author names
// (the author is the name of the text's folder).
void copyLiteratureCorpus(const QString &shared, const QString &corpus)
{
    const struct {
        const char *from;
        const char *to;
    } parts[] = {
        {"poems/Pushkin", "стихи/Пушкин"},   {"poems/Lermontov", "стихи/Лермонтов"},
        {"prose/Pushkin", "проза/Пушкин"},   {"prose/Lermontov", "проза/Лермонтов"},
        {"prose/Chekhov", "проза/Чехов"},
    };
    for (const auto &part : parts) {
        const QString from = shared + QLatin1Char('/') + QLatin1String(part.from);
        const QString to = corpus + QLatin1Char('/') + QString::fromUtf8(part.to);
        QDir().mkpath(to);
        const QStringList files = QDir(from).entryList(QDir::Files, QDir::Name);
        for (const QString &f : files)
            if (!QFile::copy(from + QLatin1Char('/') + f, to + QLatin1Char('/') + f))
                fail(QStringLiteral("cannot copy %1").arg(from + QLatin1Char('/') + f));
    }
}

// ---------------------------------------------------------------- the server

QString corvusPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Corvus.exe");
}

// Corvus.exe on `corpora`, serving the local link of the temporary home; returns once
// it says it serves (it loads the corpus after that; requests wait for it).
void startCorvus(QProcess &corvus, const QStringList &corpora, const QString &cache)
{
    QStringList args;
    for (const QString &c : corpora)
        args << QStringLiteral("--corpus") << c;
    // It ends by itself when the window has gone (and, at the latest, this long
    // after a client that never came).
    args << QStringLiteral("--cache") << cache << QStringLiteral("--idle-exit") << QStringLiteral("30");
    corvus.setProgram(corvusPath());
    corvus.setArguments(args);
    corvus.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    corvus.start();
    if (!corvus.waitForStarted())
        fail(QStringLiteral("%1 does not start").arg(corvusPath()));
    QByteArray out;
    const bool ready = QTest::qWaitFor(
        [&] {
            out += corvus.readAllStandardOutput();
            return out.contains("ready on local link") || corvus.state() == QProcess::NotRunning;
        },
        120000);
    if (!ready || !out.contains("ready on local link"))
        fail(QStringLiteral("Corvus.exe did not open its local link: %1").arg(QString::fromLocal8Bit(out)));
}

// ---------------------------------------------------------------- the pictures

// The main window's size in the pictures: they need no scaling.
const QSize WindowSize(920, 690);

class Shots {
public:
    Shots(const QString &dir, int maxWidth) : m_dir(dir), m_maxWidth(maxWidth) {}

    // `widget` (or the part `area` of it) as dir/name.png, no wider than the width
    // given.
    void save(QWidget *widget, const QString &name, const QRect &area = QRect())
    {
        QTest::qWait(300);   // replies painted, layouts settled
        QImage img = widget->grab(area.isValid() ? area : QRect(QPoint(0, 0), QSize(-1, -1))).toImage();
        if (img.width() > m_maxWidth)
            img = img.scaledToWidth(m_maxWidth, Qt::SmoothTransformation);
        img = img.convertToFormat(QImage::Format_RGB32);
        const QString path = m_dir + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!img.save(path, "PNG", 0))
            fail(QStringLiteral("cannot save %1").arg(path));
        note(QStringLiteral("%1 (%2x%3, %4 bytes)").arg(path).arg(img.width()).arg(img.height()).arg(QFileInfo(path).size()));
    }

private:
    QString m_dir;
    int m_maxWidth;
};

// ---------------------------------------------------------------- driving the window

class Tour {
public:
    Tour(MainWindow &form, Shots &shots, RecordingUi &ui) : m_form(form), m_shots(shots), m_ui(ui) {}

    void run(const QString &word);

private:
    bool settled() const { return m_form.state().PendingRequest.isEmpty() && m_form.state().idleForKeys; }
    void settle(const char *what, int ms = 120000)
    {
        if (!QTest::qWaitFor([this] { return settled(); }, ms))
            fail(QStringLiteral("no reply: %1").arg(QLatin1String(what)));
        QTest::qWait(150);
        if (!QTest::qWaitFor([this] { return settled(); }, ms))
            fail(QStringLiteral("no reply: %1").arg(QLatin1String(what)));
        if (!m_ui.messages.isEmpty())
            fail(QStringLiteral("%1: the program said: %2").arg(QLatin1String(what), m_ui.messages.join(QLatin1Char('|'))));
    }
    void waitFor(const std::function<bool()> &done, const char *what, int ms = 120000)
    {
        if (!QTest::qWaitFor(done, ms))
            fail(QStringLiteral("waited in vain: %1").arg(QLatin1String(what)));
        settle(what, ms);
    }
    ConcPage &conc() const { return *m_form.TS_Conc; }
    ContextPanel &lines() const { return *m_form.TS_Conc->TS_Conc_C; }
    WordListPanel &values() const { return *m_form.TS_Conc->Panel3; }
    FilterPanel &rows() const { return *m_form.findChild<FilterPanel *>(QStringLiteral("P_CF")); }
    TextPanel &text() const { return *m_form.panels().text; }

    void clickRow(QListWidget *list, int row, Qt::KeyboardModifiers mods = {})
    {
        list->scrollToItem(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, mods, list->visualItemRect(list->item(row)).center());
    }
    int rowOf(const QListWidget *list, const QString &text) const
    {
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text().trimmed().compare(text, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
    void chooseList(const QString &name)
    {
        QComboBox *box = values().CBC_List;
        const int i = box->findText(name);
        if (i < 0)
            fail(QStringLiteral("no characteristic \"%1\" in \"Тип информации\"").arg(name));
        box->setCurrentIndex(i);
        values().CBC_ListChange();
        settle("a value list");
    }

    void registration();
    void concordanceOfWord(const QString &word);
    void sortAndWiden();
    void markLines();
    void textPage();
    void fullText();
    void filters(const QString &word);
    void buffer();
    void dictionary(const QString &word);

    MainWindow &m_form;
    Shots &m_shots;
    RecordingUi &m_ui;
};

// Types `text` into `widget` key by key (QTest::keyClicks knows Latin letters only).
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key(ch.toUpper().unicode()), QString(ch), Qt::NoModifier);
}

void Tour::run(const QString &word)
{
    registration();
    concordanceOfWord(word);
    sortAndWiden();
    markLines();
    textPage();
    fullText();
    buffer();
    filters(word);
    dictionary(word);
}

void Tour::registration()
{
    note(QStringLiteral("waiting for the registration (a first start builds the corpus index)"));
    const bool registered = QTest::qWaitFor(
        [this] { return m_form.PageC->isTabVisible(m_form.PageC->indexOf(m_form.TS_Conc)); }, 900000);
    if (!registered)
        fail(QStringLiteral("the window did not register with the server"));
    waitFor([this] { return lines().LBC_Wx->count() > 0; }, "the first concordance");
    m_form.PageC->setCurrentIndex(0);
    m_shots.save(&m_form, QStringLiteral("start"));
}

void Tour::concordanceOfWord(const QString &word)
{
    m_form.PageC->setCurrentWidget(m_form.TS_Conc);
    settle("the concordance tab");
    QListWidget *list = conc().LBC_W;
    list->setFocus();
    // Typed into the value list: the list moves to the word as it is typed.
    typeText(list, word);
    settle("the typed word");
    // The list stands at the typed word and shows its lines; a word the corpus lacks
    // leaves the list at its neighbour, and the word itself is clicked if it is there.
    const int row = rowOf(list, word);
    if (row >= 0 && list->currentRow() != row) {
        clickRow(list, row);
        settle("the word's lines");
    }
    m_shots.save(&m_form, QStringLiteral("concordance"));}

void Tour::sortAndWiden()
{
    // The sort order: the dialog is modal; it is pictured and answered from a timer.
    QTimer::singleShot(400, &m_form, [this] {
        auto *dialog = m_form.findChild<SortSeqDialog *>(QStringLiteral("F_SortSeq"));
        if (!dialog || !dialog->isVisible())
            fail(QStringLiteral("the sort dialog did not open"));
        dialog->CB_Seq->setCurrentIndex(4);   // "справа + центральное + слева - RCL"
        emit dialog->CB_Seq->activated(4);
        m_shots.save(dialog, QStringLiteral("sort"));
        dialog->B_SSeq_OK->click();
    });
    lines().B_SortS->click();
    settle("the sorted lines");
    // Wider context: "+" twice, in the value list.
    for (int i = 0; i < 2; ++i) {
        QTest::keyClick(conc().LBC_W, '+');
        settle("a wider context");
    }
}

void Tour::markLines()
{
    QListWidget *left = lines().LBC_L;
    if (left->count() < 2)
        fail(QStringLiteral("too few lines to mark"));
    clickRow(left, 1, Qt::ShiftModifier);
    if (left->count() > 3)
        clickRow(left, 3, Qt::ShiftModifier);
    else
        clickRow(left, 0, Qt::ShiftModifier);
    settle("marked lines");
    m_shots.save(conc().PageCC, QStringLiteral("marked-lines"));
    lines().B_Buf2->click();   // "Сохранить строки"
    settle("the marked lines into the buffer");
}

void Tour::textPage()
{
    QTabWidget *sub = conc().PageCC;
    sub->tabBar()->setCurrentIndex(sub->indexOf(conc().TS_Conc_T));
    waitFor([this] { return !text().view().labels.isEmpty(); }, "the text page");
    QTest::qWait(500);   // the page laid out at its final width
    // A fragment: Shift+click on two words after the current one.
    const QList<textcore::WordLabel> &labels = text().view().labels;
    int current = 0;
    for (int k = 0; k < labels.size(); ++k)
        if (labels[k].current())
            current = k;
    const int first = qMin(current + 1, int(labels.size()) - 1);
    const int last = qMin(current + 8, int(labels.size()) - 1);
    QWidget *canvas = text().P_Text->widget();
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::ShiftModifier, text().labelRect(first).center());
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::ShiftModifier, text().labelRect(last).center());
    if (text().B_Buf2_Text->text() != QStringLiteral("Сохранить фрагмент"))
        fail(QStringLiteral("the fragment was not marked"));
    m_shots.save(conc().PageCC, QStringLiteral("text"));
    text().B_Buf2_Text->click();   // "Сохранить фрагмент"
    settle("the fragment into the buffer");
    // A click on another word makes it the current one: the value list follows.
    const int other = qMin(current + 3, int(labels.size()) - 1);
    QString clicked = cp1251::decode(labels[other].text).trimmed();
    while (!clicked.isEmpty() && !clicked.back().isLetterOrNumber())
        clicked.chop(1);
    QTest::mouseClick(canvas, Qt::LeftButton, {}, text().labelRect(other).center());
    waitFor([this] { return !text().view().labels.isEmpty(); }, "the text around the clicked word");
    if (!conc().LBC_W->currentItem() || conc().LBC_W->currentItem()->text().compare(clicked, Qt::CaseInsensitive) != 0)
        fail(QStringLiteral("the value list did not move to the clicked word \"%1\"").arg(clicked));
}

void Tour::fullText()
{
    // Enter in the value list opens the text of the current line.
    QApplication::setActiveWindow(&m_form);
    conc().LBC_W->setFocus();
    QTest::keyClick(conc().LBC_W, Qt::Key_Return);
    waitFor([this] { return m_form.Form4->isVisible(); }, "the full text");
    m_form.Form4->resize(860, 560);
    m_shots.save(m_form.Form4, QStringLiteral("fulltext"));
    m_form.Form4->B_Close->click();
    settle("the full text closed");
    QTabWidget *sub = conc().PageCC;
    sub->tabBar()->setCurrentIndex(sub->indexOf(conc().TS_Conc_C));
    settle("back to the lines");
}

void Tour::buffer()
{
    m_form.T_F2->showBuffer();
    QTest::qWait(300);
    m_form.T_F2->resize(860, 520);
    m_shots.save(m_form.T_F2, QStringLiteral("buffer"));
    m_form.T_F2->B_Hide->click();
    settle("the buffer closed");
}

void Tour::filters(const QString &word)
{
    // The long key hints of the text page widened the window; they have gone.
    m_form.resize(WindowSize);
    // Row 1 holds the word chosen in the list; its check box fixes it.
    conc().PC_Fltrs->setCurrentWidget(conc().TS_Fltr);
    // The window has the keyboard again after its dialogs (keys typed while a reply
    // is awaited are kept for the list that has the focus).
    QApplication::setActiveWindow(&m_form);
    conc().LBC_W->setFocus();
    typeText(conc().LBC_W, word);
    settle("the word again");
    const int row = rowOf(conc().LBC_W, word);
    if (row >= 0 && conc().LBC_W->currentRow() != row) {
        clickRow(conc().LBC_W, row);
        settle("the word's lines again");
    }
    rows().CB_Q[0]->click();
    waitFor([this] { return rows().CB_Q[1]->isVisible(); }, "the second filter row");
    // Row 2: the authors who use the word.
    chooseList(QStringLiteral("Автор"));
    if (conc().LBC_W->count() > 0) {
        clickRow(conc().LBC_W, 0);
        settle("an author's lines");
    }
    m_shots.save(&m_form, QStringLiteral("filters"));

    // Co-occurrence: the lemmas within two words to the right of the word.
    chooseList(QStringLiteral("Лемма"));
    rows().CB_Context->click();
    QLineEdit *distance = rows().E_Plus[0];
    distance->setFocus();
    distance->clear();
    QTest::keyClicks(distance, QStringLiteral("2"));
    QTest::keyClick(distance, Qt::Key_Return);
    settle("the co-occurring lemmas");
    // The most frequent word of three letters or more among them.
    int best = -1;
    for (int i = 0; i < conc().LBC_W->count() && i < values().LBC_W_Q2->count(); ++i) {
        if (conc().LBC_W->item(i)->text().trimmed().size() < 3)
            continue;
        if (best < 0 || values().LBC_W_Q2->item(i)->text().toInt() > values().LBC_W_Q2->item(best)->text().toInt())
            best = i;
    }
    if (best >= 0) {
        clickRow(conc().LBC_W, best);
        settle("the co-occurrence lines");
    }
    m_shots.save(&m_form, QStringLiteral("cooccurrence"));
}

void Tour::dictionary(const QString &word)
{
    DictPage *dict = m_form.TS_Dict;
    m_form.PageC->setCurrentWidget(dict);
    waitFor([dict] { return dict->LB_C->count() > 0; }, "the letters");
    dict->LB_W->setFocus();
    // Letter by letter: each one moves the lists, and a key typed while a reply is
    // awaited does nothing.
    for (const QChar ch : word) {
        typeText(dict->LB_W, QString(ch));
        settle("the typed headword");
    }
    waitFor([dict] { return dict->TreeView1->topLevelItemCount() > 0; }, "the entry");
    // The entry with its parts open, but for the long list of texts; the synonyms
    // (the cross-references) in view.
    QTreeWidget *tree = dict->TreeView1;
    tree->expandAll();
    QTreeWidgetItem *synonym = nullptr;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->text(0).startsWith(QStringLiteral("Тексты")))
            (*it)->setExpanded(false);
        if ((*it)->parent() && (*it)->parent()->text(0).startsWith(QStringLiteral("Синонимы")) && !synonym)
            synonym = *it;
    }
    if (synonym)
        tree->scrollToItem(synonym);
    m_shots.save(&m_form, QStringLiteral("dictionary"));
    // A cross-reference opens its own entry.
    if (synonym) {
        const QString target = synonym->text(0);
        tree->setCurrentItem(synonym);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(synonym).center());
        waitFor([tree, target] { return tree->topLevelItemCount() > 0 && target.startsWith(tree->topLevelItem(0)->text(0).trimmed()); },
                "the entry of a synonym");
    }
}

// ---------------------------------------------------------------- the command line

struct Options {
    QString out;
    QStringList corpora;
    QString literature;
    QString word;
    int width = 920;
    QString guidePicture;
};

Options parseOptions(const QApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Takes the user guide's screenshots of the real program."));
    parser.addHelpOption();
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Folder of the pictures."),
                                       QStringLiteral("dir"), QStringLiteral(GUIDE_SHOTS_IMG_DIR));
    const QCommandLineOption corpusOption(QStringLiteral("corpus"), QStringLiteral("A corpus folder (repeatable)."),
                                          QStringLiteral("dir"));
    const QCommandLineOption literatureOption(
        QStringLiteral("literature"),
        QStringLiteral("The literature corpus's folder, whose Pushkin, Lermontov and Chekhov the pictures show "
                       "(without it: a few poems of this tool)."),
        QStringLiteral("dir"));
    const QCommandLineOption wordOption(QStringLiteral("word"), QStringLiteral("The word the pictures show."),
                                        QStringLiteral("word"));
    const QCommandLineOption widthOption(QStringLiteral("width"), QStringLiteral("Largest picture width."),
                                         QStringLiteral("pixels"), QStringLiteral("920"));
    const QCommandLineOption guideOption(QStringLiteral("guide-picture"),
                                         QStringLiteral("Also saves the guide window as F1 opens it (for a look at how "
                                                        "the program shows the guide; not one of the guide's pictures)."),
                                         QStringLiteral("file"));
    parser.addOptions({outOption, corpusOption, literatureOption, wordOption, widthOption, guideOption});
    parser.process(app);
    Options o;
    o.out = QDir(parser.value(outOption)).absolutePath();
    o.corpora = parser.values(corpusOption);
    o.literature = parser.value(literatureOption);
    o.word = parser.value(wordOption);
    o.width = parser.value(widthOption).toInt();
    o.guidePicture = parser.value(guideOption);
    return o;
}

// The corpus folders given, else the literature corpus's part or the tool's poems in
// the temporary home (a corpus is named after its folder); the word to follow.
QStringList prepareCorpus(const TestHome &home, Options &o)
{
    if (!o.corpora.isEmpty()) {
        if (o.word.isEmpty())
            fail(QStringLiteral("--corpus needs --word"));
        return o.corpora;
    }
    const QString shared = o.literature;
    if (!shared.isEmpty() && !QDir(shared).exists())
        fail(QStringLiteral("no folder %1").arg(shared));
    const bool literature = !shared.isEmpty();
    const QString corpus = home.path() + (literature ? QStringLiteral("/Русская классика")
                                                     : QStringLiteral("/Стихи для примера"));
    if (literature)
        copyLiteratureCorpus(shared, corpus);
    else
        writeOwnCorpus(corpus);
    if (o.word.isEmpty())
        o.word = literature ? QStringLiteral("дорога") : QStringLiteral("луна");
    return {corpus};
}

// The guide beside the program, as in the build and the package: "Помощь" is
// enabled in the pictures.
void placeGuide(const TestHome &home)
{
    const QString guide = QStringLiteral(GUIDE_SHOTS_GUIDE);
    if (QFile::exists(guide) && (!QDir().mkpath(home.path() + QStringLiteral("/help"))
                                 || !QFile::copy(guide, home.path() + QStringLiteral("/help/index.html"))))
        fail(QStringLiteral("cannot copy %1").arg(guide));
}

void saveGuideWindow(MainWindow &form, const QString &path)
{
    QTest::keyClick(&form, Qt::Key_F1);
    GuideWindow *guide = form.guideWindow();
    if (!guide)
        fail(QStringLiteral("F1 opened no guide window"));
    guide->resize(980, 720);
    QTest::qWait(300);
    if (!guide->grab().save(path))
        fail(QStringLiteral("cannot save %1").arg(path));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("guide-shots"));
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    Options options = parseOptions(app);
    if (!QDir().mkpath(options.out))
        fail(QStringLiteral("cannot make %1").arg(options.out));
    if (!QFile::exists(corvusPath()))
        fail(QStringLiteral("%1 is not built").arg(corvusPath()));

    TestHome home;   // HOME and the XDG folders: the server and the window share them
    const QStringList corpora = prepareCorpus(home, options);
    note(QStringLiteral("corpus %1, word \"%2\"").arg(corpora.join(QStringLiteral(", ")), options.word));
    QProcess corvus;
    startCorvus(corvus, corpora, home.path() + QStringLiteral("/cache"));
    placeGuide(home);

    RecordingUi ui;
    Config config = home.config({}, false);   // no Cnfg.ini: the local mode
    config.LocalServerName = QStringLiteral("Corvus");
    config.LocalServerFile = QStringLiteral("Corvus.exe");
    config.LocalServerPath = corvusPath();
    Shots shots(options.out, options.width);
    {
        MainWindow form(config, ui);
        form.createSecondaryWindows();
        form.show();
        // The first show maximises the window; the pictures want one size.
        form.setWindowState(Qt::WindowNoState);
        form.resize(WindowSize);
        QApplication::setActiveWindow(&form);
        Tour(form, shots, ui).run(options.word);
        if (!options.guidePicture.isEmpty())
            saveGuideWindow(form, options.guidePicture);
        form.close();
    }
    corvus.waitForFinished(40000);
    if (corvus.state() != QProcess::NotRunning) {
        corvus.terminate();
        corvus.waitForFinished(5000);
    }
    note(QStringLiteral("done"));
    return 0;
}
