#include "DefinitionsTestSupport.h"
#include "gui/definitions/ConnectionListPage.h"
#include "gui/definitions/BackupListPage.h"
#include "gui/definitions/ScheduleListPage.h"
#include "gui/widgets/ReportList.h"

#include <QHeaderView>
#include <QMenu>
#include <QRegularExpression>

#include <cstdio>

namespace {

using test::PageFixture;
using Texts = std::vector<std::string>;

const DefinitionListKind* Kind(const QString& name)
{
    if (name == "connections")
        return &ConnectionListPage::kKind;
    if (name == "backups")
        return &BackupListPage::kKind;
    return &ScheduleListPage::kKind;
}

// Stores shop, blog and wiki of the kind, in this order, each described.
void DefineThree(AppState& s, NameList list)
{
    for (const std::string name : {"shop", "blog", "wiki"}) {
        auto describe = [&](auto def) {
            def.description = "The " + name + " site";
            def.Save(s.store);
        };
        if (list == NameList::Connections) {
            test::DefineConnection(s, name, {});
            describe(ConnectionDef::Load(s.store, name));
        } else if (list == NameList::Backups) {
            test::DefineBackup(s, name, "shop", "t");
            describe(BackupDef::Load(s.store, name));
        } else {
            test::DefineSchedule(s, name, ScheduleDef::kHourly, "Every Turn of the Hour");
            describe(ScheduleDef::Load(s.store, name));
        }
    }
}

std::string Table(NameList list, const std::string& name)
{
    return list == NameList::Connections ? ConnectionTable(name)
        : list == NameList::Backups      ? BackupTable(name)
                                         : ScheduleTable(name);
}

int Total(AppState& s, NameList list)
{
    return list == NameList::Connections ? s.totals.connections
        : list == NameList::Backups      ? s.totals.backups
                                         : s.totals.schedules;
}

void SelectRow(ReportList* list, int row)
{
    list->setCurrentItem(list->topLevelItem(row));
}

} // namespace

