#include "ActivityComponents.h"

ActivityComponents::ActivityComponents(const QString &text, const std::optional<QString> &project,
                                       const QStringList &tasks)
    : m_text(text)
    , m_project(project)
    , m_tasks(tasks)
{}

ActivityComponents ActivityComponents::componentsWithText(const QString &text,
                                                          const std::optional<QString> &project,
                                                          const QStringList &tasks)
{
    return ActivityComponents(text, project, tasks);
}
