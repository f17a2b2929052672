#include "ImportStore.h"

#include "store/ObjectStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

ImportStore::ImportStore(Clock &clock)
    : m_clock(clock)
{}

ImportStore::~ImportStore()
{
    m_store.reset();
    if (m_removeFiles && !m_filePath.isEmpty()) {
        for (const char *suffix : {"", "-wal", "-shm", "-journal"})
            QFile::remove(m_filePath + QLatin1StringView(suffix));
    }
}

bool ImportStore::ensurePersistentStore(PdError *error)
{
    if (m_store)
        return true;
    if (m_filePath.isEmpty()) {
        QTemporaryFile file(QDir::tempPath() + QStringLiteral("/pendulo.XXXXXX"));
        file.setAutoRemove(false);
        if (!file.open()) {
            if (error) {
                *error = PdError::make(QStringLiteral("PDImportErrorDomain"), 1,
                                       QStringLiteral("Cannot create a temporary import file in %1.")
                                           .arg(QDir::toNativeSeparators(QDir::tempPath())),
                                       file.errorString());
            }
            return false;
        }
        m_filePath = file.fileName();
        file.close();
    }
    PdError openError;
    m_store = ObjectStore::open(m_filePath, m_clock, &openError);
    if (!m_store) {
        if (error)
            *error = openError;
        return false;
    }
    m_store->setScratch(true);
    return true;
}

Context *ImportStore::importManagedObjectContext() const
{
    return m_store ? &m_store->mainContext() : nullptr;
}
