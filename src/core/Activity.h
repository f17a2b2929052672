#pragma once

#include "store/StoredObject.h"
#include "store/StoredTime.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class Project;
class Task;

// One tracked or entered time span with its text. The project and tasks are resolved from the text's
// tags on every save.
class Activity : public StoredObject
{
public:
    static constexpr EntityType entityType = EntityType::Activity;
    EntityType entity() const override { return entityType; }

    // Domain, code and reason of the error for an activity shorter than one second.
    static const QString durationErrorDomain;
    static constexpr qint64 durationErrorCode = 1550;
    static const QString durationErrorReason;

    // A new activity's uid is a fresh upper-case UUID without braces.
    QString uid() const;
    void setUid(const QString &uid);
    QString text() const { return m_text; }
    void setText(const QString &text);
    QDateTime timeFrom() const { return m_timeFrom.dateTime(); }
    // Sets the start and the matching yearMonth together.
    void setTimeFrom(const QDateTime &timeFrom);
    QDateTime timeTo() const { return m_timeTo.dateTime(); }
    void setTimeTo(const QDateTime &timeTo);
    QDateTime createdAt() const { return m_createdAt.dateTime(); }
    void setCreatedAt(const QDateTime &createdAt);
    QDateTime modifiedAt() const { return m_modifiedAt.dateTime(); }
    void setModifiedAt(const QDateTime &modifiedAt);
    bool isInvoiced() const { return m_invoiced; }
    void setInvoiced(bool invoiced);
    // Year * 100 + month of timeFrom in the user's calendar; 0 without a start.
    int yearMonth() const { return m_yearMonth; }

    Project *project() const;
    void setProject(Project *project);
    QList<Task *> tasks() const;
    void setTasks(const QList<Task *> &tasks);

    // Whole seconds of the span, each end floored to the second first; 0 without both ends.
    qint64 durationSecs() const { return m_durationSecs; }
    // Minutes of the span, rounded up.
    qint64 durationMins() const;

    // The distinct task names sorted by plain string comparison and joined with ", "; null without tasks.
    QString tasksStr() const;
    QString timeFromStr() const { return dateStr(m_timeFrom.dateTime()); }
    QString timeToStr() const { return dateStr(m_timeTo.dateTime()); }
    // Short date and short time in the user's locale.
    static QString dateStr(const QDateTime &date);

protected:
    void awakeFromInsert() override;
    void awakeFromFetch() override;
    void willSave() override;
    PdError validateForSave() override;
    void prepareForDeletion() override;
    void forgetRelated(StoredObject *object) override;
    void replaceRelated(StoredObject *from, StoredObject *to) override;
    QVariantList columnValues() const override;
    void setColumnValues(const QVariantList &values) override;

private:
    friend class Context;
    explicit Activity(Context *context);

    void recomputeDuration();
    void resolveProject(const std::optional<QString> &parsedName);
    void resolveTasks(const QStringList &parsedNames);
    bool tasksNeedWriting() const { return m_tasksChanged; }
    void tasksWritten() { m_tasksChanged = false; }

    mutable QString m_uid;
    mutable bool m_uidToMake = false;
    QString m_text;
    StoredTime m_timeFrom;
    StoredTime m_timeTo;
    StoredTime m_createdAt;
    StoredTime m_modifiedAt;
    bool m_invoiced = false;
    int m_yearMonth = 0;
    qint64 m_durationSecs = 0;

    // Relations are loaded on first use.
    qint64 m_projectRowId = 0;
    mutable Project *m_project = nullptr;
    mutable bool m_projectLoaded = true;
    mutable QList<Task *> m_tasks;
    mutable bool m_tasksLoaded = true;
    bool m_tasksChanged = false;
};

Q_DECLARE_METATYPE(Activity *)
