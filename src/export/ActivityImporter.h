#pragma once

#include "PdError.h"

#include <QList>
#include <QString>

class Activity;
class ObjectStore;

// Copies reviewed activities (of an import store) into the main store.
class ActivityImporter
{
public:
    struct Result
    {
        // Activities copied; also computed when the save failed.
        int count = 0;
        // Set when the copy could not be saved (then nothing was imported).
        PdError error;
        bool ok() const { return !error.isError(); }
    };

    static inline const QString AlertTitle = QStringLiteral("Activity import!");
    static inline const QString FailureText = QStringLiteral("Error occurred!");

    // In a new context of the main store, for each source activity in order: overwrite the stored
    // activity with its uid (the first by row id, or one this copy made earlier) or insert a new one,
    // copying uid, invoiced, start, end and text and nothing else; delete the tombstones of that uid.
    // Then save; a failed save is rolled back. Activities whose lookup fails are skipped.
    static Result importActivities(const QList<Activity *> &source, ObjectStore &mainStore);

    // "Imported N activities" on success, else "Error occurred!".
    static QString resultText(const Result &result);
};
