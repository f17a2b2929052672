#include "store/StatementCache.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <QTemporaryDir>
#include <QTest>

class TestStatementCache : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void returnedStatementsAreResetAndUnbound()
    {
        SQLite::Database database(":memory:", SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        StatementCache cache;
        {
            StatementCache::Lease lease = cache.acquire(database, "SELECT ?");
            lease->bind(1, 42);
            QVERIFY(lease->executeStep());
            QCOMPARE(lease->getColumn(0).getInt(), 42);
        }
        StatementCache::Lease again = cache.acquire(database, "SELECT ?");
        QVERIFY(again->executeStep()); // would throw if the statement had not been reset
        QVERIFY(again->getColumn(0).isNull());
    }

    void nestedUseOfTheSameTextGetsItsOwnStatement()
    {
        SQLite::Database database(":memory:", SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        database.exec("CREATE TABLE t (v INTEGER); INSERT INTO t VALUES (1), (2)");
        StatementCache cache;
        StatementCache::Lease outer = cache.acquire(database, "SELECT v FROM t ORDER BY v");
        QVERIFY(outer->executeStep());
        StatementCache::Lease inner = cache.acquire(database, "SELECT v FROM t ORDER BY v");
        QVERIFY(&*inner != &*outer);
        QVERIFY(inner->executeStep());
        QCOMPARE(inner->getColumn(0).getInt(), 1);
        QVERIFY(outer->executeStep());
        QCOMPARE(outer->getColumn(0).getInt(), 2);
    }

    // A query given back before its last row must not keep a read snapshot open: that would stop every
    // checkpoint of the write-ahead log for as long as the connection lives.
    void unfinishedQueryHoldsNoSnapshotAfterItIsGivenBack()
    {
        QTemporaryDir folder;
        const std::string path = folder.filePath(QStringLiteral("store")).toStdString();
        SQLite::Database reader(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        reader.exec("PRAGMA journal_mode = WAL; CREATE TABLE t (v INTEGER); INSERT INTO t VALUES (1), (2)");
        SQLite::Database writer(path, SQLite::OPEN_READWRITE);
        StatementCache cache;
        {
            StatementCache::Lease lease = cache.acquire(reader, "SELECT v FROM t");
            QVERIFY(lease->executeStep());
            writer.exec("INSERT INTO t VALUES (3)");
            SQLite::Statement blocked(writer, "PRAGMA wal_checkpoint(TRUNCATE)");
            QVERIFY(blocked.executeStep());
            QCOMPARE(blocked.getColumn(0).getInt(), 1); // busy while the snapshot is held
        }
        SQLite::Statement checkpoint(writer, "PRAGMA wal_checkpoint(TRUNCATE)");
        QVERIFY(checkpoint.executeStep());
        QCOMPARE(checkpoint.getColumn(0).getInt(), 0);
    }
};

QTEST_GUILESS_MAIN(TestStatementCache)
#include "tst_StatementCache.moc"
