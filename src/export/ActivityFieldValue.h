#pragma once

#include <QString>

class Activity;
class CSVTokenField;

// The text of one export field for an activity.
class ActivityFieldValue
{
public:
    // Activity fields: text, project name, task names (sorted, joined with ", "), uid, "1"/"0" for
    // invoiced. Duration fields: the duration in the value's format. Date fields: the start (end for end
    // codes) rendered by the cached formatter of the value. Unknown types and codes give empty text.
    static QString valueForField(const Activity &activity, const CSVTokenField &field);
};
