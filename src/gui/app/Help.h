#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <string>

// Vorda's own help: plain HTML pages compiled into the program (docs/help),
// shown in Vorda's help window. Everything that would send the user to a web
// page opens a section of these pages instead; nothing opens an internet
// address.
namespace help {
inline constexpr const char* kContents = "index.html";
inline constexpr const char* kHome = "index.html#welcome";
inline constexpr const char* kProducts = "index.html#about";
inline constexpr const char* kDownloads = "getting-started.html#installing";
inline constexpr const char* kSupport = "index.html#support";
inline constexpr const char* kUpdates = "getting-started.html#updates";
inline constexpr const char* kTutorials = "getting-started.html#first-backup";
inline constexpr const char* kConnections = "connections.html";
inline constexpr const char* kBackups = "backups.html";
inline constexpr const char* kSchedules = "schedules.html";
inline constexpr const char* kConfiguration = "configuration.html";
} // namespace help

// Opens a help page, optionally at a section ("connections.html#testing"),
// in Vorda's own help window: made on first use, then reused, raised and
// never modal. An unknown page shows the contents page and answers false.
bool OpenHelpPage(const std::string& page);

// Closes and destroys the help window (the program is ending).
void CloseHelp();

// The one function through which Vorda hands an address to another program
// (a link of the help that leads outside it); by default
// QDesktopServices::openUrl. Tests install their own to see what would be
// opened; an empty function restores the default.
using UrlOpener = std::function<bool(const QUrl&)>;
void SetUrlOpener(UrlOpener opener);
bool OpenUrl(const QUrl& url);
