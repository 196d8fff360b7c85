#include "gui/app/HelpWindow.h"

#include "gui/app/Art.h"
#include "gui/app/Help.h"
#include "gui/widgets/LabeledValue.h"
#include "gui/widgets/ShownOnDemand.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QRegularExpression>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kHelpRoot = QStringLiteral("qrc:/vorda/help/");
constexpr int kUrlRole = Qt::UserRole;

QPointer<HelpWindow> g_window;

QString ReadPage(const QString& file)
{
    EnsureResources();
    QFile page(QStringLiteral(":/vorda/help/") + file);
    if (!page.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(page.readAll());
}

// The text of a piece of HTML (a heading or a link), tags and entities resolved.
QString PlainText(const QString& html)
{
    return QTextDocumentFragment::fromHtml(html).toPlainText().simplified();
}

// The page and section an address of the help stands for: "page.html" or
// "page.html#section".
QString PageKey(const QUrl& url)
{
    const QString file = url.fileName();
    return url.fragment().isEmpty() ? file : file + QLatin1Char('#') + url.fragment();
}

// An unpainted pixel: what a picture that is not there takes up.
QImage NoImage()
{
    QImage blank(1, 1, QImage::Format_ARGB32_Premultiplied);
    blank.fill(Qt::transparent);
    return blank;
}

} // namespace

