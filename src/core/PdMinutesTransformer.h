#pragma once

#include <QString>
#include <QVariant>

// Formats a whole number of minutes for interval labels: "1 minute", "5 minutes". One-way.
class PdMinutesTransformer
{
public:
    // A value that is not a number gives empty text.
    QString transformedValue(const QVariant &minutes) const;
    QString transformedValue(qint64 minutes) const;
};
