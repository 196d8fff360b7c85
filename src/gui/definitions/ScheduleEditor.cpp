#include "gui/definitions/ScheduleEditor.h"

#include "core/engine/ScheduleEntries.h"
#include "core/store/Definitions.h"
#include "gui/app/Messages.h"
#include "gui/app/PageHost.h"
#include "gui/app/PageTable.h"
#include "gui/definitions/EditorParts.h"
#include "gui/widgets/LabeledValue.h"
#include "resources/ResourceIds.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

struct CategoryInfo {
    const char* name;   // on its radio button and after "Selected Category:"
    const char* stored; // IDC_SCHEDULE_CATEGORY_SELECTED
    int radioId;
    const char* dayWord; // before the day picker; none: no day picker
    int dayId;
    int timeId; // 0: no time picker
};

constexpr CategoryInfo kCategories[] = {
    {"Hourly", ScheduleDef::kHourly, rid::IDC_SCED_HOURLY, nullptr, 0, 0},
    {"Daily", ScheduleDef::kDaily, rid::IDC_SCED_DAILY, nullptr, 0, rid::IDC_SCED_DAILY_TIME},
    {"Weekly", ScheduleDef::kWeekly, rid::IDC_SCED_WEEKLY, "on", rid::IDC_SCED_WEEKLY_DAY, rid::IDC_SCED_WEEKLY_TIME},
    {"Monthly", ScheduleDef::kMonthly, rid::IDC_SCED_MONTHLY, "on the", rid::IDC_SCED_MONTHLY_DAY,
     rid::IDC_SCED_MONTHLY_TIME},
};

constexpr const char* kGuidance[] = {
    "For a Detailed Explanation of how Schedules work please see the Help section on Schedules.",
    "Select Hourly, Daily, Weekly or Monthly. Complete additional selections as required by each. Then Click ADD.",
    "Only one category may be selected for any Schedule. Backups however may use Multiple Schedules.",
    "You can ADD more than one entry for any category. Changing categories will delete all previous selections.",
};

constexpr const char* kFull =
    "A Schedule may hold at most 96 entries.\r\n\r\nPlease Delete an entry before adding another.";

// A picker of fixed entries, on its first one.
QComboBox* MakePicker(const std::vector<std::string>& texts, const QString& name, int id, QWidget* parent)
{
    auto* picker = new QComboBox(parent);
    picker->setObjectName(ControlName(id));
    picker->setAccessibleName(name);
    for (const std::string& text : texts)
        picker->addItem(QString::fromStdString(text));
    picker->setCurrentIndex(0);
    return picker;
}

std::string Picked(const QComboBox* picker)
{
    return picker->currentText().toStdString();
}

} // namespace

ScheduleEditor::ScheduleEditor(AppState& state, PageHost& host, QWidget* parent)
    : QWidget(parent)
    , state_(state)
    , host_(host)
    , mode_(state.scheduleEditorMode)
{
    BuildPage(mode_ == EditorMode::Edit ? QStringLiteral(" Edit an Existing Schedule ")
                                        : QStringLiteral(" Create a New Schedule "));
    ShowCategory(Hourly);
    switch (mode_) {
    case EditorMode::New: break;
    case EditorMode::Edit:
        // The page keeps its own copy of the name (the name field):
        // selectedName may change while a question is open.
        LoadSchedule(state_.selectedName);
        break;
    case EditorMode::None: ShowMessage(MessageKind::Error, "Invalid New Schedule Entry."); break;
    }
    kept_ = Shown();
    // Enter in a field saves, as a click on "Save Schedule" does.
    for (QLineEdit* field : findChildren<QLineEdit*>())
        connect(field, &QLineEdit::returnPressed, save_, &QPushButton::click);
}

ScheduleDef ScheduleEditor::Shown() const
{
    ScheduleDef def;
    def.name = fields_.name->text().toStdString();
    def.description = fields_.description->text().toStdString();
    def.category = otherCategory_ ? *otherCategory_ : kCategories[category_].stored;
    def.entries = Entries();
    return def;
}

