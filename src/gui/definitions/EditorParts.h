#pragma once

#include "core/engine/ConnectionParams.h"
#include "core/store/NameLists.h"

#include <QString>

#include <initializer_list>
#include <string>

class AppState;
class MysqlConnection;
class PageHost;
class QBoxLayout;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class ValueLabel;

// What the connection, backup and schedule editors share: their name rule
// and its texts, their fields, buttons and the questions after a save.
namespace editor {

inline constexpr const char* kValidNameHint = "Valid Name Characters A-Z a-z 0-9 _";
inline constexpr const char* kInvalidCharacters =
    "Invalid Characters in Name.\n\nPlease use only AlphaNumeric \"A-Z a-z 0-9\" characters and Underscores "
    "\"_\" in Name Fields.\n\n";
// Definition names are kept short: they become table and file names.
inline constexpr int kNameLimit = 50;
inline constexpr int kDescriptionLimit = 100;

// A caption and its single-line field in `row` of `grid` (caption in column
// 0, the field from column 1 over `columnSpan` columns). The caption is the
// field's buddy: its mnemonic ("Connection &Name:") focuses the field, and
// screen readers name the field by it.
QLineEdit* AddField(QGridLayout* grid, int row, const QString& caption, int maxLength, int id, QWidget* parent,
                    int columnSpan = 1);

// The name field in row 0 of `grid`, limited to kNameLimit, with the Valid
// Name Characters hint beside it in column 2: as it is while no definition
// of the kind exists, greyed with one. With two or more the hint is not made
// at all (`*hint` is nullptr) and the field takes its place.
QLineEdit* AddNameField(QGridLayout* grid, const QString& caption, int id, int hintId, size_t definitions,
                        QWidget* parent, QLabel** hint);

// The name and description fields of an editor, in rows 0 and 1 of a grid
// filling `group`; the name with its hint (see AddNameField).
struct NameFields {
    QGridLayout* grid = nullptr;
    QLineEdit* name = nullptr;
    QLabel* hint = nullptr;
    QLineEdit* description = nullptr;
};
NameFields AddNameFields(QWidget* group, const QString& nameCaption, int nameId, int hintId, size_t definitions,
                         const QString& descriptionCaption, int descriptionId);

// The foot of an editor: `buttons`, equally wide in one row, and in edit
// mode "Cancel Edit" after them (id `cancelId`), which is returned; in create
// mode it is not made (nullptr).
QPushButton* AddFootButtons(QBoxLayout* layout, std::initializer_list<QPushButton*> buttons, bool editing,
                            int cancelId, QWidget* parent);

// The word-wrapped status text under an editor's buttons, room for three
// lines; screen readers call it `name`.
ValueLabel* MakeStatusText(const QString& name, int id, QWidget* parent);

// One check of a Save or a Test: whether it fails, and the Alert message
// that then refuses.
struct Check {
    bool fails;
    std::string text;
};
// Shows the Alert message of the first check that fails; true when one did.
// The checks run in the order given and stop at the first failure.
bool RefusedByFirst(std::initializer_list<Check> checks);

// A button of the page's foot or groups, which Enter in a field does not press.
QPushButton* MakeButton(const QString& text, int id, QWidget* parent);

// The name typed into `field` with every blank turned into an underscore.
std::string NameFromField(const QLineEdit* field);

// Whether `name` equals a name of `list`, letter case ignored: the store's
// table names ignore case, so "Shop" and "shop" would share one table.
bool NameInUse(const NameLists& lists, NameList list, const std::string& name);

// After a saved definition: asks `question` (Yes/No). A new definition:
// Yes opens `editorPage` afresh, No the statistics page; then the menu is
// rebuilt, leaving that page alone. An edited one: Yes opens `listPage`
// afresh, No the statistics page. Nothing is requested when the page was
// closed while the question was open.
void AskAfterSave(QWidget* page, AppState& state, PageHost& host, bool created, const std::string& question,
                  int editorPage, int listPage);

// The wait cursor, for as long as the object lives.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Connects `connection` to `params` on the window's thread, with the client
// library's connect timeout. When the library cannot even create a client
// handle nothing can work: its error number and text go to the standard
// error stream as "%d: %s \n" and the program ends with status 1.
bool Connect(MysqlConnection& connection, const ConnectionParams& params);

// Why `connection` failed, as the client library says it ("Access denied
// for user ...", "Can't connect to server on ..."), with `password` blotted
// out should it ever appear in it.
std::string ServerReason(const MysqlConnection& connection, const std::string& password);
// `message`, then the server's reason after an empty line (when there is one).
std::string WithReason(const std::string& message, const std::string& reason);

} // namespace editor
