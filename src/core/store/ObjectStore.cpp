#include "ObjectStore.h"

#include "StoreErrors.h"
#include "StoreSchema.h"

#include "Clock.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcStore, "pendulo.core.store")

namespace {

const QStringList requiredTables = {
    QStringLiteral("activity"),      QStringLiteral("project"),          QStringLiteral("task"),
    QStringLiteral("activity_task"), QStringLiteral("deleted_activity"), QStringLiteral("sync_file")};

PdError storeError(StoreErrors::Code code, const QString &description)
{
    return PdError::make(StoreErrors::domain, code, description);
}

QString shown(const QString &filePath)
{
    return QDir::toNativeSeparators(filePath);
}

void configure(SQLite::Database &database)
{
    // Another connection may hold the write lock for a while (a sync saving many months).
    database.exec("PRAGMA busy_timeout = 10000");
    database.exec("PRAGMA journal_mode = WAL");
    database.exec("PRAGMA foreign_keys = ON");
    // In WAL mode NORMAL loses no committed transaction when the process dies, only on power loss.
    database.exec("PRAGMA synchronous = NORMAL");
    // Up to 32 MiB of pages per connection (the default is 2 MiB): inserting thousands of activities
    // updates several indexes at random places (uids), which otherwise rereads pages from the file.
    // The cache only grows as far as a connection actually uses it.
    database.exec("PRAGMA cache_size = -32768");
}

// Checks an existing, non-empty file without writing to it: an SQLite database that passes its quick
// integrity check, has Pendulo's tables and the current model version.
PdError checkExistingStore(const QString &filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return storeError(StoreErrors::CannotOpen, QStringLiteral("The store file “%1” could not be read: %2")
                                                       .arg(shown(filePath), file.errorString()));
    const QByteArray header = file.read(16);
    file.close();
    if (header != QByteArray("SQLite format 3\0", 16))
        return storeError(StoreErrors::NotAStore,
                          QStringLiteral("The file “%1” is not a Pendulo store (it is no SQLite database).")
                              .arg(shown(filePath)));
    try {
        SQLite::Database database(filePath.toStdString(), SQLite::OPEN_READONLY);
        database.exec("PRAGMA busy_timeout = 10000");
        SQLite::Statement check(database, "PRAGMA quick_check");
        QStringList problems;
        while (check.executeStep()) {
            const QString line = QString::fromUtf8(check.getColumn(0).getText());
            if (line != QLatin1String("ok"))
                problems.append(line);
        }
        if (!problems.isEmpty())
            return storeError(
                StoreErrors::Damaged,
                QStringLiteral("The store file “%1” is damaged: %2").arg(shown(filePath), problems.first()));
        const int version = database.execAndGet("PRAGMA user_version").getInt();
        if (version != StoreSchema::currentVersion) {
            const QString which = version > StoreSchema::currentVersion
                                      ? QStringLiteral("a newer Pendulo")
                                      : QStringLiteral("an older Pendulo and needs migrating");
            return storeError(StoreErrors::OtherVersion,
                              QStringLiteral("The store file “%1” has model version %2 (written by %3); this "
                                             "Pendulo opens version %4.")
                                  .arg(shown(filePath))
                                  .arg(version)
                                  .arg(which)
                                  .arg(StoreSchema::currentVersion));
        }
        for (const QString &table : requiredTables) {
            if (!database.tableExists(table.toStdString()))
                return storeError(StoreErrors::Damaged,
                                  QStringLiteral("The store file “%1” is damaged: the table “%2” is missing.")
                                      .arg(shown(filePath), table));
        }
    } catch (const std::exception &e) {
        return storeError(StoreErrors::Damaged, QStringLiteral("The store file “%1” is damaged: %2")
                                                    .arg(shown(filePath), QString::fromUtf8(e.what())));
    }
    return {};
}

// Reading a WAL-mode file creates its "-wal" and "-shm" companions; a refused file keeps none that
// were not there before (a read-only connection writes nothing into them).
class CompanionFilesGuard
{
public:
    explicit CompanionFilesGuard(const QString &filePath)
    {
        for (const char *suffix : {"-wal", "-shm"}) {
            const QString companion = filePath + QLatin1String(suffix);
            if (!QFile::exists(companion))
                m_absent.append(companion);
        }
    }
    void removeCreated() const
    {
        for (const QString &companion : m_absent)
            QFile::remove(companion);
    }

private:
    QStringList m_absent;
};

void createSchema(SQLite::Database &database)
{
    SQLite::Transaction transaction(database);
    database.exec(StoreSchema::createSql(StoreSchema::currentVersion).toStdString());
    transaction.commit();
}

void registerMetaTypes()
{
    qRegisterMetaType<SaveNotification>();
    qRegisterMetaType<ObjectId>();
}

} // namespace

