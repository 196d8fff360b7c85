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
    }
};

QTEST_GUILESS_MAIN(TestServerSmoke)
#include "tst_server_smoke.moc"