bool ScheduleEditor::HasUnsavedChanges() const
{
    return !discarded_ && Shown() != kept_;
}

void ScheduleEditor::BuildPage(const QString& caption)
{
    QGroupBox* frame = PageFrame(this, rid::IDD_SCHEDULE_EDITOR, caption, 6);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(10, 6, 10, 8);
    layout->setSpacing(6);

    auto* setup = new QGroupBox(QStringLiteral(" Initial Setup "), frame);
    fields_ = editor::AddNameFields(
        setup, QStringLiteral("Schedule &Name:"), rid::IDC_SCED_NAME, rid::IDC_SCED_NAME_HINT,
        state_.nameLists.Load(NameList::Schedules).size(), QStringLiteral("Schedule &Description:"),
        rid::IDC_SCED_DESCRIPTION);
    layout->addWidget(setup);

    layout->addWidget(BuildTiming(frame), 1);

    save_ = editor::MakeButton(QStringLiteral("Save Schedule"), rid::IDC_SCED_SAVE, frame);
    cancelEdit_ = editor::AddFootButtons(layout, {save_}, mode_ == EditorMode::Edit, rid::IDC_SCED_CANCEL_EDIT, frame);
    if (cancelEdit_)
        connect(cancelEdit_, &QPushButton::clicked, this, &ScheduleEditor::OnCancelEdit);
    connect(save_, &QPushButton::clicked, this, &ScheduleEditor::OnSave);
}

QWidget* ScheduleEditor::BuildTiming(QWidget* parent)
{
    auto* group = new QGroupBox(QStringLiteral(" Schedule Timing "), parent);
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(10, 4, 10, 6);
    auto* guidance = new QVBoxLayout;
    guidance->setSpacing(2);
    for (const char* text : kGuidance) {
        auto* line = new QLabel(QString::fromLatin1(text), group);
        line->setWordWrap(true);
        guidance->addWidget(line);
    }
    layout->addLayout(guidance);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(16);
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Categories"), group));
    auto* rows = new QGridLayout;
    rows->setHorizontalSpacing(8);
    auto* radioGroup = new QButtonGroup(group);
    for (int c = Hourly; c <= Monthly; ++c) {
        auto* radio = new QRadioButton(QString::fromLatin1(kCategories[c].name), group);
        radio->setObjectName(ControlName(kCategories[c].radioId));
        radioGroup->addButton(radio);
        rows->addWidget(radio, c, 0);
        radios_[size_t(c)] = radio;
        connect(radio, &QRadioButton::clicked, this, [this, c] { OnCategory(Category(c)); });
        // "Weekly" "on" weekday "at" time: the words and pickers of the row.
        const CategoryInfo& info = kCategories[c];
        const QString name = QString::fromLatin1(info.name);
        auto word = [&](const char* text, int column) {
            auto* label = new QLabel(QString::fromLatin1(text), group);
            rows->addWidget(label, c, column);
            words_[size_t(c)].push_back(label);
        };
        if (info.dayWord) {
            word(info.dayWord, 1);
            days_[size_t(c)] = MakePicker(c == Weekly ? ScheduleWeekdays() : ScheduleDays(), name + " day", info.dayId,
                                          group);
            rows->addWidget(days_[size_t(c)], c, 2);
        }
        if (info.timeId) {
            word("at", 3);
            times_[size_t(c)] = MakePicker(ScheduleTimes(), name + " time", info.timeId, group);
            rows->addWidget(times_[size_t(c)], c, 4);
        }
    }
    rows->setColumnStretch(5, 1);
    rows->setVerticalSpacing(4);
    left->addLayout(rows);
    left->addStretch(1);
    columns->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    auto* listCaption = new QLabel(QStringLiteral("Scheduled &Times to Execute"), group);
    entries_ = new QListWidget(group);
    entries_->setObjectName(ControlName(rid::IDC_SCED_ENTRIES));
    entries_->setSelectionMode(QAbstractItemView::SingleSelection);
    listCaption->setBuddy(entries_);
    entries_->setAccessibleName(QStringLiteral("Scheduled Times to Execute"));
    right->addWidget(listCaption);
    right->addWidget(entries_, 1);
    auto* addDelete = new QHBoxLayout;
    add_ = editor::MakeButton(QStringLiteral("Add"), rid::IDC_SCED_ADD, group);
    delete_ = editor::MakeButton(QStringLiteral("Delete"), rid::IDC_SCED_DELETE, group);
    addDelete->addWidget(add_);
    addDelete->addWidget(delete_);
    right->addLayout(addDelete);
    auto* selected = new QHBoxLayout;
    const LabeledValue category = MakeLabeledValue(QStringLiteral("Selected Category:"), rid::IDC_SCED_CATEGORY, group);
    categoryName_ = category.value;
    QFont bold = categoryName_->font();
    bold.setBold(true);
    categoryName_->setFont(bold);
    selected->addWidget(category.caption);
    selected->addWidget(categoryName_, 1);
    right->addLayout(selected);
    columns->addLayout(right, 0);
    entries_->setMinimumWidth(entries_->fontMetrics().horizontalAdvance(
                                  QStringLiteral("Date: 22nd - Time: 12:15 AM"))
                              + 40);
    layout->addLayout(columns, 1);

    connect(add_, &QPushButton::clicked, this, &ScheduleEditor::OnAdd);
    connect(delete_, &QPushButton::clicked, this, &ScheduleEditor::OnDelete);
    return group;
}

