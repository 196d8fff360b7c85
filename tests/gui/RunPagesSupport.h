#pragma once

#include "core/engine/EngineTestSupport.h"
#include "gui/app/GuiTestSupport.h"
#include "gui/app/PageTable.h"
#include "gui/widgets/LabeledValue.h"
#include "gui/widgets/ReportList.h"
#include "resources/ResourceIds.h"

#include <QPushButton>
#include <QTimer>

#include <functional>
#include <memory>

namespace test {

// A window on a fresh data directory, with its message boxes and prompts
// answered by the hooks, and a scratch database with a table `t` (int key
// `id`, varchar `v`) of `rows` rows behind the connection "local".
struct RunPages {
    explicit RunPages(const std::string& prefix, int rows, Clock clock = SystemClock())
        : db(prefix)
    {
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(20))");
        FillRows(db, "t", rows);
        PrepareEarlierRun(dir, [this](AppState& state) { DefineConnection(state, "local", db.params()); });
        window = std::make_unique<MainWindow>(dir.path(), nullptr, std::move(clock));
        window->show();
    }

    AppState& state() { return window->State(); }
    // Adds a backup of "local" and rebuilds the menu for it.
    void backup(const std::string& name, const std::string& tables = "t", const std::string& schedules = {})
    {
        DefineBackup(state(), name, "local", tables, schedules);
    }
    // Adds the schedule "hourly", due at every full hour.
    void hourlySchedule()
    {
        ScheduleDef hourly;
        hourly.name = "hourly";
        hourly.category = ScheduleDef::kHourly;
        hourly.Save(state().store);
        state().nameLists.Add(NameList::Schedules, "hourly");
    }
    // Shows a page afresh and gives it as its class.
    template <class Page>
    Page* show(int pageId)
    {
        window->ForcePage(pageId);
        return qobject_cast<Page*>(window->CurrentPage());
    }
    std::string file(const std::string& name) const { return ReadFile(BackupFilePath(dir.path(), name)); }
    BackupDef saved(const std::string& name) { return BackupDef::Load(state().store, name); }
    std::vector<std::string> log()
    {
        std::vector<std::string> texts;
        for (const auto& e : state().log.Entries())
            texts.push_back(e.message);
        return texts;
    }

    GuiHooks hooks;
    ScratchDatabase db;
    TempDataDir dir;
    std::unique_ptr<MainWindow> window;
};

// Selects the row of backup `name` (column 1).
inline void Select(ReportList* list, const std::string& name)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(1).toStdString() == name)
            list->setCurrentItem(list->topLevelItem(i));
    }
}

// Calls `act` whenever a run lets events through, until it returns true or
// the object goes.
class WhileRunning {
public:
    explicit WhileRunning(std::function<bool()> act)
    {
        QObject::connect(&timer_, &QTimer::timeout, [this, act] {
            if (act())
                timer_.stop();
        });
        timer_.start(0);
    }

private:
    QTimer timer_;
};

inline QString ValueText(QWidget* page, int id)
{
    auto* value = page->findChild<ValueLabel*>(ControlName(id));
    return value ? value->text() : QStringLiteral("<missing>");
}

inline QPushButton* Button(QWidget* page, int id)
{
    return page->findChild<QPushButton*>(ControlName(id));
}

} // namespace test
