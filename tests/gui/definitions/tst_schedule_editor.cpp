#include "DefinitionsTestSupport.h"
#include "core/engine/ScheduleEntries.h"
#include "core/engine/Scheduler.h"
#include "gui/definitions/ScheduleEditor.h"
#include "gui/definitions/EditorParts.h"

#include <QComboBox>
#include <algorithm>
#include <QListWidget>
#include <QRadioButton>

namespace {

using test::PageFixture;
using Texts = std::vector<std::string>;
using Page = ScheduleEditor;

const char* const kCategoryQuestion =
    "Changing Categories will Delete all Current List Entries\n\r\n\rChange Categories?";

QListWidget* EntryList(PageFixture& f)
{
    return f.control<QListWidget>(rid::IDC_SCED_ENTRIES);
}

void Pick(PageFixture& f, int id, const char* text)
{
    auto* picker = f.control<QComboBox>(id);
    picker->setCurrentIndex(picker->findText(QString::fromLatin1(text)));
    QVERIFY(picker->currentText() == QString::fromLatin1(text));
}

} // namespace

class TestScheduleEditor : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void saveChecksInOrder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("entry");
        QTest::addColumn<QString>("refusal"); // empty: saved
        const QString inUse = "Schedule Name Already in Use.\n\r\n\rPlease Select Another Name.";
        QTest::newRow("no name") << "" << false << "No Schedule Name Specified.";
        QTest::newRow("full stop") << "night.ly" << false << QString::fromLatin1(editor::kInvalidCharacters);
        QTest::newRow("same name") << "shop" << false << inUse;
        QTest::newRow("other case") << "Shop" << true << inUse;
        QTest::newRow("no entries") << "nightly" << false
                                    << "No Scheduled Times Listed.\n\r\n\rPlease Select Times Before Saving.";
        QTest::newRow("saved") << "every hour" << true << "";
    }

    void saveChecksInOrder()
    {
        QFETCH(QString, name);
        QFETCH(bool, entry);
        QFETCH(QString, refusal);
        PageFixture f(
            [](AppState& s) { test::DefineSchedule(s, "shop", ScheduleDef::kHourly, "Every Turn of the Hour"); });
        f.open<Page>(rid::PAGE_CREATE_SCHEDULE);
        f.type(rid::IDC_SCED_NAME, name.toStdString());
        f.type(rid::IDC_SCED_DESCRIPTION, "At every full hour");
        if (entry)
            f.click(rid::IDC_SCED_ADD);
        f.click(rid::IDC_SCED_SAVE);
        if (!refusal.isEmpty()) {
            QCOMPARE(f.asked(), Texts {refusal.toStdString()});
            QCOMPARE(f.state().nameLists.Load(NameList::Schedules), Texts {"shop"});
            return;
        }
        QCOMPARE(f.asked(), Texts {"Schedule Saved\r\n\r\nDo you wish to create another?"});
        QCOMPARE(test::RowsInOrder(f.state().paths.dbPath, "Tesmo_SCHEDULE_NAME_every_hour"),
                 Texts({"IDC_SCHD_NAME=every_hour", "IDC_SCHD_DESC=At every full hour",
                        "IDC_SCHEDULE_CATEGORY_SELECTED=SCHD_HOURLY", "IDC_SCHEDULE=Every Turn of the Hour"}));
        QCOMPARE(f.state().nameLists.Load(NameList::Schedules), Texts({"shop", "every_hour"}));
        QCOMPARE(f.state().totals.schedules, 2);
        QCOMPARE(f.state().log.Entries().back().message, std::string("New Schedule Saved: every_hour"));
        QCOMPARE(f.state().currentPageId, rid::PAGE_STATISTICS);
        QVERIFY(f.window->MenuPageWidget()->findChild<QPushButton*>(ControlName(rid::IDC_MENU_EDIT_SCHEDULES))->isEnabled());
    }

    // The pickers and entries, their order (of the texts, not the times),
    // duplicates, the category question and Delete.
    void entries()
    {
        PageFixture f;
        auto* page = f.open<Page>(rid::PAGE_CREATE_SCHEDULE);
        QCOMPARE(page->CurrentCategory(), Page::Hourly);
        QCOMPARE(f.control<QLabel>(rid::IDC_SCED_CATEGORY)->text(), QStringLiteral("Hourly"));
        for (int id : {rid::IDC_SCED_DAILY_TIME, rid::IDC_SCED_WEEKLY_DAY, rid::IDC_SCED_WEEKLY_TIME,
                       rid::IDC_SCED_MONTHLY_DAY, rid::IDC_SCED_MONTHLY_TIME})
            QVERIFY(!f.control(id)->isEnabled());
        auto* times = f.control<QComboBox>(rid::IDC_SCED_DAILY_TIME);
        QCOMPARE(times->count(), 96);
        QCOMPARE(times->itemText(0), QStringLiteral("12:15 AM"));
        QCOMPARE(times->itemText(95), QStringLiteral("12:00 AM"));
        QCOMPARE(f.control<QComboBox>(rid::IDC_SCED_MONTHLY_DAY)->itemText(21), QStringLiteral("22nd"));
        QVERIFY2(f.a11yProblems().isEmpty(), qPrintable(f.a11yProblems()));
        f.click(rid::IDC_SCED_ADD);
        f.click(rid::IDC_SCED_ADD);
        QCOMPARE(page->Entries(), Texts {"Every Turn of the Hour"});

        // Another category: the question; No keeps everything.
        f.control<QRadioButton>(rid::IDC_SCED_WEEKLY)->click();
        QCOMPARE(f.asked(), Texts {kCategoryQuestion});
        QCOMPARE(page->CurrentCategory(), Page::Hourly);
        QVERIFY(f.control<QRadioButton>(rid::IDC_SCED_HOURLY)->isChecked());
        QCOMPARE(page->Entries(), Texts {"Every Turn of the Hour"});
        MessageHook::SetNextAnswer(1);
        f.control<QRadioButton>(rid::IDC_SCED_WEEKLY)->click();
        QCOMPARE(f.asked(), Texts {kCategoryQuestion});
        QCOMPARE(page->CurrentCategory(), Page::Weekly);
        QCOMPARE(f.control<QLabel>(rid::IDC_SCED_CATEGORY)->text(), QStringLiteral("Weekly"));
        QVERIFY(f.control(rid::IDC_SCED_WEEKLY_DAY)->isEnabled() && !f.control(rid::IDC_SCED_DAILY_TIME)->isEnabled());
        QVERIFY(page->Entries().empty());

        Pick(f, rid::IDC_SCED_WEEKLY_DAY, "Monday");
        Pick(f, rid::IDC_SCED_WEEKLY_TIME, "11:45 PM");
        f.click(rid::IDC_SCED_ADD);
        Pick(f, rid::IDC_SCED_WEEKLY_DAY, "Friday");
        f.click(rid::IDC_SCED_ADD);
        QCOMPARE(page->Entries(), Texts({"Day: Friday - Time: 11:45 PM", "Day: Monday - Time: 11:45 PM"}));
        // The current category's button asks too.
        f.control<QRadioButton>(rid::IDC_SCED_WEEKLY)->click();
        QCOMPARE(f.asked(), Texts {kCategoryQuestion});
        QCOMPARE(page->Entries().size(), size_t(2));

        f.click(rid::IDC_SCED_DELETE);
        QCOMPARE(f.asked(), Texts {"No listed schedule entry has been selected."});
        EntryList(f)->setCurrentRow(0);
        f.click(rid::IDC_SCED_DELETE);
        QCOMPARE(page->Entries(), Texts {"Day: Monday - Time: 11:45 PM"});
        QCOMPARE(f.asked(), Texts {});

        // A 97th entry is refused: the scheduler reads 96.
        for (const char* day : {"Sunday", "Tuesday"}) {
            Pick(f, rid::IDC_SCED_WEEKLY_DAY, day);
            for (int i = 0; i < 48; ++i) {
                f.control<QComboBox>(rid::IDC_SCED_WEEKLY_TIME)->setCurrentIndex(i);
                f.click(rid::IDC_SCED_ADD);
            }
        }
        QCOMPARE(page->Entries().size(), size_t(96));
        QCOMPARE(f.asked(), Texts {"A Schedule may hold at most 96 entries.\r\n\r\nPlease Delete an entry before "
                                   "adding another."});
        Pick(f, rid::IDC_SCED_WEEKLY_DAY, "Monday"); // a duplicate is ignored without a word
        Pick(f, rid::IDC_SCED_WEEKLY_TIME, "11:45 PM");
        f.click(rid::IDC_SCED_ADD);
        QCOMPARE(f.asked(), Texts {});
        const Texts listed = page->Entries();
        QVERIFY(std::is_sorted(listed.begin(), listed.end(), EntrySortsBefore));
    }

    // A saved daily schedule is what the scheduler fires at its times; it
    // opens again for editing with its category and entries.
    void savedScheduleFiresAndEditsAgain()
    {
        PageFixture f;
        f.open<Page>(rid::PAGE_CREATE_SCHEDULE);
        f.type(rid::IDC_SCED_NAME, "office");
        f.control<QRadioButton>(rid::IDC_SCED_DAILY)->click();
        for (const char* time : {"12:15 AM", "01:00 PM"}) {
            Pick(f, rid::IDC_SCED_DAILY_TIME, time);
            f.click(rid::IDC_SCED_ADD);
        }
        f.click(rid::IDC_SCED_SAVE);
        AppState& s = f.state();
        const ScheduleDef saved = ScheduleDef::Load(s.store, "office");
        QCOMPARE(saved.category, std::string("SCHD_DAILY"));
        QCOMPARE(saved.entries, Texts({"Time: 01:00 PM", "Time: 12:15 AM"}));

        test::RecordingUi ui;
        Scheduler scheduler(s, ui);
        QCOMPARE(scheduler.EvaluateDueSchedules({0, 13, 3, 9}), Texts {"office"});
        QCOMPARE(scheduler.EvaluateDueSchedules({15, 0, 6, 20}), Texts {"office"});
        QCOMPARE(scheduler.EvaluateDueSchedules({0, 1, 3, 9}), Texts {});
        QCOMPARE(scheduler.EvaluateDueSchedules({15, 12, 3, 9}), Texts {});

        // Edit mode: the stored category and every stored entry, as stored
        // (the scheduler reads the first 96).
        Texts many;
        for (const std::string& time : ScheduleTimes())
            many.push_back(WeeklyEntry("Sunday", time));
        many.push_back(WeeklyEntry("Monday", "09:00 AM"));
        ScheduleDef big {"big", "", ScheduleDef::kWeekly, many};
        QVERIFY(big.Save(s.store));
        auto* page = f.open<Page>(rid::PAGE_CREATE_SCHEDULE, EditorMode::Edit, "big");
        QCOMPARE(page->CurrentCategory(), Page::Weekly);
        QCOMPARE(page->Entries(), many);
        QVERIFY(f.control<QLineEdit>(rid::IDC_SCED_NAME)->isReadOnly());
        QVERIFY2(f.a11yProblems().isEmpty(), qPrintable(f.a11yProblems()));

        page = f.open<Page>(rid::PAGE_CREATE_SCHEDULE, EditorMode::Edit, "office");
        QCOMPARE(page->CurrentCategory(), Page::Daily);
        QCOMPARE(page->Entries(), saved.entries);
        f.type(rid::IDC_SCED_DESCRIPTION, "Twice a day");
        f.asked();
        f.click(rid::IDC_SCED_SAVE);
        QCOMPARE(f.asked(), Texts {"Edited Schedule Saved\r\n\r\nDo you wish to edit another?"});
        QCOMPARE(ScheduleDef::Load(s.store, "office").description, std::string("Twice a day"));
        QCOMPARE(s.totals.schedules, 1);
        QCOMPARE(s.log.Entries().back().message, std::string("Edited Schedule Saved: office"));

        f.open<Page>(rid::PAGE_CREATE_SCHEDULE, EditorMode::Edit, "office");
        f.click(rid::IDC_SCED_CANCEL_EDIT);
        QCOMPARE(s.currentPageId, rid::PAGE_EDIT_SCHEDULES);
        f.open<Page>(rid::PAGE_CREATE_SCHEDULE, EditorMode::None);
        QCOMPARE(f.asked(), Texts {"Invalid New Schedule Entry."});
    }
};

QTEST_MAIN(TestScheduleEditor)
#include "tst_schedule_editor.moc"
