#pragma once

#include <string>

// Starting Vorda with the desktop session, the freedesktop.org way: an
// autostart entry $XDG_CONFIG_HOME/autostart/vorda.desktop (~/.config when
// XDG_CONFIG_HOME is unset or not an absolute path). The entry starts the
// installed program; the program's own "Start Vorda Minimized" setting
// decides whether that start shows the window or goes to the tray.
namespace autostart {

// The entry's path; empty when neither XDG_CONFIG_HOME nor HOME names a folder.
std::string EntryPath();
// The entry's text.
std::string EntryText();
// Whether the entry exists.
bool Enabled();
// Writes the entry (creating the autostart folder); true when it is in place.
bool Enable();
// Removes the entry; true when none is left.
bool Disable();

} // namespace autostart
