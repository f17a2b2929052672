#include "ActivityFilterOptions.h"

#include "Project.h"
#include "Task.h"
#include "store/Context.h"

#include <QCommandLineParser>

namespace {

std::optional<ReportPeriod> periodNamed(const QString &name)
{
    if (name == u"day")
        return ReportPeriod::Day;
    if (name == u"week")
        return ReportPeriod::Week;
    if (name == u"month")
        return ReportPeriod::Month;
    if (name == u"all")
        return ReportPeriod::All;
    return std::nullopt;
}

std::optional<ReportFilter::Invoiced> invoicedNamed(const QString &name)
{
    if (name == u"yes")
        return ReportFilter::Invoiced::OnlyInvoiced;
    if (name == u"no")
        return ReportFilter::Invoiced::OnlyNotInvoiced;
    if (name == u"all")
        return ReportFilter::Invoiced::All;
    return std::nullopt;
}

// The tag named, tried as typed and then without a leading tag sign.
template <class T, class Lookup> T *tagNamed(const QString &name, QChar sign, Lookup lookup)
{
    if (T *tag = lookup(name))
        return tag;
    if (name.startsWith(sign) && name.size() > 1)
        return lookup(name.mid(1));
    return nullptr;
}

} // namespace

ActivityFilterOptions::ActivityFilterOptions()
    : m_periodOption(QStringLiteral("period"),
                     QStringLiteral("The period around the date: day, week (default), month or all."),
                     QStringLiteral("day|week|month|all"), QStringLiteral("week"))
    , m_dateOption(QStringLiteral("date"), QStringLiteral("A day in the period (default: today)."),
                   QStringLiteral("YYYY-MM-DD"))
    , m_searchOption(QStringLiteral("search"),
                     QStringLiteral("Only activities whose text contains TEXT, in any letter case; "
                                    "* stands for any characters, ? for one."),
                     QStringLiteral("TEXT"))
    , m_projectOption(QStringLiteral("project"),
                      QStringLiteral("Only activities of this project (repeat for several)."),
                      QStringLiteral("NAME"))
    , m_taskOption(QStringLiteral("task"),
                   QStringLiteral("Only activities with this task (repeat for several: any of them)."),
                   QStringLiteral("NAME"))
    , m_invoicedOption(QStringLiteral("invoiced"),
                       QStringLiteral("Only invoiced (yes) or not invoiced (no) activities; all by default."),
                       QStringLiteral("yes|no"))
{}

void ActivityFilterOptions::addTo(QCommandLineParser &parser) const
{
    parser.addOptions(
        {m_periodOption, m_dateOption, m_searchOption, m_projectOption, m_taskOption, m_invoicedOption});
}

bool ActivityFilterOptions::read(const QCommandLineParser &parser, QString *error)
{
    const QString periodName = parser.value(m_periodOption);
    const std::optional<ReportPeriod> period = periodNamed(periodName);
    if (!period) {
        *error = QStringLiteral("invalid --period \"%1\" (use day, week, month or all)").arg(periodName);
        return false;
    }
    m_period = *period;

    m_date = QDate::currentDate();
    if (parser.isSet(m_dateOption)) {
        const QString dateText = parser.value(m_dateOption);
        m_date = QDate::fromString(dateText, QStringLiteral("yyyy-MM-dd"));
        if (!m_date.isValid()) {
            *error = QStringLiteral("invalid --date \"%1\" (use YYYY-MM-DD)").arg(dateText);
            return false;
        }
    }

    m_invoiced = ReportFilter::Invoiced::All;
    if (parser.isSet(m_invoicedOption)) {
        const QString invoicedName = parser.value(m_invoicedOption);
        const std::optional<ReportFilter::Invoiced> invoiced = invoicedNamed(invoicedName);
        if (!invoiced) {
            *error = QStringLiteral("invalid --invoiced \"%1\" (use yes or no)").arg(invoicedName);
            return false;
        }
        m_invoiced = *invoiced;
    }

    m_searchText = parser.value(m_searchOption);
    m_projects = parser.values(m_projectOption);
    m_tasks = parser.values(m_taskOption);
    return true;
}

bool ActivityFilterOptions::resolve(Context &context, ReportFilter *filter, QString *error) const
{
    ReportFilter result;
    result.bounds = reportPeriodBounds(m_period, m_date);
    result.searchText = m_searchText;
    result.invoiced = m_invoiced;
    for (const QString &name : m_projects) {
        const Project *project = tagNamed<Project>(
            name, QLatin1Char('@'), [&context](const QString &n) { return context.projectNamed(n); });
        if (!project) {
            *error = QStringLiteral("no project named \"%1\"").arg(name);
            return false;
        }
        result.projectIds.insert(project->objectId());
    }
    for (const QString &name : m_tasks) {
        const Task *task = tagNamed<Task>(name, QLatin1Char('#'),
                                          [&context](const QString &n) { return context.taskNamed(n); });
        if (!task) {
            *error = QStringLiteral("no task named \"%1\"").arg(name);
            return false;
        }
        result.taskIds.insert(task->objectId());
    }
    *filter = result;
    return true;
}
