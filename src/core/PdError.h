#pragma once

#include <QList>
#include <QString>
#include <QVariant>

// An error object: a domain, a code and texts for the user, as store, migration and validation failures
// carry them. A default-constructed PdError is "no error".
struct PdError
{
    QString domain;
    qint64 code = 0;
    QString description;
    QString failureReason;
    // For combined errors (several validation failures at once): the single errors, in order.
    QList<PdError> detailedErrors;
    // What the error is about, where it names an object (for example the activity that failed validation).
    QVariant subject;

    bool isError() const { return !domain.isEmpty(); }
    explicit operator bool() const { return isError(); }

    static PdError make(const QString &domain, qint64 code, const QString &description,
                        const QString &failureReason = {})
    {
        PdError error;
        error.domain = domain;
        error.code = code;
        error.description = description;
        error.failureReason = failureReason;
        return error;
    }

    // "description (domain code)" for logs and one-line messages.
    QString toString() const
    {
        return QStringLiteral("%1 (%2 %3)").arg(description, domain).arg(code);
    }
};
