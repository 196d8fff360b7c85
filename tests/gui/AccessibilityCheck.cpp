#include "AccessibilityCheck.h"

#include "gui/widgets/ShownOnDemand.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollArea>
#include <QSplitter>
#include <QScrollBar>
#include <QTabBar>
#include <QTextEdit>

#include <algorithm>
#include <functional>
#include <set>

namespace a11y {
namespace {

QString Describe(const QObject* object)
{
    QString text = QString::fromLatin1(object->metaObject()->className());
    if (!object->objectName().isEmpty())
        text += QLatin1Char('#') + object->objectName();
    QString shown;
    if (auto* button = qobject_cast<const QAbstractButton*>(object))
        shown = button->text();
    else if (auto* label = qobject_cast<const QLabel*>(object))
        shown = label->text();
    else if (auto* group = qobject_cast<const QGroupBox*>(object))
        shown = group->title();
    if (!shown.isEmpty())
        text += QStringLiteral(" \"") + shown.left(40) + QLatin1Char('"');
    return text;
}

QString RoleName(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::PushButton: return QStringLiteral("button");
    case QAccessible::CheckBox: return QStringLiteral("check box");
    case QAccessible::RadioButton: return QStringLiteral("radio button");
    case QAccessible::ComboBox: return QStringLiteral("combo box");
    case QAccessible::EditableText: return QStringLiteral("text field");
    case QAccessible::SpinBox: return QStringLiteral("spin box");
    case QAccessible::Slider: return QStringLiteral("slider");
    case QAccessible::Dial: return QStringLiteral("dial");
    case QAccessible::ProgressBar: return QStringLiteral("progress bar");
    case QAccessible::StaticText: return QStringLiteral("text");
    case QAccessible::Graphic: return QStringLiteral("picture");
    case QAccessible::Animation: return QStringLiteral("animation");
    case QAccessible::Grouping: return QStringLiteral("group box");
    case QAccessible::List: return QStringLiteral("list");
    case QAccessible::Tree: return QStringLiteral("tree");
    case QAccessible::Table: return QStringLiteral("table");
    case QAccessible::PageTabList: return QStringLiteral("tab list");
    case QAccessible::PageTab: return QStringLiteral("tab");
    case QAccessible::ButtonDropDown: return QStringLiteral("drop-down button");
    case QAccessible::ButtonMenu: return QStringLiteral("menu button");
    case QAccessible::Link: return QStringLiteral("link");
    case QAccessible::Dialog: return QStringLiteral("dialog");
    case QAccessible::Window: return QStringLiteral("window");
    default: return QStringLiteral("control");
    }
}

bool NeedsName(QAccessibleInterface* iface)
{
    switch (iface->role()) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::Dial:
    case QAccessible::ProgressBar:
    case QAccessible::StaticText:
    case QAccessible::Graphic:
    case QAccessible::Animation:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::PageTabList:
    case QAccessible::PageTab:
    case QAccessible::ButtonDropDown:
    case QAccessible::ButtonMenu:
    case QAccessible::Link:
    case QAccessible::Dialog:
    case QAccessible::Window:
        return true;
    case QAccessible::Grouping:
        // A group box; a button box is a grouping too, but has no caption
        // to read and its buttons carry their own names.
        return iface->object() && iface->object()->inherits("QGroupBox");
    default:
        // A scroll area with content of its own (not a view or an edit,
        // which have roles of their own).
        return iface->object() && iface->object()->inherits("QScrollArea");
    }
}

// Whether the walk goes on into the children: not into the items of views
// and combo boxes, the text of edits or the parts of a bar or slider.
bool WalkInto(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::ScrollBar:
    case QAccessible::Slider:
    case QAccessible::SpinBox:
    case QAccessible::ProgressBar:
        return false;
    default:
        return true;
    }
}

