#include "fakes/FakeStatusItem.h"
#include "linux/TrayStatusItem.h"
#include "tray/TrayMenuBuilder.h"

#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

namespace {

QStringList titles(const QList<StatusMenuEntry> &entries)
{
    QStringList result;
    for (const StatusMenuEntry &entry : entries)
        result.append(entry.separator ? QStringLiteral("-") : entry.title);
    return result;
}

const StatusMenuEntry &child(const QList<StatusMenuEntry> &menu, const QString &id)
{
    for (const StatusMenuEntry &entry : menu) {
        if (entry.id == id)
            return entry;
    }
    qFatal("no menu entry %s", qPrintable(id));
}

} // namespace

// The status item's menu: its commands, their enabling and the recent-activity submenu.
class TestTrayMenu : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void topLevelEntriesInOrder()
    {
        QCOMPARE(titles(TrayMenu::build({})),
                 QStringList({"Open", "Track recent", "Stop tracking", "-", "Report", "Activities",
                              "Preferences", "-", "Quit"}));
    }

    void stopFollowsTracking()
    {
        TrayMenuState state;
        QVERIFY(!child(TrayMenu::build(state), TrayMenu::stop).enabled);
        state.tracking = true;
        QVERIFY(child(TrayMenu::build(state), TrayMenu::stop).enabled);
    }

    void activitiesSubmenuPerSyncMethod_data()
    {
        QTest::addColumn<int>("syncMethod");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("no sync") << 0 << "Setup sync" << QStringList{"Import"};
        QTest::newRow("Dropbox") << 1 << "Sync to Dropbox" << QStringList{"Import", "-", "Sync to Dropbox"};
        QTest::newRow("unknown method") << 7 << "Sync to Dropbox" << QStringList{"Import"};
    }
    void activitiesSubmenuPerSyncMethod()
    {
        QFETCH(int, syncMethod);
        QFETCH(QString, title);
        QFETCH(QStringList, expected);
        TrayMenuState state;
        state.syncMethod = syncMethod;
        state.syncMenuTitle = title;
        QCOMPARE(titles(child(TrayMenu::build(state), TrayMenu::activities).children), expected);
    }

    void promptDisablesEveryCommand()
    {
        TrayMenuState state;
        state.tracking = true;
        state.syncMethod = 1;
        state.commandsEnabled = false;
        state.recentActivities = {{QStringLiteral("Write offer"), false}};
        std::function<void(const QList<StatusMenuEntry> &)> check =
            [&](const QList<StatusMenuEntry> &entries) {
                for (const StatusMenuEntry &entry : entries) {
                    QVERIFY2(entry.separator || !entry.enabled, qPrintable(entry.title));
                    check(entry.children);
                }
            };
        check(TrayMenu::build(state));
    }

    void noRecentActivities()
    {
        const QList<StatusMenuEntry> recent = TrayMenu::recentEntries({});
        QCOMPARE(titles(recent), QStringList{"No previous activities!"});
        QVERIFY(!recent.first().enabled);
    }

    void runningActivityIsMarkedAndCannotBeChosen()
    {
        const QList<StatusMenuEntry> recent = TrayMenu::recentEntries(
            {{QStringLiteral("Write offer @Acme"), true}, {QStringLiteral("Call"), false}});
        QCOMPARE(recent.size(), 2);
        QVERIFY(recent[0].marked);
        QVERIFY(!recent[0].enabled);
        QVERIFY(!recent[1].marked);
        QVERIFY(recent[1].enabled);
        QCOMPARE(recent[1].id, TrayMenu::resume);
        QCOMPARE(recent[1].data, QStringLiteral("Call"));
    }

    void recentTitles_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        const QString fifty = QString(50, QLatin1Char('a'));
        QTest::newRow("50 characters whole") << fifty << fifty;
        QTest::newRow("51 characters cut") << fifty + "b" << QString(47, QLatin1Char('a')) + "...";
        QTest::newRow("line breaks become spaces") << "Call\n\nAcme"
                                                   << "Call  Acme";
        QTest::newRow("no half surrogate pair")
            << QString(46, QLatin1Char('a')) + QString::fromUtf8("😀") + QString(10, QLatin1Char('b'))
            << QString(46, QLatin1Char('a')) + "...";
    }
    void recentTitles()
    {
        QFETCH(QString, text);
        QFETCH(QString, title);
        const QList<StatusMenuEntry> recent = TrayMenu::recentEntries({{text, false}});
        QCOMPARE(recent.first().title, title);
        QCOMPARE(recent.first().data, text); // choosing it resumes the full text
    }

    void choosingRecentEntryReportsFullText()
    {
        const QString longText = QString(60, QLatin1Char('x'));
        FakeStatusItem item;
        TrayMenuState state;
        state.recentActivities = {{longText, false}};
        connect(&item, &StatusItem::menuAboutToShow, &item, [&] { item.setMenu(TrayMenu::build(state)); });
        QSignalSpy triggered(&item, &StatusItem::triggered);

        item.openMenu();
        QVERIFY(item.choose(TrayMenu::resume));
        QCOMPARE(triggered.size(), 1);
        QCOMPARE(triggered[0][0].toString(), TrayMenu::resume);
        QCOMPARE(triggered[0][1].toString(), longText);
        QVERIFY(!item.choose(TrayMenu::stop)); // disabled while not tracking
    }

    // The tray's real menu mirrors the entries: titles, separators, enabling, marks and choices.
    void trayMenuMirrorsEntries()
    {
        TrayStatusItem item;
        TrayMenuState state;
        state.tracking = true;
        state.syncMethod = 1;
        state.syncMenuTitle = QStringLiteral("Sync to Dropbox");
        state.recentActivities = {{QStringLiteral("Design & build"), true}, {QStringLiteral("Call"), false}};
        item.setMenu(TrayMenu::build(state));

        const QList<QAction *> actions = item.menu()->actions();
        QCOMPARE(actions.size(), 9);
        QCOMPARE(actions[0]->text(), QStringLiteral("Open"));
        QVERIFY(actions[3]->isSeparator());
        QVERIFY(actions[2]->isEnabled());

        QMenu *recent = actions[1]->menu();
        QVERIFY(recent);
        QCOMPARE(recent->actions().size(), 2);
        QCOMPARE(recent->actions()[0]->text(), QStringLiteral("Design && build")); // no mnemonic
        QVERIFY(!recent->actions()[0]->isEnabled());
        QVERIFY(!recent->actions()[0]->icon().isNull());

        QSignalSpy triggered(&item, &StatusItem::triggered);
        recent->actions()[1]->trigger();
        QCOMPARE(triggered.size(), 1);
        QCOMPARE(triggered[0][0].toString(), TrayMenu::resume);
        QCOMPARE(triggered[0][1].toString(), QStringLiteral("Call"));

        // Refilling while the menu exists replaces, not appends.
        state.tracking = false;
        item.setMenu(TrayMenu::build(state));
        QCOMPARE(item.menu()->actions().size(), 9);
        QVERIFY(!item.menu()->actions()[2]->isEnabled());
    }

    void trayMenuAsksForFreshEntriesWhenOpening()
    {
        TrayStatusItem item;
        QSignalSpy aboutToShow(&item, &StatusItem::menuAboutToShow);
        Q_EMIT item.menu()->aboutToShow();
        QCOMPARE(aboutToShow.size(), 1);
    }
};

QTEST_MAIN(TestTrayMenu)
#include "tst_TrayMenu.moc"
