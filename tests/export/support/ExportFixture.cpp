#include "ExportFixture.h"

#include "Activity.h"
#include "store/Context.h"

#include <QProcess>
#include <QTest>

ExportFixture::ExportFixture(const QDateTime &now)
    : m_clock(now)
{
    PdError error;
    m_store = ObjectStore::open(m_folder.filePath(QStringLiteral("storedata")), m_clock, &error);
    if (!m_store)
        qFatal("Cannot open the test store: %s", qPrintable(error.toString()));
}

Activity *ExportFixture::makeActivity(Context &context, const QString &text, const QDateTime &from,
                                      const QDateTime &to, bool invoiced, const QString &uid)
{
    Activity *activity = context.insertActivity();
    if (!uid.isEmpty())
        activity->setUid(uid);
    activity->setText(text);
    activity->setTimeFrom(from);
    activity->setTimeTo(to);
    activity->setInvoiced(invoiced);
    return activity;
}

Activity *ExportFixture::addActivity(const QString &text, const QDateTime &from, const QDateTime &to,
                                     bool invoiced, const QString &uid)
{
    Activity *activity = makeActivity(context(), text, from, to, invoiced, uid);
    PdError error;
    if (!context().save(&error))
        qFatal("Cannot save a test activity: %s", qPrintable(error.toString()));
    return activity;
}

QDateTime localTime(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

int runTool(const QString &program, const QStringList &arguments, QByteArray *standardOutput,
            QByteArray *standardError, const QByteArray &standardInput)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return -1;
    if (!standardInput.isEmpty())
        process.write(standardInput);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        return -1;
    if (standardOutput)
        *standardOutput = process.readAllStandardOutput();
    if (standardError)
        *standardError = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
