#pragma once

#include <string>

namespace cli {

// Sends a desktop notification as the window does for a scheduled backup
// that failed: org.freedesktop.Notifications on the session bus, from the
// app "Vorda" with the program's icon, critical. False when there is no
// session bus or no notification service answers within 5 seconds.
bool NotifyDesktop(const std::string& summary, const std::string& body);

} // namespace cli
