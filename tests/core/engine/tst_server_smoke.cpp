#include "TestSupport.h"

#include <QTest>

class TestServerSmoke : public QObject {
    Q_OBJECT

private slots:
    void connectCreateAndDrop()
    {
        REQUIRE_TEST_SERVER();
        const ConnectionParams params = test::TestServer::Params();
        QCOMPARE(params.host, std::string("127.0.0.1"));
        MysqlConnection conn;
        QVERIFY(conn.Initialised());
        QVERIFY2(conn.Connect(params), conn.ErrorText().c_str());
        const std::string name = test::TestServer::UniqueName("vorda_smoke");
        QVERIFY2(conn.Query("CREATE DATABASE " + QuoteIdentifier(name)), conn.ErrorText().c_str());
        QVERIFY(conn.Query("SHOW DATABASES LIKE '" + conn.Escape(name) + "'"));
        MysqlResult result = conn.StoreResult();
        QCOMPARE(result.RowCount(), 1ULL);
        QVERIFY2(conn.Query("DROP DATABASE " + QuoteIdentifier(name)), conn.ErrorText().c_str());

        ConnectionParams wrong = params;
        wrong.password += "-wrong";
        MysqlConnection refused;
        QVERIFY(!refused.Connect(wrong));
        QCOMPARE(refused.ErrorNumber(), 1045u); // access denied

        // The library's own texts for its error numbers, where no handle is
        // there to give them, and none for a number that is not the client
        // library's.
        ConnectionParams closed = params;
        closed.port = 1;
        MysqlConnection nobody;
        QVERIFY(!nobody.Connect(closed));
        const std::string text = ClientErrorText(nobody.ErrorNumber());
        QVERIFY2(text.starts_with("Can't connect") && nobody.ErrorText().starts_with("Can't connect"), text.c_str());
        QVERIFY(!ClientErrorText(2008).starts_with("Unknown"));
        QCOMPARE(ClientErrorText(1045), std::string("Unknown client error 1045"));
    }
};

QTEST_GUILESS_MAIN(TestServerSmoke)
#include "tst_server_smoke.moc"
