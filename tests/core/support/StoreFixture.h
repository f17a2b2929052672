#pragma once

#include "fakes/FakeClock.h"
#include "store/ObjectStore.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <memory>

class Activity;

// A real store file in a fresh temporary folder, with a fake clock.
class StoreFixture
{
public:
    explicit StoreFixture(const QDateTime &now = QDateTime(QDate(2016, 3, 14), QTime(9, 0)));

    QString path() const { return m_folder.filePath(QStringLiteral("storedata")); }
    QString folder() const { return m_folder.path(); }
    FakeClock &clock() { return m_clock; }
    ObjectStore &store() { return *m_store; }
    Context &context() { return m_store->mainContext(); }

    // Closes the store and opens the file again (fails the test on error).
    void reopen();
    void close() { m_store.reset(); }

    // A new activity in the context with the given text and span, not saved.
    static Activity *makeActivity(Context &context, const QString &text, const QDateTime &from,
                                  const QDateTime &to);
    // The same, saved; fails the test when the save fails.
    static Activity *saveActivity(Context &context, const QString &text, const QDateTime &from,
                                  const QDateTime &to);
    // The number of rows of a table, read over a connection of its own.
    qint64 rowCount(const QString &table) const;

private:
    QTemporaryDir m_folder;
    FakeClock m_clock;
    std::unique_ptr<ObjectStore> m_store;
};
