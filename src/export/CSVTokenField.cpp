#include "CSVTokenField.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {

const QString ModeKey = QStringLiteral("tokenMode");
const QString TypeKey = QStringLiteral("tokenType");
const QString ValueKey = QStringLiteral("tokenValue");
const QString NameKey = QStringLiteral("xmlPropertyName");

int normalisedType(int type)
{
    return type == ActivityTokenType::Date || type == ActivityTokenType::Duration
               ? type
               : ActivityTokenType::Activity;
}

int defaultValue(int type)
{
    switch (type) {
    case ActivityTokenType::Date:
        return ActivityTokenValue::StartDateLocal;
    case ActivityTokenType::Duration:
        return ActivityTokenValue::DurationFormatted;
    default:
        return ActivityTokenValue::Text;
    }
}

// A whole number held by a stored value (JSON numbers arrive as doubles); none for anything else.
std::optional<int> storedInteger(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort: {
        bool ok = false;
        const qlonglong number = value.toLongLong(&ok);
        if (ok && number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max())
            return int(number);
        return std::nullopt;
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        if (std::isfinite(number) && std::trunc(number) == number &&
            number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max())
            return int(number);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

CSVTokenField::MenuItem header(const QString &title)
{
    return {CSVTokenField::MenuItem::Kind::Header, title, 0, false};
}

CSVTokenField::MenuItem separator()
{
    return {CSVTokenField::MenuItem::Kind::Separator, QString(), 0, false};
}

} // namespace

CSVTokenField::CSVTokenField()
    : CSVTokenField(CSVMode, ActivityTokenType::Activity, ActivityTokenValue::Text)
{}

CSVTokenField::CSVTokenField(int mode, int tokenType)
    : CSVTokenField(mode, tokenType, defaultValue(normalisedType(tokenType)))
{}

CSVTokenField::CSVTokenField(int mode, int tokenType, int value)
    : m_mode(mode == XMLMode ? XMLMode : CSVMode)
    , m_tokenType(normalisedType(tokenType))
    , m_tokenValue(value)
{}

void CSVTokenField::setTokenType(const ActivityTokenType &type)
{
    if (type == m_tokenType)
        return;
    m_tokenType = type;
    const bool shortDescription = m_tokenValue.showShortDescription();
    switch (type.valueType()) {
    case ActivityTokenType::Date:
        m_tokenValue = ActivityTokenValue(ActivityTokenValue::StartDateLocal);
        break;
    case ActivityTokenType::Duration:
        m_tokenValue = ActivityTokenValue(ActivityTokenValue::DurationFormatted);
        break;
    default:
        m_tokenValue = ActivityTokenValue(ActivityTokenValue::ProjectName);
        break;
    }
    m_tokenValue.setShowShortDescription(shortDescription);
}

void CSVTokenField::setTokenValue(const ActivityTokenValue &value)
{
    const bool shortDescription = m_tokenValue.showShortDescription();
    m_tokenValue = value.copy();
    m_tokenValue.setShowShortDescription(shortDescription);
}

void CSVTokenField::setTokenType(int type, int value)
{
    m_tokenType = ActivityTokenType(type);
    setTokenValue(ActivityTokenValue(value));
}

QString CSVTokenField::cleanedPropertyName(const QString &name, bool enabled)
{
    if (name.isNull())
        return QString();
    static const QRegularExpression spacesAndTabs(QStringLiteral("[ \\t]+"));
    QStringList pieces = name.trimmed().split(spacesAndTabs, Qt::SkipEmptyParts);
    const QString joined = pieces.join(u'-');
    if (joined.isEmpty())
        return QString();
    if (enabled && (joined == u"uid" || joined == u"from" || joined == u"to"))
        return QString();
    return joined;
}

void CSVTokenField::setXmlPropertyName(const QString &name)
{
    if (m_mode != XMLMode) {
        m_xmlPropertyName.clear();
        return;
    }
    const QString cleaned = cleanedPropertyName(name, m_enabled);
    if (!cleaned.isNull())
        m_xmlPropertyName = cleaned;
}

CSVTokenField CSVTokenField::copy() const
{
    CSVTokenField field;
    field.m_mode = m_mode;
    field.m_tokenType = m_tokenType;
    field.m_tokenValue = m_tokenValue.copy();
    return field;
}

QList<CSVTokenField::MenuItem> CSVTokenField::menu() const
{
    using V = ActivityTokenValue;
    QList<MenuItem> items;
    const auto value = [this](int code) {
        return MenuItem{MenuItem::Kind::Value, V::activityValueToString(code), code,
                        code == m_tokenValue.value()};
    };
    switch (m_tokenType.valueType()) {
    case ActivityTokenType::Date:
        items = {header(QStringLiteral("Start Date/Time")),
                 separator(),
                 value(V::StartDateTime),
                 value(V::StartDateLocal),
                 value(V::StartDateUniversal),
                 separator(),
                 value(V::StartYear),
                 value(V::StartMonth),
                 value(V::StartDay),
                 separator(),
                 value(V::StartTime),
                 value(V::StartHour),
                 value(V::StartMinute),
                 value(V::StartSecond),
                 separator(),
                 header(QStringLiteral("End Date/Time")),
                 separator(),
                 value(V::EndDateTime),
                 value(V::EndDateLocal),
                 value(V::EndDateUniversal),
                 separator(),
                 value(V::EndYear),
                 value(V::EndMonth),
                 value(V::EndDay),
                 separator(),
                 value(V::EndTime),
                 value(V::EndHour),
                 value(V::EndMinute),
                 value(V::EndSecond)};
        break;
    case ActivityTokenType::Duration:
        items = {header(QStringLiteral("Duration")), separator(), value(V::DurationFormatted),
                 value(V::DurationMinutes), value(V::DurationDecimalHours)};
        break;
    default:
        items = {header(QStringLiteral("Activity")),
                 separator(),
                 value(V::Text),
                 value(V::ProjectName),
                 value(V::TaskTags),
                 value(V::Uid),
                 value(V::InvoicedStatus)};
        break;
    }
    return items;
}

QList<ActivityTokenType> CSVTokenField::xmlMenu()
{
    return {ActivityTokenType(ActivityTokenType::Activity), ActivityTokenType(ActivityTokenType::Date),
            ActivityTokenType(ActivityTokenType::Duration)};
}

QList<CSVTokenField::ListEntry> CSVTokenField::xmlSubMenu() const
{
    QList<ListEntry> entries;
    for (const MenuItem &item : menu()) {
        switch (item.kind) {
        case MenuItem::Kind::Value:
            entries.append(ActivityTokenValue(item.value));
            break;
        case MenuItem::Kind::Separator:
            entries.append(QStringLiteral("-"));
            break;
        case MenuItem::Kind::Header:
            entries.append(item.title);
            break;
        }
    }
    return entries;
}

QVariantMap CSVTokenField::toStoredForm() const
{
    QVariantMap map;
    map.insert(ModeKey, int(m_mode));
    map.insert(TypeKey, m_tokenType.valueType());
    map.insert(ValueKey, m_tokenValue.value());
    if (m_mode == XMLMode && !m_xmlPropertyName.isNull())
        map.insert(NameKey, m_xmlPropertyName);
    return map;
}

std::optional<CSVTokenField> CSVTokenField::fromStoredForm(const QVariant &entry)
{
    if (entry.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = entry.toMap();
    const std::optional<int> type = storedInteger(map.value(TypeKey));
    const std::optional<int> value = storedInteger(map.value(ValueKey));
    if (!type || !value)
        return std::nullopt;
    const std::optional<int> mode = storedInteger(map.value(ModeKey));
    CSVTokenField field(mode.value_or(CSVMode) == XMLMode ? XMLMode : CSVMode, *type, *value);
    const QVariant name = map.value(NameKey);
    if (name.typeId() == QMetaType::QString)
        field.setXmlPropertyName(name.toString());
    return field;
}

QByteArray CSVTokenField::toPasteboardData() const
{
    return QJsonDocument(QJsonObject::fromVariantMap(toStoredForm())).toJson(QJsonDocument::Compact);
}

std::optional<CSVTokenField> CSVTokenField::fromPasteboardData(const QByteArray &data)
{
    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (!document.isObject())
        return std::nullopt;
    return fromStoredForm(document.object().toVariantMap());
}

bool operator==(const CSVTokenField &a, const CSVTokenField &b)
{
    return a.m_mode == b.m_mode && a.m_tokenType == b.m_tokenType && a.m_tokenValue == b.m_tokenValue &&
           a.xmlPropertyName() == b.xmlPropertyName() && a.m_enabled == b.m_enabled;
}
