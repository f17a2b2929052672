// pendulo-gallery: shows the desktop program's pieces in fixed states, for screenshots and visual checks.
//   pendulo-gallery window-idle | window-error | window-tracking | completion | tray-icons [file.png]
// "tray-icons" with a file name writes the renderings, enlarged, into that PNG instead of showing them.

#include "ActivityTextView.h"
#include "StatusTexts.h"
#include "tray/TrayIconRenderer.h"
#include "window/MainWindow.h"
#include "window/MessageLine.h"
#include "window/PDMainWindowStatusbarView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QTest>
#include <QTimer>

namespace {

QStringList projectNames(const QString &prefix, bool)
{
    QStringList names;
    for (const QString &name :
         {QStringLiteral("Acme"), QStringLiteral("Acme Website"), QStringLiteral("Actuaries")}) {
        if (name.startsWith(prefix, Qt::CaseInsensitive))
            names.append(prefix + name.mid(prefix.size()));
    }
    return names;
}

QImage trayIconSheet()
{
    // Rows: 16 and 22 pixels on a light panel, then on a dark one. Columns: "Icon", then "Timer" and
    // "Icon & Timer" with nothing running and with three running times.
    const QStringList texts{QString(), QStringLiteral("01:05"), QStringLiteral("12:59"),
                            QStringLiteral("123:04")};
    QList<QPair<StatusItemType, QString>> columns{{StatusItemType::Icon, QString()}};
    for (StatusItemType type : {StatusItemType::Timer, StatusItemType::IconAndTimer}) {
        for (const QString &text : texts)
            columns.append({type, text});
    }
    const QList<QColor> panels{QColor(0xf6, 0xf5, 0xf4), QColor(0x24, 0x1f, 0x31)};
    const int scale = 4;
    const int cell = 28;
    QImage sheet(scale * cell * int(columns.size()), scale * cell * 4, QImage::Format_ARGB32);
    QPainter painter(&sheet);
    int row = 0;
    for (const QColor &panel : panels) {
        for (int size : {16, 22}) {
            for (int column = 0; column < columns.size(); ++column) {
                QImage plate(cell, cell, QImage::Format_ARGB32);
                plate.fill(panel);
                QPainter platePainter(&plate);
                const int offset = (cell - size) / 2;
                platePainter.drawImage(
                    offset, offset,
                    TrayIconRenderer::render(columns[column].first, columns[column].second, size));
                platePainter.end();
                painter.drawImage(
                    QRect(column * cell * scale, row * cell * scale, cell * scale, cell * scale), plate);
            }
            ++row;
        }
    }
    return sheet;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    const QString scene = arguments.value(1, QStringLiteral("window-idle"));

    if (scene == QLatin1String("tray-icons")) {
        const QImage sheet = trayIconSheet();
        if (arguments.size() > 2)
            return sheet.save(arguments.at(2)) ? 0 : 1;
        auto *label = new QLabel;
        label->setPixmap(QPixmap::fromImage(sheet));
        label->move(0, 0);
        label->show();
        return QApplication::exec();
    }

    MainWindow window;
    window.move(40, 40);
    window.textView()->setProjectNameProvider(projectNames);
    window.textView()->setActivityText(QStringLiteral("Write offer @Acme #sales"));
    window.statusbarView()->setStatusString(StatusTexts::notTrackingStatus());
    window.setRecentActivitiesProvider([] {
        return RecentActivityList{{QStringLiteral("Write offer @Acme #sales"), false},
                                  {QStringLiteral("Call with the accounting team about the yearly report "
                                                  "@Actuaries #calls"),
                                   false}};
    });

    if (scene == QLatin1String("window-error")) {
        window.errorLabel()->showError(QStringLiteral("Stop previous activity before tracking new!"));
    }
    if (scene == QLatin1String("window-error") || scene == QLatin1String("window-tracking")) {
        window.setTrackingState(true, false);
        window.statusbarView()->setStatusString(StatusTexts::trackingStatus(3600 + 5 * 60 + 9));
        window.statusbarView()->setEditStartTimeButtonVisible(true);
        window.statusbarView()->setSyncStatus(PDMainWindowStatusbarView::SyncFinished, 1);
    }
    if (scene == QLatin1String("window-tracking"))
        window.errorLabel()->showInfo(
            QStringLiteral("Tip: press \"Update activity\" to update current activity!"));
    window.show();
    window.activateWindow();

    if (scene == QLatin1String("completion")) {
        window.textView()->setActivityText(QStringLiteral("Call about the offer "));
        QTimer::singleShot(300, &window, [&window] {
            window.textView()->setFocus();
            QTest::keyClicks(window.textView(), QStringLiteral("@Ac"));
        });
    }
    if (scene == QLatin1String("previous")) {
        QTimer::singleShot(300, &window, [&window] { window.showEarlierActivities(); });
    }
    return QApplication::exec();
}
