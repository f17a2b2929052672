#include "Activity.h"

#include "DateHelpers.h"
#include "Project.h"
#include "Task.h"
#include "store/Context.h"
#include "store/SqlValues.h"
#include "store/StoreErrors.h"

#include "ActivityParser.h"

#include <QLocale>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <cmath>

const QString Activity::durationErrorDomain = QStringLiteral("activity_duration");
const QString Activity::durationErrorReason = QStringLiteral("Duration must be atleast one second long");

Activity::Activity(Context *context)
    : StoredObject(context)
{}

void Activity::setUid(const QString &uid)
{
    if (!m_uidToMake && uid == m_uid)
        return;
    willChange();
    m_uid = uid;
    m_uidToMake = false;
}

void Activity::setText(const QString &text)
{
    if (text == m_text && text.isNull() == m_text.isNull())
        return;
    willChange();
    m_text = text;
}

void Activity::setTimeFrom(const QDateTime &timeFrom)
{
    const StoredTime next(timeFrom);
    if (next.isSameMoment(m_timeFrom))
        return;
    willChange();
    m_timeFrom = next;
    m_yearMonth = DateHelpers::yearMonth(timeFrom);
    recomputeDuration();
}

void Activity::setTimeTo(const QDateTime &timeTo)
{
    const StoredTime next(timeTo);
    if (next.isSameMoment(m_timeTo))
        return;
    willChange();
    m_timeTo = next;
    recomputeDuration();
}

void Activity::setCreatedAt(const QDateTime &createdAt)
{
    const StoredTime next(createdAt);
    if (next.isSameMoment(m_createdAt))
        return;
    willChange();
    m_createdAt = next;
}

void Activity::setModifiedAt(const QDateTime &modifiedAt)
{
    const StoredTime next(modifiedAt);
    if (next.isSameMoment(m_modifiedAt))
        return;
    willChange();
    m_modifiedAt = next;
}

void Activity::setInvoiced(bool invoiced)
{
    if (invoiced == m_invoiced)
        return;
    willChange();
    m_invoiced = invoiced;
}

QString Activity::uid() const
{
    if (m_uidToMake) {
        m_uid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        m_uidToMake = false;
    }
    return m_uid;
}

Project *Activity::project() const
{
    if (!m_projectLoaded) {
        m_projectLoaded = true;
        m_project = m_projectRowId ? context()->objectWithId<Project>({EntityType::Project, m_projectRowId})
                                   : nullptr;
    }
    return m_project;
}

void Activity::setProject(Project *project)
{
    if (project == this->project())
        return;
    Q_ASSERT(!project || project->context() == context());
    willChange();
    m_project = project;
    m_projectRowId = 0;
}

QList<Task *> Activity::tasks() const
{
    if (!m_tasksLoaded) {
        m_tasksLoaded = true;
        m_tasks.clear();
        for (qint64 rowId : context()->taskRowIdsOfActivity(objectId().rowId)) {
            if (Task *task = context()->objectWithId<Task>({EntityType::Task, rowId}))
                m_tasks.append(task);
        }
    }
    return m_tasks;
}

void Activity::setTasks(const QList<Task *> &tasks)
{
    QList<Task *> distinct;
    for (Task *task : tasks) {
        Q_ASSERT(task && task->context() == context());
        if (!distinct.contains(task))
            distinct.append(task);
    }
    if (distinct == this->tasks())
        return;
    willChange();
    m_tasks = distinct;
    m_tasksChanged = true;
}

qint64 Activity::durationMins() const
{
    return static_cast<qint64>(std::ceil(static_cast<double>(m_durationSecs) / 60.0));
}

QString Activity::tasksStr() const
{
    QStringList names;
    for (const Task *task : tasks())
        names.append(task->name());
    if (names.isEmpty())
        return {};
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names.join(QStringLiteral(", "));
}

QString Activity::dateStr(const QDateTime &date)
{
    if (!date.isValid())
        return {};
    return QLocale::system().toString(date.toLocalTime(), QLocale::ShortFormat);
}

void Activity::recomputeDuration()
{
    if (!m_timeFrom.isValid() || !m_timeTo.isValid()) {
        m_durationSecs = 0;
        return;
    }
    m_durationSecs =
        DateHelpers::flooredSeconds(*m_timeTo.msecs()) - DateHelpers::flooredSeconds(*m_timeFrom.msecs());
}

void Activity::awakeFromInsert()
{
    // Made when first read: imports replace it at once, and each one costs a system call.
    m_uidToMake = true;
    m_createdAt = m_modifiedAt = StoredTime(context()->now());
}

void Activity::awakeFromFetch()
{
    recomputeDuration();
}

