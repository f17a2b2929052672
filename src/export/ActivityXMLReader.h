#pragma once

#include "PdError.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

class Activity;
class Context;
class ImportStore;

// Reads activity XML files (root "activities", one "activity" element per activity).
class QXmlStreamReader;

class ActivityXMLReader
{
public:
    // One "activity" element that gave a valid start and end.
    struct Record
    {
        QString uid; // trimmed; empty when the file gives none
        bool invoiced = false;
        QDateTime timeFrom;
        QDateTime timeTo;
        QString text;
    };

    enum class Status
    {
        Ok,
        Unreadable,       // the file cannot be read
        NotXml,           // not a well-formed XML document
        EntitiesRejected, // a document type declaration that declares entities
        WrongRoot,        // the root element is not "activities"
        NoActivities,     // no "activity" element under the root
        StoreFailed,      // the import store cannot be made
    };

    struct Result
    {
        Status status = Status::Ok;
        // One line saying what went wrong; empty for Ok.
        QString message;
        QList<Record> records;
        // "activity" elements left out for a missing or unreadable "from" or "to".
        int skipped = 0;
        // The activities inserted into the import store (importFile only).
        QList<Activity *> activities;
        // Set when saving the import store failed (the activities stay unsaved in its context).
        PdError saveError;

        bool ok() const { return status == Status::Ok; }
    };

    // Parses a file or its bytes into records without touching any store. The uid is trimmed; invoiced
    // exactly for "1"; "from" and "to" are read as "yyy-MM-dd'T'HH:mm:ss" in local time and an element
    // without a valid one is skipped; the text is the element's string value. Other attributes are
    // ignored. Entities are never expanded from outside the file: a document type declaration that
    // declares entities is refused.
    static Result readFile(const QString &filePath);
    static Result readData(const QByteArray &data);

    // Inserts one new activity per record into the context (the record's uid when it has one) and
    // saves. A failed save leaves the activities unsaved in the context and is returned in `saveError`.
    static QList<Activity *> insertRecords(const QList<Record> &records, Context &context,
                                           PdError *saveError = nullptr);

    // readFile, then the import store is made (when needed) and filled.
    static Result importActivitiesFromFile(const QString &filePath, ImportStore &importStore);

private:
    static Result read(QXmlStreamReader &reader);
};
