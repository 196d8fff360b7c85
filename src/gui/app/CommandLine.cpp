#include "gui/app/CommandLine.h"

#include "core/dump/DumpFormat.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

namespace {

// The options QGuiApplication and QApplication take from the command line
// themselves; accepted here so that they reach QApplication unharmed.
struct QtOption {
    const char* name;
    const char* valueName; // nullptr: a switch
    const char* description;
};
constexpr QtOption kQtOptions[] = {
    {"platform", "name", "Qt platform plugin to use (xcb, wayland, offscreen, ...)."},
    {"platformpluginpath", "path", "Folder to load platform plugins from."},
    {"platformtheme", "name", "Qt platform theme to use."},
    {"plugin", "name", "Additional Qt input plugin to load."},
    {"display", "name", "X11 display to use."},
    {"geometry", "geometry", "Window geometry (X11)."},
    {"qwindowgeometry", "geometry", "Window geometry."},
    {"icon", "icon", "Window icon (X11)."},
    {"qwindowicon", "icon", "Window icon."},
    {"title", "title", "Window title (X11)."},
    {"qwindowtitle", "title", "Window title."},
    {"name", "name", "Application name for the window system (X11)."},
    {"session", "session", "Session to restore (given by the session manager)."},
    {"style", "style", "Qt widget style."},
    {"stylesheet", "file", "Qt style sheet file."},
    {"qmljsdebugger", "settings", "Qt's QML debugger settings."},
    {"reverse", nullptr, "Lay the window out right to left."},
    {"widgetcount", nullptr, "Print the number of widgets left at exit."},
    {"nograb", nullptr, "Never grab the mouse or keyboard (X11)."},
    {"dograb", nullptr, "Grab the mouse and keyboard even in a debugger (X11)."},
    {"sync", nullptr, "Run X11 in synchronous mode."},
};

void Print(std::FILE* out, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out);
    std::fflush(out);
}

} // namespace

std::optional<int> HandleCommandLine(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString program = argc > 0 ? QFileInfo(arguments.first()).fileName() : QStringLiteral("vorda");

    QCoreApplication::setApplicationName(QStringLiteral("Vorda"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kSoftwareVersion));

    // Qt's options are single-dash words ("-platform offscreen"); the
    // parser reads every single-dash word as one long option, which keeps
    // -h and -v working as well.
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Vorda Quendal System: backups of MySQL and MariaDB databases, by hand and on schedules.\n"
        "Started without options, Vorda opens its window (or goes to the system tray when it is\n"
        "set to start minimised). Its settings, history log and backup files are kept in\n"
        "~/.local/share/Tesmo/Vorda Quendal System/ (or under $XDG_DATA_HOME).\n"
        "With a command first (vorda backup, restore, check, list, run-due, log, sql or schedule),\n"
        "Vorda works without a window or a display; `vorda COMMAND --help` tells more."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    QList<QCommandLineOption> qtOptions;
    for (const QtOption& o : kQtOptions) {
        QCommandLineOption option(QString::fromLatin1(o.name), QString::fromLatin1(o.description));
        if (o.valueName)
            option.setValueName(QString::fromLatin1(o.valueName));
        qtOptions << option;
    }
    for (QCommandLineOption option : qtOptions) {
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    // Without an application object the parser does not know the program's
    // name; it stands in with a placeholder.
    auto usage = [&parser, &program] {
        return parser.helpText().replace(QStringLiteral("<executable_name>"), program);
    };

    const bool parsed = parser.parse(arguments);
    if (parsed && parser.isSet(version)) {
        Print(stdout, QStringLiteral("Vorda %1\n").arg(QString::fromLatin1(kSoftwareVersion)));
        return 0;
    }
    if (parsed && parser.isSet(QStringLiteral("help-all"))) {
        QCommandLineParser all;
        all.setApplicationDescription(parser.applicationDescription());
        all.addHelpOption();
        all.addVersionOption();
        all.addOptions(qtOptions);
        Print(stdout, all.helpText().replace(QStringLiteral("<executable_name>"), program));
        return 0;
    }
    if (parsed && parser.isSet(help)) {
        Print(stdout, usage());
        return 0;
    }
    QString error = parser.errorText();
    if (error.isEmpty() && !parser.positionalArguments().isEmpty())
        error = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
    if (!error.isEmpty()) {
        Print(stderr, QStringLiteral("%1: %2\n\n%3").arg(program, error, usage()));
        return 2;
    }
    return std::nullopt;
}
