#include "EngineTestSupport.h"
#include "core/engine/ScheduleEntries.h"
#include "core/engine/Scheduler.h"
#include "core/history/LastFailure.h"
#include "core/state/BackupLock.h"
#include "core/store/StoreKeys.h"

#include <QTest>

namespace {

using test::Utc;

// ScheduleIsDue with the entries given as a bar list.
bool Due(const std::string& category, const std::string& entries, const ScheduleMoment& moment)
{
    return ScheduleIsDue(category, SplitBarList(entries), moment);
}

ScheduleMoment At(std::time_t t)
{
    std::tm local {};
    localtime_r(&t, &local);
    return MomentFromLocalTime(local);
}

// A data directory with schedules and backups; the backups name no
// connection, so none of them is ever run here.
struct Fixture : test::RunFixture {
    std::vector<bool> indicator;
    Scheduler scheduler {state, ui, [this](bool shown) { indicator.push_back(shown); }};

    void backup(const std::string& name, const std::string& schedules)
    {
        RunFixture::backup(name, "", "t", schedules);
    }
    std::vector<std::string> messages() const
    {
        std::vector<std::string> texts;
        for (const auto& e : state.log.Entries())
            texts.push_back(e.message);
        return texts;
    }
};

} // namespace

class TestScheduler : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    void entriesAreParsed_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<int>("day"); // weekday or day of month
        QTest::newRow("08:15 AM") << "daily" << "Time: 08:15 AM" << 8 << 15 << 0;
        QTest::newRow("12:00 AM is midnight") << "daily" << "Time: 12:00 AM" << 0 << 0 << 0;
        QTest::newRow("12:30 PM is noon") << "daily" << "Time: 12:30 PM" << 12 << 30 << 0;
        QTest::newRow("01:30 PM") << "daily" << "Time: 01:30 PM" << 13 << 30 << 0;
        QTest::newRow("11:45 PM") << "daily" << "Time: 11:45 PM" << 23 << 45 << 0;
        QTest::newRow("no suffix") << "daily" << "Time: 13:05" << 13 << 5 << 0;
        QTest::newRow("nonsense") << "daily" << "whatever" << 0 << 0 << 0;
        QTest::newRow("Sunday") << "weekly" << "Day: Sunday - Time: 09:00 AM" << 9 << 0 << 1;
        QTest::newRow("Saturday") << "weekly" << "Day: Saturday - Time: 12:15 AM" << 0 << 15 << 7;
        QTest::newRow("unknown weekday") << "weekly" << "Day: Funday - Time: 09:00 AM" << 9 << 0 << kUnknownWeekday;
        QTest::newRow("lower case weekday") << "weekly" << "Day: monday - Time: 09:00 AM" << 9 << 0 << kUnknownWeekday;
        QTest::newRow("1st") << "monthly" << "Date: 1st - Time: 12:15 AM" << 0 << 15 << 1;
        QTest::newRow("11th") << "monthly" << "Date: 11th - Time: 01:00 PM" << 13 << 0 << 11;
        QTest::newRow("22nd") << "monthly" << "Date: 22nd - Time: 01:00 PM" << 13 << 0 << 22;
        QTest::newRow("23rd") << "monthly" << "Date: 23rd - Time: 01:00 PM" << 13 << 0 << 23;
        QTest::newRow("31st") << "monthly" << "Date: 31st - Time: 09:00 AM" << 9 << 0 << 31;
        QTest::newRow("unknown ordinal") << "monthly" << "Date: 32nd - Time: 09:00 AM" << 9 << 0 << kUnknownDay;
        QTest::newRow("wrong ordinal") << "monthly" << "Date: 2th - Time: 09:00 AM" << 9 << 0 << kUnknownDay;
    }

    void entriesAreParsed()
    {
        QFETCH(QString, kind);
        QFETCH(QString, entry);
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(int, day);
        const std::string text = entry.toStdString();
        const EntryTime t = kind == "daily" ? ParseDailyEntry(text)
            : kind == "weekly"              ? ParseWeeklyEntry(text)
                                            : ParseMonthlyEntry(text);
        QCOMPARE(t.hour, hour);
        QCOMPARE(t.minute, minute);
        QCOMPARE(kind == "weekly" ? t.weekday : kind == "monthly" ? t.day : 0, day);
    }

    // The schedule editor offers these pickers and builds its entries with
    // these functions: every entry it can make parses back to its own time.
    void everyEntryTextParsesBackToItsTime()
    {
        const std::vector<std::string>& times = ScheduleTimes();
        const std::vector<std::string>& weekdays = ScheduleWeekdays();
        const std::vector<std::string>& days = ScheduleDays();
        QCOMPARE(times.size(), size_t(96));
        QCOMPARE(times.front(), std::string("12:15 AM"));
        QCOMPARE(times[3], std::string("01:00 AM"));
        QCOMPARE(times[47], std::string("12:00 PM"));
        QCOMPARE(times[94], std::string("11:45 PM"));
        QCOMPARE(times.back(), std::string("12:00 AM"));
        QCOMPARE(weekdays.size(), size_t(7));
        QCOMPARE(days.size(), size_t(31));
        const std::vector<std::pair<size_t, std::string>> ordinals = {
            {0, "1st"},   {1, "2nd"},   {2, "3rd"},   {3, "4th"},   {10, "11th"}, {11, "12th"},
            {12, "13th"}, {20, "21st"}, {21, "22nd"}, {22, "23rd"}, {29, "30th"}, {30, "31st"}};
        for (const auto& [i, text] : ordinals)
            QCOMPARE(days[i], text);
        QCOMPARE(DailyEntry("08:15 AM"), std::string("Time: 08:15 AM"));
        QCOMPARE(WeeklyEntry("Monday", "11:45 PM"), std::string("Day: Monday - Time: 11:45 PM"));
        QCOMPARE(MonthlyEntry("1st", "12:15 AM"), std::string("Date: 1st - Time: 12:15 AM"));

        for (size_t i = 0; i < times.size(); ++i) {
            // Time i is (i + 1) quarter hours past midnight.
            const int minutes = int((i + 1) * 15 % (24 * 60));
            const ScheduleMoment moment {minutes % 60, minutes / 60, 1, 1};
            const EntryTime daily = ParseDailyEntry(DailyEntry(times[i]));
            QCOMPARE(daily.hour * 60 + daily.minute, minutes);
            QVERIFY(Due(ScheduleDef::kDaily, DailyEntry(times[i]), moment));
            for (size_t w = 0; w < weekdays.size(); ++w) {
                const EntryTime weekly = ParseWeeklyEntry(WeeklyEntry(weekdays[w], times[i]));
                QCOMPARE(weekly.hour * 60 + weekly.minute, minutes);
                QCOMPARE(weekly.weekday, int(w) + 1);
            }
            for (size_t d = 0; d < days.size(); ++d) {
                const EntryTime monthly = ParseMonthlyEntry(MonthlyEntry(days[d], times[i]));
                QCOMPARE(monthly.hour * 60 + monthly.minute, minutes);
                QCOMPARE(monthly.day, int(d) + 1);
            }
        }
    }

    void dueTimes()
    {
        using namespace keys;
        // Hourly: only at the turn of the hour.
        QVERIFY(Due(ScheduleDef::kHourly, "", At(Utc(2026, 12, 7, 5, 0))));
        for (int m : {15, 30, 45, 1})
            QVERIFY(!Due(ScheduleDef::kHourly, "", At(Utc(2026, 12, 7, 5, m))));

        QVERIFY(Due(ScheduleDef::kDaily, "Time: 08:15 AM", At(Utc(2026, 12, 7, 8, 15))));
        QVERIFY(!Due(ScheduleDef::kDaily, "Time: 08:15 AM", At(Utc(2026, 12, 7, 20, 15))));
        QVERIFY(Due(ScheduleDef::kDaily, "Time: 12:00 AM", At(Utc(2026, 12, 7, 0, 0))));
        QVERIFY(!Due(ScheduleDef::kDaily, "Time: 12:00 AM", At(Utc(2026, 12, 7, 12, 0))));
        QVERIFY(Due(ScheduleDef::kDaily, "Time: 12:30 PM", At(Utc(2026, 12, 7, 12, 30))));
        QVERIFY(Due(ScheduleDef::kDaily, "Time: 08:15 AM|Time: 01:30 PM", At(Utc(2026, 12, 7, 13, 30))));
        // A tick that fires late, in the minute after its quarter hour, matches nothing.
        QVERIFY(!Due(ScheduleDef::kDaily, "Time: 01:30 PM", At(Utc(2026, 12, 7, 13, 31))));
        QVERIFY(!Due(ScheduleDef::kHourly, "", At(Utc(2026, 12, 7, 14, 1))));

        // Sunday at 09:00, on Sundays only (6 December 2026 is a Sunday).
        const std::string sunday = "Day: Sunday - Time: 09:00 AM";
        QVERIFY(Due(ScheduleDef::kWeekly, sunday, At(Utc(2026, 12, 6, 9, 0))));
        QVERIFY(Due(ScheduleDef::kWeekly, sunday, At(Utc(2026, 12, 13, 9, 0))));
        QVERIFY(!Due(ScheduleDef::kWeekly, sunday, At(Utc(2026, 12, 7, 9, 0))));
        QVERIFY(!Due(ScheduleDef::kWeekly, sunday, At(Utc(2026, 12, 6, 9, 15))));

        // The 31st at 09:00: due on exactly the seven 31sts of the year.
        std::vector<int> months;
        for (std::time_t t = Utc(2027, 1, 1, 9, 0); t < Utc(2028, 1, 1, 0, 0); t += 86400) {
            const ScheduleMoment m = At(t);
            if (Due(ScheduleDef::kMonthly, "Date: 31st - Time: 09:00 AM", m)) {
                QCOMPARE(m.day, 31);
                std::tm local {};
                localtime_r(&t, &local);
                months.push_back(local.tm_mon + 1);
            }
        }
        QCOMPARE(months, (std::vector<int> {1, 3, 5, 7, 8, 10, 12}));

        // Unknown categories are never due; entries past the 96th are not read.
        QVERIFY(!Due("SCHD_YEARLY", "Time: 09:00 AM", At(Utc(2026, 12, 7, 9, 0))));
        std::string many;
        for (int i = 0; i < 96; ++i)
            many += "Time: 03:00 AM|";
        QVERIFY(!Due(ScheduleDef::kDaily, many + "Time: 09:00 AM", At(Utc(2026, 12, 7, 9, 0))));
        QVERIFY(Due(ScheduleDef::kDaily, many + "Time: 09:00 AM", At(Utc(2026, 12, 7, 3, 0))));
    }

    void dueBackupsAreCollectedOnceInListOrder()
    {
        Fixture f;
        f.schedule("morning", ScheduleDef::kDaily, "Time: 09:00 AM");
        f.schedule("hourly", ScheduleDef::kHourly, "Every Turn of the Hour");
        f.schedule("evening", ScheduleDef::kDaily, "Time: 09:00 PM");
        f.backup("zeta", "hourly");
        f.backup("both", "morning|hourly");
        f.backup("none", "");
        f.backup("gone", "deleted_schedule|evening");
        f.backup("alpha", "||morning|");

        const auto due = f.scheduler.EvaluateDueSchedules(At(Utc(2026, 12, 7, 9, 0)));
        QCOMPARE(due, (std::vector<std::string> {"morning", "hourly"}));
        QCOMPARE(f.scheduler.CollectDueBackups(due), (std::vector<std::string> {"zeta", "both", "alpha"}));
        QVERIFY(f.scheduler.EvaluateDueSchedules(At(Utc(2026, 12, 7, 9, 15))).empty());
        // Schedule names compare exactly.
        QVERIFY(f.scheduler.CollectDueBackups({"Morning"}).empty());
    }

    // A due backup that cannot start is skipped, each for its reason, and
    // the sequence goes on with the next: a manual run going here (its pump
    // let the tick in), a restore going here, or a run of the same backup
    // in another process (its lock). Each skip is logged, kept as the last
    // failure and told to the failure handler.
    void backupsThatCannotStartAreSkipped_data()
    {
        QTest::addColumn<QString>("blocker");
        QTest::addColumn<QString>("reason");
        QTest::newRow("manual run") << "backup" << "Another Backup Running";
        QTest::newRow("restore") << "restore" << "Restore Running";
        QTest::newRow("backup elsewhere") << "backup lock" << "Backup Running in Another Process";
        QTest::newRow("restore elsewhere") << "restore lock" << "Restore Running in Another Process";
    }
    void backupsThatCannotStartAreSkipped()
    {
        QFETCH(QString, blocker);
        QFETCH(QString, reason);
        Fixture f;
        std::vector<FailureNotice> notices;
        f.scheduler.SetFailureHandler([&notices](const FailureNotice& n) { notices.push_back(n); });
        f.schedule("hourly", ScheduleDef::kHourly, "Every Turn of the Hour");
        f.backup("first", "hourly");
        f.backup("second", "hourly");
        f.state.backupRunning = blocker == "backup";
        f.state.restoreRunning = blocker == "restore";
        // Another process's run holds each backup's lock (a lock taken
        // through another open file shuts out this one as well).
        BackupLock locks[2];
        if (blocker.endsWith("lock")) {
            const auto use = blocker.startsWith("restore") ? BackupLock::Use::Restore : BackupLock::Use::Backup;
            QCOMPARE(locks[0].Acquire(f.dir.path(), "first", use), BackupLock::Result::Acquired);
            QCOMPARE(locks[1].Acquire(f.dir.path(), "second", use), BackupLock::Result::Acquired);
        }
        f.now = Utc(2026, 12, 7, 10, 0);
        QCOMPARE(f.scheduler.Tick(), 1);

        const std::string why = reason.toStdString();
        QCOMPARE(f.messages(), (std::vector<std::string> {"Backup Skipped: first - " + why,
                                                          "Backup Skipped: second - " + why}));
        QCOMPARE(f.scheduler.LastOutcomes().size(), size_t(2));
        QCOMPARE(f.scheduler.LastOutcomes()[1].status, RunStatus::Refused);
        QCOMPARE(notices.size(), size_t(2));
        QCOMPARE(notices[0].backupName, std::string("first"));
        QCOMPARE(notices[1].reason, "Skipped - " + why);
        QCOMPARE(notices[1].when, f.now);
        const LastFailure last = LoadLastFailure(f.state.store);
        QCOMPARE(last.name, std::string("second"));
        QCOMPARE(last.time, std::string("Monday, December 07, 2026 - 10:00:00 AM"));
        QCOMPARE(last.reason, "Skipped - " + why);
        QCOMPARE(f.indicator, (std::vector<bool> {true, false}));
        QCOMPARE(f.state.backupRunning, blocker == "backup");
        QCOMPARE(f.state.runKind, std::string("Manual"));
        QVERIFY(!f.state.sequenceBusy);
        QVERIFY(f.state.log.logChanged);
        if (blocker != "backup")
            return;

        // Nothing is due a minute later, and a busy sequence is not re-entered.
        f.state.log.logChanged = false;
        f.now = Utc(2026, 12, 7, 10, 1);
        QCOMPARE(f.scheduler.Tick(), 0);
        f.now = Utc(2026, 12, 7, 11, 0);
        f.state.sequenceBusy = true;
        QCOMPARE(f.scheduler.Tick(), 0);
        QCOMPARE(f.state.log.Count(), size_t(2));
        QCOMPARE(f.indicator.size(), size_t(2));
        QVERIFY(!f.state.log.logChanged);
    }
};

QTEST_GUILESS_MAIN(TestScheduler)
#include "tst_scheduler.moc"