QString WithoutMnemonics(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

// The name a widget has of its own: its accessible name, its own text (a
// button's, a label's, a group box's title, a window's title) or the text
// of the label whose buddy it is. Qt would otherwise name a control inside a
// group box after the group, which says where it is, not what it is.
QString OwnName(QWidget* widget)
{
    if (!widget->accessibleName().trimmed().isEmpty())
        return widget->accessibleName();
    if (widget->isWindow())
        return widget->windowTitle();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return WithoutMnemonics(button->text());
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget))
        return group->title();
    for (QLabel* label : widget->window()->findChildren<QLabel*>())
        if (label->buddy() == widget)
            return WithoutMnemonics(label->text());
    return {};
}

void WalkAccessible(QAccessibleInterface* iface, QStringList& out, int depth)
{
    if (!iface || !iface->isValid() || depth > 64)
        return;
    QWidget* widget = iface->object() && iface->object()->isWidgetType() ? static_cast<QWidget*>(iface->object())
                                                                          : nullptr;
    // Parts that are no widgets (tabs of a tab bar) have only Qt's name.
    const QString name = widget ? OwnName(widget) : iface->text(QAccessible::Name);
    if (NeedsName(iface) && (name.trimmed().isEmpty() || iface->text(QAccessible::Name).trimmed().isEmpty()))
        out << RoleName(iface->role()) + QStringLiteral(" without an accessible name: ")
                + (iface->object() ? Describe(iface->object()) : QStringLiteral("(no object)"));
    if (!WalkInto(iface->role()))
        return;
    for (int i = 0; i < iface->childCount(); ++i)
        WalkAccessible(iface->child(i), out, depth + 1);
}

// Qt's own controls whose inner widgets are theirs, not the page's.
bool IsControl(const QWidget* widget)
{
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QAbstractScrollArea*>(widget)
        || qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget)
        || qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QAbstractSlider*>(widget)
        || qobject_cast<const QProgressBar*>(widget) || qobject_cast<const QLabel*>(widget)
        || qobject_cast<const QTabBar*>(widget);
}

// The page's own widgets below `parent`, in the window (separate windows
// left out): their direct children and, for a QScrollArea, its content. A
// splitter's handles are Qt's own (the one before the first pane is always
// hidden) and left out too.
QList<QWidget*> OwnChildren(QWidget* parent)
{
    QList<QWidget*> children;
    if (auto* area = qobject_cast<QScrollArea*>(parent)) {
        if (area->widget())
            children << area->widget();
        return children;
    }
    if (IsControl(parent))
        return children;
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow() && !qobject_cast<QSplitterHandle*>(child))
            children << child;
    return children;
}

// Visits the shown widgets below `root`, depth first in creation order.
void ForEachShown(QWidget* root, const std::function<void(QWidget*)>& visit)
{
    for (QWidget* child : OwnChildren(root)) {
        if (child->isHidden())
            continue;
        visit(child);
        ForEachShown(child, visit);
    }
}

QRect RectIn(const QWidget* widget, const QWidget* root)
{
    return QRect(widget->mapTo(root, QPoint(0, 0)), widget->size());
}

// Screen order of two rectangles: rows top to bottom, left to right in a row.
bool ScreenBefore(const QRect& a, const QRect& b)
{
    const QRect& lower = a.top() > b.top() ? a : b;
    const int overlap = std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top()) + 1;
    const bool oneRow = overlap > 0 && 2 * overlap >= lower.height();
    if (oneRow && a.left() != b.left())
        return a.left() < b.left();
    return a.top() < b.top();
}

// The group boxes and scroll areas around `widget` below `root`, outermost
// first, then the widget itself. A scroll area's content is a unit at the
// scroll area's place, however far it reaches beyond what is in view.
QList<QWidget*> GroupChain(QWidget* widget, const QWidget* root)
{
    QList<QWidget*> chain {widget};
    for (QWidget* up = widget->parentWidget(); up && up != root; up = up->parentWidget())
        if (qobject_cast<QGroupBox*>(up) || qobject_cast<QScrollArea*>(up))
            chain.prepend(up);
    return chain;
}