namespace helppages {

QUrl PageUrl(const QString& page)
{
    return QUrl(kHelpRoot + page);
}

bool IsHelpPage(const QUrl& url)
{
    EnsureResources();
    const QString path = url.path();
    return url.scheme() == QLatin1String("qrc") && path.startsWith(QLatin1String("/vorda/help/"))
        && path.endsWith(QLatin1String(".html")) && QFile::exists(QLatin1Char(':') + path);
}

QList<Page> Contents()
{
    QList<Page> pages;
    QStringList listed;
    // The navigation line of the contents page lists every page in order.
    const QRegularExpression navLine(QStringLiteral("<p class=\"nav\">(.*?)</p>"),
                                     QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpression link(QStringLiteral("<a href=\"([^\"#]+\\.html)\">(.*?)</a>"),
                                  QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch nav = navLine.match(ReadPage(QStringLiteral("index.html")));
    for (auto it = link.globalMatch(nav.captured(1)); it.hasNext();) {
        const auto match = it.next();
        if (listed.contains(match.captured(1)) || !IsHelpPage(PageUrl(match.captured(1))))
            continue;
        listed << match.captured(1);
        pages.append({match.captured(1), PlainText(match.captured(2)), {}});
    }
    // A page the line forgets still belongs to the contents.
    const QStringList all = QDir(QStringLiteral(":/vorda/help")).entryList({QStringLiteral("*.html")}, QDir::Files,
                                                                          QDir::Name);
    for (const QString& file : all) {
        if (listed.contains(file))
            continue;
        const QRegularExpression title(QStringLiteral("<h1[^>]*>(.*?)</h1>"),
                                       QRegularExpression::DotMatchesEverythingOption);
        pages.append({file, PlainText(title.match(ReadPage(file)).captured(1)), {}});
    }
    const QRegularExpression heading(QStringLiteral("<h2 id=\"([^\"]+)\"[^>]*>(.*?)</h2>"),
                                     QRegularExpression::DotMatchesEverythingOption);
    for (Page& page : pages) {
        for (auto it = heading.globalMatch(ReadPage(page.file)); it.hasNext();) {
            const auto match = it.next();
            page.sections.append({match.captured(1), PlainText(match.captured(2))});
        }
    }
    return pages;
}

} // namespace helppages

HelpBrowser::HelpBrowser(QWidget* parent)
    : QTextBrowser(parent)
{
    // The window decides where a link leads (see HelpWindow::OnAnchorClicked).
    setOpenLinks(false);
    setOpenExternalLinks(false);
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name)
{
    if (type == QTextDocument::HtmlResource) {
        // The line of links at the top of every page serves a web browser;
        // here the contents at the left do its work.
        static const QRegularExpression navLine(QStringLiteral("<p class=\"nav\">.*?</p>"),
                                                QRegularExpression::DotMatchesEverythingOption);
        QString html = QString::fromUtf8(QTextBrowser::loadResource(type, name).toByteArray());
        return html.remove(navLine);
    }
    if (type != QTextDocument::ImageResource)
        return QTextBrowser::loadResource(type, name);
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    // Screenshots that have not been taken yet are simply not there.
    if (url.scheme() == QLatin1String("qrc") && !QFile::exists(QLatin1Char(':') + url.path()))
        return NoImage();
    const QVariant data = QTextBrowser::loadResource(type, url);
    QImage image = data.userType() == QMetaType::QImage ? data.value<QImage>() : QImage::fromData(data.toByteArray());
    if (image.isNull())
        return NoImage();
    if (image.width() > kMaxImageWidth) {
        // At most kMaxImageWidth wide on screen, with as many of its pixels
        // as the screen can show.
        const int pixels = qRound(kMaxImageWidth * devicePixelRatioF());
        if (image.width() > pixels)
            image = image.scaledToWidth(pixels, Qt::SmoothTransformation);
        image.setDevicePixelRatio(qreal(image.width()) / kMaxImageWidth);
    }
    return image;
}

HelpWindow* HelpWindow::Get()
{
    if (!g_window)
        g_window = new HelpWindow;
    return g_window;
}

HelpWindow* HelpWindow::Existing()
{
    return g_window;
}

void HelpWindow::Destroy()
{
    delete g_window;
}

HelpWindow::HelpWindow()
    : QWidget(nullptr, Qt::Window)
{
    EnsureResources();
    setObjectName(QStringLiteral("HELP_WINDOW"));
    setWindowTitle(QStringLiteral("Vorda Help"));
    setWindowIcon(ProgramIcon());
    setMinimumSize(560, 380);
    resize(1000, 720);

    auto makeButton = [this](const QString& text, const QString& tip, QStyle::StandardPixmap icon) {
        auto* button = new QToolButton(this);
        button->setText(text);
        button->setToolTip(tip);
        button->setIcon(style()->standardIcon(icon));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::StrongFocus);
        return button;
    };
    back_ = makeButton(QStringLiteral("Back"), QStringLiteral("Back (Alt+Left)"), QStyle::SP_ArrowBack);
    forward_ = makeButton(QStringLiteral("Forward"), QStringLiteral("Forward (Alt+Right)"), QStyle::SP_ArrowForward);
    home_ = makeButton(QStringLiteral("Contents"), QStringLiteral("The contents page (Alt+Home)"),
                       QStyle::SP_FileDialogContentsView);
    auto* findButton = makeButton(QStringLiteral("Find"), QStringLiteral("Find in this page (Ctrl+F)"),
                                  QStyle::SP_FileDialogDetailedView);
    back_->setObjectName(QStringLiteral("HELP_BACK"));
    forward_->setObjectName(QStringLiteral("HELP_FORWARD"));
    home_->setObjectName(QStringLiteral("HELP_CONTENTS_PAGE"));
    findButton->setObjectName(QStringLiteral("HELP_FIND"));
    back_->setEnabled(false);
    forward_->setEnabled(false);

    contents_ = new QTreeWidget(this);
    contents_->setObjectName(QStringLiteral("HELP_CONTENTS"));
    contents_->setAccessibleName(QStringLiteral("Help contents"));
    contents_->setHeaderHidden(true);
    contents_->setColumnCount(1);
    contents_->header()->setStretchLastSection(true);

    browser_ = new HelpBrowser(this);
    browser_->setObjectName(QStringLiteral("HELP_PAGE"));
    browser_->setAccessibleName(QStringLiteral("Help page"));

    auto* linksPane = new QWidget(this);
    auto* linksLabel = new QLabel(QStringLiteral("Links on this page:"), linksPane);
    links_ = new QListWidget(linksPane);
    links_->setObjectName(QStringLiteral("HELP_LINKS"));
    links_->setAccessibleName(QStringLiteral("Links on this page"));
    linksLabel->setBuddy(links_);
    auto* linksLayout = new QVBoxLayout(linksPane);
    linksLayout->setContentsMargins(0, 0, 0, 0);
    linksLayout->setSpacing(2);
    linksLayout->addWidget(linksLabel);
    linksLayout->addWidget(links_, 1);
    auto* side = new QSplitter(Qt::Vertical, this);
    side->addWidget(contents_);
    side->addWidget(linksPane);
    side->setStretchFactor(0, 3);
    side->setStretchFactor(1, 1);
    side->setChildrenCollapsible(false);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(side);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    splitter->setSizes({260, 740});

    // The find bar, shown by Ctrl+F or the Find button.
    findBar_ = new QWidget(this);
    findBar_->setObjectName(QStringLiteral("HELP_FIND_BAR"));
    auto* findLabel = new QLabel(QStringLiteral("Find:"), findBar_);
    findField_ = new QLineEdit(findBar_);
    findField_->setObjectName(QStringLiteral("HELP_FIND_TEXT"));
    findField_->setPlaceholderText(QStringLiteral("Text to find in this page"));
    findField_->setClearButtonEnabled(true);
    findLabel->setBuddy(findField_);
    findPrevious_ = new QToolButton(findBar_);
    findNext_ = new QToolButton(findBar_);
    findClose_ = new QToolButton(findBar_);
    findPrevious_->setObjectName(QStringLiteral("HELP_FIND_PREVIOUS"));
    findNext_->setObjectName(QStringLiteral("HELP_FIND_NEXT"));
    findClose_->setObjectName(QStringLiteral("HELP_FIND_CLOSE"));
    findPrevious_->setText(QStringLiteral("Previous"));
    findPrevious_->setToolTip(QStringLiteral("Find the previous place (Shift+F3, Shift+Enter)"));
    findPrevious_->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    findNext_->setText(QStringLiteral("Next"));
    findNext_->setToolTip(QStringLiteral("Find the next place (F3, Enter)"));
    findNext_->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    findClose_->setText(QStringLiteral("Close"));
    findClose_->setToolTip(QStringLiteral("Close the find bar (Escape)"));
    findClose_->setAccessibleName(QStringLiteral("Close the find bar"));
    findClose_->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    for (QToolButton* button : {findPrevious_, findNext_, findClose_}) {
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::StrongFocus);
    }
    findStatus_ = new ValueLabel(QStringLiteral("Find result"), findBar_);
    findStatus_->setObjectName(QStringLiteral("HELP_FIND_STATUS"));
    findStatus_->setMinimumWidth(findStatus_->fontMetrics().horizontalAdvance(QStringLiteral("Not found")) + 8);
    auto* findLayout = new QHBoxLayout(findBar_);
    findLayout->setContentsMargins(0, 0, 0, 0);
    findLayout->addWidget(findLabel);
    findLayout->addWidget(findField_, 1);
    findLayout->addWidget(findPrevious_);
    findLayout->addWidget(findNext_);
    findLayout->addWidget(findStatus_);
    findLayout->addStretch();
    findLayout->addWidget(findClose_);
    findBar_->hide();
    MarkShownOnDemand(findBar_);

