#pragma once

#include "core/state/AppState.h"

#include "core/store/Definitions.h"
#include "gui/app/UnsavedChanges.h"
#include "gui/definitions/EditorParts.h"

#include <QWidget>

#include <array>
#include <optional>
#include <string>

class PageHost;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class ValueLabel;

// The schedule editor: a schedule's name, description, category (Hourly,
// Daily, Weekly or Monthly) and its entries, each one point in time at
// which the backups that use the schedule are due. The entries are the
// texts the scheduler parses (core/engine/ScheduleEntries.h).
class ScheduleEditor : public QWidget, public UnsavedChanges {
    Q_OBJECT
public:
    enum Category { Hourly, Daily, Weekly, Monthly };
    // The scheduler reads at most this many entries of a schedule.
    static constexpr int kMaxEntries = 96;

    ScheduleEditor(AppState& state, PageHost& host, QWidget* parent = nullptr);

    // A category's radio button was clicked (the current one included):
    // with entries listed, asks before it empties the list.
    void OnCategory(Category category);
    // "Add": the entry of the current category and pickers, in its sorted
    // place; an entry already listed is ignored, a 97th refused.
    void OnAdd();
    // "Delete": removes the selected entry.
    void OnDelete();
    // "Save Schedule": checks in order, stores and asks whether to create
    // (or edit) another.
    void OnSave();
    // "Cancel Edit": back to the schedule list; nothing is stored.
    void OnCancelEdit();

    Category CurrentCategory() const { return category_; }
    // The entries as listed, top to bottom.
    std::vector<std::string> Entries() const;

    bool HasUnsavedChanges() const override;
    void DiscardChanges() override { discarded_ = true; }

private:
    void BuildPage(const QString& caption);
    QWidget* BuildTiming(QWidget* parent);
    void LoadSchedule(const std::string& name);
    // Shows `category` as chosen: its radio button, its name and its pickers.
    void ShowCategory(Category category);
    void InsertEntry(const std::string& entry);
    // The schedule as the page shows it; the name as typed.
    ScheduleDef Shown() const;

    AppState& state_;
    PageHost& host_;
    const EditorMode mode_;
    Category category_ = Hourly;

    editor::NameFields fields_; // name, its hint, description
    std::array<QRadioButton*, 4> radios_ {};
    // The pickers by category: the weekday or day of the month, the time.
    std::array<QComboBox*, 4> days_ {};
    std::array<QComboBox*, 4> times_ {};
    // The "at", "on" and "on the" words, by category.
    std::array<std::vector<QLabel*>, 4> words_ {};
    QPushButton* add_ = nullptr;
    QPushButton* delete_ = nullptr;
    QListWidget* entries_ = nullptr;
    ValueLabel* categoryName_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* cancelEdit_ = nullptr; // edit mode only
    // A stored category that is not one of the four, kept as it is until
    // the user picks a category.
    std::optional<std::string> otherCategory_;
    // The schedule as last loaded or saved, and whether its changes were
    // given up.
    ScheduleDef kept_;
    bool discarded_ = false;
};
