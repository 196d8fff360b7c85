#include "core/store/Configuration.h"

#include "core/store/Numbers.h"
#include "core/store/StoreKeys.h"

#include <algorithm>

Configuration::Configuration(const SettingsStore& store, Totals& totals)
    : store_(store)
    , totals_(totals)
{
}

void Configuration::LoadFlag(const char* key, bool& setting) const
{
    const std::string text = store_.GetValue(keys::kConfigurationTable, key);
    if (!text.empty())
        setting = text == keys::kTrue;
}

void Configuration::StoreFlag(const char* key, bool on) const
{
    store_.SetValue(keys::kConfigurationTable, key, on ? keys::kTrue : keys::kFalse);
}

void Configuration::LoadConfiguration()
{
    Settings& s = settings;
    LoadFlag(keys::kCompStart, s.compStart);
    LoadFlag(keys::kStartMin, s.startMin);
    LoadFlag(keys::kMinClose, s.minClose);
    // A missing quick start setting means the screen is wanted.
    {
        const std::string text = store_.GetValue(keys::kConfigurationTable, keys::kFirstEntry);
        s.firstEntry = text.empty() || text == keys::kTrue;
    }
    LoadFlag(keys::kShowImage, s.showImage);
    LoadFlag(keys::kLogAtStart, s.logAtStart);
    LoadFlag(keys::kRestoreColor, s.restoreColor);
    {
        const std::string text = store_.GetValue(keys::kConfigurationTable, keys::kReportingState);
        if (text == keys::kRepStandard)
            s.reporting = ReportingState::Standard;
        else if (text == keys::kRepVerbose)
            s.reporting = ReportingState::Verbose;
    }
    LoadFlag(keys::kShowTimestamp, s.showTimestamp);
    LoadFlag(keys::kDoubleSpace, s.doubleSpace);
    {
        const std::string text = store_.GetValue(keys::kConfigurationTable, keys::kAscDesc);
        if (text == keys::kRepAscend)
            s.direction = LogDirection::Ascend;
        else if (text == keys::kRepDescend)
            s.direction = LogDirection::Descend;
    }
    {
        const std::string text = store_.GetValue(keys::kConfigurationTable, keys::kRestoreMode);
        if (text == keys::kRestoreAbsolute)
            s.restoreMode = RestoreMode::Absolute;
        else if (text == keys::kRestoreIndirect)
            s.restoreMode = RestoreMode::Indirect;
    }
    LoadFlag(keys::kSafeCopy, s.safeCopy);
    LoadFlag(keys::kLineNumbers, s.lineNumbers);
    LoadFlag(keys::kCatchUp, s.catchUp);
    LoadFlag(keys::kNotifyFailure, s.notifyFailure);
    LoadFlag(keys::kCompress, s.compress);
    {
        // Anything but plain digits (a missing row included) keeps the
        // default, so a damaged value never removes older copies.
        const std::string text = store_.GetValue(keys::kConfigurationTable, keys::kKeepCopies);
        const bool digits = !text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos;
        s.keepCopies = digits ? std::min(std::stoi(text), kMaxKeepCopies) : kDefaultKeepCopies;
    }

    auto loadTotal = [this](const char* key, int& total) {
        const std::string text = store_.GetValue(keys::kCountersTable, key);
        if (!text.empty())
            total = LeadingInt(text);
    };
    loadTotal(keys::kConnectionsCount, totals_.connections);
    loadTotal(keys::kBackupsCount, totals_.backups);
    loadTotal(keys::kSchedulesCount, totals_.schedules);
}

