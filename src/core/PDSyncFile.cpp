#include "PDSyncFile.h"

#include "store/SqlValues.h"

#include <QStringList>

void PDSyncFile::setName(const QString &name)
{
    if (name == m_name && name.isNull() == m_name.isNull())
        return;
    willChange();
    m_name = name;
    m_nameParsed = false;
}

void PDSyncFile::setRevision(const QString &revision)
{
    if (revision == m_revision && revision.isNull() == m_revision.isNull())
        return;
    willChange();
    m_revision = revision;
}

void PDSyncFile::setActivityHash(const QString &activityHash)
{
    if (activityHash == m_activityHash && activityHash.isNull() == m_activityHash.isNull())
        return;
    willChange();
    m_activityHash = activityHash;
}

void PDSyncFile::parseName() const
{
    if (m_nameParsed)
        return;
    m_nameParsed = true;
    m_year.reset();
    m_month.reset();
    const QStringList parts = m_name.split(QLatin1Char('-'));
    if (parts.size() != 2)
        return;
    bool yearOk = false;
    bool monthOk = false;
    const qint64 year = parts.at(0).toLongLong(&yearOk);
    const qint64 month = parts.at(1).toLongLong(&monthOk);
    if (yearOk)
        m_year = year;
    if (monthOk)
        m_month = month;
}

qint64 PDSyncFile::year() const
{
    parseName();
    Q_ASSERT_X(m_year.has_value(), "PDSyncFile::year", "year != nil");
    return m_year.value_or(0);
}

qint64 PDSyncFile::month() const
{
    parseName();
    Q_ASSERT_X(m_month.has_value(), "PDSyncFile::month", "month != nil");
    return m_month.value_or(0);
}

bool PDSyncFile::hasRevisionPrefix(const QString &prefix) const
{
    if (prefix.isNull())
        return false;
    const qsizetype colon = m_revision.indexOf(QLatin1Char(':'));
    return colon >= 0 && m_revision.left(colon) == prefix;
}

QVariantList PDSyncFile::columnValues() const
{
    return {m_name.isNull() ? QStringLiteral("") : m_name, SqlValues::fromText(m_revision),
            SqlValues::fromText(m_activityHash)};
}

void PDSyncFile::setColumnValues(const QVariantList &values)
{
    m_name = SqlValues::toText(values.at(0));
    m_revision = SqlValues::toText(values.at(1));
    m_activityHash = SqlValues::toText(values.at(2));
    m_nameParsed = false;
}