void ScheduleEditor::LoadSchedule(const std::string& name)
{
    const ScheduleDef def = ScheduleDef::Load(state_.store, name);
    fields_.name->setText(QString::fromStdString(def.name));
    fields_.name->setReadOnly(true);
    fields_.description->setText(QString::fromStdString(def.description));
    otherCategory_ = def.category;
    for (int c = Hourly; c <= Monthly; ++c) {
        if (def.category == kCategories[c].stored) {
            otherCategory_.reset();
            ShowCategory(Category(c));
        }
    }
    if (otherCategory_) {
        // Shown as stored, with no category chosen and nothing to pick
        // until one is.
        QAbstractButton* checked = radios_[0]->group()->checkedButton();
        radios_[0]->group()->setExclusive(false);
        if (checked)
            checked->setChecked(false);
        radios_[0]->group()->setExclusive(true);
        categoryName_->setText(QString::fromStdString(*otherCategory_));
        for (int c = Hourly; c <= Monthly; ++c) {
            for (QLabel* word : words_[size_t(c)])
                word->setEnabled(false);
            for (QComboBox* picker : {days_[size_t(c)], times_[size_t(c)]})
                if (picker)
                    picker->setEnabled(false);
        }
    }
    // In their stored order, repeats and all: saving an unchanged schedule
    // stores it unchanged.
    for (const std::string& entry : def.entries)
        entries_->addItem(QString::fromStdString(entry));
}

void ScheduleEditor::ShowCategory(Category category)
{
    otherCategory_.reset();
    category_ = category;
    radios_[size_t(category)]->setChecked(true);
    categoryName_->setText(QString::fromLatin1(kCategories[category].name));
    for (int c = Hourly; c <= Monthly; ++c) {
        for (QLabel* word : words_[size_t(c)])
            word->setEnabled(c == category);
        for (QComboBox* picker : {days_[size_t(c)], times_[size_t(c)]})
            if (picker)
                picker->setEnabled(c == category);
    }
}

void ScheduleEditor::OnCategory(Category category)
{
    if (entries_->count() > 0) {
        int answer = 0;
        if (!RunWhileOpen(this, [&answer] {
                answer = ShowMessage(MessageKind::YesNo,
                                     "Changing Categories will Delete all Current List Entries\n\r\n\rChange "
                                     "Categories?",
                                     "Yes", "No");
            }))
            return;
        if (answer != 1) {
            if (otherCategory_) {
                // Still the stored category: no radio button stays chosen.
                const std::string stored = *otherCategory_;
                radios_[0]->group()->setExclusive(false);
                radios_[size_t(category)]->setChecked(false);
                radios_[0]->group()->setExclusive(true);
                otherCategory_ = stored;
                return;
            }
            ShowCategory(category_);
            return;
        }
        entries_->clear();
    }
    ShowCategory(category);
}

