#pragma once

#include "StoredObject.h"

#include <QString>

#include <optional>

// What projects and tasks share: a tag name unique per entity under Unicode case folding, a place in
// the user's sidebar order and a visibility flag.
class TagEntity : public StoredObject
{
public:
    QString name() const { return m_name; }
    void setName(const QString &name);
    // The case-folded name that makes names unique without regard to letter case ("ÄRGER" = "ärger").
    QString nameKey() const { return nameKeyFor(m_name); }
    static QString nameKeyFor(const QString &name) { return name.toCaseFolded(); }

    // Place in the hand-made sidebar order; none while that ordering is off.
    std::optional<qint64> position() const { return m_position; }
    void setPosition(std::optional<qint64> position);
    bool isVisible() const { return m_visible; }
    void setVisible(bool visible);

    // Gives a new record the place after the last one, when the sidebar orders this entity by hand and
    // the record has no place yet.
    void setInitialPosition();

protected:
    using StoredObject::StoredObject;

    QVariantList columnValues() const override;
    void setColumnValues(const QVariantList &values) override;

private:
    QString m_name;
    std::optional<qint64> m_position;
    bool m_visible = true;
};
