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

StoreStatus Configuration::StoreFlag(const char* key, bool on) const
{
    return store_.SetValue(keys::kConfigurationTable, key, on ? keys::kTrue : keys::kFalse);
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

StoreStatus Configuration::ResetConfiguration()
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

    return store_.SetValues(keys::kConfigurationTable, {
        {keys::kCompStart, std::string(keys::kTrue)},
        {keys::kStartMin, std::string(keys::kFalse)},
        {keys::kMinClose, std::string(keys::kTrue)},
        {keys::kFirstEntry, std::string(keys::kTrue)},
        {keys::kReportingState, std::string(keys::kRepStandard)},
        {keys::kAscDesc, std::string(keys::kRepDescend)},
        {keys::kRestoreMode, std::string(keys::kRestoreIndirect)},
        {keys::kLogAtStart, std::string(keys::kFalse)},
        {keys::kShowImage, std::string(keys::kTrue)},
        {keys::kShowTimestamp, std::string(keys::kTrue)},
        {keys::kDoubleSpace, std::string(keys::kFalse)},
        {keys::kRestoreColor, std::string(keys::kTrue)},
        {keys::kSafeCopy, std::string(keys::kTrue)},
        {keys::kCatchUp, std::string(keys::kTrue)},
        {keys::kNotifyFailure, std::string(keys::kTrue)},
        {keys::kKeepCopies, std::to_string(kDefaultKeepCopies)},
        {keys::kCompress, std::string(keys::kFalse)},
    });
}

StoreStatus Configuration::WriteCompStart(bool on) { settings.compStart = on; return StoreFlag(keys::kCompStart, on); }
StoreStatus Configuration::WriteStartMin(bool on) { settings.startMin = on; return StoreFlag(keys::kStartMin, on); }
StoreStatus Configuration::WriteMinClose(bool on) { settings.minClose = on; return StoreFlag(keys::kMinClose, on); }
StoreStatus Configuration::WriteFirstEntry(bool on) { settings.firstEntry = on; return StoreFlag(keys::kFirstEntry, on); }
StoreStatus Configuration::WriteLogAtStart(bool on) { settings.logAtStart = on; return StoreFlag(keys::kLogAtStart, on); }
StoreStatus Configuration::WriteShowImage(bool on) { settings.showImage = on; return StoreFlag(keys::kShowImage, on); }
StoreStatus Configuration::WriteShowTimestamp(bool on) { settings.showTimestamp = on; return StoreFlag(keys::kShowTimestamp, on); }
StoreStatus Configuration::WriteDoubleSpace(bool on) { settings.doubleSpace = on; return StoreFlag(keys::kDoubleSpace, on); }
StoreStatus Configuration::WriteRestoreColor(bool on) { settings.restoreColor = on; return StoreFlag(keys::kRestoreColor, on); }
StoreStatus Configuration::WriteSafeCopy(bool on) { settings.safeCopy = on; return StoreFlag(keys::kSafeCopy, on); }
StoreStatus Configuration::WriteLineNumbers(bool on) { settings.lineNumbers = on; return StoreFlag(keys::kLineNumbers, on); }
StoreStatus Configuration::WriteCatchUp(bool on) { settings.catchUp = on; return StoreFlag(keys::kCatchUp, on); }
StoreStatus Configuration::WriteNotifyFailure(bool on) { settings.notifyFailure = on; return StoreFlag(keys::kNotifyFailure, on); }
StoreStatus Configuration::WriteCompress(bool on) { settings.compress = on; return StoreFlag(keys::kCompress, on); }

StoreStatus Configuration::WriteKeepCopies(int count)
{
    settings.keepCopies = std::clamp(count, 0, kMaxKeepCopies);
    return store_.SetValue(keys::kConfigurationTable, keys::kKeepCopies, std::to_string(settings.keepCopies));
}

std::optional<std::pair<int, int>> Configuration::ReadWindowSize() const
{
    const std::string text = store_.GetValue(keys::kConfigurationTable, keys::kWindowSize);
    const size_t x = text.find('x');
    if (x == std::string::npos)
        return std::nullopt;
    const auto number = [](const std::string& digits) {
        const bool ok = !digits.empty() && digits.size() <= 6 && digits.find_first_not_of("0123456789") == std::string::npos;
        const int value = ok ? std::stoi(digits) : 0;
        return value >= 1 && value <= 100000 ? value : 0;
    };
    const int width = number(text.substr(0, x));
    const int height = number(text.substr(x + 1));
    if (width == 0 || height == 0)
        return std::nullopt;
    return std::pair {width, height};
}

StoreStatus Configuration::WriteWindowSize(int width, int height)
{
    return store_.SetValue(keys::kConfigurationTable, keys::kWindowSize, std::to_string(width) + "x" + std::to_string(height));
}

StoreStatus Configuration::WriteReportingState(ReportingState state)
{
    settings.reporting = state;
    return store_.SetValue(keys::kConfigurationTable, keys::kReportingState,
                           state == ReportingState::Verbose ? keys::kRepVerbose : keys::kRepStandard);
}

StoreStatus Configuration::WriteDirection(LogDirection direction)
{
    settings.direction = direction;
    return store_.SetValue(keys::kConfigurationTable, keys::kAscDesc,
                           direction == LogDirection::Ascend ? keys::kRepAscend : keys::kRepDescend);
}

StoreStatus Configuration::WriteRestoreMode(RestoreMode mode)
{
    settings.restoreMode = mode;
    return store_.SetValue(keys::kConfigurationTable, keys::kRestoreMode,
                           mode == RestoreMode::Absolute ? keys::kRestoreAbsolute : keys::kRestoreIndirect);
}
