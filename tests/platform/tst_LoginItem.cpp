#include "TestHome.h"
#include "linux/XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

const QString HelperId = QStringLiteral("com.penduloapp.PenduloHelper");

// The "key=value" lines of the entry's [Desktop Entry] group.
QMap<QString, QString> readEntry(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QMap<QString, QString> entry;
    if (lines.value(0) != u"[Desktop Entry]")
        return entry;
    for (const QString &line : lines.mid(1)) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            entry.insert(line.left(equals), line.mid(equals + 1));
    }
    return entry;
}

// Restores XDG_CONFIG_HOME when a test changes it.
class ConfigHomeOverride
{
public:
    explicit ConfigHomeOverride(const QByteArray &value)
        : m_saved(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", value);
    }
    ~ConfigHomeOverride() { qputenv("XDG_CONFIG_HOME", m_saved); }

private:
    QByteArray m_saved;
};

} // namespace

class TestLoginItem : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::reset(); }

    void enablingWritesAStartableEntry()
    {
        XdgAutostartLoginItem loginItem;
        const QString path =
            TestHome::configHome() + QStringLiteral("/autostart/com.penduloapp.PenduloHelper.desktop");
        QCOMPARE(XdgAutostartLoginItem::entryPath(HelperId), path);
        QVERIFY(!loginItem.isEnabled(HelperId));

        QVERIFY(loginItem.setEnabled(HelperId, true));
        QVERIFY(loginItem.isEnabled(HelperId));
        const QMap<QString, QString> entry = readEntry(path);
        QCOMPARE(entry.value("Type"), QStringLiteral("Application"));
        QCOMPARE(entry.value("Exec"), QStringLiteral("pendulo-helper"));
        QVERIFY(!entry.value("Name").isEmpty());
        QVERIFY(entry.value("X-GNOME-Autostart-Delay").toInt() > 0);
        QVERIFY(!entry.contains("Hidden"));

        // Enabling again rewrites the entry in place.
        QVERIFY(loginItem.setEnabled(HelperId, true));
        QCOMPARE(QDir(TestHome::configHome() + QStringLiteral("/autostart")).entryList(QDir::Files).size(),
                 1);
    }

    void disablingRemovesTheEntry()
    {
        XdgAutostartLoginItem loginItem;
        QVERIFY(loginItem.setEnabled(HelperId, false)); // nothing there: already removed
        QVERIFY(loginItem.setEnabled(HelperId, true));
        QVERIFY(loginItem.setEnabled(HelperId, false));
        QVERIFY(!QFile::exists(XdgAutostartLoginItem::entryPath(HelperId)));
        QVERIFY(!loginItem.isEnabled(HelperId));
    }

    void failuresAreReported()
    {
        XdgAutostartLoginItem loginItem;
        const QString autostart = TestHome::configHome() + QStringLiteral("/autostart");

        // A file where the autostart folder belongs: the entry cannot be written.
        QFile blocker(autostart);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!loginItem.setEnabled(HelperId, true));
        QVERIFY(!loginItem.isEnabled(HelperId));
        QVERIFY(QFile::remove(autostart));

        // A folder with content where the entry belongs: it cannot be removed.
        QVERIFY(QDir().mkpath(XdgAutostartLoginItem::entryPath(HelperId) + QStringLiteral("/inside")));
        QVERIFY(!loginItem.setEnabled(HelperId, false));
    }

    void refusesIdentifiersThatAreNoFileName_data()
    {
        QTest::addColumn<QString>("identifier");
        QTest::newRow("empty") << QString();
        QTest::newRow("path") << QStringLiteral("../evil");
        QTest::newRow("slash") << QStringLiteral("a/b");
        QTest::newRow("hidden") << QStringLiteral(".hidden");
    }

    void refusesIdentifiersThatAreNoFileName()
    {
        QFETCH(QString, identifier);
        XdgAutostartLoginItem loginItem;
        QVERIFY(!loginItem.setEnabled(identifier, true));
        QVERIFY(QDir(TestHome::configHome()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    }

    void followsXdgConfigHome_data()
    {
        QTest::addColumn<QByteArray>("configHome");
        QTest::addColumn<QString>("expected");

        const QString fallback = QDir::homePath() + QStringLiteral("/.config/autostart");
        QTest::newRow("absolute") << QByteArray("/srv/cfg") << QStringLiteral("/srv/cfg/autostart");
        QTest::newRow("unset") << QByteArray() << fallback;
        QTest::newRow("relative") << QByteArray("cfg") << fallback;
    }

    void followsXdgConfigHome()
    {
        QFETCH(QByteArray, configHome);
        QFETCH(QString, expected);
        const ConfigHomeOverride override(configHome);
        QCOMPARE(XdgAutostartLoginItem::autostartDirectory(), expected);
    }

    void quotesTheProgramInExec_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");

        QTest::newRow("name") << "pendulo-helper"
                              << "pendulo-helper";
        QTest::newRow("space") << "/opt/My Apps/pendulo-helper"
                               << "\"/opt/My Apps/pendulo-helper\"";
        QTest::newRow("percent") << "/opt/100%/pendulo-helper"
                                 << "/opt/100%%/pendulo-helper";
        QTest::newRow("dollar") << "/opt/a$b/pendulo-helper"
                                << "\"/opt/a\\\\$b/pendulo-helper\"";
        QTest::newRow("quote") << "/opt/a\"b/h"
                               << "\"/opt/a\\\\\"b/h\"";
    }

    void quotesTheProgramInExec()
    {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        QCOMPARE(XdgAutostartLoginItem::execArgument(program), exec);
        QVERIFY(XdgAutostartLoginItem(program).entryContents().contains("\nExec=" + exec.toUtf8() + '\n'));
    }
};

QTEST_GUILESS_MAIN(TestLoginItem)
#include "tst_LoginItem.moc"
