#include "LaunchArguments.h"

#include <QTest>

// What a start of `pendulo` asks for.
class TestLaunchArguments : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recognised_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("fromHelper");
        QTest::addColumn<QStringList>("urls");
        QTest::newRow("plain start") << QStringList() << false << QStringList();
        QTest::newRow("login helper") << QStringList{"launchFromHelper"} << true << QStringList();
        QTest::newRow("Dropbox return")
            << QStringList{"penduloapp://dropbox#access_token=a%20b&uid=1"} << false
            << QStringList{"penduloapp://dropbox#access_token=a%20b&uid=1"};
        QTest::newRow("scheme in capitals")
            << QStringList{"PenduloApp://dropbox#x"} << false << QStringList{"penduloapp://dropbox#x"};
        QTest::newRow("other schemes ignored")
            << QStringList{"https://example.com", "file:///etc/passwd"} << false << QStringList();
        QTest::newRow("near misses ignored")
            << QStringList{"launchfromhelper", "penduloapp", "--launchFromHelper"} << false << QStringList();
    }
    void recognised()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, fromHelper);
        QFETCH(QStringList, urls);
        const LaunchArguments launch(arguments);
        QCOMPARE(launch.isLaunchFromHelper(), fromHelper);
        QStringList found;
        for (const QUrl &url : launch.penduloUrls())
            found.append(url.toString(QUrl::FullyEncoded));
        QCOMPARE(found, urls);
    }
};

QTEST_GUILESS_MAIN(TestLaunchArguments)
#include "tst_LaunchArguments.moc"
