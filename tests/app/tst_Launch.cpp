#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// The real `pendulo` program starts offscreen, quits cleanly when the session asks it to, and stays
// the only one.
class TestLaunch : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_runtime; // its own runtime folder: never meets a Pendulo the user runs

    void start(QProcess &pendulo, const QStringList &arguments = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        pendulo.setProcessEnvironment(environment);
        pendulo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        pendulo.start(QStringLiteral(PENDULO_BIN_DIR "/pendulo"), arguments);
        QVERIFY2(pendulo.waitForStarted(10000), qPrintable(pendulo.errorString()));
    }

    static void terminate(QProcess &pendulo)
    {
        ::kill(static_cast<pid_t>(pendulo.processId()), SIGTERM);
        QVERIFY(pendulo.waitForFinished(10000));
        QCOMPARE(pendulo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(pendulo.exitCode(), 0);
    }

private Q_SLOTS:
    void startsAndQuitsCleanlyOnTermination()
    {
        QProcess pendulo;
        start(pendulo);
        // Still running after start-up: it did not crash or exit on its own.
        QVERIFY(!pendulo.waitForFinished(1500));
        terminate(pendulo);
    }

    void secondStartLeavesTheFirstRunning()
    {
        QProcess first;
        start(first);
        const QString socket = m_runtime.filePath(QStringLiteral("com.penduloapp.Pendulo.socket"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket), 10000);

        QProcess second;
        start(second);
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        terminate(first);
    }
};

QTEST_GUILESS_MAIN(TestLaunch)
#include "tst_Launch.moc"
