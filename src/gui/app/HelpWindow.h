#pragma once

#include "gui/widgets/LabeledValue.h"

#include <QString>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

// The help pages as the help window shows them: compiled into the program
// under qrc:/vorda/help/, screenshots under qrc:/vorda/screenshots/.
namespace helppages {

// The address of a help page, "page.html" or "page.html#section".
QUrl PageUrl(const QString& page);
// Whether `url` is one of the help's own pages (a page that exists).
bool IsHelpPage(const QUrl& url);

struct Section {
    QString id;
    QString title;
};
struct Page {
    QString file; // "connections.html"
    QString title;
    QList<Section> sections; // the page's <h2 id="..."> headings, in order
};
// The pages in the order of the contents page's navigation line, each with
// its sections.
QList<Page> Contents();

} // namespace helppages

// The text pane of the help window. The pages' line of links for web
// browsers is left out (the window has its contents list); pictures that are
// missing (screenshots not taken yet) take no room, and wide ones are shown
// at a readable width.
class HelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    static constexpr int kMaxImageWidth = 640;

    explicit HelpBrowser(QWidget* parent = nullptr);
    QVariant loadResource(int type, const QUrl& name) override;
};

// Vorda's help window: the contents at the left with the page's links under
// them (a list that screen readers and the keyboard reach, since the text
// pane shows links to the eye only), the page at the right,
// Back, Forward and Contents above, and a find bar below (Ctrl+F) with
// Next and Previous; Escape closes the find bar. Links between the help
// pages and to their sections stay in the window; any other address goes
// to the desktop through OpenUrl. One window serves every "Help" click; it
// is never modal.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // The help window, made on first use; reused afterwards.
    static HelpWindow* Get();
    // The help window if it exists.
    static HelpWindow* Existing();
    // Destroys the help window (the program is ending).
    static void Destroy();

    // Shows `page` ("page.html" or "page.html#section"). An unknown page
    // shows the contents page instead and answers false.
    bool Open(const QString& page);
    // Shows the window in front, not minimised, and gives it the focus.
    void Present();

    QTextBrowser* Browser() const { return browser_; }
    QTreeWidget* ContentsList() const { return contents_; }
    // "Links on this page": each link of the page on show, by its text, in
    // page order; activating one follows it as a click in the page does.
    QListWidget* LinksList() const { return links_; }
    QToolButton* BackButton() const { return back_; }
    QToolButton* ForwardButton() const { return forward_; }
    QToolButton* ContentsButton() const { return home_; }
    QWidget* FindBar() const { return findBar_; }
    QLineEdit* FindField() const { return findField_; }
    QToolButton* FindNextButton() const { return findNext_; }
    QToolButton* FindPreviousButton() const { return findPrevious_; }
    ValueLabel* FindStatus() const { return findStatus_; }

    // Find: shows the find bar with its text selected; looks for the find
    // text after (or before) the current selection, wrapping at the end of
    // the page; hides the bar and gives the page the focus back.
    void ShowFind();
    bool FindNext();
    bool FindPrevious();
    void HideFind();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HelpWindow();
    void BuildContents();
    void OnAnchorClicked(const QUrl& link);
    void OnSourceChanged(const QUrl& source);
    void ListLinks();
    bool Find(QTextDocument::FindFlags flags, bool fromSelectionStart);
    void ShowFindResult(bool found);

    HelpBrowser* browser_ = nullptr;
    QTreeWidget* contents_ = nullptr;
    QListWidget* links_ = nullptr;
    QToolButton* back_ = nullptr;
    QToolButton* forward_ = nullptr;
    QToolButton* home_ = nullptr;
    QWidget* findBar_ = nullptr;
    QLineEdit* findField_ = nullptr;
    QToolButton* findPrevious_ = nullptr;
    QToolButton* findNext_ = nullptr;
    QToolButton* findClose_ = nullptr;
    ValueLabel* findStatus_ = nullptr;
};
