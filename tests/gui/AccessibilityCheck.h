#pragma once

#include <QStringList>

class QWidget;

// Checks that a page can be used with a keyboard and by screen readers.
// Each check returns one line per problem found (empty: none), naming the
// widget by class, objectName and text. Run them on a page that is shown.
namespace a11y {

// Every control a person operates or reads has an accessible name. Walks
// the QAccessible tree from `root` and reports each interface whose role is
// one of: push button, check box, radio button, combo box, editable text,
// spin box, slider, dial, progress bar, static text, picture (graphic,
// animation), group box (a QGroupBox; not a button box), list, tree, table,
// tab list and tab, drop-down or menu button, link, dialog, window; and
// every QScrollArea (a scroll area with content) that has no name of its
// own: its accessible name, its own text (a button's, a label's, a group
// box's title, a window's title) or the text of the label whose buddy it
// is. The name Qt lends a control from the group box around it does not
// count: it says where the control is, not what it is. The walk does not go
// into the items of lists, trees, tables and combo boxes, nor into text
// edits; scroll bars are part of their scroll area and not checked.
// It also reports a caption (a one-line QLabel whose text ends in ':') that
// labels nothing (no buddy), or whose buddy's name does not begin with the
// caption's words: a field's label is its buddy and a value label is named
// by its caption.
QStringList UnnamedControls(QWidget* root);

// Nothing hidden stays in the tree: reports every widget under `root` that
// is hidden while its parent is shown (only the topmost of a hidden branch),
// unless it is marked shown-on-demand (gui/widgets/ShownOnDemand.h).
// Separate windows (menus, dialogs) and the inner parts of Qt's own
// controls (the scroll bars of a view, the pop-up of a combo box, the
// handles of a splitter) are not looked at; the content of a QScrollArea is.
QStringList HiddenWidgets(QWidget* root);

// Tab follows screen order. Takes the widgets under `root` that Tab reaches
// (Tab focus policy, visible, enabled, no focus proxy) in the order of the
// focus chain, starting after `root`, and reports each step that goes back
// on screen. Screen order: top to bottom, and left to right within a row;
// two widgets are on one row when they overlap vertically by at least half
// the height of the lower one. A group box is a unit: the widgets inside it
// come together, in screen order within it, at the place of the group box;
// so is the content of a scroll area, at the scroll area's place.
// Also reports every visible, enabled button, box, field or list that Tab
// never reaches (no Tab focus).
QStringList TabOrderProblems(QWidget* root);

// All three checks.
QStringList CheckPage(QWidget* root);

} // namespace a11y
