#include "AccessibilityCheck.h"
#include "GuiTestSupport.h"
#include "gui/app/Help.h"
#include "gui/app/HelpWindow.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QTreeWidget>

namespace {

// The text of the heading (h1 or h2) of a help page that carries `id`.
QString HeadingTitle(const QString& file, const QString& id)
{
    QFile html(QStringLiteral(":/vorda/help/") + file);
    if (!html.open(QIODevice::ReadOnly))
        return {};
    const QRegularExpression heading(QStringLiteral("<h([12]) id=\"%1\"[^>]*>(.*?)</h\\1>")
                                         .arg(QRegularExpression::escape(id)),
                                     QRegularExpression::DotMatchesEverythingOption);
    const QString text = heading.match(QString::fromUtf8(html.readAll())).captured(2);
    return QTextDocumentFragment::fromHtml(text).toPlainText().simplified();
}

// Where the heading of `section` lies in the page's view: its top, in
// pixels from the top of the visible part; empty when the page has no such
// heading.
std::optional<int> HeadingOffset(QTextBrowser* browser, const QString& title)
{
    QTextDocument* document = browser->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.text().simplified() != title || block.blockFormat().headingLevel() < 1
            || block.blockFormat().headingLevel() > 2)
            continue;
        const QRectF box = document->documentLayout()->blockBoundingRect(block);
        return int(box.top()) - browser->verticalScrollBar()->value();
    }
    return std::nullopt;
}

// A section has landed when its heading is at the top of the view, or, for a
// heading near the end of a page, the page is scrolled as far as it goes with
// the heading in view.
bool LandedOn(QTextBrowser* browser, const QString& title, QString* why)
{
    const std::optional<int> offset = HeadingOffset(browser, title);
    if (!offset) {
        *why = QStringLiteral("no heading \"%1\" in %2").arg(title, browser->source().toString());
        return false;
    }
    QScrollBar* bar = browser->verticalScrollBar();
    const bool atTop = *offset >= -2 && *offset <= 30;
    const bool atEnd = bar->value() == bar->maximum() && *offset >= 0
                    && *offset < browser->viewport()->height();
    *why = QStringLiteral("heading \"%1\" at %2 px (scroll %3 of %4)")
               .arg(title).arg(*offset).arg(bar->value()).arg(bar->maximum());
    return atTop || atEnd;
}

// The place of the link to `href` in the page on show, made visible.
QPoint LinkPosition(QTextBrowser* browser, const QString& href)
{
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().anchorHref() != href)
                continue;
            QTextCursor cursor(browser->document());
            cursor.setPosition(fragment.position() + fragment.length() / 2);
            browser->setTextCursor(cursor);
            browser->ensureCursorVisible();
            return browser->cursorRect(cursor).center();
        }
    }
    return {-1, -1};
}

} // namespace

