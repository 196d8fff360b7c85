#include "core/restore/ViewerLoader.h"

#include "core/dump/DumpFormat.h"
#include "core/engine/RunSkeleton.h"
#include "core/restore/LineReader.h"
#include "core/store/Definitions.h"

#include <cstdio>

std::string CutLineMark(unsigned long long bytesNotShown)
{
    return " [line cut: " + std::to_string(bytesNotShown) + " more bytes of it are not shown]";
}

ViewerLoader::ViewerLoader(AppState& state, ViewerUi& ui)
    : state_(state)
    , ui_(ui)
{
}

ViewerLoadResult ViewerLoader::LoadSelected()
{
    // The name makes the file's name: one that breaks the name rule could
    // reach outside the data directory.
    if (state_.selectedName.empty() || !IsValidName(state_.selectedName))
        return ViewerLoadResult::NotOpened;
    return Load(BackupFilePath(state_.paths.dataDir, state_.selectedName), state_.settings().lineNumbers);
}

ViewerLoadResult ViewerLoader::Load(const std::string& path, bool lineNumbers)
{
    state_.viewerActive = true;
    LineReader reader(kMaxViewerLine, LineReader::LongLines::Cut);
    if (!reader.Open(path)) {
        state_.viewerActive = false;
        return ViewerLoadResult::NotOpened;
    }
    const long long size = reader.Size();
    ui_.ShowFileSize(std::to_string(size));
    const long long step = size / 100 > 0 ? size / 100 : 1;
    ui_.SetProgressRange(size, step);

    std::string loaded;
    std::string pending;
    // The text is about as long as the file, plus the line numbers.
    loaded.reserve(static_cast<size_t>(size + (lineNumbers ? size / 4 : size / 16) + 64));
    long long percent = 1;
    long long number = 0;
    std::string line;
    // Events are let through at most every 15 ms while lines are read; the
    // stop flag is looked at after every line.
    ThrottledPump pump([this] { ui_.Pump(); });
    while (reader.Next(line)) {
        if (lineNumbers) {
            char prefix[32];
            const int n = std::snprintf(prefix, sizeof prefix, "%6.6lld: ", number++);
            pending.append(prefix, static_cast<size_t>(n));
        }
        pending += line;
        if (reader.Overlong())
            pending += CutLineMark(reader.LineBytes() - line.size());
        pending += "\r\n";
        if (percent < static_cast<long long>(loaded.size() + pending.size()) / step) {
            ui_.StepProgress();
            ++percent;
            ui_.ShowStatus(std::to_string(percent) + "% Loaded");
            loaded += pending;
            pending.clear();
        }
        pump.Maybe();
        if (!state_.viewerActive)
            return ViewerLoadResult::Stopped;
    }
    reader.Close();
    loaded += pending;
    pending.clear();
    pending.shrink_to_fit();
    ui_.SetProgressRange(1, 1);
    ui_.ShowStatus("Updating Display");
    ui_.ShowLoadingText("Updating Display - May Take Several Seconds - Please Wait");
    ui_.SetViewerText(std::move(loaded));
    ui_.ShowStatus("Load Complete");
    state_.viewerActive = false;
    return ViewerLoadResult::Loaded;
}