bool ComesBefore(QWidget* a, QWidget* b, const QWidget* root)
{
    const QList<QWidget*> ca = GroupChain(a, root);
    const QList<QWidget*> cb = GroupChain(b, root);
    const qsizetype common = std::min(ca.size(), cb.size());
    for (qsizetype k = 0; k < common; ++k) {
        if (ca[k] == cb[k])
            continue;
        return ScreenBefore(RectIn(ca[k], root), RectIn(cb[k], root));
    }
    // One holds the other: a focusable group box comes before its content.
    return ca.size() < cb.size();
}

bool ReachedByTab(const QWidget* widget)
{
    return (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
}

bool IsOperable(const QWidget* widget)
{
    if (qobject_cast<const QScrollBar*>(widget))
        return false;
    if (auto* group = qobject_cast<const QGroupBox*>(widget))
        return group->isCheckable();
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QComboBox*>(widget)
        || qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget)
        || qobject_cast<const QAbstractSlider*>(widget) || qobject_cast<const QAbstractItemView*>(widget)
        || qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QTextEdit*>(widget);
}

} // namespace

QStringList UnnamedControls(QWidget* root)
{
    QStringList out;
    WalkAccessible(QAccessible::queryAccessibleInterface(root), out, 0);

    for (QLabel* label : root->findChildren<QLabel*>()) {
        const QString text = WithoutMnemonics(label->text()).trimmed();
        if (text.contains(QLatin1Char('\n')) || !text.endsWith(QLatin1Char(':')))
            continue;
        const QString words = text.chopped(1).trimmed();
        QWidget* buddy = label->buddy();
        if (!buddy) {
            out << QStringLiteral("caption labels nothing (no buddy): ") + Describe(label);
            continue;
        }
        const QString name = OwnName(buddy).trimmed();
        if (!name.startsWith(words))
            out << QStringLiteral("not named by its caption \"") + words + QStringLiteral("\" (its name is \"")
                    + name + QStringLiteral("\"): ") + Describe(buddy);
    }
    return out;
}

QStringList HiddenWidgets(QWidget* root)
{
    QStringList out;
    if (root->isHidden()) {
        out << QStringLiteral("the page itself is not shown: ") + Describe(root);
        return out;
    }
    std::function<void(QWidget*)> walk = [&](QWidget* parent) {
        for (QWidget* child : OwnChildren(parent)) {
            if (child->isHidden()) {
                if (!IsShownOnDemand(child))
                    out << QStringLiteral("hidden but still in the tree: ") + Describe(child);
                continue;
            }
            walk(child);
        }
    };
    walk(root);
    return out;
}

QStringList TabOrderProblems(QWidget* root)
{
    QStringList out;
    // The focus chain from the page on, as Tab walks it.
    QList<QWidget*> chain;
    std::set<QWidget*> seen;
    for (QWidget* w = root->nextInFocusChain(); w && w != root && seen.insert(w).second; w = w->nextInFocusChain()) {
        if (!root->isAncestorOf(w) || !ReachedByTab(w) || w->focusProxy() || !w->isVisibleTo(root)
            || !w->isEnabled())
            continue;
        chain << w;
    }
    for (qsizetype i = 1; i < chain.size(); ++i)
        if (ComesBefore(chain[i], chain[i - 1], root))
            out << QStringLiteral("Tab goes from ") + Describe(chain[i - 1]) + QStringLiteral(" to ")
                    + Describe(chain[i]) + QStringLiteral(", which comes first on screen");

    ForEachShown(root, [&](QWidget* w) {
        if (IsOperable(w) && w->isEnabled() && !w->focusProxy() && !ReachedByTab(w))
            out << QStringLiteral("Tab never reaches ") + Describe(w);
    });
    return out;
}

QStringList CheckPage(QWidget* root)
{
    return UnnamedControls(root) + HiddenWidgets(root) + TabOrderProblems(root);
}

} // namespace a11y
