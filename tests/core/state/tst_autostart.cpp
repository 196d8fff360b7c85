#include "TestSupport.h"
#include "core/state/Autostart.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <sys/stat.h>

// The session's autostart entry for Vorda: where it goes, what it says, and
// that it comes and goes.
class TestAutostart : public QObject {
    Q_OBJECT

private slots:
    void theEntryComesAndGoesInTheConfigFolder()
    {
        QTemporaryDir home;
        QTemporaryDir config;
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        const std::string path = config.path().toStdString() + "/autostart/vorda.desktop";
        QCOMPARE(autostart::EntryPath(), path);
        QVERIFY(!autostart::Enabled());

        QVERIFY(autostart::Enable());
        QVERIFY(autostart::Enabled());
        const std::string text = test::ReadFile(path);
        QCOMPARE(text, autostart::EntryText());
        for (const char* line : {"[Desktop Entry]\n", "\nType=Application\n", "\nExec=vorda\n", "\nName=Vorda\n"})
            QVERIFY2(text.find(line) != std::string::npos, line);
        struct stat st {};
        QCOMPARE(::stat(path.c_str(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0644u);
        // Twice is the same.
        QVERIFY(autostart::Enable());
        QCOMPARE(test::ReadFile(path), text);

        QVERIFY(autostart::Disable());
        QVERIFY(!autostart::Enabled());
        QVERIFY(!test::FileExists(path));
        QVERIFY(autostart::Disable());

        // Unset or not absolute: ~/.config.
        for (const char* value : {"", "relative/config"}) {
            qputenv("XDG_CONFIG_HOME", value);
            QCOMPARE(autostart::EntryPath(), home.path().toStdString() + "/.config/autostart/vorda.desktop");
        }
        qunsetenv("XDG_CONFIG_HOME");
        QVERIFY(autostart::Enable());
        QVERIFY(test::FileExists(home.path().toStdString() + "/.config/autostart/vorda.desktop"));

        // A folder where the entry should be is not an entry, and cannot be
        // replaced by one.
        QVERIFY(autostart::Disable());
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        QVERIFY(QDir().mkpath(QString::fromStdString(path)));
        QVERIFY(!autostart::Enabled());
        QVERIFY(!autostart::Enable());
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
