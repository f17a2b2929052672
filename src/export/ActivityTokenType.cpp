#include "ActivityTokenType.h"

QString ActivityTokenType::activityTokenToString(int valueType)
{
    switch (valueType) {
    case Date:
        return QStringLiteral("Date");
    case Duration:
        return QStringLiteral("Duration");
    case Activity:
        return QStringLiteral("Activity");
    default:
        return QStringLiteral("---");
    }
}
