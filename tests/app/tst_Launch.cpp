#include <QProcess>
#include <QTest>

#include <csignal>

// The real `pendulo` program starts offscreen and quits cleanly when the session asks it to.
class TestLaunch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsAndQuitsCleanlyOnTermination()
    {
        QProcess pendulo;
        pendulo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        pendulo.start(QStringLiteral(PENDULO_BIN_DIR "/pendulo"), {});
        QVERIFY2(pendulo.waitForStarted(10000), qPrintable(pendulo.errorString()));

        // Still running after start-up: it did not crash or exit on its own.
        QVERIFY(!pendulo.waitForFinished(1500));

        ::kill(static_cast<pid_t>(pendulo.processId()), SIGTERM);
        QVERIFY(pendulo.waitForFinished(10000));
        QCOMPARE(pendulo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(pendulo.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestLaunch)
#include "tst_Launch.moc"