    auto* tools = new QHBoxLayout;
    tools->setSpacing(4);
    tools->addWidget(back_);
    tools->addWidget(forward_);
    tools->addWidget(home_);
    tools->addStretch();
    tools->addWidget(findButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setSpacing(6);
    layout->addLayout(tools);
    layout->addWidget(splitter, 1);
    layout->addWidget(findBar_);

    // Tab goes as the eye does: the buttons, the contents, the page, the find bar.
    QWidget* order[] = {back_, forward_, home_, findButton, contents_, links_, browser_, findField_, findPrevious_,
                        findNext_, findClose_};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
    connect(home_, &QToolButton::clicked, this, [this] { Open(QString::fromLatin1(help::kContents)); });
    connect(findButton, &QToolButton::clicked, this, &HelpWindow::ShowFind);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::anchorClicked, this, &HelpWindow::OnAnchorClicked);
    connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::OnSourceChanged);
    auto follow = [this](QTreeWidgetItem* item) {
        if (item)
            Open(item->data(0, kUrlRole).toString());
    };
    connect(contents_, &QTreeWidget::itemActivated, this, follow);
    connect(contents_, &QTreeWidget::itemClicked, this, follow);
    connect(links_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (item)
            OnAnchorClicked(item->data(kUrlRole).toUrl());
    });
    connect(findPrevious_, &QToolButton::clicked, this, &HelpWindow::FindPrevious);
    connect(findNext_, &QToolButton::clicked, this, &HelpWindow::FindNext);
    connect(findClose_, &QToolButton::clicked, this, &HelpWindow::HideFind);
    // Typing looks for the text from where the last find began.
    connect(findField_, &QLineEdit::textEdited, this, [this] { Find({}, true); });
    findField_->installEventFilter(this);

    auto shortcut = [this](const QKeySequence& keys, auto slot) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence::Find, [this] { ShowFind(); });
    shortcut(QKeySequence::FindNext, [this] { FindNext(); });
    shortcut(QKeySequence::FindPrevious, [this] { FindPrevious(); });
    shortcut(QKeySequence::Back, [this] { browser_->backward(); });
    shortcut(QKeySequence::Forward, [this] { browser_->forward(); });
    shortcut(QKeySequence(Qt::ALT | Qt::Key_Home), [this] { Open(QString::fromLatin1(help::kContents)); });
    shortcut(QKeySequence(Qt::Key_Escape), [this] { HideFind(); });
    shortcut(QKeySequence::Close, [this] { close(); });

    BuildContents();
}

