#include "TestSupport.h"

#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The real program's command line: --help and --version answer on standard
// output without a window and without touching a file; anything it does not
// know is refused with the usage on standard error.
class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void answersWithoutAWindowOrAFile_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString usage = QStringLiteral("Usage: vorda [options]");
        QTest::newRow("--help") << QStringList {"--help"} << 0 << usage << QString();
        QTest::newRow("-h") << QStringList {"-h"} << 0 << usage << QString();
        QTest::newRow("--help-all") << QStringList {"--help-all"} << 0 << QStringLiteral("--platform <name>")
                                    << QString();
        QTest::newRow("--version") << QStringList {"--version"} << 0 << QStringLiteral("Vorda 2.1.2.4\n") << QString();
        QTest::newRow("-v") << QStringList {"-v"} << 0 << QStringLiteral("Vorda 2.1.2.4\n") << QString();
        // Qt's own options are let through to Qt.
        QTest::newRow("Qt option and --version")
            << QStringList {"-platform", "offscreen", "--version"} << 0 << QStringLiteral("Vorda 2.1.2.4\n") << QString();
        QTest::newRow("unknown option") << QStringList {"--frobnicate"} << 2 << QString()
                                        << QStringLiteral("vorda: Unknown option 'frobnicate'.\n\n") + usage;
        QTest::newRow("unknown short option") << QStringList {"-x"} << 2 << QString()
                                              << QStringLiteral("vorda: Unknown option 'x'.\n\n") + usage;
        QTest::newRow("argument") << QStringList {"backup.tbk"} << 2 << QString()
                                  << QStringLiteral("vorda: Unexpected argument 'backup.tbk'.\n\n") + usage;
        // A command works without a display, and a wrong use touches no file.
        QTest::newRow("command wrong use") << QStringList {"restore"} << 2 << QString()
                                           << QStringLiteral("vorda restore: name one backup\nUsage: vorda restore");
        QTest::newRow("unknown option beside --help")
            << QStringList {"--help", "--frobnicate"} << 2 << QString()
            << QStringLiteral("vorda: Unknown option 'frobnicate'.\n\n") + usage;
    }

    void answersWithoutAWindowOrAFile()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);

        // No display to open a window on (the X11 platform plugin would abort
        // at once), and every folder a file could go to is an empty one.
        QTemporaryDir home;
        QVERIFY(home.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("HOME", home.path());
        for (const char* variable : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME",
                                     "XDG_RUNTIME_DIR"})
            env.insert(variable, home.path() + "/" + variable);

        QProcess vorda;
        vorda.setProcessEnvironment(env);
        vorda.setWorkingDirectory(home.path());
        vorda.start(qEnvironmentVariable("VORDA_BINARY_DIR") + "/src/vorda", arguments);
        QVERIFY(vorda.waitForFinished(10000));
        const QString stdOut = QString::fromLocal8Bit(vorda.readAllStandardOutput());
        const QString stdErr = QString::fromLocal8Bit(vorda.readAllStandardError());
        QCOMPARE(vorda.exitStatus(), QProcess::NormalExit);
        QVERIFY2(vorda.exitCode() == exitCode, qPrintable(stdErr));
        if (out.isEmpty())
            QCOMPARE(stdOut, QString());
        else
            QVERIFY2(stdOut.startsWith(out) || stdOut.contains("\n  " + out), qPrintable(stdOut));
        if (err.isEmpty())
            QCOMPARE(stdErr, QString());
        else
            QVERIFY2(stdErr.startsWith(err), qPrintable(stdErr));
        if (out.startsWith("Usage"))
            QVERIFY(stdOut.contains("--version"));

        QDirIterator left(home.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                          QDirIterator::Subdirectories);
        QVERIFY2(!left.hasNext(), qPrintable("the program left " + (left.hasNext() ? left.next() : QString())));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
