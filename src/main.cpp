#include "gui/app/CVordaApp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorda"));
    QApplication::setOrganizationName(QStringLiteral("Tesmo"));
    return CVordaApp::InitInstance();
}
