#include "linux/SingleInstance.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// One Pendulo per user: later starts hand their arguments to the running one.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_runtime;

    QString socketPath() const { return m_runtime.filePath(QStringLiteral("com.penduloapp.Pendulo.socket")); }

    // `pendulo` with its own runtime folder, so it meets the server of this test and nothing else.
    QProcessEnvironment penduloEnvironment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        return environment;
    }

private Q_SLOTS:
    void cleanup() { QFile::remove(socketPath()); }

    void firstStartListensWithUserOnlyAccess()
    {
        SingleInstance instance(socketPath());
        QCOMPARE(instance.claim({}), SingleInstance::Claim::Primary);
        QVERIFY(instance.isListening());
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ReadOther | QFileDevice::WriteOther;
        QCOMPARE(QFileInfo(socketPath()).permissions() & others, QFileDevice::Permissions());
        QVERIFY(SingleInstance(socketPath()).isOtherInstanceRunning());
    }

    void leftoverSocketFileIsTakenOver()
    {
        QFile leftover(socketPath());
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.close();
        QVERIFY(!SingleInstance(socketPath()).isOtherInstanceRunning());

        SingleInstance instance(socketPath());
        QCOMPARE(instance.claim({}), SingleInstance::Claim::Primary);
        QVERIFY(instance.isListening());
    }

    // The real program, started a second time with an address, gives it to the running one and quits.
    void secondStartHandsOverItsArguments()
    {
        SingleInstance running(socketPath());
        QCOMPARE(running.claim({}), SingleInstance::Claim::Primary);
        QSignalSpy received(&running, &SingleInstance::argumentsReceived);

        QProcess second;
        second.setProcessEnvironment(penduloEnvironment());
        second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QString address = QStringLiteral("penduloapp://dropbox#access_token=abc&state=x y");
        second.start(QStringLiteral(PENDULO_BIN_DIR "/pendulo"), {address});
        QVERIFY(second.waitForStarted(10000));

        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 10000);
        QCOMPARE(received[0][0].toStringList(), QStringList{address});
        // The hand-over may already have ended it while the events above were processed.
        QVERIFY(second.state() == QProcess::NotRunning || second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
    }

    // A running program that does not take the arguments keeps its socket, and no second one starts.
    void silentRunningProgramIsNotReplaced()
    {
        QLocalServer silent; // accepts connections (the kernel queues them) but never answers
        QVERIFY(silent.listen(socketPath()));

        SingleInstance second(socketPath());
        second.setReplyTimeout(300);
        QCOMPARE(second.claim({QStringLiteral("penduloapp://dropbox#x")}),
                 SingleInstance::Claim::OtherNotAnswering);
        QVERIFY(!second.isListening());
        QVERIFY(QFile::exists(socketPath()));
        QVERIFY(silent.isListening());
    }

    void messageInPiecesIsReassembled()
    {
        SingleInstance running(socketPath());
        QCOMPARE(running.claim({}), SingleInstance::Claim::Primary);
        QSignalSpy received(&running, &SingleInstance::argumentsReceived);

        QByteArray payload;
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        out << QStringList{QStringLiteral("launchFromHelper")};
        QByteArray frame;
        QDataStream(&frame, QIODevice::WriteOnly) << quint32(payload.size());
        frame += payload;

        QLocalSocket client;
        client.connectToServer(socketPath());
        QVERIFY(client.waitForConnected(2000));
        for (char byte : frame) {
            client.write(&byte, 1);
            client.flush();
            QTest::qWait(1);
        }
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received[0][0].toStringList(), QStringList{"launchFromHelper"});
        QTRY_VERIFY(client.bytesAvailable() > 0); // acknowledged
    }

    void oversizedMessageIsRefused()
    {
        SingleInstance running(socketPath());
        QCOMPARE(running.claim({}), SingleInstance::Claim::Primary);
        QSignalSpy received(&running, &SingleInstance::argumentsReceived);

        QLocalSocket client;
        client.connectToServer(socketPath());
        QVERIFY(client.waitForConnected(2000));
        QByteArray header;
        QDataStream(&header, QIODevice::WriteOnly) << quint32(0x7fffffff);
        client.write(header);
        client.flush();
        QTRY_COMPARE(client.state(), QLocalSocket::UnconnectedState);
        QCOMPARE(received.size(), 0);
        QVERIFY(running.isListening()); // and it still serves the next start
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_SingleInstance.moc"
