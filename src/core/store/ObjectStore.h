#pragma once

#include "Context.h"
#include "ObjectId.h"
#include "PdError.h"
#include "SaveNotification.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class Clock;

// The store file and its contexts. Opened on the main thread; the main context and the merging of
// other contexts' saves live there. Every context made here must be destroyed before the store.
class ObjectStore : public QObject
{
    Q_OBJECT

public:
    // Opens a model-version-5 store, creating the schema when the file is absent or empty. A file that
    // is not SQLite, is damaged or has another version fails with an error naming it and stays
    // untouched. The clock gives "now" to new records and tombstones.
    static std::unique_ptr<ObjectStore> open(const QString &filePath, PdError *error = nullptr);
    static std::unique_ptr<ObjectStore> open(const QString &filePath, Clock &clock, PdError *error = nullptr);
    ~ObjectStore() override;

    QString filePath() const { return m_filePath; }
    Clock &clock() const { return m_clock; }

    // The context of the main thread (the thread that opened the store).
    Context &mainContext() { return *m_mainContext; }
    // A new context: a private one has its own connection and is then used on one worker thread only;
    // otherwise it works on the main thread over the main connection. Null when a private connection
    // cannot be opened.
    std::unique_ptr<Context> newContext(bool privateQueue);

    // While suspended (a migration runs), saves of other contexts are not merged into the main context.
    void setMergingSuspended(bool suspended) { m_mergingSuspended = suspended; }
    bool isMergingSuspended() const { return m_mergingSuspended; }

    // Whether the report sidebar orders projects / tasks by hand; new records then get the next
    // position. The application keeps these in step with its settings. Safe from any thread.
    void setOrderedByHand(EntityType entity, bool ordered);
    bool isOrderedByHand(EntityType entity) const;

    // A store whose file is thrown away after use (the import preview): commits skip the flush to disk.
    // Main thread, before other contexts are made.
    void setScratch(bool scratch);

Q_SIGNALS:
    // After every successful save of any context of this store; emitted on the saving context's thread.
    void saved(const SaveNotification &notification);
    // After another context's save was merged into the main context (main thread).
    void mainContextMerged(const SaveNotification &notification);

private:
    friend class Context;

    ObjectStore(const QString &filePath, std::unique_ptr<SQLite::Database> database, Clock &clock);
    std::unique_ptr<SQLite::Database> openConnection() const;
    void announceSave(const SaveNotification &notification);
    void mergeIntoMainContext(const SaveNotification &notification);

    QString m_filePath;
    Clock &m_clock;
    std::unique_ptr<SQLite::Database> m_database;
    std::unique_ptr<Context> m_mainContext;
    std::atomic<bool> m_mergingSuspended = false;
    std::atomic<bool> m_projectsOrderedByHand = false;
    std::atomic<bool> m_tasksOrderedByHand = false;
    bool m_scratch = false;
};
