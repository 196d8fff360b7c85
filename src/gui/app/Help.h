#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <string>

// Vorda's own help: plain HTML pages compiled into the program (docs/help).
// Everything that would send the user to a web page opens a section of these
// pages instead; nothing opens an internet address.
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

// Opens a help page, optionally with a section ("connections.html#testing"),
// in the user's browser. The pages are copied out of the program into
// HelpFolder() first, so that the browser can follow the links between them.
// Shows an Error message and returns false when that fails.
bool OpenHelpPage(const std::string& page);

// Where the help pages are copied to: the user's cache folder + "/help".
QString HelpFolder();

// The one function through which Vorda opens a document in another program;
// by default QDesktopServices::openUrl. Tests install their own to see what
// would be opened; an empty function restores the default.
using UrlOpener = std::function<bool(const QUrl&)>;
void SetUrlOpener(UrlOpener opener);
bool OpenUrl(const QUrl& url);