void Activity::willSave()
{
    if (m_text.isNull())
        return;
    const ActivityComponents components = ActivityParser::defaultParser().componentsFromText(m_text);
    resolveProject(components.project());
    resolveTasks(components.tasks());
}

void Activity::resolveProject(const std::optional<QString> &parsedName)
{
    if (!parsedName) {
        setProject(nullptr);
        return;
    }
    Project *current = project();
    if (!current || current->nameKey() != TagEntity::nameKeyFor(*parsedName))
        setProject(context()->findOrCreateProject(*parsedName));
}

void Activity::resolveTasks(const QStringList &parsedNames)
{
    if (parsedNames.isEmpty()) {
        setTasks({});
        return;
    }
    const QList<Task *> current = tasks();
    if (current.size() == parsedNames.size()) {
        QSet<QString> parsedKeys;
        for (const QString &name : parsedNames)
            parsedKeys.insert(name.toLower());
        const bool allKnown = std::all_of(current.begin(), current.end(), [&](const Task *task) {
            return parsedKeys.contains(task->name().toLower());
        });
        if (allKnown)
            return;
    }
    QList<Task *> resolved;
    for (const QString &name : parsedNames)
        resolved.append(context()->findOrCreateTask(name));
    setTasks(resolved);
}

PdError Activity::validateForSave()
{
    PdError standard;
    if (uid().isEmpty()) {
        standard = PdError::make(StoreErrors::validationDomain, StoreErrors::missingValueCode,
                                 QStringLiteral("An activity needs a uid."), QStringLiteral("uid is empty"));
        standard.subject = QVariant::fromValue(this);
    }
    if (m_durationSecs > 0)
        return standard;
    PdError duration = PdError::make(durationErrorDomain, durationErrorCode,
                                     QStringLiteral("The activity could not be saved."), durationErrorReason);
    duration.subject = QVariant::fromValue(this);
    return standard ? StoreErrors::combineValidationErrors(duration, standard) : duration;
}

void Activity::prepareForDeletion()
{
    setText(QString());
    setTasks({});
    setProject(nullptr);
}

void Activity::forgetRelated(StoredObject *object)
{
    if (object->entity() == EntityType::Project) {
        if (m_projectLoaded ? m_project == object : m_projectRowId == object->objectId().rowId) {
            m_project = nullptr;
            m_projectRowId = 0;
            m_projectLoaded = true;
        }
    } else if (object->entity() == EntityType::Task && m_tasksLoaded) {
        m_tasks.removeAll(static_cast<Task *>(object));
    }
}

void Activity::replaceRelated(StoredObject *from, StoredObject *to)
{
    if (from->entity() == EntityType::Project && m_projectLoaded && m_project == from)
        m_project = static_cast<Project *>(to);
    if (from->entity() == EntityType::Task && m_tasksLoaded) {
        const qsizetype index = m_tasks.indexOf(static_cast<Task *>(from));
        if (index >= 0) {
            if (m_tasks.contains(static_cast<Task *>(to)))
                m_tasks.removeAt(index);
            else
                m_tasks[index] = static_cast<Task *>(to);
        }
    }
}

QVariantList Activity::columnValues() const
{
    QVariant projectId;
    if (m_projectLoaded) {
        if (m_project && !m_project->isDeleted())
            projectId = m_project->objectId().rowId;
    } else if (m_projectRowId) {
        projectId = m_projectRowId;
    }
    return {uid(),
            SqlValues::fromText(m_text),
            SqlValues::fromMSecs(m_timeFrom.msecs()),
            SqlValues::fromMSecs(m_timeTo.msecs()),
            SqlValues::fromMSecs(m_createdAt.msecs()),
            SqlValues::fromMSecs(m_modifiedAt.msecs()),
            m_invoiced,
            m_yearMonth,
            projectId};
}

void Activity::setColumnValues(const QVariantList &values)
{
    m_uid = SqlValues::toText(values.at(0));
    m_uidToMake = false;
    m_text = SqlValues::toText(values.at(1));
    m_timeFrom = StoredTime::fromMSecs(SqlValues::toMSecs(values.at(2)));
    m_timeTo = StoredTime::fromMSecs(SqlValues::toMSecs(values.at(3)));
    m_createdAt = StoredTime::fromMSecs(SqlValues::toMSecs(values.at(4)));
    m_modifiedAt = StoredTime::fromMSecs(SqlValues::toMSecs(values.at(5)));
    m_invoiced = values.at(6).toLongLong() != 0;
    m_yearMonth = static_cast<int>(values.at(7).toLongLong());
    m_projectRowId = values.at(8).isValid() ? values.at(8).toLongLong() : 0;
    m_project = nullptr;
    m_projectLoaded = m_projectRowId == 0;
    m_tasks.clear();
    m_tasksLoaded = false;
    m_tasksChanged = false;
}
