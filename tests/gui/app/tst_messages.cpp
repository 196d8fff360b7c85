#include "GuiTestSupport.h"
#include "gui/app/Art.h"
#include "gui/app/QuickStartScreen.h"
#include "gui/app/Messages.h"
#include "resources/ResourceIds.h"
#include "core/store/StoreKeys.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

using test::WhenModalShows;

QPushButton* ButtonOf(QWidget* box, int id)
{
    return box->findChild<QPushButton*>(ControlName(id));
}

} // namespace

class TestMessages : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        MessageHook::Enable(false);
        MessageHook::Reset();
        SetMessagesEnabledFlag(nullptr);
    }

    void lineBreaksOfTheMessageTexts()
    {
        QCOMPARE(Messages::DisplayText("A\r\rB"), QStringLiteral("A\n\nB"));
        QCOMPARE(Messages::DisplayText("A\r\n\r\nB"), QStringLiteral("A\n\nB"));
        QCOMPARE(Messages::DisplayText("A\n\r\n\rB"), QStringLiteral("A\n\nB"));
        QCOMPARE(Messages::DisplayText("A\n\nB\nC"), QStringLiteral("A\n\nB\nC"));
        QCOMPARE(Messages::DisplayText("Saved\r\n\r\n    Again?"), QStringLiteral("Saved\n\n    Again?"));
        QCOMPARE(Messages::DisplayText("end\n\n"), QStringLiteral("end\n\n"));
        QCOMPARE(Messages::DisplayText("\xc3\xa9t\xc3\xa9"), QStringLiteral("\u00e9t\u00e9"));
    }

    void eachKindShowsItsImageAndButtons()
    {
        struct Case {
            MessageKind kind;
            bool yesNo;
            bool cont;
        };
        for (const Case& c : {Case {MessageKind::Error, false, true}, Case {MessageKind::Alert, false, true},
                              Case {MessageKind::YesNo, true, false}, Case {MessageKind::SelfClosingAlert, false, false}}) {
            Messages box(c.kind, QStringLiteral("Line one\nLine two"));
            box.show();
            auto* image = box.findChild<QLabel*>(ControlName(rid::IDC_MESSAGE_IMAGE));
            QVERIFY(image && !image->pixmap().isNull());
            QCOMPARE(box.findChild<QLabel*>(ControlName(rid::IDC_MESSAGE_TEXT))->text(),
                     QStringLiteral("Line one\nLine two"));
            // Only the kind's own buttons exist, and they are shown.
            auto shown = [&box](int id) {
                QPushButton* button = ButtonOf(&box, id);
                return button && button->isVisible();
            };
            QCOMPARE(ButtonOf(&box, rid::IDC_MESSAGE_YES) != nullptr, c.yesNo);
            QCOMPARE(ButtonOf(&box, rid::IDC_MESSAGE_NO) != nullptr, c.yesNo);
            QCOMPARE(ButtonOf(&box, rid::IDC_MESSAGE_CONTINUE) != nullptr, c.cont);
            QCOMPARE(shown(rid::IDC_MESSAGE_YES), c.yesNo);
            QCOMPARE(shown(rid::IDC_MESSAGE_NO), c.yesNo);
            QCOMPARE(shown(rid::IDC_MESSAGE_CONTINUE), c.cont);
            QVERIFY(box.windowFlags() & Qt::FramelessWindowHint);
            QVERIFY(box.width() >= 400);
        }
        // The caption images differ by kind; the self-closing alert uses the alert's.
        auto imageOf = [](MessageKind kind) {
            Messages box(kind, QStringLiteral("x"));
            return box.findChild<QLabel*>(ControlName(rid::IDC_MESSAGE_IMAGE))->pixmap().toImage();
        };
        QVERIFY(imageOf(MessageKind::Error) != imageOf(MessageKind::Alert));
        QVERIFY(imageOf(MessageKind::YesNo) != imageOf(MessageKind::Alert));
        QCOMPARE(imageOf(MessageKind::SelfClosingAlert), imageOf(MessageKind::Alert));
    }

    void aLongTextMakesTheBoxTaller()
    {
        std::string text;
        for (int i = 0; i < 30; ++i)
            text += "A line of the message\r\n";
        Messages box(MessageKind::Alert, Messages::DisplayText(text));
        box.show();
        auto* label = box.findChild<QLabel*>(ControlName(rid::IDC_MESSAGE_TEXT));
        QVERIFY(label->height() >= label->heightForWidth(label->width()));
        QVERIFY(box.height() > 230);
    }

    // The box's background picture is painted behind everything; wherever the
    // text or a button lies, the picture must be plain white, so no part of
    // the picture shows through a message however long it is.
    void theBackgroundPictureStaysClearOfTextAndButtons_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        const QString oneLine = QStringLiteral("The system failed to connect to the designated host. Connection or ISP "
                                               "problem.");
        QString wrapped;
        for (int i = 0; i < 6; ++i)
            wrapped += QStringLiteral("Please check your System Tray or Taskbar to open the current running copy. ");
        for (MessageKind kind : {MessageKind::Error, MessageKind::Alert, MessageKind::YesNo,
                                 MessageKind::SelfClosingAlert}) {
            const QByteArray name = QByteArray::number(int(kind));
            QTest::newRow(name + " one line") << int(kind) << oneLine;
            QTest::newRow(name + " wrapped") << int(kind) << wrapped;
            QTest::newRow(name + " two lines") << int(kind) << QStringLiteral("Are you sure?\n\nYour configuration "
                                                                          "will be set back to the default settings.");
        }
    }

    void theBackgroundPictureStaysClearOfTextAndButtons()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        Messages box(MessageKind(kind), text);
        box.show();
        const QImage picture = Bitmap(rid::IDB_MESSAGE_BACKGROUND).toImage().convertToFormat(QImage::Format_ARGB32);
        QVERIFY(!picture.isNull());
        QList<QWidget*> parts {box.findChild<QLabel*>(ControlName(rid::IDC_MESSAGE_TEXT))};
        for (QPushButton* button : box.findChildren<QPushButton*>())
            parts << button;
        for (QWidget* part : parts) {
            const QRect under = part->geometry() & picture.rect();
            for (int y = under.top(); y <= under.bottom(); ++y)
                for (int x = under.left(); x <= under.right(); ++x)
                    QVERIFY2(picture.pixel(x, y) == 0xffffffffu,
                             qPrintable(QStringLiteral("%1 lies over the picture at %2,%3")
                                            .arg(part->objectName()).arg(x).arg(y)));
        }
    }

    void answersOfTheRealBox()
    {
        WhenModalShows([](QWidget* box) { ButtonOf(box, rid::IDC_MESSAGE_YES)->click(); });
        QCOMPARE(ShowMessage(MessageKind::YesNo, "Run this Backup?"), 1);
        WhenModalShows([](QWidget* box) { ButtonOf(box, rid::IDC_MESSAGE_NO)->click(); });
        QCOMPARE(ShowMessage(MessageKind::YesNo, "Run this Backup?"), 0);
        WhenModalShows([](QWidget* box) { ButtonOf(box, rid::IDC_MESSAGE_CONTINUE)->click(); });
        QCOMPARE(ShowMessage(MessageKind::Error, "The backup file failed to open."), 0);
        WhenModalShows([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
        QCOMPARE(ShowMessage(MessageKind::YesNo, "Escape?"), 0);
        // Enter answers a question the harmless way.
        WhenModalShows([](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); });
        QCOMPARE(ShowMessage(MessageKind::YesNo, "Delete this connection?"), 0);
    }

    void theSelfClosingAlertClosesItself()
    {
        QElapsedTimer clock;
        clock.start();
        bool shown = false;
        WhenModalShows([&shown](QWidget* box) {
            shown = box->findChild<QLabel*>(ControlName(rid::IDC_MESSAGE_TEXT))->text()
                == QStringLiteral("No backup entry has been selected.");
        });
        QCOMPARE(ShowMessage(MessageKind::SelfClosingAlert, "No backup entry has been selected."), 0);
        const qint64 elapsed = clock.elapsed();
        QVERIFY(shown);
        QVERIFY2(elapsed >= 1900 && elapsed < 6000, qPrintable(QString::number(elapsed)));
    }

    void suppressedWhileInTheTray()
    {
        bool enabled = false;
        SetMessagesEnabledFlag(&enabled);
        // Nothing is shown: if a box came up, this would close it and fail.
        test::ModalGuard guard;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(ShowMessage(MessageKind::YesNo, "Do you wish to execute another?"), 0);
        QCOMPARE(ShowMessage(MessageKind::SelfClosingAlert, "gone"), 0);
        QVERIFY(clock.elapsed() < 500);
        QVERIFY(!guard.Appeared());
    }

    void theHookAnswersInOrderAndRecords()
    {
        MessageHook::Enable();
        MessageHook::SetNextAnswer(1);
        MessageHook::SetNextAnswer(0);
        QCOMPARE(ShowMessage(MessageKind::YesNo, "first"), 1);
        QCOMPARE(ShowMessage(MessageKind::YesNo, "second"), 0);
        QCOMPARE(ShowMessage(MessageKind::YesNo, "third"), 0); // nothing prepared
        QCOMPARE(MessageHook::Requests().size(), size_t(3));
        QCOMPARE(MessageHook::Requests()[1].text, std::string("second"));
        QCOMPARE(MessageHook::Requests()[2].kind, MessageKind::YesNo);
        QVERIFY(!MessageHook::Requests()[2].suppressed);
    }

    void quickStartScreenStoresAtOnce()
    {
        test::TempDataDir dir;
        test::PrepareEarlierRun(dir);
        AppState state(dir.path());
        StartUpBeforePages(state);
        QVERIFY(state.settings().firstEntry);

        bool checked = false;
        WhenModalShows([&](QWidget* screen) {
            QCOMPARE(screen->windowTitle(), QStringLiteral("Vorda - MySQL Backup System Quick Start Screen"));
            auto* picture = screen->findChild<QLabel*>(ControlName(rid::IDC_QUICK_START_PICTURE));
            QCOMPARE(picture->pixmap().size(), QSize(600, 500));
            auto* box = screen->findChild<QCheckBox*>(ControlName(rid::IDC_QUICK_START_CHECK));
            QCOMPARE(box->text(), QStringLiteral("Show this screen at system start - may be turned back on in the "
                                                 "configuration area "));
            QVERIFY(box->isChecked() && box->isEnabled());
            box->click();
            // Stored the moment it changed, before the screen closes.
            checked = state.store.GetValue(keys::kConfigurationTable, keys::kFirstEntry) == "FALSE";
            ButtonOf(screen, rid::IDCANCEL)->click();
        });
        ShowQuickStartScreen(state, false);
        QVERIFY(checked);
        QVERIFY(!state.settings().firstEntry);
        QCOMPARE(state.store.GetValue(keys::kConfigurationTable, keys::kFirstEntry), std::string("FALSE"));

        // From the configuration page the check box is greyed.
        bool greyed = false;
        WhenModalShows([&](QWidget* screen) {
            auto* box = screen->findChild<QCheckBox*>(ControlName(rid::IDC_QUICK_START_CHECK));
            greyed = !box->isEnabled() && !box->isChecked() && !state.quickStartCheckEnabled;
            screen->close();
        });
        ShowQuickStartScreen(state, true);
        QVERIFY(greyed);
        QVERIFY(state.quickStartCheckEnabled);
    }

    // The screen is as wide as its picture: the check box and "Cancel" stay
    // within the picture's width (no strip beside the banner), "Cancel"
    // below the check box at the picture's right edge.
    void quickStartScreenKeepsToItsPictureWidth()
    {
        test::TempDataDir dir;
        AppState state(dir.path());
        StartUpBeforePages(state);
        QuickStartScreen screen(state);
        screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&screen));
        auto* picture = screen.findChild<QLabel*>(ControlName(rid::IDC_QUICK_START_PICTURE));
        auto* box = screen.findChild<QCheckBox*>(ControlName(rid::IDC_QUICK_START_CHECK));
        QPushButton* cancel = ButtonOf(&screen, rid::IDCANCEL);
        const QRect shown = picture->geometry();
        QCOMPARE(screen.width() - shown.right() - 1, shown.left()); // even margins
        QVERIFY(box->geometry().right() <= shown.right());
        QVERIFY(box->width() >= box->sizeHint().width()); // the whole text shows
        QCOMPARE(cancel->geometry().right(), shown.right());
        QVERIFY(cancel->y() > box->geometry().bottom());
        QVERIFY(box->y() > shown.bottom());
    }
};

QTEST_MAIN(TestMessages)
#include "tst_messages.moc"
