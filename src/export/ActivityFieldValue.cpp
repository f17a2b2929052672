#include "ActivityFieldValue.h"

#include "Activity.h"
#include "CSVTokenField.h"
#include "DateFormatterCache.h"
#include "PDDurationTransformer.h"
#include "Project.h"

namespace {

QString activityValue(const Activity &activity, int value)
{
    switch (value) {
    case ActivityTokenValue::Text:
        return activity.text();
    case ActivityTokenValue::ProjectName: {
        const Project *project = activity.project();
        return project ? project->name() : QString();
    }
    case ActivityTokenValue::TaskTags:
        return activity.tasksStr();
    case ActivityTokenValue::Uid:
        return activity.uid();
    case ActivityTokenValue::InvoicedStatus:
        return activity.isInvoiced() ? QStringLiteral("1") : QStringLiteral("0");
    default:
        return QString();
    }
}

} // namespace

QString ActivityFieldValue::valueForField(const Activity &activity, const CSVTokenField &field)
{
    switch (field.tokenType().valueType()) {
    case ActivityTokenType::Activity:
        return activityValue(activity, field.tokenValue().value());
    case ActivityTokenType::Duration: {
        const PDDurationTransformer *transformer = field.tokenValue().transformer();
        return transformer ? transformer->transformedValue(activity.durationSecs()) : QString();
    }
    case ActivityTokenType::Date:
        return DateFormatterCache::getFormatterForValue(field.tokenValue().value())
            ->stringForActivity(activity);
    default:
        return QString();
    }
}