// Vorda's help window: opened at a page or a section by OpenHelpPage, one
// window reused, links, history, find, contents and keyboard use.
class TestHelpWindow : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        opened_.clear();
        SetUrlOpener([this](const QUrl& url) {
            opened_ << url;
            return false; // as on a machine without a browser
        });
    }

    void cleanup()
    {
        CloseHelp();
        SetUrlOpener({});
    }

    // Every help link of the window, the menu and the tray opens the one
    // help window at its page and section; none needs a browser, none blocks
    // the main window.
    void opensAPageOrSectionInOneWindow_data()
    {
        QTest::addColumn<QString>("page");
        for (const char* page : {help::kContents, help::kHome, help::kProducts, help::kDownloads, help::kSupport,
                                 help::kUpdates, help::kTutorials, help::kConnections, help::kBackups,
                                 help::kSchedules, help::kConfiguration, "restoring.html#safe-copies",
                                 "files.html#moving"})
            QTest::newRow(page) << QString::fromLatin1(page);
    }

    void opensAPageOrSectionInOneWindow()
    {
        QFETCH(QString, page);
        test::GuiHooks hooks;
        QVERIFY(OpenHelpPage(page.toStdString()));
        HelpWindow* window = HelpWindow::Existing();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(!window->isModal());
        QVERIFY(!window->parentWidget());
        QVERIFY(!QApplication::activeModalWidget());
        const QUrl source = window->Browser()->source();
        const QString file = page.section(QLatin1Char('#'), 0, 0);
        const QString section = page.section(QLatin1Char('#'), 1);
        QCOMPARE(source.fileName(), file);
        QCOMPARE(source.fragment(), section);
        QVERIFY(!window->Browser()->toPlainText().isEmpty());
        QVERIFY2(window->windowTitle().endsWith(QStringLiteral("Vorda Help")), qPrintable(window->windowTitle()));
        if (!section.isEmpty()) {
            const QString title = HeadingTitle(file, section);
            QVERIFY2(!title.isEmpty(), qPrintable(page + " has no heading with that id"));
            QString why;
            QVERIFY2(LandedOn(window->Browser(), title, &why), qPrintable(why));
        }

        // Asked again, for another page: the same window.
        QVERIFY(OpenHelpPage(help::kSchedules));
        QCOMPARE(HelpWindow::Existing(), window);
        QCOMPARE(window->Browser()->source().fileName(), QStringLiteral("schedules.html"));
        // Closed and asked again: the same window comes back.
        window->close();
        QVERIFY(OpenHelpPage(page.toStdString()));
        QCOMPARE(HelpWindow::Existing(), window);
        QVERIFY(window->isVisible());
        // An unknown page shows the contents instead.
        QVERIFY(!OpenHelpPage("no-such-page.html#nowhere"));
        QCOMPARE(window->Browser()->source().fileName(), QStringLiteral("index.html"));
        // Neither the browser nor a message box took part.
        QVERIFY(opened_.isEmpty());
        QVERIFY(MessageHook::Requests().empty());
    }

    // A click on a link goes to its page and section; Back and Forward (the
    // buttons and Alt+Left / Alt+Right) walk the history; addresses outside
    // the help go to the desktop.
    void linksBackAndForward()
    {
        QVERIFY(OpenHelpPage(help::kContents));
        HelpWindow* window = HelpWindow::Existing();
        QTextBrowser* browser = window->Browser();
        QVERIFY(!window->BackButton()->isEnabled());
        QVERIFY(!window->ForwardButton()->isEnabled());

        const QPoint link = LinkPosition(browser, QStringLiteral("connections.html#testing"));
        QVERIFY(link.x() >= 0);
        QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, link);
        QCOMPARE(browser->source().fileName(), QStringLiteral("connections.html"));
        QCOMPARE(browser->source().fragment(), QStringLiteral("testing"));
        QString why;
        QVERIFY2(LandedOn(browser, QStringLiteral("Testing a connection"), &why), qPrintable(why));
        QVERIFY(window->BackButton()->isEnabled());
        QVERIFY(!window->ForwardButton()->isEnabled());
        // The contents follow the page on show.
        QCOMPARE(window->ContentsList()->currentItem()->text(0), QStringLiteral("Testing a connection"));

        // A link to a section of the same page.
        const QPoint local = LinkPosition(browser, QStringLiteral("#passwords"));
        QVERIFY(local.x() >= 0);
        QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, local);
        QCOMPARE(browser->source().fragment(), QStringLiteral("passwords"));

        window->BackButton()->click();
        QCOMPARE(browser->source().fragment(), QStringLiteral("testing"));
        window->BackButton()->click();
        QCOMPARE(browser->source().fileName(), QStringLiteral("index.html"));
        QVERIFY(!window->BackButton()->isEnabled());
        QVERIFY(window->ForwardButton()->isEnabled());
        window->ForwardButton()->click();
        QCOMPARE(browser->source().fragment(), QStringLiteral("testing"));
        QTest::keyClick(browser, Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(browser->source().fileName(), QStringLiteral("index.html"));
        QTest::keyClick(browser, Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(browser->source().fragment(), QStringLiteral("testing"));
        // The Contents button (and Alt+Home) lead to the contents page.
        window->ContentsButton()->click();
        QCOMPARE(browser->source().fileName(), QStringLiteral("index.html"));

        // Only what lies outside the help goes to the desktop; a link into
        // the program that leads nowhere does nothing.
        emit browser->anchorClicked(QUrl(QStringLiteral("https://example.invalid/page")));
        emit browser->anchorClicked(QUrl(QStringLiteral("mailto:someone@example.invalid")));
        emit browser->anchorClicked(QUrl(QStringLiteral("missing.html")));
        QCOMPARE(opened_, (QList<QUrl> {QUrl(QStringLiteral("https://example.invalid/page")),
                                        QUrl(QStringLiteral("mailto:someone@example.invalid"))}));
        QCOMPARE(browser->source().fileName(), QStringLiteral("index.html"));
    }

    // Tab reaches the page's links and Enter follows them.
    void linksFollowFromTheKeyboard()
    {
        QVERIFY(OpenHelpPage(help::kConnections));
        HelpWindow* window = HelpWindow::Existing();
        QTextBrowser* browser = window->Browser();
        browser->setFocus();
        QTest::keyClick(browser, Qt::Key_Tab);
        const QString href = browser->textCursor().charFormat().anchorHref();
        QVERIFY2(!href.isEmpty(), "Tab did not select a link");
        QTest::keyClick(browser, Qt::Key_Return);
        QCOMPARE(browser->source(), QUrl(QStringLiteral("qrc:/vorda/help/connections.html")).resolved(QUrl(href)));
    }

    // "Links on this page" holds every link of the page on show, in page
    // order and by its text, for screen readers and the keyboard; it
    // follows the page, and activating an entry follows its link.
    void theLinksListFollowsThePage()
    {
        for (const char* page : {help::kContents, help::kConnections}) {
            QVERIFY(OpenHelpPage(page));
            HelpWindow* window = HelpWindow::Existing();
            // Parts of one link next to each other (a word in bold) are one link.
            QStringList hrefs;
            for (QTextBlock block = window->Browser()->document()->begin(); block.isValid(); block = block.next()) {
                QString before;
                for (auto it = block.begin(); !it.atEnd(); ++it) {
                    const QTextCharFormat format = it.fragment().charFormat();
                    const QString href = format.isAnchor() ? format.anchorHref() : QString();
                    if (!href.isEmpty() && href != before)
                        hrefs << href;
                    before = href;
                }
            }
            QListWidget* links = window->LinksList();
            QVERIFY2(links->count() >= 3 && links->count() == hrefs.size(), page);
            for (int i = 0; i < links->count(); ++i) {
                QCOMPARE(links->item(i)->data(Qt::UserRole).toUrl().toString(), hrefs[i]);
                QVERIFY2(!links->item(i)->text().trimmed().isEmpty(), qPrintable(hrefs[i]));
            }
        }
        // An entry of the connections page that leads to another help page,
        // activated from the keyboard.
        QListWidget* links = HelpWindow::Existing()->LinksList();
        int row = 0;
        while (row < links->count()
               && !links->item(row)->data(Qt::UserRole).toUrl().path().endsWith(QLatin1String("backups.html")))
            ++row;
        QVERIFY(row < links->count());
        links->setCurrentRow(row);
        QTest::keyClick(links, Qt::Key_Return);
        QCOMPARE(HelpWindow::Existing()->Browser()->source().fileName(), QStringLiteral("backups.html"));
    }

    // Ctrl+F opens the find bar; typing finds, Enter and F3 find the next
    // place, Shift+Enter and Shift+F3 the previous, wrapping at the ends;
    // Escape closes the bar and gives the page the focus.
    void findNextPreviousAndEscape()
    {
        QVERIFY(OpenHelpPage(help::kConnections));
        HelpWindow* window = HelpWindow::Existing();
        QApplication::setActiveWindow(window);
        QTextBrowser* browser = window->Browser();
        QVERIFY(!window->FindBar()->isVisible());
        QTest::keyClick(browser, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(window->FindBar()->isVisible());
        QVERIFY(window->FindField()->hasFocus());

        QTest::keyClicks(window->FindField(), QStringLiteral("password"));
        auto selected = [browser] { return browser->textCursor().selectedText(); };
        auto at = [browser] { return browser->textCursor().selectionStart(); };
        QCOMPARE(selected().toLower(), QStringLiteral("password"));
        const int first = at();
        QVERIFY(window->FindStatus()->text().isEmpty());

        QTest::keyClick(window->FindField(), Qt::Key_Return);
        const int second = at();
        QVERIFY(second > first);
        QCOMPARE(selected().toLower(), QStringLiteral("password"));
        QTest::keyClick(window->FindField(), Qt::Key_F3);
        QVERIFY(at() > second);
        QTest::keyClick(window->FindField(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(at(), second);
        window->FindPreviousButton()->click();
        QCOMPARE(at(), first);
        // Before the first place comes the last one.
        QTest::keyClick(window->FindField(), Qt::Key_F3, Qt::ShiftModifier);
        const int last = at();
        QVERIFY(last > second);
        QCOMPARE(selected().toLower(), QStringLiteral("password"));
        // And after the last, the first.
        window->FindNextButton()->click();
        QCOMPARE(at(), first);

        // Text the page does not hold.
        window->FindField()->clear();
        QTest::keyClicks(window->FindField(), QStringLiteral("zqxjv"));
        QCOMPARE(window->FindStatus()->text(), QStringLiteral("Not found"));
        QVERIFY(!window->FindNext());

        QTest::keyClick(window->FindField(), Qt::Key_Escape);
        QVERIFY(!window->FindBar()->isVisible());
        QVERIFY(browser->hasFocus());
        QVERIFY(window->FindStatus()->text().isEmpty());
        // F3 with a find text brings the bar back and finds.
        window->FindField()->setText(QStringLiteral("Test Connection"));
        QTest::keyClick(browser, Qt::Key_F3);
        QVERIFY(window->FindBar()->isVisible());
        QCOMPARE(selected(), QStringLiteral("Test Connection"));
    }

    // The contents list every page with its sections; choosing an entry
    // from the keyboard shows it.
    void theContentsListEveryPageAndSection()
    {
        QVERIFY(OpenHelpPage(help::kContents));
        HelpWindow* window = HelpWindow::Existing();
        QTreeWidget* tree = window->ContentsList();
        const QStringList files =
            QDir(QStringLiteral(":/vorda/help")).entryList({QStringLiteral("*.html")}, QDir::Files);
        QCOMPARE(tree->topLevelItemCount(), files.size());
        QStringList listed;
        int sections = 0;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QTreeWidgetItem* page = tree->topLevelItem(i);
            QVERIFY(!page->text(0).isEmpty());
            listed << page->data(0, Qt::UserRole).toString();
            QVERIFY2(page->childCount() > 0, qPrintable(page->text(0)));
            sections += page->childCount();
        }
        listed.sort();
        QCOMPARE(listed, files);
        QCOMPARE(tree->topLevelItem(0)->data(0, Qt::UserRole).toString(), QStringLiteral("index.html"));

        // Every section of every page lands on its heading.
        for (const helppages::Page& page : helppages::Contents()) {
            for (const helppages::Section& section : page.sections) {
                QVERIFY(window->Open(page.file + QLatin1Char('#') + section.id));
                QString why;
                QVERIFY2(LandedOn(window->Browser(), section.title, &why),
                         qPrintable(page.file + "#" + section.id + ": " + why));
            }
        }
        QVERIFY(sections > 40);

        // Enter on an entry of the contents shows it.
        QTreeWidgetItem* item = tree->topLevelItem(2)->child(1);
        tree->setFocus();
        tree->setCurrentItem(item);
        QTest::keyClick(tree, Qt::Key_Return);
        QCOMPARE(window->Browser()->source().toString(),
                 QStringLiteral("qrc:/vorda/help/") + item->data(0, Qt::UserRole).toString());
    }

    // Screenshots not taken yet take no room; wide pictures are shown at a
    // readable width.
    void picturesMissingOrWide()
    {
        QVERIFY(OpenHelpPage(help::kContents));
        auto* browser = static_cast<HelpBrowser*>(HelpWindow::Existing()->Browser());
        const QImage missing = browser->loadResource(QTextDocument::ImageResource,
                                                     QUrl(QStringLiteral("../screenshots/not-taken.png")))
                                   .value<QImage>();
        QCOMPARE(missing.size(), QSize(1, 1));
        QCOMPARE(qAlpha(missing.pixel(0, 0)), 0);
        const QImage wide = browser->loadResource(QTextDocument::ImageResource,
                                                  QUrl(QStringLiteral("qrc:/vorda/images/background.png")))
                                .value<QImage>();
        QCOMPARE(qRound(wide.width() / wide.devicePixelRatio()), HelpBrowser::kMaxImageWidth);
        QCOMPARE(qRound(wide.height() / wide.devicePixelRatio()), 640 * HelpBrowser::kMaxImageWidth / 900);
        const QImage small = browser->loadResource(QTextDocument::ImageResource,
                                                   QUrl(QStringLiteral("qrc:/vorda/images/banner.png")))
                                 .value<QImage>();
        QCOMPARE(small.size(), QSize(470, 48));
    }

    // Every control is named and Tab goes in screen order, with the find bar
    // closed and open.
    void keyboardAndScreenReaders()
    {
        QVERIFY(OpenHelpPage(help::kConnections));
        HelpWindow* window = HelpWindow::Existing();
        QStringList problems = a11y::CheckPage(window);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        window->ShowFind();
        problems = a11y::CheckPage(window);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

private:
    QList<QUrl> opened_;
};

QTEST_MAIN(TestHelpWindow)
#include "tst_help_window.moc"
