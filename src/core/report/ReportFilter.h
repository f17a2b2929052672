#pragma once

#include "ReportPeriod.h"
#include "store/ObjectId.h"

#include <QSet>
#include <QString>

#include <optional>

// Which activities the report lists. Every condition that is set must hold.
struct ReportFilter
{
    enum class Invoiced
    {
        All = 0,
        OnlyInvoiced = 1,
        OnlyNotInvoiced = 2,
    };

    // Activities that overlap the span: ending at or after its start and starting before its end.
    std::optional<ReportBounds> bounds;
    // A case-insensitive substring of the text; "*" stands for any run of characters, "?" for one.
    QString searchText;
    // Activities of one of these projects (ids of other entities are ignored).
    QSet<ObjectId> projectIds;
    // Activities that carry at least one of these tasks.
    QSet<ObjectId> taskIds;
    Invoiced invoiced = Invoiced::All;
};
