#pragma once

#include "PdError.h"

#include <QString>

#include <memory>

class Clock;
class Context;
class ObjectStore;

// The separate store an XML file is read into before its activities are copied into the main store: a
// store in a new unique file "pendulo.XXXXXX" in the temporary folder. The file is kept afterwards
// unless removal is asked for.
class ImportStore
{
public:
    explicit ImportStore(Clock &clock);
    ~ImportStore();
    ImportStore(const ImportStore &) = delete;
    ImportStore &operator=(const ImportStore &) = delete;

    // Makes the temporary file and opens the store on it, once. False (with the reason in `error`) when
    // the file cannot be made or the store cannot be opened; a later call tries again.
    bool ensurePersistentStore(PdError *error = nullptr);

    // Null / empty until ensurePersistentStore() succeeded.
    ObjectStore *store() const { return m_store.get(); }
    Context *importManagedObjectContext() const;
    QString filePath() const { return m_filePath; }

    // Remove the store file and its companions when this object goes away (off by default).
    void setRemoveFilesOnDestruction(bool remove) { m_removeFiles = remove; }

private:
    Clock &m_clock;
    QString m_filePath;
    std::unique_ptr<ObjectStore> m_store;
    bool m_removeFiles = false;
};
