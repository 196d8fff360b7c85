#pragma once

#include "core/state/AppState.h"

#include <cstddef>
#include <string>

// The backup viewer page, as the loader sees it.
class ViewerUi {
public:
    virtual ~ViewerUi() = default;

    // The "Backup File Size:" value: the size in bytes, in decimal.
    virtual void ShowFileSize(const std::string& text) = 0;
    // Sets the load bar's range to 0..maximum, with the given step size, and
    // its position to 0.
    virtual void SetProgressRange(long long maximum, long long step) = 0;
    // Advances the load bar by one step.
    virtual void StepProgress() = 0;
    // The status text under the bar: "<n>% Loaded", "Updating Display",
    // "Load Complete".
    virtual void ShowStatus(const std::string& text) = 0;
    // Replaces the "Loading File - Please Wait" text.
    virtual void ShowLoadingText(const std::string& text) = 0;
    // Fills the text box; called once, at the end of a load that was not
    // stopped. A page may fill it in parts and pump events between them; a
    // load stopped meanwhile (viewerActive cleared) ends as Stopped.
    virtual void SetViewerText(std::string text) = 0;
    // Lets the window handle every pending event.
    virtual void Pump() = 0;
};

enum class ViewerLoadResult { Loaded, Stopped, NotOpened };

// The viewer puts at most this many bytes of a file on screen (whole lines);
// the rest of a larger file is summed up in one line after the text.
inline constexpr long long kViewerShownBytes = 64LL << 20;
// "*** Only the first 64 MB (67108864 bytes) of this file are shown; the
// remaining <n> bytes are not shown. ***"
std::string NotShownLine(long long bytesNotShown);
// The viewer keeps at most this much of one line; a longer line is cut and
// followed by CutLineMark.
inline constexpr size_t kMaxViewerLine = size_t(64) << 20;
// " [line cut: <n> more bytes of it are not shown]"
std::string CutLineMark(unsigned long long bytesNotShown);

// Loads a backup file into the viewer's text: every line followed by CR LF,
// with line numbers "%6.6d: " in front when asked for (the first line is
// 000000). The text is collected in memory and handed to the page once, at
// the end, so the text box is never redrawn while the file is read. Only a
// regular file is opened (never a FIFO or a device), and a line is kept up
// to kMaxViewerLine bytes. Of a file larger than kViewerShownBytes, the lines
// within the first kViewerShownBytes are shown, followed by NotShownLine;
// memory stays bounded by that, not by the file. Sizes are 64-bit.
//
// The load runs while state.viewerActive stays set: it sets the flag when it
// begins and clears it when it ends; the window clears it when another page
// is requested and the page when line numbers are switched, and the load
// then stops after its current line without touching the text box.
class ViewerLoader {
public:
    ViewerLoader(AppState& state, ViewerUi& ui);

    // The file of the selected backup, with the line-number setting in force;
    // NotOpened when the selected name breaks the name rule.
    ViewerLoadResult LoadSelected();
    ViewerLoadResult Load(const std::string& path, bool lineNumbers);

private:
    AppState& state_;
    ViewerUi& ui_;
};
