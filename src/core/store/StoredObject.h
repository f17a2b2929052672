#pragma once

#include "ObjectId.h"
#include "PdError.h"

#include <QVariantList>

class Context;

// Base of every stored entity object. An object belongs to the context that inserted or fetched it and
// is only used on that context's thread. Other contexts reach the same record through its ObjectId.
class StoredObject
{
public:
    enum class State
    {
        Clean,    // as saved
        Inserted, // new, not saved yet
        Updated,  // saved record with unsaved changes
        Deleted,  // saved record marked for deletion
        Invalid,  // deleted and saved, rolled back as an insert, or deleted by another context
    };

    StoredObject(const StoredObject &) = delete;
    StoredObject &operator=(const StoredObject &) = delete;
    virtual ~StoredObject() = default;

    virtual EntityType entity() const = 0;
    ObjectId objectId() const { return {entity(), m_rowId}; }
    Context *context() const { return m_context; }
    State state() const { return m_state; }

    bool isInserted() const { return m_state == State::Inserted; }
    bool isUpdated() const { return m_state == State::Updated; }
    bool isDeleted() const { return m_state == State::Deleted || m_state == State::Invalid; }
    bool isValid() const { return m_state != State::Invalid; }
    bool hasChanges() const
    {
        return m_state == State::Inserted || m_state == State::Updated || m_state == State::Deleted;
    }

protected:
    explicit StoredObject(Context *context)
        : m_context(context)
    {}

    // Called by setters before a value changes: marks a saved object as updated.
    void willChange();

    // Lifecycle hooks.
    virtual void awakeFromInsert() {}
    // After the stored values were read, on first load and on every refresh.
    virtual void awakeFromFetch() {}
    virtual void willSave() {}
    // The error that stops this object from being saved, or none.
    virtual PdError validateForSave() { return {}; }
    virtual void prepareForDeletion() {}
    // A related object of this context is going away (deleted or dropped): forget it.
    virtual void forgetRelated(StoredObject *object) { Q_UNUSED(object); }
    // A related object is replaced by another one of the same record.
    virtual void replaceRelated(StoredObject *from, StoredObject *to)
    {
        Q_UNUSED(from);
        Q_UNUSED(to);
    }

    // The stored columns (without id) in the order of the entity's table columns, and back.
    virtual QVariantList columnValues() const = 0;
    virtual void setColumnValues(const QVariantList &values) = 0;

private:
    friend class Context;

    Context *m_context;
    qint64 m_rowId = 0;
    State m_state = State::Clean;
};
