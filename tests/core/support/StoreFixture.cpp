#include "StoreFixture.h"

#include "Activity.h"

#include <SQLiteCpp/Database.h>

#include <QTest>

StoreFixture::StoreFixture(const QDateTime &now)
    : m_clock(now)
{
    reopen();
}

void StoreFixture::reopen()
{
    m_store.reset();
    PdError error;
    m_store = ObjectStore::open(path(), m_clock, &error);
    if (!m_store)
        qFatal("Opening the test store failed: %s", qPrintable(error.description));
}

Activity *StoreFixture::makeActivity(Context &context, const QString &text, const QDateTime &from,
                                     const QDateTime &to)
{
    Activity *activity = context.insertActivity();
    activity->setText(text);
    activity->setTimeFrom(from);
    activity->setTimeTo(to);
    return activity;
}

Activity *StoreFixture::saveActivity(Context &context, const QString &text, const QDateTime &from,
                                     const QDateTime &to)
{
    Activity *activity = makeActivity(context, text, from, to);
    PdError error;
    if (!context.save(&error))
        qWarning("Saving the fixture activity failed: %s", qPrintable(error.toString()));
    return activity;
}

qint64 StoreFixture::rowCount(const QString &table) const
{
    SQLite::Database database(path().toStdString(), SQLite::OPEN_READONLY);
    return database.execAndGet(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table).toStdString()).getInt64();
}
