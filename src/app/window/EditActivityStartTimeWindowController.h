#pragma once

#include <QDateTime>
#include <QDialog>

class Clock;
class QDateTimeEdit;
class QLabel;

// The sheet that moves the start of the running activity. The start may go back 24 hours from now, or
// to the activity's own start when that is longer ago, and forward to one second before now (an
// activity lasts at least one second). The caller applies the chosen date when the sheet is accepted.
class EditActivityStartTimeWindowController : public QDialog
{
    Q_OBJECT

public:
    EditActivityStartTimeWindowController(const QDateTime &timeFrom, Clock &clock, QWidget *parent = nullptr);

    // The earliest and latest start the sheet allows for an activity that starts at `timeFrom`.
    static QDateTime minimumStart(const QDateTime &timeFrom, const QDateTime &now);
    static QDateTime maximumStart(const QDateTime &now);

    void setMinDate(const QDateTime &date);
    QDateTime minDate() const;
    QDateTime maxDate() const;

    QDateTime startTime() const;
    void setStartTime(const QDateTime &date);

    QString minDateText() const;

public Q_SLOTS:
    void onSet();
    void onCancel();

private:
    QDateTimeEdit *m_startTimePicker = nullptr;
    QLabel *m_minDateLabel = nullptr;
};
