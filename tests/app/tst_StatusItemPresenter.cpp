#include "fakes/FakeStatusItem.h"
#include "tray/StatusItemPresenter.h"

#include <QSignalSpy>
#include <QTest>

// The status item as the settings and the tracking state ask for it.
class TestStatusItemPresenter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void itemExistsPerAppearance_data()
    {
        QTest::addColumn<int>("appearance");
        QTest::addColumn<bool>("exists");
        QTest::newRow("Dock") << 1 << false;
        QTest::newRow("Dock & Statusbar") << 2 << true;
        QTest::newRow("Statusbar") << 3 << true;
    }
    void itemExistsPerAppearance()
    {
        QFETCH(int, appearance);
        QFETCH(bool, exists);
        FakeStatusItem item;
        StatusItemPresenter presenter(item, {});
        presenter.setAppearance(appearance, 0);
        QCOMPARE(item.isVisible(), exists);
        QCOMPARE(presenter.hasItem(), exists);
    }

    void appearanceChangesLive()
    {
        FakeStatusItem item;
        StatusItemPresenter presenter(item, {});
        presenter.setAppearance(1, 1);
        QVERIFY(!item.isVisible());
        presenter.setAppearance(3, 1);
        QVERIFY(item.isVisible());
        QCOMPARE(item.type(), StatusItemType::Timer);
        QVERIFY(!item.menu().isEmpty());
        presenter.setAppearance(1, 1);
        QVERIFY(!item.isVisible());
    }

    void presentationPerType_data()
    {
        QTest::addColumn<int>("statusbarType");
        QTest::addColumn<bool>("tracking");
        QTest::addColumn<QString>("timer");
        QTest::newRow("Icon, tracking") << 0 << true << "";
        QTest::newRow("Timer, idle") << 1 << false << "--:--";
        QTest::newRow("Timer, 65 minutes") << 1 << true << "01:05";
        QTest::newRow("Icon & Timer, idle") << 2 << false << "--:--";
        QTest::newRow("Icon & Timer, 65 minutes") << 2 << true << "01:05";
    }
    void presentationPerType()
    {
        QFETCH(int, statusbarType);
        QFETCH(bool, tracking);
        QFETCH(QString, timer);
        FakeStatusItem item;
        StatusItemPresenter presenter(item, {});
        presenter.setAppearance(2, statusbarType);
        presenter.updateText(tracking, 65 * 60 + 12, QStringLiteral("Write offer @Acme"));
        QCOMPARE(int(item.type()), statusbarType);
        QCOMPARE(item.timerText(), timer);
        // Every type says what is going on in its tool tip.
        QCOMPARE(item.toolTip(), tracking ? QStringLiteral("Pendulo: tracking 01:05\nWrite offer @Acme")
                                          : QStringLiteral("Pendulo: not tracking"));
    }

    void menuIsRebuiltFromFreshStateWhenOpened()
    {
        FakeStatusItem item;
        TrayMenuState state;
        StatusItemPresenter presenter(item, [&state] { return state; });
        presenter.setAppearance(3, 0);
        QVERIFY(!item.entry(TrayMenu::stop)->enabled);

        state.tracking = true;
        state.recentActivities = {{QStringLiteral("Call"), false}};
        item.openMenu();
        QVERIFY(item.entry(TrayMenu::stop)->enabled);
        QCOMPARE(item.entry(TrayMenu::resume)->data, QStringLiteral("Call"));
    }

    void commandsBecomeSignals()
    {
        FakeStatusItem item;
        TrayMenuState state;
        state.tracking = true;
        state.syncMethod = 1;
        state.syncMenuTitle = QStringLiteral("Sync to Dropbox");
        state.recentActivities = {{QStringLiteral("Call @Acme"), false}};
        StatusItemPresenter presenter(item, [&state] { return state; });
        presenter.setAppearance(2, 0);

        QSignalSpy open(&presenter, &StatusItemPresenter::openRequested);
        QSignalSpy resume(&presenter, &StatusItemPresenter::resumeRequested);
        QSignalSpy stop(&presenter, &StatusItemPresenter::stopRequested);
        QSignalSpy report(&presenter, &StatusItemPresenter::reportRequested);
        QSignalSpy import(&presenter, &StatusItemPresenter::importRequested);
        QSignalSpy sync(&presenter, &StatusItemPresenter::syncRequested);
        QSignalSpy preferences(&presenter, &StatusItemPresenter::preferencesRequested);
        QSignalSpy quit(&presenter, &StatusItemPresenter::quitRequested);

        for (const QString &id : {TrayMenu::open, TrayMenu::resume, TrayMenu::stop, TrayMenu::report,
                                  TrayMenu::import, TrayMenu::sync, TrayMenu::preferences, TrayMenu::quit})
            QVERIFY2(item.choose(id), qPrintable(id));
        for (QSignalSpy *spy : {&open, &resume, &stop, &report, &import, &sync, &preferences, &quit})
            QCOMPARE(spy->size(), 1);
        QCOMPARE(resume[0][0].toString(), QStringLiteral("Call @Acme"));
    }
};

QTEST_GUILESS_MAIN(TestStatusItemPresenter)
#include "tst_StatusItemPresenter.moc"