void ScheduleEditor::OnAdd()
{
    if (otherCategory_) {
        ShowMessage(MessageKind::Alert, "Please Select a Category Before Adding an Entry.");
        return;
    }
    std::string entry;
    switch (category_) {
    case Hourly: entry = HourlyEntry(); break;
    case Daily: entry = DailyEntry(Picked(times_[Daily])); break;
    case Weekly: entry = WeeklyEntry(Picked(days_[Weekly]), Picked(times_[Weekly])); break;
    case Monthly: entry = MonthlyEntry(Picked(days_[Monthly]), Picked(times_[Monthly])); break;
    }
    const QString text = QString::fromStdString(entry);
    for (int i = 0; i < entries_->count(); ++i) {
        if (entries_->item(i)->text() == text)
            return;
    }
    if (entries_->count() >= kMaxEntries) {
        ShowMessage(MessageKind::Alert, kFull);
        return;
    }
    InsertEntry(entry);
}

void ScheduleEditor::InsertEntry(const std::string& entry)
{
    // After every entry that does not sort after it.
    int row = 0;
    while (row < entries_->count() && !EntrySortsBefore(entry, entries_->item(row)->text().toStdString()))
        ++row;
    entries_->insertItem(row, QString::fromStdString(entry));
}

void ScheduleEditor::OnDelete()
{
    const QList<QListWidgetItem*> selected = entries_->selectedItems();
    if (selected.isEmpty()) {
        ShowMessage(MessageKind::Alert, "No listed schedule entry has been selected.");
        return;
    }
    delete selected.front();
}

std::vector<std::string> ScheduleEditor::Entries() const
{
    std::vector<std::string> entries;
    for (int i = 0; i < entries_->count(); ++i)
        entries.push_back(entries_->item(i)->text().toStdString());
    return entries;
}

void ScheduleEditor::OnSave()
{
    const bool creating = mode_ != EditorMode::Edit;
    const std::string name = editor::NameFromField(fields_.name);
    if (editor::RefusedByFirst({
            {fields_.name->text().isEmpty(), "No Schedule Name Specified."},
            {!IsValidName(name), editor::kInvalidCharacters},
            {creating && editor::NameInUse(state_.nameLists, NameList::Schedules, name),
             "Schedule Name Already in Use.\n\r\n\rPlease Select Another Name."},
            {entries_->count() == 0, "No Scheduled Times Listed.\n\r\n\rPlease Select Times Before Saving."},
        }))
        return;

    ScheduleDef def = Shown();
    def.name = name;
    StoreStatus stored = def.Save(state_.store);
    if (stored && creating) {
        stored = state_.nameLists.Add(NameList::Schedules, name);
        if (stored)
            stored = state_.nameLists.RaiseTotal(NameList::Schedules);
    }
    if (!StoredOrSaid("Schedule", stored))
        return;
    kept_ = Shown();
    if (creating) {
        state_.log.AppendEntry(false, "New Schedule Saved: " + name);
        editor::AskAfterSave(this, state_, host_, true, "Schedule Saved\r\n\r\nDo you wish to create another?",
                             rid::PAGE_CREATE_SCHEDULE, rid::PAGE_EDIT_SCHEDULES);
    } else {
        state_.log.AppendEntry(false, "Edited Schedule Saved: " + name);
        editor::AskAfterSave(this, state_, host_, false, "Edited Schedule Saved\r\n\r\nDo you wish to edit another?",
                             rid::PAGE_CREATE_SCHEDULE, rid::PAGE_EDIT_SCHEDULES);
    }
}

void ScheduleEditor::OnCancelEdit()
{
    discarded_ = true;
    host_.ForcePage(rid::PAGE_EDIT_SCHEDULES);
}
