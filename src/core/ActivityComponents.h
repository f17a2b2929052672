#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The parse of one activity text: the text itself, unchanged, the project named by its "@" tag and the
// task names of its "#" tags. Immutable once made.
class ActivityComponents
{
public:
    // A null text stands for an absent one; an empty project name is a project, std::nullopt is none.
    static ActivityComponents componentsWithText(const QString &text, const std::optional<QString> &project,
                                                 const QStringList &tasks);

    const QString &text() const { return m_text; }
    const std::optional<QString> &project() const { return m_project; }
    // In order of first appearance, no two equal when compared case-insensitively; never absent.
    const QStringList &tasks() const { return m_tasks; }

    bool operator==(const ActivityComponents &other) const = default;

private:
    ActivityComponents(const QString &text, const std::optional<QString> &project, const QStringList &tasks);

    QString m_text;
    std::optional<QString> m_project;
    QStringList m_tasks;
};
