#include "core/state/Autostart.h"

#include "core/store/AtomicFile.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace autostart {

std::string EntryPath()
{
    std::string base;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/')
            return {};
        base = std::string(home) + "/.config";
    }
    return base + "/autostart/vorda.desktop";
}

std::string EntryText()
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Vorda\n"
           "Comment=Runs Vorda's scheduled backups from the start of the session\n"
           "Exec=vorda\n"
           "Icon=vorda\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool Enabled()
{
    const std::string path = EntryPath();
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

bool Enable()
{
    const std::filesystem::path path = EntryPath();
    if (path.empty())
        return false;
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    if (!AtomicFile::WriteWhole(path.string(), EntryText()))
        return false;
    // Readable like the other entries of the folder.
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write
                                           | std::filesystem::perms::group_read | std::filesystem::perms::others_read,
                                 error);
    return Enabled();
}

bool Disable()
{
    const std::string path = EntryPath();
    if (path.empty())
        return false;
    std::error_code error;
    std::filesystem::remove(path, error);
    return !Enabled();
}

} // namespace autostart