std::unique_ptr<ObjectStore> ObjectStore::open(const QString &filePath, PdError *error)
{
    return open(filePath, Clock::system(), error);
}

std::unique_ptr<ObjectStore> ObjectStore::open(const QString &filePath, Clock &clock, PdError *error)
{
    registerMetaTypes();
    auto fail = [&](const PdError &failure) -> std::unique_ptr<ObjectStore> {
        qCWarning(lcStore, "%s", qUtf8Printable(failure.description));
        if (error)
            *error = failure;
        return nullptr;
    };
    const QFileInfo info(filePath);
    if (info.exists() && !info.isFile())
        return fail(storeError(StoreErrors::CannotOpen,
                               QStringLiteral("The store “%1” is not a file.").arg(shown(filePath))));
    if (!info.exists() && !info.dir().exists())
        return fail(
            storeError(StoreErrors::CannotOpen,
                       QStringLiteral("The folder of the store “%1” does not exist.").arg(shown(filePath))));
    const bool fresh = !info.exists() || info.size() == 0;
    if (!fresh) {
        const CompanionFilesGuard companions(filePath);
        if (const PdError problem = checkExistingStore(filePath)) {
            companions.removeCreated();
            return fail(problem);
        }
    }
    try {
        auto database = std::make_unique<SQLite::Database>(filePath.toStdString(),
                                                           SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        configure(*database);
        if (fresh)
            createSchema(*database);
        return std::unique_ptr<ObjectStore>(new ObjectStore(filePath, std::move(database), clock));
    } catch (const std::exception &e) {
        return fail(
            storeError(StoreErrors::CannotOpen, QStringLiteral("The store file “%1” could not be opened: %2")
                                                    .arg(shown(filePath), QString::fromUtf8(e.what()))));
    }
}

ObjectStore::ObjectStore(const QString &filePath, std::unique_ptr<SQLite::Database> database, Clock &clock)
    : m_filePath(filePath)
    , m_clock(clock)
    , m_database(std::move(database))
{
    m_mainContext.reset(new Context(*this, Context::Kind::Main, m_database.get()));
    // Saves on the main thread merge at once; saves on worker threads are queued to the main thread.
    connect(this, &ObjectStore::saved, this, &ObjectStore::mergeIntoMainContext);
}

ObjectStore::~ObjectStore()
{
    m_mainContext.reset();
}

std::unique_ptr<SQLite::Database> ObjectStore::openConnection() const
{
    auto database = std::make_unique<SQLite::Database>(m_filePath.toStdString(), SQLite::OPEN_READWRITE);
    configure(*database);
    if (m_scratch)
        database->exec("PRAGMA synchronous = OFF");
    return database;
}

std::unique_ptr<Context> ObjectStore::newContext(bool privateQueue)
{
    if (!privateQueue)
        return std::unique_ptr<Context>(new Context(*this, Context::Kind::MainThread, m_database.get()));
    try {
        std::unique_ptr<SQLite::Database> database = openConnection();
        std::unique_ptr<Context> context(new Context(*this, Context::Kind::Private, database.get()));
        context->m_ownDatabase = std::move(database);
        return context;
    } catch (const std::exception &e) {
        qCWarning(lcStore, "Opening another connection to %s failed: %s", qUtf8Printable(m_filePath),
                  e.what());
        return nullptr;
    }
}

void ObjectStore::setScratch(bool scratch)
{
    m_scratch = scratch;
    m_database->exec(scratch ? "PRAGMA synchronous = OFF" : "PRAGMA synchronous = NORMAL");
}

void ObjectStore::setOrderedByHand(EntityType entity, bool ordered)
{
    if (entity == EntityType::Project)
        m_projectsOrderedByHand = ordered;
    else if (entity == EntityType::Task)
        m_tasksOrderedByHand = ordered;
}

bool ObjectStore::isOrderedByHand(EntityType entity) const
{
    if (entity == EntityType::Project)
        return m_projectsOrderedByHand;
    if (entity == EntityType::Task)
        return m_tasksOrderedByHand;
    return false;
}

void ObjectStore::announceSave(const SaveNotification &notification)
{
    Q_EMIT saved(notification);
}

void ObjectStore::mergeIntoMainContext(const SaveNotification &notification)
{
    if (m_mergingSuspended || notification.source == m_mainContext.get())
        return;
    m_mainContext->mergeChanges(notification);
    Q_EMIT mainContextMerged(notification);
}
