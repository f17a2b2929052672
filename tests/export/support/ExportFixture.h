#pragma once

#include "fakes/FakeClock.h"
#include "store/ObjectStore.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <memory>

class Activity;
class Context;

// A real store file in a fresh temporary folder with a fake clock, plus a scratch folder for export
// files.
class ExportFixture
{
public:
    explicit ExportFixture(const QDateTime &now = QDateTime(QDate(2016, 3, 14), QTime(9, 0)));

    FakeClock &clock() { return m_clock; }
    ObjectStore &store() { return *m_store; }
    Context &context() { return m_store->mainContext(); }
    QString filePath(const QString &name) const { return m_folder.filePath(name); }
    QString folder() const { return m_folder.path(); }

    // A new activity in the context, not saved; the uid is kept as generated when empty.
    static Activity *makeActivity(Context &context, const QString &text, const QDateTime &from,
                                  const QDateTime &to, bool invoiced = false, const QString &uid = QString());
    // The same, saved (fails the test when the save fails).
    Activity *addActivity(const QString &text, const QDateTime &from, const QDateTime &to,
                          bool invoiced = false, const QString &uid = QString());

private:
    QTemporaryDir m_folder;
    FakeClock m_clock;
    std::unique_ptr<ObjectStore> m_store;
};

// A local time.
QDateTime localTime(int year, int month, int day, int hour, int minute, int second = 0);

// Runs a program with arguments and optional standard input; returns its exit code (-1 when it could not
// run) and fills the outputs.
int runTool(const QString &program, const QStringList &arguments, QByteArray *standardOutput = nullptr,
            QByteArray *standardError = nullptr, const QByteArray &standardInput = QByteArray());