void HelpWindow::BuildContents()
{
    for (const helppages::Page& page : helppages::Contents()) {
        auto* item = new QTreeWidgetItem(contents_, {page.title});
        item->setData(0, kUrlRole, page.file);
        for (const helppages::Section& section : page.sections) {
            auto* child = new QTreeWidgetItem(item, {section.title});
            child->setData(0, kUrlRole, page.file + QLatin1Char('#') + section.id);
        }
    }
}

bool HelpWindow::Open(const QString& page)
{
    QUrl url = helppages::PageUrl(page);
    const bool known = helppages::IsHelpPage(url);
    if (!known)
        url = helppages::PageUrl(QString::fromLatin1(help::kContents));
    if (browser_->source() == url) {
        // Asked again for the section on show: back to its heading.
        if (!url.fragment().isEmpty())
            browser_->scrollToAnchor(url.fragment());
    } else {
        browser_->setSource(url);
    }
    return known;
}

void HelpWindow::Present()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void HelpWindow::OnAnchorClicked(const QUrl& link)
{
    const QUrl target = browser_->source().resolved(link);
    if (helppages::IsHelpPage(target)) {
        browser_->setSource(target);
        return;
    }
    // A link into the program's own resources that leads nowhere stays here;
    // every other address is for the desktop's programs.
    if (target.scheme() == QLatin1String("qrc"))
        return;
    OpenUrl(target);
}

