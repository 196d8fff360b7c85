// When scheduled backups are due, with the clock injected and the local
// zone Europe/Berlin (summer time from the last Sunday of March to the last
// Sunday of October): each slot once per local occurrence, the slots of a
// gap made up once, the clock going back, and the catch-up at start.
#include "core/engine/EngineTestSupport.h"
#include "core/engine/DueSlots.h"
#include "core/engine/ScheduleSlots.h"
#include "core/history/TimeTexts.h"

#include <QRegularExpression>
#include <QTest>


namespace {

using test::Utc;

// An instant as "YYYY-MM-DD HH:MM" in UTC.
QString UtcOf(std::time_t t)
{
    std::tm fields {};
    gmtime_r(&t, &fields);
    return QString::fromStdString(FormatTimeFields(fields, "%Y-%m-%d %H:%M"));
}

// "YYYY-MM-DD HH:MM" read as UTC.
std::time_t UtcText(const QString& text)
{
    const QStringList parts = text.split(QRegularExpression(QStringLiteral("[- :]")));
    return Utc(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt(), parts[4].toInt());
}

// A store with schedules and backups (named for what they use); the backups
// are never run here, only evaluated and recorded.
struct Book {
    test::TempDataDir dir;
    SettingsStore store {dir.file("vorda.db")};
    Totals totals;
    NameLists lists {store, totals};

    void schedule(const std::string& name, const char* category, const std::string& entries)
    {
        ScheduleDef s;
        s.name = name;
        s.category = category;
        s.entries = SplitBarList(entries);
        s.Save(store);
        lists.Add(NameList::Schedules, name);
    }
    void backup(const std::string& name, const std::string& schedules, const std::string& lastBackup = {})
    {
        BackupDef b;
        b.name = name;
        b.schedules = SplitBarList(schedules);
        b.Save(store);
        BackupDef::StoreLastBackup(store, name, lastBackup.empty() ? BackupDef::kNeverProcessed : lastBackup);
        lists.Add(NameList::Backups, name);
    }
    // Every backup an evaluation found, as "<name> <latest slot>" with
    // " missed" for a missed one; each is recorded as run.
    std::vector<std::string> run(const SlotEvaluation& evaluation, std::time_t now)
    {
        std::vector<std::string> runs;
        DueSlots rules(store, lists);
        for (const DueBackup& backup : evaluation.backups) {
            runs.push_back(backup.name + " " + backup.Latest().key + (backup.missed ? " missed" : ""));
            rules.RecordRun(backup, now);
        }
        return runs;
    }
    std::vector<std::string> tick(std::time_t now) { return run(DueSlots(store, lists).Evaluate(now), now); }
};

// The schedules every timeline uses: one daily time each, and hourly.
void DailySchedules(Book& book)
{
    for (const char* time : {"02:00", "02:15", "02:30", "02:45", "03:00", "09:30", "09:45", "10:00", "10:15", "10:30",
                             "10:45", "11:00"})
        book.schedule("at_" + std::string(time).erase(2, 1), ScheduleDef::kDaily, std::string("Time: ") + time + " AM");
    book.schedule("hourly", ScheduleDef::kHourly, "Every Turn of the Hour");
    book.schedule("the_31st", ScheduleDef::kMonthly, "Date: 31st - Time: 12:15 AM");
}

} // namespace

