#pragma once

#include "store/ObjectId.h"

#include <QDateTime>
#include <QList>
#include <QString>

// One listed activity as plain values: what the report, the exports and the command line show.
struct ReportRow
{
    ObjectId id;
    QString uid;
    QString text;
    QDateTime timeFrom;
    QDateTime timeTo;
    // Whole seconds, each end floored first (as Activity::durationSecs).
    qint64 durationSecs = 0;
    bool invoiced = false;
    // Null without a project.
    QString projectName;
    // The task names sorted and joined with ", " (as Activity::tasksStr); null without tasks.
    QString tasksStr;
};

// Its members move by plain copying of bytes, so long lists grow without moving row by row.
Q_DECLARE_TYPEINFO(ReportRow, Q_RELOCATABLE_TYPE);

using ReportRows = QList<ReportRow>;
