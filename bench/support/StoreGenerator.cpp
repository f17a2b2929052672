#include "StoreGenerator.h"

#include "DateHelpers.h"
#include "StoreSchema.h"
#include "store/ObjectStore.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTimeZone>
#include <QUuid>

#include <array>
#include <cstdio>
#include <random>

namespace {

// Raised when the generator's format changes, so that older cached files are not reused.
constexpr int generatorVersion = 1;

const std::array<const char *, 20> words = {
    "review", "call",    "write", "offer",  "meeting", "plan",    "fix",    "network", "design", "email",
    "Ärger",  "invoice", "draft", "update", "test",    "support", "sketch", "café",    "report", "sync"};

const std::array<const char *, 10> projectStems = {"Acme",   "Bäckerei", "Contoso", "Delta",   "Édition",
                                                   "Fabrik", "Globex",   "Hafen",   "Initech", "Jötunn"};

const std::array<const char *, 10> taskStems = {"sales",  "phone", "dev",  "ops",    "admin",
                                                "design", "qa",    "docs", "travel", "übung"};

// Deterministic across platforms: only the raw mt19937 output is used, never a std distribution.
class Random
{
public:
    explicit Random(quint32 seed)
        : m_engine(seed)
    {}
    quint32 below(quint32 bound) { return m_engine() % bound; }
    bool chance(int percent) { return below(100) < quint32(percent); }
    quint32 next() { return m_engine(); }

private:
    std::mt19937 m_engine;
};

QString uidFrom(Random &random)
{
    const quint32 a = random.next(), b = random.next(), c = random.next(), d = random.next();
    const QUuid uuid(a, quint16(b >> 16), quint16((b & 0x0fff) | 0x4000), uchar(((c >> 24) & 0x3f) | 0x80),
                     uchar(c >> 16), uchar(c >> 8), uchar(c), uchar(d >> 24), uchar(d >> 16), uchar(d >> 8),
                     uchar(d));
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

void bindText(SQLite::Statement &statement, int index, const QString &text)
{
    statement.bind(index, text.toStdString());
}

void writeTags(SQLite::Database &database, const char *table, int count, QString (*name)(int))
{
    SQLite::Statement insert(database,
                             std::string("INSERT INTO ") + table +
                                 " (id, name, name_key, position, visible) VALUES (?, ?, ?, NULL, 1)");
    for (int i = 0; i < count; ++i) {
        const QString tagName = name(i);
        insert.bind(1, i + 1);
        bindText(insert, 2, tagName);
        bindText(insert, 3, tagName.toCaseFolded());
        insert.exec();
        insert.reset();
    }
}

void writeActivities(SQLite::Database &database, const StoreGenerator::Parameters &parameters)
{
    Random random(parameters.seed);
    const QDateTime end = StoreGenerator::endOfData();
    const qint64 firstMs = end.addYears(-parameters.years).toMSecsSinceEpoch();
    const qint64 slotMs = (end.toMSecsSinceEpoch() - firstMs) / std::max(parameters.activities, 1);

    SQLite::Statement insert(
        database, "INSERT INTO activity (id, uid, text, time_from, time_to, created_at, modified_at, "
                  "is_invoiced, year_month, project_id) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    SQLite::Statement link(database, "INSERT INTO activity_task (activity_id, task_id) VALUES (?, ?)");

    for (int i = 0; i < parameters.activities; ++i) {
        const int64_t id = i + 1;
        // One activity per slot, starting in its first quarter and lasting from a minute up to half of it.
        const qint64 fromMs = firstMs + i * slotMs + random.below(quint32(slotMs / 4));
        const qint64 toMs = fromMs + 60000 + random.below(quint32(slotMs / 2));

        QStringList text;
        const int wordCount = 2 + int(random.below(3));
        for (int w = 0; w < wordCount; ++w)
            text.append(QString::fromUtf8(words[random.below(words.size())]));
        const bool hasProject = parameters.projects > 0 && random.chance(90);
        const int projectIndex = hasProject ? int(random.below(quint32(parameters.projects))) : -1;
        if (hasProject)
            text.append(QLatin1Char('@') + StoreGenerator::projectName(projectIndex));
        QList<int> taskIndexes;
        const int taskCount = parameters.tasks > 0 ? int(random.below(4)) : 0;
        for (int t = 0; t < taskCount; ++t) {
            const int index = int(random.below(quint32(parameters.tasks)));
            if (!taskIndexes.contains(index))
                taskIndexes.append(index);
        }
        for (int index : taskIndexes)
            text.append(QLatin1Char('#') + StoreGenerator::taskName(index));

        const double from = double(fromMs) / 1000.0;
        const double to = double(toMs) / 1000.0;
        insert.bind(1, id);
        bindText(insert, 2, uidFrom(random));
        bindText(insert, 3, text.join(QLatin1Char(' ')));
        insert.bind(4, from);
        insert.bind(5, to);
        insert.bind(6, to);
        insert.bind(7, to);
        insert.bind(8, random.chance(30) ? 1 : 0);
        insert.bind(9, DateHelpers::yearMonth(QDateTime::fromMSecsSinceEpoch(fromMs)));
        if (hasProject)
            insert.bind(10, projectIndex + 1);
        else
            insert.bind(10);
        insert.exec();
        insert.reset();

        for (int index : taskIndexes) {
            link.bind(1, id);
            link.bind(2, index + 1);
            link.exec();
            link.reset();
        }
    }
}

} // namespace

QString StoreGenerator::Parameters::key() const
{
    QString zone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    zone.replace(QLatin1Char('/'), QLatin1Char('_'));
    // A changed schema (a new index, say) makes a new file.
    const QByteArray schema = QCryptographicHash::hash(
        StoreSchema::createSql(StoreSchema::currentVersion).toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("pendulo-bench-v%1-%8-a%2-y%3-p%4-t%5-s%6-%7")
        .arg(generatorVersion)
        .arg(activities)
        .arg(years)
        .arg(projects)
        .arg(tasks)
        .arg(seed)
        .arg(zone, QString::fromLatin1(schema.toHex().left(8)));
}

QDateTime StoreGenerator::endOfData()
{
    return QDate(2026, 1, 1).startOfDay();
}

QString StoreGenerator::projectName(int index)
{
    return QString::fromUtf8(projectStems[index % projectStems.size()]) +
           QStringLiteral("%1").arg(index / int(projectStems.size()) + 1, 2, 10, QLatin1Char('0'));
}

QString StoreGenerator::taskName(int index)
{
    return QString::fromUtf8(taskStems[index % taskStems.size()]) +
           QStringLiteral("%1").arg(index / int(taskStems.size()) + 1, 2, 10, QLatin1Char('0'));
}

bool StoreGenerator::generate(const Parameters &parameters, const QString &filePath, QString *errorMessage)
{
    auto fail = [&](const QString &message) {
        if (errorMessage)
            *errorMessage = message;
        return false;
    };
    if (QFile::exists(filePath))
        return fail(QStringLiteral("%1 exists already").arg(filePath));
    {
        // The store itself lays down the schema, so the file is exactly what Pendulo would open.
        PdError error;
        if (!ObjectStore::open(filePath, &error))
            return fail(error.description);
    }
    try {
        SQLite::Database database(filePath.toStdString(), SQLite::OPEN_READWRITE);
        database.exec("PRAGMA synchronous = OFF");
        SQLite::Transaction transaction(database);
        writeTags(database, "project", parameters.projects, &StoreGenerator::projectName);
        writeTags(database, "task", parameters.tasks, &StoreGenerator::taskName);
        writeActivities(database, parameters);
        transaction.commit();
        database.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    } catch (const std::exception &e) {
        QFile::remove(filePath);
        return fail(QString::fromUtf8(e.what()));
    }
    return true;
}

QString StoreGenerator::cachedStore(const Parameters &parameters)
{
    const QDir folder(QDir::tempPath());
    const QString path = folder.filePath(parameters.key() + QStringLiteral(".storedata"));
    if (QFile::exists(path))
        return path;
    // Written under a name of its own and renamed, so an interrupted run leaves no half-made cache.
    const QString partial = path + QStringLiteral(".partial-%1").arg(QCoreApplication::applicationPid());
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(partial + QLatin1String(suffix));
    QString message;
    if (!generate(parameters, partial, &message) || !QFile::rename(partial, path)) {
        if (!QFile::exists(path)) {
            std::fprintf(stderr, "Could not generate the store %s: %s\n", qPrintable(path),
                         qPrintable(message));
            std::abort();
        }
    }
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(partial + QLatin1String(suffix));
    return path;
}

bool StoreGenerator::copyCachedStore(const Parameters &parameters, const QString &filePath)
{
    const QString source = cachedStore(parameters);
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(filePath + QLatin1String(suffix));
    return QFile::copy(source, filePath) &&
           QFile(filePath).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}
