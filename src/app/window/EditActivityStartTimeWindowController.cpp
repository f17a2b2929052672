#include "window/EditActivityStartTimeWindowController.h"

#include "Clock.h"

#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr qint64 dayInSeconds = 86400;

// The locale's short date and time, with seconds: a start is kept to the second.
QString pickerFormat()
{
    const QLocale locale;
    QString time = locale.timeFormat(QLocale::ShortFormat);
    if (!time.contains(QLatin1Char('s')))
        time.replace(QStringLiteral("mm"), QStringLiteral("mm:ss"));
    return locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + time;
}

} // namespace

EditActivityStartTimeWindowController::EditActivityStartTimeWindowController(const QDateTime &timeFrom,
                                                                             Clock &clock, QWidget *parent)
    : QDialog(parent)
    , m_startTimePicker(new QDateTimeEdit(this))
    , m_minDateLabel(new QLabel(this))
{
    setWindowTitle(tr("Change Start Time"));
    setWindowModality(Qt::WindowModal);

    const QDateTime now = clock.now();
    m_startTimePicker->setCalendarPopup(true);
    m_startTimePicker->setDisplayFormat(pickerFormat());
    m_startTimePicker->setMaximumDateTime(maximumStart(now));
    setMinDate(minimumStart(timeFrom, now));
    m_startTimePicker->setDateTime(timeFrom);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *set = buttons->addButton(tr("Set"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    set->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &EditActivityStartTimeWindowController::onSet);
    connect(buttons, &QDialogButtonBox::rejected, this, &EditActivityStartTimeWindowController::onCancel);

    auto *form = new QFormLayout;
    form->addRow(tr("Start time:"), m_startTimePicker);
    form->addRow(QString(), m_minDateLabel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QDateTime EditActivityStartTimeWindowController::minimumStart(const QDateTime &timeFrom, const QDateTime &now)
{
    const QDateTime dayAgo = now.addSecs(-dayInSeconds);
    return timeFrom < dayAgo ? timeFrom : dayAgo;
}

QDateTime EditActivityStartTimeWindowController::maximumStart(const QDateTime &now)
{
    const QDateTime wholeSecond = QDateTime::fromSecsSinceEpoch(now.toSecsSinceEpoch());
    return wholeSecond.addSecs(-1);
}

void EditActivityStartTimeWindowController::setMinDate(const QDateTime &date)
{
    m_startTimePicker->setMinimumDateTime(date);
    m_minDateLabel->setText(tr("min date: %1").arg(QLocale().toString(date, QLocale::ShortFormat)));
}

QDateTime EditActivityStartTimeWindowController::minDate() const
{
    return m_startTimePicker->minimumDateTime();
}

QDateTime EditActivityStartTimeWindowController::maxDate() const
{
    return m_startTimePicker->maximumDateTime();
}

QDateTime EditActivityStartTimeWindowController::startTime() const
{
    return m_startTimePicker->dateTime();
}

void EditActivityStartTimeWindowController::setStartTime(const QDateTime &date)
{
    m_startTimePicker->setDateTime(date);
}

QString EditActivityStartTimeWindowController::minDateText() const
{
    return m_minDateLabel->text();
}

void EditActivityStartTimeWindowController::onSet()
{
    accept();
}

void EditActivityStartTimeWindowController::onCancel()
{
    reject();
}