class TestScheduleSlots : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    // Each timeline is a list of evaluations (the ticks the window's timer
    // gives, in UTC) and the backups each one runs. The backups are named
    // for their schedules: "at_0215_0230" uses at_0215 and at_0230.
    void slotsRunOncePerLocalOccurrence_data()
    {
        QTest::addColumn<QStringList>("backups");
        QTest::addColumn<QStringList>("ticks");
        QTest::addColumn<QStringList>("runs"); // "#<tick> <backup> <slot>[ missed]"
        const QStringList night {"at_0200", "at_0230", "at_0300", "hourly"};

        // 03:00 CEST becomes 02:00 CET at 01:00 UTC: 02:00 and 02:30 come
        // twice and run at their first occurrence; the hour's turn too.
        QStringList autumn;
        for (int q = 0; q <= 12; ++q)
            autumn << UtcOf(Utc(2026, 10, 24, 23, 0) + q * 15 * 60);
        QTest::newRow("autumn: the hour that repeats")
            << night << autumn
            << QStringList {"#0 hourly 2026-10-25 01:00",  "#4 at_0200 2026-10-25 02:00", "#4 hourly 2026-10-25 02:00",
                            "#6 at_0230 2026-10-25 02:30", "#12 at_0300 2026-10-25 03:00",
                            "#12 hourly 2026-10-25 03:00"};

        // 02:00 CET becomes 03:00 CEST at 01:00 UTC: the times jumped over
        // run at the first tick after the jump, on time.
        QTest::newRow("spring: the hour that does not exist")
            << night
            << QStringList {"2026-03-28 23:45", "2026-03-29 00:00", "2026-03-29 00:15", "2026-03-29 00:30",
                            "2026-03-29 00:45", "2026-03-29 01:00", "2026-03-29 01:15"}
            << QStringList {"#1 hourly 2026-03-29 01:00", "#5 at_0200 2026-03-29 02:00", "#5 at_0230 2026-03-29 02:30",
                            "#5 at_0300 2026-03-29 03:00", "#5 hourly 2026-03-29 03:00"};

        // At 10:05 (CET) the clock steps to 10:45; the timer, armed for
        // 10:15, fires ten minutes later at 10:55. The slots passed in the
        // step are made up once; 10:45, of this quarter hour, is on time.
        QTest::newRow("a step forward of 40 minutes")
            << QStringList {"at_1015_1030", "at_1045", "at_1100"}
            << QStringList {"2026-12-07 09:00", "2026-12-07 09:55", "2026-12-07 10:00"}
            << QStringList {"#1 at_1015_1030 2026-12-07 10:30 missed", "#1 at_1045 2026-12-07 10:45",
                            "#2 at_1100 2026-12-07 11:00"};

        // At 10:05 the clock steps back to 09:25; the timer fires at 09:35,
        // then at the quarter hours. What ran before the step does not run
        // again; 10:15 runs when it comes.
        QTest::newRow("a step back of 40 minutes")
            << QStringList {"at_0930", "at_0945", "at_1000", "at_1015"}
            << QStringList {"2026-12-07 08:30", "2026-12-07 08:45", "2026-12-07 09:00", "2026-12-07 08:35",
                            "2026-12-07 08:45", "2026-12-07 09:00", "2026-12-07 09:15"}
            << QStringList {"#0 at_0930 2026-12-07 09:30", "#1 at_0945 2026-12-07 09:45",
                            "#2 at_1000 2026-12-07 10:00", "#6 at_1015 2026-12-07 10:15"};

        // The 02:00 sequence runs until 02:40; the next tick, at 02:45,
        // makes up the quarter hours it overlapped, each backup once.
        QTest::newRow("a sequence of 40 minutes")
            << QStringList {"at_0200", "at_0215_0230", "at_0245", "at_0215"}
            << QStringList {"2026-12-07 01:00", "2026-12-07 01:45"}
            << QStringList {"#0 at_0200 2026-12-07 02:00", "#1 at_0215_0230 2026-12-07 02:30 missed",
                            "#1 at_0245 2026-12-07 02:45", "#1 at_0215 2026-12-07 02:15 missed"};

        // The clock was two days ahead and is set back from 10 December
        // 02:05 to 8 December 02:05: the days it passes again run as usual.
        QTest::newRow("a clock set back by two days")
            << QStringList {"at_0200"}
            << QStringList {"2026-12-09 01:00", "2026-12-10 01:00", "2026-12-08 01:15", "2026-12-09 01:00",
                            "2026-12-10 01:00"}
            << QStringList {"#0 at_0200 2026-12-09 02:00", "#1 at_0200 2026-12-10 02:00", "#3 at_0200 2026-12-09 02:00",
                            "#4 at_0200 2026-12-10 02:00"};

        // A monthly time on the 31st: not on 1 December (there is no 31
        // November), on 31 December.
        QTest::newRow("the 31st") << QStringList {"the_31st"} << QStringList {"2026-11-30 23:15", "2026-12-30 23:15"}
                                  << QStringList {"#1 the_31st 2026-12-31 00:15"};

        // A computer asleep from 01:05 to 09:05 (the timer does not count
        // the sleep): each backup due in the gap runs once, for its latest
        // slot, at once.
        QTest::newRow("a sleep of eight hours")
            << QStringList {"at_0200_0300", "hourly", "at_0930"}
            << QStringList {"2026-12-07 00:00", "2026-12-07 08:05", "2026-12-07 08:15", "2026-12-07 08:30"}
            << QStringList {"#0 hourly 2026-12-07 01:00", "#1 at_0200_0300 2026-12-07 03:00 missed",
                            "#1 hourly 2026-12-07 09:00", "#3 at_0930 2026-12-07 09:30"};
    }

    void slotsRunOncePerLocalOccurrence()
    {
        QFETCH(QStringList, backups);
        QFETCH(QStringList, ticks);
        QFETCH(QStringList, runs);
        Book book;
        DailySchedules(book);
        for (const QString& name : backups) {
            // "at_0215_0230" uses at_0215 and at_0230; another name, the
            // schedule of that name.
            std::string schedules;
            if (!name.startsWith(QStringLiteral("at_")))
                schedules = name.toStdString();
            else
                for (const QString& time : name.split(QLatin1Char('_')).mid(1))
                    schedules += (schedules.empty() ? "at_" : "|at_") + time.toStdString();
            book.backup(name.toStdString(), schedules);
        }
        QStringList seen;
        for (int i = 0; i < ticks.size(); ++i) {
            for (const std::string& run : book.tick(UtcText(ticks[i])))
                seen << QStringLiteral("#%1 %2").arg(i).arg(QString::fromStdString(run));
        }
        QCOMPARE(seen, runs);
    }

    // Vorda was off from 22:00 until 08:00. At start, each backup whose last
    // slot of the past seven days is later than its last run runs once,
    // marked missed; then the ticks go on from the start.
    void aStartCatchesUpWhatRanBefore_data()
    {
        QTest::addColumn<bool>("catchUp");
        QTest::addColumn<QStringList>("atStart");
        QTest::newRow("catching up") << true
                                     << QStringList {"nightly 2026-12-07 02:00 missed", "twice 2026-12-07 07:30 missed",
                                                     "weekly 2026-12-01 09:00 missed",
                                                     "ran_ahead 2026-12-07 02:00 missed"};
        QTest::newRow("not catching up") << false << QStringList {};
    }

    void aStartCatchesUpWhatRanBefore()
    {
        QFETCH(bool, catchUp);
        QFETCH(QStringList, atStart);
        Book book;
        DailySchedules(book);
        book.schedule("twice", ScheduleDef::kDaily, "Time: 03:00 AM|Time: 07:30 AM");
        book.schedule("tuesday", ScheduleDef::kWeekly, "Day: Tuesday - Time: 09:00 AM");
        book.schedule("the_27th", ScheduleDef::kMonthly, "Date: 27th - Time: 09:00 AM");
        // Its last slot (the last run the scheduler made) was yesterday's.
        book.backup("nightly", "at_0200");
        DueSlots(book.store, book.lists).RecordRun({"nightly", {{"2026-12-06 02:00", Utc(2026, 12, 6, 1, 0)}}},
                                                   Utc(2026, 12, 6, 1, 0));
        book.backup("twice", "twice", "Sunday, December 06, 2026 - 07:30:05 AM");
        book.backup("never_ran", "at_0200");
        // Run by hand after its slot.
        book.backup("by_hand", "at_0200", "Monday, December 07, 2026 - 05:00:00 AM");
        // 1 December 2026 is a Tuesday, six days before.
        book.backup("weekly", "tuesday", "Tuesday, November 24, 2026 - 09:00:00 AM");
        // Its slot, 27 November, is more than seven days before.
        book.backup("monthly", "the_27th", "Tuesday, October 27, 2026 - 09:00:00 AM");
        // Its last run is later than now: the clock went back since.
        book.backup("ran_ahead", "at_0200", "Friday, December 11, 2026 - 02:00:00 AM");
        // Its one run was cancelled: nothing to measure from.
        book.backup("cancelled", "at_0200", "Backup Cancelled - Backup File Corrupt");
        book.backup("at_0930", "at_0930");
        const std::time_t off = Utc(2026, 12, 6, 21, 0);
        const std::time_t start = Utc(2026, 12, 7, 7, 0);
        QVERIFY(book.tick(off).empty());

        const QStringList caught = [&] {
            QStringList runs;
            for (const std::string& run : book.run(DueSlots(book.store, book.lists).CatchUpAtStart(start, catchUp), start))
                runs << QString::fromStdString(run);
            return runs;
        }();
        QCOMPARE(caught, atStart);
        QCOMPARE(DueSlots(book.store, book.lists).LastEvaluation(), std::optional(start));
        // Another start at once (another process on the same folder) finds
        // everything done; the next tick looks back to the start only.
        QVERIFY(DueSlots(book.store, book.lists).CatchUpAtStart(start + 60, catchUp).backups.empty());
        QVERIFY(book.tick(start + 15 * 60).empty());
        QCOMPARE(book.tick(start + 90 * 60), std::vector<std::string> {"at_0930 2026-12-07 09:30"});
    }
};

QTEST_GUILESS_MAIN(TestScheduleSlots)
#include "tst_scheduleslots.moc"