void HelpWindow::OnSourceChanged(const QUrl& source)
{
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Vorda Help") : title);
    // The contents follow: the section on show, or else its page.
    const QString key = PageKey(source);
    const QString file = source.fileName();
    QTreeWidgetItem* match = nullptr;
    for (int i = 0; i < contents_->topLevelItemCount() && !match; ++i) {
        QTreeWidgetItem* page = contents_->topLevelItem(i);
        if (page->data(0, kUrlRole).toString() != file)
            continue;
        match = page;
        for (int j = 0; j < page->childCount(); ++j) {
            if (page->child(j)->data(0, kUrlRole).toString() == key)
                match = page->child(j);
        }
    }
    if (match) {
        const QSignalBlocker quiet(contents_);
        contents_->setCurrentItem(match);
        contents_->scrollToItem(match);
    }
    ListLinks();
    ShowFindResult(true);
}

void HelpWindow::ListLinks()
{
    links_->clear();
    // A link may span several fragments (a word in bold inside it): those
    // next to each other with one address make one entry.
    QString lastHref;
    QListWidgetItem* last = nullptr;
    for (QTextBlock block = browser_->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            const QString href = format.isAnchor() ? format.anchorHref() : QString();
            if (href.isEmpty()) {
                last = nullptr;
                continue;
            }
            // A picture inside a link is an object mark in the text.
            const QString text = fragment.text().remove(QChar::ObjectReplacementCharacter).simplified();
            if (last && href == lastHref) {
                last->setText((last->text() + QLatin1Char(' ') + text).simplified());
                continue;
            }
            last = new QListWidgetItem(text.isEmpty() ? href : text, links_);
            last->setData(kUrlRole, QUrl(href));
            last->setToolTip(href);
            lastHref = href;
        }
        // A link never runs on into the next paragraph.
        last = nullptr;
    }
}

void HelpWindow::ShowFind()
{
    findBar_->show();
    findField_->setFocus(Qt::ShortcutFocusReason);
    findField_->selectAll();
}

void HelpWindow::HideFind()
{
    if (!findBar_->isVisible())
        return;
    findBar_->hide();
    ShowFindResult(true);
    browser_->setFocus(Qt::OtherFocusReason);
}

bool HelpWindow::FindNext()
{
    if (findField_->text().isEmpty()) {
        ShowFind();
        return false;
    }
    findBar_->show();
    return Find({}, false);
}

bool HelpWindow::FindPrevious()
{
    if (findField_->text().isEmpty()) {
        ShowFind();
        return false;
    }
    findBar_->show();
    return Find(QTextDocument::FindBackward, false);
}

bool HelpWindow::Find(QTextDocument::FindFlags flags, bool fromSelectionStart)
{
    const QString text = findField_->text();
    if (text.isEmpty()) {
        QTextCursor cursor = browser_->textCursor();
        cursor.clearSelection();
        browser_->setTextCursor(cursor);
        ShowFindResult(true);
        return false;
    }
    QTextDocument* document = browser_->document();
    QTextCursor from = browser_->textCursor();
    if (!from.hasSelection())
        // Nothing found yet: from the top of what is on screen.
        from = browser_->cursorForPosition(QPoint(0, 0));
    else if (fromSelectionStart)
        from.setPosition(from.selectionStart());
    QTextCursor found = document->find(text, from, flags);
    if (found.isNull()) {
        // Past the end (or the beginning) the search goes on from the other end.
        QTextCursor wrap(document);
        if (flags & QTextDocument::FindBackward)
            wrap.movePosition(QTextCursor::End);
        found = document->find(text, wrap, flags);
    }
    if (!found.isNull())
        browser_->setTextCursor(found);
    ShowFindResult(!found.isNull());
    return !found.isNull();
}

void HelpWindow::ShowFindResult(bool found)
{
    findStatus_->setText(found ? QString() : QStringLiteral("Not found"));
    findField_->setStyleSheet(found ? QString() : QStringLiteral("QLineEdit { background: #fbe3e4; }"));
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Enter finds the next place, Shift+Enter the previous one.
    if (watched == findField_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ShiftModifier)
                FindPrevious();
            else
                FindNext();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
