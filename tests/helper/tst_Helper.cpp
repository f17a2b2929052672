#include "linux/SingleInstance.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// pendulo-helper, run at login: starts Pendulo in the background unless it already runs.
//
// The helper starts the `pendulo` next to it. Each test copies the helper into a folder of its own
// beside a stand-in `pendulo` that only writes down its arguments.
class TestHelper : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    QTemporaryDir m_runtime;

    QString record() const { return m_folder.filePath(QStringLiteral("started-with")); }
    QString socketPath() const { return m_runtime.filePath(QStringLiteral("com.penduloapp.Pendulo.socket")); }

    void runHelper()
    {
        QProcess helper;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        helper.setProcessEnvironment(environment);
        helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        helper.start(m_folder.filePath(QStringLiteral("pendulo-helper")), {});
        QVERIFY(helper.waitForFinished(10000));
        QCOMPARE(helper.exitStatus(), QProcess::NormalExit);
        QCOMPARE(helper.exitCode(), 0);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QFile::copy(QStringLiteral(PENDULO_BIN_DIR "/pendulo-helper"),
                            m_folder.filePath(QStringLiteral("pendulo-helper"))));
        QFile standIn(m_folder.filePath(QStringLiteral("pendulo")));
        QVERIFY(standIn.open(QIODevice::WriteOnly));
        standIn.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\n").arg(record()).toUtf8());
        standIn.close();
        standIn.setPermissions(standIn.permissions() | QFileDevice::ExeOwner);
    }

    void init() { QFile::remove(record()); }

    void startsPenduloInTheBackground()
    {
        runHelper();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(record()).size() > 0, 10000);
        QFile started(record());
        QVERIFY(started.open(QIODevice::ReadOnly));
        QCOMPARE(started.readAll(), QByteArray("launchFromHelper\n"));
    }

    void leavesRunningPenduloAlone()
    {
        SingleInstance running(socketPath());
        QCOMPARE(running.claim({}), SingleInstance::Claim::Primary);
        QSignalSpy handedOver(&running, &SingleInstance::argumentsReceived);

        runHelper();
        QTest::qWait(1000); // a wrongly started program would have written its record by now
        QVERIFY(!QFile::exists(record()));
        QCOMPARE(handedOver.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestHelper)
#include "tst_Helper.moc"
