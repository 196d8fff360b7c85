#include "core/restore/ViewerLoader.h"

#include "core/dump/BackupCopies.h"
#include "core/dump/DumpFormat.h"
#include "core/engine/RunSkeleton.h"
#include "core/restore/LineReader.h"
#include "core/store/Definitions.h"

#include <cstdio>

std::string NotShownLine(long long bytesNotShown)
{
    return "*** Only the first 64 MB (" + std::to_string(kViewerShownBytes)
        + " bytes) of this file are shown; the remaining " + std::to_string(bytesNotShown)
        + " bytes are not shown. ***";
}

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
    // The chosen older copy, which must be one of the backup's own files.
    const std::string& dir = state_.paths.dataDir;
    const std::string path = state_.selectedFile.empty() ? BackupFilePath(dir, state_.selectedName) : state_.selectedFile;
    if (!IsBackupFileOf(dir, state_.selectedName, path))
        return ViewerLoadResult::NotOpened;
    return Load(path, state_.settings().lineNumbers);
}

ViewerLoadResult ViewerLoader::Load(const std::string& path, bool lineNumbers)
{
    state_.viewerActive = true;
    LineReader reader(kMaxViewerLine, LineReader::LongLines::Cut);
    if (!reader.Open(path)) {
        state_.viewerActive = false;
        return ViewerLoadResult::NotOpened;
    }
    ui_.ShowFileSize(std::to_string(reader.Size()));
    // The bar, the percentages and the cap follow the text (a compressed
    // file's text is larger than the file; when it does not record its
    // length, the bar goes by the cap).
    const long long size = reader.TextSize();
    const long long shown = size >= 0 && size < kViewerShownBytes ? size : kViewerShownBytes;
    const long long step = shown / 100 > 0 ? shown / 100 : 1;
    ui_.SetProgressRange(shown, step);

    std::string loaded;
    std::string pending;
    // The text is about as long as the part shown, plus the line numbers.
    loaded.reserve(static_cast<size_t>(shown + (lineNumbers ? shown / 4 : shown / 16) + 256));
    long long percent = 1;
    long long number = 0;
    long long notShown = 0;
    std::string line;
    // Events are let through at most every 15 ms while lines are read; the
    // stop flag is looked at after every line.
    ThrottledPump pump([this] { ui_.Pump(); });
    long long before = 0; // bytes of the file up to the current line
    while (reader.Next(line)) {
        // Whole lines up to the cap; only a first line longer than the cap
        // is shown, cut, with its mark.
        const bool overCap = reader.Consumed() > kViewerShownBytes;
        if (overCap && (before > 0 || !reader.Overlong())) {
            notShown = size > before ? size - before : 0;
            break;
        }
        before = reader.Consumed();
        if (lineNumbers) {
            char prefix[32];
            const int n = std::snprintf(prefix, sizeof prefix, "%6.6lld: ", number++);
            pending.append(prefix, static_cast<size_t>(n));
        }
        pending += line;
        if (reader.Overlong())
            pending += CutLineMark(reader.LineBytes() - line.size());
        pending += "\r\n";
        if (overCap) {
            notShown = size > before ? size - before : 0;
            break;
        }
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
    // The text's length, when the file does not record it, is read to its end.
    if (size < 0 && reader.Consumed() > kViewerShownBytes) {
        while (reader.Next(line))
            pump.Maybe();
        notShown = reader.Consumed() - before;
    }
    line.clear();
    line.shrink_to_fit();
    if (notShown > 0) {
        pending += NotShownLine(notShown);
        pending += "\r\n";
    }
    reader.Close();
    loaded += pending;
    pending.clear();
    pending.shrink_to_fit();
    ui_.SetProgressRange(1, 1);
    ui_.ShowStatus("Updating Display");
    ui_.ShowLoadingText("Updating Display - May Take Several Seconds - Please Wait");
    ui_.SetViewerText(std::move(loaded));
    // A page that fills its text box in parts lets events through meanwhile.
    if (!state_.viewerActive)
        return ViewerLoadResult::Stopped;
    ui_.ShowStatus("Load Complete");
    state_.viewerActive = false;
    return ViewerLoadResult::Loaded;
}
