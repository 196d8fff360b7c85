#include "gui/app/VordaApp.h"
#include "gui/app/CommandLine.h"

#include <QApplication>

int main(int argc, char* argv[])
{
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