class TestDefinitionLists : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void editAndDelete_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("headings");
        QTest::newRow("connections") << "connections" << QStringList {" Site #", "Site Name", "Site Description"};
        QTest::newRow("backups") << "backups" << QStringList {"Count", "Backup Name", "Backup Description"};
        QTest::newRow("schedules") << "schedules" << QStringList {"Count", "Schedule Name", "Schedule Description"};
    }

    // Each list page: its rows, Edit and Delete by button, key and context
    // menu, and deleting the middle one of three definitions.
    void editAndDelete()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, headings);
        const DefinitionListKind& k = *Kind(kind);
        PageFixture f([&k](AppState& s) { DefineThree(s, k.list); });
        AppState& s = f.state();
        const int total = Total(s, k.list);
        f.open<DefinitionListPage>(k.pageId);
        auto* list = f.control<ReportList>(rid::IDC_DEFLIST_LIST);
        QCOMPARE(f.asked(), Texts {});
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(list->headerItem()->text(i), headings[i]);
            // No column is narrower than its heading.
            QVERIFY(list->columnWidth(i) >= list->header()->sectionSizeHint(i));
        }
        QCOMPARE(test::RowTexts(list),
                 QStringList({"0001 shop The shop site", "0002 blog The blog site", "0003 wiki The wiki site"}));
        QVERIFY2(f.a11yProblems().isEmpty(), qPrintable(f.a11yProblems()));

        f.click(rid::IDC_DEFLIST_EDIT);
        QCOMPARE(MessageHook::Requests().back().kind, MessageKind::SelfClosingAlert);
        QCOMPARE(f.asked(), Texts {k.noSelection});
        f.click(rid::IDC_DEFLIST_DELETE);
        QCOMPARE(MessageHook::Requests().back().kind, MessageKind::Alert);
        QCOMPARE(f.asked(), Texts {k.noSelection});

        SelectRow(list, 1);
        f.click(rid::IDC_DEFLIST_DELETE); // answered No
        QCOMPARE(f.asked(), Texts {k.deleteQuestion});
        QCOMPARE(s.nameLists.Load(k.list).size(), size_t(3));
        QVERIFY(s.store.HasTable(Table(k.list, "blog")));

        MessageHook::SetNextAnswer(1);
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(f.asked(), Texts {k.deleteQuestion});
        QVERIFY(!s.store.HasTable(Table(k.list, "blog")));
        QCOMPARE(s.nameLists.Load(k.list), Texts({"shop", "wiki"}));
        QCOMPARE(Total(s, k.list), total - 1);
        QCOMPARE(s.log.Entries().back().message, std::string(k.deletedLog) + "blog");
        // The page was rebuilt, renumbered.
        test::DeleteClosedPages();
        list = f.control<ReportList>(rid::IDC_DEFLIST_LIST);
        QCOMPARE(test::RowTexts(list), QStringList({"0001 shop The shop site", "0002 wiki The wiki site"}));
        QCOMPARE(s.currentPageId, k.pageId);

        // Enter edits: the editor opens in edit mode on the row.
        SelectRow(list, 1);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(s.currentPageId, k.editorPage);
        QCOMPARE(s.*k.editorMode, EditorMode::Edit);
        QCOMPARE(s.selectedName, std::string("wiki"));

        // The context menu offers the same two.
        auto* page = f.open<DefinitionListPage>(k.pageId);
        SelectRow(page->List(), 0);
        QMenu* menu = page->MakeContextMenu();
        QCOMPARE(menu->actions().size(), 2);
        QCOMPARE(menu->actions()[0]->text(), QString::fromLatin1(k.editItem));
        QCOMPARE(menu->actions()[1]->text(), QString::fromLatin1(k.deleteItem));
        menu->actions()[0]->trigger();
        QCOMPARE(s.currentPageId, k.editorPage);
        QCOMPARE(s.selectedName, std::string("shop"));
    }

    // Deleting a connection or a schedule that backups use names them, and
    // what becomes of them, in the question; one nobody uses asks as ever.
    void deletingWhatBackupsUseNamesThem_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("question");
        QTest::newRow("a connection two backups read from")
            << "connections" << 0
            << "Delete this connection?\r\n\r\nThe backups nightly, weekly read from it: they cannot run until "
               "another connection is chosen for them.";
        QTest::newRow("a connection one backup reads from")
            << "connections" << 1
            << "Delete this connection?\r\n\r\nThe backup monthly reads from it: it cannot run until another "
               "connection is chosen for it.";
        QTest::newRow("a connection nobody uses") << "connections" << 2 << "Delete this connection?";
        QTest::newRow("a schedule two backups run on")
            << "schedules" << 0
            << "Delete this schedule?\r\n\r\nThe backups nightly, monthly run on it: they will no longer run on it.";
        QTest::newRow("a schedule one backup runs on")
            << "schedules" << 1
            << "Delete this schedule?\r\n\r\nThe backup weekly runs on it: it will no longer run on it.";
    }

    void deletingWhatBackupsUseNamesThem()
    {
        QFETCH(QString, kind);
        QFETCH(int, row);
        QFETCH(QString, question);
        const DefinitionListKind& k = *Kind(kind);
        PageFixture f([](AppState& s) {
            for (const char* name : {"shop", "blog", "wiki"})
                test::DefineConnection(s, name, {});
            test::DefineSchedule(s, "hourly", ScheduleDef::kHourly, "Every Turn of the Hour");
            test::DefineSchedule(s, "daily", ScheduleDef::kDaily, "Time: 01:00 AM");
            test::DefineBackup(s, "nightly", "shop", "t", "hourly");
            test::DefineBackup(s, "weekly", "shop", "t", "daily");
            test::DefineBackup(s, "monthly", "blog", "t", "hourly");
        });
        f.open<DefinitionListPage>(k.pageId);
        SelectRow(f.control<ReportList>(rid::IDC_DEFLIST_LIST), row);
        f.click(rid::IDC_DEFLIST_DELETE); // answered No
        QCOMPARE(f.asked(), Texts {question.toStdString()});
        QCOMPARE(f.state().nameLists.Load(k.list).size(), size_t(k.list == NameList::Connections ? 3 : 2));
    }

    // Deleting a backup asks whether its files go too: they are deleted, or
    // set aside under a name no backup reads, so that a new backup of the
    // name never takes them for its own (which files are the backup's:
    // tst_backup_files).
    void deletingABackupDeletesOrSetsAsideItsFiles_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("deleted") << 1;
        QTest::newRow("set aside") << 0;
    }

    void deletingABackupDeletesOrSetsAsideItsFiles()
    {
        QFETCH(int, answer);
        PageFixture f([](AppState& s) {
            test::DefineConnection(s, "shop", {});
            test::DefineBackup(s, "blog", "shop", "t");
            test::DefineBackup(s, "blogger", "shop", "t");
        });
        const std::string dir = f.state().paths.dataDir;
        test::WriteFile(dir + "backup_blog.tbk", "the last file");
        test::WriteFile(dir + "backup_blog.tbk.1", "an older copy");
        test::WriteFile(dir + "backup_blogger.tbk", "another backup's file");

        f.open<DefinitionListPage>(rid::PAGE_EDIT_BACKUPS);
        SelectRow(f.control<ReportList>(rid::IDC_DEFLIST_LIST), 0);
        MessageHook::SetNextAnswer(1);
        MessageHook::SetNextAnswer(answer);
        f.click(rid::IDC_DEFLIST_DELETE);
        QCOMPARE(f.asked(), Texts({"Delete this backup?",
                                   "Delete the backup files of blog too?\r\n\r\nNo keeps them in the data folder "
                                   "under a name beginning with \"deleted_\", which no new backup takes for its own."}));
        QVERIFY(!test::FileExists(dir + "backup_blog.tbk"));
        QVERIFY(!test::FileExists(dir + "backup_blog.tbk.1"));
        QCOMPARE(test::ReadFile(dir + "backup_blogger.tbk"), std::string("another backup's file"));
        const auto& entries = f.state().log.Entries();
        QCOMPARE(entries[entries.size() - 2].message, std::string("Backup Deleted: blog"));
        std::vector<std::string> setAside;
        for (const std::string& file : test::FilesIn(dir)) {
            if (file.starts_with("deleted_"))
                setAside.push_back(file);
        }
        if (answer == 1) {
            QCOMPARE(entries.back().message, std::string("Backup Files Deleted: blog"));
            QVERIFY(setAside.empty());
        } else {
            QCOMPARE(setAside.size(), size_t(2));
            QVERIFY(QRegularExpression("^deleted_[0-9]{8}_[0-9]{6}_backup_blog\\.tbk$")
                        .match(QString::fromStdString(setAside[0]))
                        .hasMatch());
            QCOMPARE(test::ReadFile(dir + setAside[0]), std::string("the last file"));
            QCOMPARE(entries.back().message,
                     "Backup Files Set Aside: blog - " + setAside[0] + ", " + setAside[1]);
        }

        // Without files there is nothing to ask (the page, rebuilt without the
        // last backup, says the list is empty).
        f.open<DefinitionListPage>(rid::PAGE_EDIT_BACKUPS);
        QVERIFY(std::remove((dir + "backup_blogger.tbk").c_str()) == 0);
        SelectRow(f.control<ReportList>(rid::IDC_DEFLIST_LIST), 0);
        MessageHook::SetNextAnswer(1);
        f.click(rid::IDC_DEFLIST_DELETE);
        QCOMPARE(f.asked(), Texts({"Delete this backup?", BackupListPage::kKind.emptyAlert}));
        QCOMPARE(f.state().log.Entries().back().message, std::string("Backup Deleted: blogger"));
    }

    void emptyLists()
    {
        PageFixture f;
        for (const char* kind : {"connections", "backups", "schedules"}) {
            f.open<DefinitionListPage>(Kind(kind)->pageId);
            QCOMPARE(f.asked(), Texts {Kind(kind)->emptyAlert});
            QCOMPARE(f.control<ReportList>(rid::IDC_DEFLIST_LIST)->topLevelItemCount(), 0);
        }
    }

    // A scheduled tick that fires while the Delete question is open (and
    // sets selectedName to the backup it runs) does not change which
    // backup is deleted.
    void aTickDuringTheQuestionDeletesTheRowAskedAbout()
    {
        test::GuiHooks hooks;
        MessageHook::Enable(false);
        test::TempDataDir dir;
        test::PrepareEarlierRun(dir, [](AppState& s) {
            test::DefineConnection(s, "unreachable", {"127.0.0.1", test::ClosedPort(), "db", "u", "p"});
            test::DefineSchedule(s, "hourly", ScheduleDef::kHourly, "Every Turn of the Hour");
            test::DefineBackup(s, "first", "unreachable", "t");
            test::DefineBackup(s, "second", "unreachable", "t");
            test::DefineBackup(s, "third", "unreachable", "t", "hourly");
        });
        // Started a minute before the tick.
        std::time_t now = test::Utc(2026, 12, 8, 9, 59);
        qputenv("TZ", "UTC");
        tzset();
        MainWindow window(dir.path(), nullptr, [&now] { return now; });
        now = test::Utc(2026, 12, 8, 10, 0);
        window.show();
        AppState& s = window.State();
        window.ForcePage(rid::PAGE_EDIT_BACKUPS);
        auto* page = qobject_cast<DefinitionListPage*>(window.CurrentPage());
        SelectRow(page->List(), 1);

        bool ticked = false;
        std::string nameDuringQuestion;
        QObject::connect(&window, &MainWindow::scheduleTick, [&ticked] { ticked = true; });
        test::WhenModalShows([&](QWidget* box) {
            window.ScheduleTimer()->start(0);
            QTRY_VERIFY(ticked);
            nameDuringQuestion = s.selectedName;
            box->findChild<QPushButton*>(ControlName(rid::IDC_MESSAGE_YES))->click();
        });
        page->OnDelete();
        QCOMPARE(nameDuringQuestion, std::string("third"));
        QCOMPARE(s.log.Entries().back().message, std::string("Backup Deleted: second"));
        QCOMPARE(s.nameLists.Load(NameList::Backups), Texts({"first", "third"}));
        QVERIFY(s.store.HasTable(BackupTable("third")));
    }
};

QTEST_MAIN(TestDefinitionLists)
#include "tst_definition_lists.moc"
