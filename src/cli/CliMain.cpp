#include "cli/CliMain.h"

#include "cli/Commands.h"
#include "cli/DesktopNotice.h"
#include "core/dump/DumpFormat.h"
#include "core/state/StartupCore.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace cli {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void OnStopSignal(int)
{
    stopRequested = 1;
}

void CatchStopSignals()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// Reads a line from the terminal on standard input with echo off. Nothing
// when standard input is no terminal: nobody is there to ask.
std::optional<std::string> AskOnTerminal(const std::string& prompt)
{
    if (!::isatty(STDIN_FILENO))
        return std::nullopt;
    termios saved {};
    if (::tcgetattr(STDIN_FILENO, &saved) != 0)
        return std::nullopt;
    // Echo goes off before the prompt appears: switching it discards what
    // was typed so far, which must not be a password typed (or pasted) as
    // soon as the prompt showed.
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
    std::string line;
    bool ended = false;
    for (int c; (c = std::fgetc(stdin)) != EOF;) {
        if (c == '\n') {
            ended = true;
            break;
        }
        line += static_cast<char>(c);
    }
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    if (!ended)
        return std::nullopt;
    return line;
}

int RunSystemctl(const std::vector<std::string>& args, std::string& output)
{
    QStringList list {QStringLiteral("--user")};
    for (const std::string& a : args)
        list << QString::fromStdString(a);
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("systemctl"), list);
    if (!process.waitForStarted(10000)) {
        std::fprintf(stderr, "systemctl could not be started.\n");
        return -1;
    }
    process.waitForFinished(60000);
    output = process.readAllStandardOutput().toStdString();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

int Main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Vorda"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tesmo"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kSoftwareVersion));
    CatchStopSignals();

    Io io;
    io.terminal = ::isatty(STDOUT_FILENO) != 0;
    io.dataDir = ResolveDataDirectory();
    io.askPassword = AskOnTerminal;
    io.notify = NotifyDesktop;
    io.systemctl = RunSystemctl;
    io.stopRequested = [] { return stopRequested != 0; };
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i)
        words.emplace_back(argv[i]);
    return Run(words, io);
}

} // namespace cli