void Configuration::ResetConfiguration()
{
    Settings& s = settings;
    s.startMin = false;
    s.minClose = true;
    s.firstEntry = true;
    s.reporting = ReportingState::Standard;
    s.direction = LogDirection::Descend;
    s.restoreMode = RestoreMode::Indirect;
    s.logAtStart = false;
    s.showImage = true;
    s.showTimestamp = true;
    s.doubleSpace = false;
    s.restoreColor = true;
    s.safeCopy = true;
    s.catchUp = true;
    s.notifyFailure = true;
    s.keepCopies = kDefaultKeepCopies;
    s.compress = false;

    const char* t = keys::kConfigurationTable;
    store_.SetValue(t, keys::kCompStart, keys::kTrue);
    store_.SetValue(t, keys::kStartMin, keys::kFalse);
    store_.SetValue(t, keys::kMinClose, keys::kTrue);
    store_.SetValue(t, keys::kFirstEntry, keys::kTrue);
    store_.SetValue(t, keys::kReportingState, keys::kRepStandard);
    store_.SetValue(t, keys::kAscDesc, keys::kRepDescend);
    store_.SetValue(t, keys::kRestoreMode, keys::kRestoreIndirect);
    store_.SetValue(t, keys::kLogAtStart, keys::kFalse);
    store_.SetValue(t, keys::kShowImage, keys::kTrue);
    store_.SetValue(t, keys::kShowTimestamp, keys::kTrue);
    store_.SetValue(t, keys::kDoubleSpace, keys::kFalse);
    store_.SetValue(t, keys::kRestoreColor, keys::kTrue);
    store_.SetValue(t, keys::kSafeCopy, keys::kTrue);
    store_.SetValue(t, keys::kCatchUp, keys::kTrue);
    store_.SetValue(t, keys::kNotifyFailure, keys::kTrue);
    store_.SetValue(t, keys::kKeepCopies, std::to_string(kDefaultKeepCopies));
    store_.SetValue(t, keys::kCompress, keys::kFalse);
}

void Configuration::WriteCompStart(bool on) { settings.compStart = on; StoreFlag(keys::kCompStart, on); }
void Configuration::WriteStartMin(bool on) { settings.startMin = on; StoreFlag(keys::kStartMin, on); }
void Configuration::WriteMinClose(bool on) { settings.minClose = on; StoreFlag(keys::kMinClose, on); }
void Configuration::WriteFirstEntry(bool on) { settings.firstEntry = on; StoreFlag(keys::kFirstEntry, on); }
void Configuration::WriteLogAtStart(bool on) { settings.logAtStart = on; StoreFlag(keys::kLogAtStart, on); }
void Configuration::WriteShowImage(bool on) { settings.showImage = on; StoreFlag(keys::kShowImage, on); }
void Configuration::WriteShowTimestamp(bool on) { settings.showTimestamp = on; StoreFlag(keys::kShowTimestamp, on); }
void Configuration::WriteDoubleSpace(bool on) { settings.doubleSpace = on; StoreFlag(keys::kDoubleSpace, on); }
void Configuration::WriteRestoreColor(bool on) { settings.restoreColor = on; StoreFlag(keys::kRestoreColor, on); }
void Configuration::WriteSafeCopy(bool on) { settings.safeCopy = on; StoreFlag(keys::kSafeCopy, on); }
void Configuration::WriteLineNumbers(bool on) { settings.lineNumbers = on; StoreFlag(keys::kLineNumbers, on); }
void Configuration::WriteCatchUp(bool on) { settings.catchUp = on; StoreFlag(keys::kCatchUp, on); }
void Configuration::WriteNotifyFailure(bool on) { settings.notifyFailure = on; StoreFlag(keys::kNotifyFailure, on); }
void Configuration::WriteCompress(bool on) { settings.compress = on; StoreFlag(keys::kCompress, on); }

void Configuration::WriteKeepCopies(int count)
{
    settings.keepCopies = std::clamp(count, 0, kMaxKeepCopies);
    store_.SetValue(keys::kConfigurationTable, keys::kKeepCopies, std::to_string(settings.keepCopies));
}

void Configuration::WriteReportingState(ReportingState state)
{
    settings.reporting = state;
    store_.SetValue(keys::kConfigurationTable, keys::kReportingState,
                    state == ReportingState::Verbose ? keys::kRepVerbose : keys::kRepStandard);
}

void Configuration::WriteDirection(LogDirection direction)
{
    settings.direction = direction;
    store_.SetValue(keys::kConfigurationTable, keys::kAscDesc,
                    direction == LogDirection::Ascend ? keys::kRepAscend : keys::kRepDescend);
}

void Configuration::WriteRestoreMode(RestoreMode mode)
{
    settings.restoreMode = mode;
    store_.SetValue(keys::kConfigurationTable, keys::kRestoreMode,
                    mode == RestoreMode::Absolute ? keys::kRestoreAbsolute : keys::kRestoreIndirect);
}
