#include "TagEntity.h"

#include "Context.h"
#include "ObjectStore.h"
#include "SqlValues.h"

void TagEntity::setName(const QString &name)
{
    if (name == m_name && name.isNull() == m_name.isNull())
        return;
    willChange();
    m_name = name;
    context()->indexPendingTag(this);
}

void TagEntity::setPosition(std::optional<qint64> position)
{
    if (position == m_position)
        return;
    willChange();
    m_position = position;
}

void TagEntity::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    willChange();
    m_visible = visible;
}

void TagEntity::setInitialPosition()
{
    if (!context()->store().isOrderedByHand(entity()) || m_position)
        return;
    const std::optional<qint64> highest = context()->maxTagPosition(entity());
    setPosition(highest ? *highest + 1 : 0);
}

QVariantList TagEntity::columnValues() const
{
    return {m_name.isNull() ? QStringLiteral("") : m_name, nameKey(),
            m_position ? QVariant::fromValue(*m_position) : QVariant(), m_visible};
}

void TagEntity::setColumnValues(const QVariantList &values)
{
    m_name = SqlValues::toText(values.at(0));
    m_position = values.at(2).isValid() ? std::optional<qint64>(values.at(2).toLongLong()) : std::nullopt;
    m_visible = values.at(3).isValid() ? values.at(3).toLongLong() != 0 : true;
}
