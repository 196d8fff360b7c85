#include "AccessibilityCheck.h"
#include "gui/app/GuiTestSupport.h"
#include "core/state/AppState.h"
#include "core/store/Definitions.h"
#include "gui/app/Messages.h"
#include "gui/widgets/PasswordPrompt.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Runs `act` on the password prompt once it is up.
void WhenPromptShows(std::function<void(PasswordPrompt*)> act)
{
    test::WhenModalShows([act](QWidget* modal) {
        if (auto* prompt = qobject_cast<PasswordPrompt*>(modal))
            act(prompt);
        else
            modal->close();
    });
}

} // namespace

// The prompt for a password that was not saved.
class TestPasswordPrompt : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        PasswordHook::Reset();
        PasswordHook::Enable(false);
        SetMessagesEnabledFlag(nullptr);
    }

    void theHookAnswersInOrderAndRecords()
    {
        PasswordHook::Enable();
        PasswordHook::SetNextAnswer(std::string("first"));
        PasswordHook::SetNextAnswer(std::nullopt);
        PasswordHook::SetNextAnswer(std::string());
        QCOMPARE(AskPassword(nullptr, "shop"), std::optional<std::string>("first"));
        QCOMPARE(AskPassword(nullptr, "blog"), std::optional<std::string>()); // cancelled
        QCOMPARE(AskPassword(nullptr, "wiki"), std::optional<std::string>("")); // an empty password, given
        QCOMPARE(AskPassword(nullptr, "more"), std::optional<std::string>());  // nothing prepared: cancel

        // In the tray nobody is asked; the prepared answer waits.
        bool enabled = false;
        SetMessagesEnabledFlag(&enabled);
        PasswordHook::SetNextAnswer(std::string("later"));
        QCOMPARE(AskPassword(nullptr, "tray"), std::optional<std::string>());
        enabled = true;
        QCOMPARE(AskPassword(nullptr, "back"), std::optional<std::string>("later"));

        const auto& asked = PasswordHook::Requests();
        QCOMPARE(asked.size(), size_t(6));
        QCOMPARE(asked[0].connectionName, std::string("shop"));
        QVERIFY(!asked[0].suppressed);
        QCOMPARE(asked[4].connectionName, std::string("tray"));
        QVERIFY(asked[4].suppressed);
    }

    void theRealPromptIsMaskedAndStoresNothing()
    {
        test::TempDataDir dir;
        AppState state(dir.path());
        // A connection saved without its password.
        ConnectionDef def;
        def.name = "shop";
        def.Save(state.store);
        const std::string typed = "s3cr3t'Pw\\x";

        bool checked = false;
        WhenPromptShows([&](PasswordPrompt* prompt) {
            // A failed check still closes the prompt, so the test goes on.
            auto closeAnyway = qScopeGuard([prompt] {
                if (prompt->isVisible())
                    prompt->reject();
            });
            QVERIFY(prompt->isModal());
            auto* text = prompt->findChild<QLabel*>(QStringLiteral("PasswordPromptText"));
            QVERIFY(text->text().contains(QStringLiteral("\"shop\"")));
            QLineEdit* field = prompt->Field();
            QCOMPARE(field->echoMode(), QLineEdit::Password);
            QCOMPARE(prompt->focusWidget(), field);
            // The field is named by its label.
            QLabel* caption = nullptr;
            for (QLabel* label : prompt->findChildren<QLabel*>())
                if (label->buddy() == field)
                    caption = label;
            QVERIFY(caption);
            QCOMPARE(caption->text(), QStringLiteral("&Password:"));
            QVERIFY2(a11y::CheckPage(prompt).isEmpty(), qPrintable(a11y::CheckPage(prompt).join('\n')));
            QTest::keyClicks(field, QString::fromStdString(typed));
            // Neither the screen nor a screen reader shows what was typed.
            QVERIFY(!field->displayText().contains(QStringLiteral("s3cr3t")));
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(field);
            QVERIFY(!iface->text(QAccessible::Value).contains(QStringLiteral("s3cr3t")));
            QVERIFY(iface->state().passwordEdit);
            checked = true;
            QTest::keyClick(field, Qt::Key_Return);
        });
        QCOMPARE(AskPassword(nullptr, "shop"), std::optional<std::string>(typed));
        QVERIFY(checked);
        // Nothing of it was kept.
        QCOMPARE(ConnectionDef::Load(state.store, "shop").password, std::string());
        QVERIFY(test::ReadFile(dir.file("vorda.db")).find("s3cr3t") == std::string::npos);

        // Cancel and Escape answer nullopt, even with something typed.
        WhenPromptShows([](PasswordPrompt* prompt) {
            QTest::keyClicks(prompt->Field(), QStringLiteral("abc"));
            QTest::keyClick(prompt->Field(), Qt::Key_Escape);
        });
        QCOMPARE(AskPassword(nullptr, "shop"), std::optional<std::string>());

        // In the tray nothing comes up.
        bool enabled = false;
        SetMessagesEnabledFlag(&enabled);
        test::ModalGuard guard;
        QCOMPARE(AskPassword(nullptr, "shop"), std::optional<std::string>());
        QTest::qWait(50);
        QVERIFY(!guard.Appeared());
    }
};

QTEST_MAIN(TestPasswordPrompt)
#include "tst_password_prompt.moc"
