#pragma once

#include "report/ReportFilter.h"
#include "report/ReportPeriod.h"

#include <QCommandLineOption>
#include <QDate>
#include <QStringList>

class Context;
class QCommandLineParser;

// The options that choose activities, shared by `report` and `export`: the period around a date (the
// current week by default, as the report window opens), a search text, projects, tasks and the
// invoiced status.
class ActivityFilterOptions
{
public:
    ActivityFilterOptions();

    void addTo(QCommandLineParser &parser) const;

    // Reads and checks the option values; false with a one-line reason for a malformed value.
    bool read(const QCommandLineParser &parser, QString *error);

    // The filter over a context: project and task names are looked up without regard to letter case
    // (a leading "@" or "#" may be typed); false with the reason when a name is unknown.
    bool resolve(Context &context, ReportFilter *filter, QString *error) const;

    ReportPeriod period() const { return m_period; }
    QDate date() const { return m_date; }

private:
    QCommandLineOption m_periodOption;
    QCommandLineOption m_dateOption;
    QCommandLineOption m_searchOption;
    QCommandLineOption m_projectOption;
    QCommandLineOption m_taskOption;
    QCommandLineOption m_invoicedOption;

    ReportPeriod m_period = ReportPeriod::Week;
    QDate m_date;
    QString m_searchText;
    QStringList m_projects;
    QStringList m_tasks;
    ReportFilter::Invoiced m_invoiced = ReportFilter::Invoiced::All;
};
