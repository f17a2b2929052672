#include "PdMinutesTransformer.h"

#include "PDDurationTransformer.h"

QString PdMinutesTransformer::transformedValue(const QVariant &minutes) const
{
    const std::optional<qint64> count = PDDurationTransformer::integerFromValue(minutes);
    if (!count)
        return QStringLiteral("");
    return transformedValue(*count);
}

QString PdMinutesTransformer::transformedValue(qint64 minutes) const
{
    // English has the singular only for exactly one.
    const bool singular = minutes == 1 || minutes == -1;
    return QString::number(minutes) + (singular ? QStringLiteral(" minute") : QStringLiteral(" minutes"));
}
