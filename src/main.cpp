#include "cli/CliMain.h"
#include "cli/Commands.h"
#include "gui/app/VordaApp.h"
#include "gui/app/CommandLine.h"

#include <QApplication>

#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    // `vorda <command> ...` works without a window or a display.
    if (cli::IsCommandLine(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc)))
        return cli::Main(argc, argv);
    // --help and --version answer before any window or file is touched.
    if (const std::optional<int> status = HandleCommandLine(argc, argv))
        return *status;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorda"));
    QApplication::setOrganizationName(QStringLiteral("Tesmo"));
    // Desktops match the window to the installed vorda.desktop (its name
    // and icon in the task switcher and the dock).
    QGuiApplication::setDesktopFileName(QStringLiteral("vorda"));
    return VordaApp::InitInstance();
}
