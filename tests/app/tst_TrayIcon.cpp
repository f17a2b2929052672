#include "StatusTexts.h"
#include "linux/TrayStatusItem.h"
#include "tray/TrayIconRenderer.h"

#include <QApplication>
#include <QTest>

namespace {

bool isDigitInk(QRgb pixel)
{
    return qAlpha(pixel) == 255 && qGray(pixel) > 160;
}

int inkPixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += isDigitInk(image.pixel(x, y));
    }
    return count;
}

} // namespace

// The time drawn into the tray icon, and how often the icon changes.
class TestTrayIcon : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void timerImagesAreLegible_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("text");
        for (int size : {16, 22}) {
            for (int type : {1, 2}) {
                const QByteArray name = QByteArray::number(size) + (type == 1 ? " timer" : " icon & timer");
                QTest::newRow(name + " 01:05") << type << size << "01:05";
                QTest::newRow(name + " idle") << type << size << "";
                QTest::newRow(name + " 123:59") << type << size << "123:59";
            }
        }
    }
    void timerImagesAreLegible()
    {
        QFETCH(int, type);
        QFETCH(int, size);
        QFETCH(QString, text);
        const QImage image =
            TrayIconRenderer::render(StatusItemType(type), text, size).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(size, size));

        // The digits sit on an opaque plate, so the panel's colour, light or dark, never shows through.
        const int inset = size / 5;
        for (int y = inset; y < size - inset; ++y) {
            for (int x = inset; x < size - inset; ++x)
                QCOMPARE(qAlpha(image.pixel(x, y)), 255);
        }
        // There is light ink (the digits), and none of it touches the border: nothing is clipped.
        QVERIFY(inkPixels(image) >= 8);
        for (int i = 0; i < size; ++i) {
            QVERIFY(!isDigitInk(image.pixel(i, 0)) && !isDigitInk(image.pixel(i, size - 1)));
            QVERIFY(!isDigitInk(image.pixel(0, i)) && !isDigitInk(image.pixel(size - 1, i)));
        }
    }

    void differentTimesDrawDifferently()
    {
        for (int size : {16, 22}) {
            const QImage five =
                TrayIconRenderer::render(StatusItemType::Timer, QStringLiteral("01:05"), size);
            const QImage six = TrayIconRenderer::render(StatusItemType::Timer, QStringLiteral("01:06"), size);
            const QImage idle = TrayIconRenderer::render(StatusItemType::Timer, QString(), size);
            const QImage dashes =
                TrayIconRenderer::render(StatusItemType::Timer, QStringLiteral("--:--"), size);
            QVERIFY(five != six);
            QVERIFY(five != idle);
            QCOMPARE(idle, dashes); // nothing running shows "--:--"
        }
        QVERIFY(TrayIconRenderer::render(StatusItemType::Timer, QStringLiteral("01:05"), 22) !=
                TrayIconRenderer::render(StatusItemType::IconAndTimer, QStringLiteral("01:05"), 22));
    }

    void iconTypeShowsTheApplicationIcon()
    {
        const QImage icon = TrayIconRenderer::render(StatusItemType::Icon, QStringLiteral("01:05"), 22);
        QCOMPARE(icon.size(), QSize(22, 22));
        QVERIFY(!TrayIconRenderer::applicationIcon().isNull());
        QCOMPARE(icon, TrayIconRenderer::render(StatusItemType::Icon, QString(), 22));
    }

    // Fed every second for two minutes, the tray's image changes once per minute.
    void imageChangesAtMostOncePerMinute()
    {
        TrayStatusItem item;
        const int initial = item.iconChanges();
        const qint64 start = 65 * 60 + 30;
        for (qint64 second = start; second < start + 120; ++second)
            item.setPresentation(StatusItemType::Timer, StatusTexts::timerText(second));
        QCOMPARE(item.iconChanges() - initial, 3); // 01:05 (first), 01:06, 01:07

        const int beforeIcon = item.iconChanges();
        item.setPresentation(StatusItemType::Icon, QStringLiteral("01:07"));
        for (qint64 second = start; second < start + 600; second += 30)
            item.setPresentation(StatusItemType::Icon, StatusTexts::timerText(second));
        QCOMPARE(item.iconChanges() - beforeIcon, 1); // "Icon" shows no time
    }

    void waitsForTrayThatIsNotThereYet()
    {
        // The offscreen platform has no tray, like a session whose panel is still starting.
        TrayStatusItem item;
        item.setVisible(true);
        QVERIFY(item.isVisible());
        QVERIFY(item.isWaitingForTray());
        item.setVisible(false);
        QVERIFY(!item.isWaitingForTray());
    }
};

QTEST_MAIN(TestTrayIcon)
#include "tst_TrayIcon.moc"
