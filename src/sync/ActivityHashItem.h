#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <compare>

// One (uid, modification time) pair fed to the month hash: an activity's modifiedAt for a month file, a
// tombstone's deletedAt for the deleted index. Immutable.
class ActivityHashItem
{
public:
    ActivityHashItem(const QString &uid, const QDateTime &modifiedAt)
        : m_uid(uid)
        , m_modifiedAt(modifiedAt)
    {}
    static ActivityHashItem itemForUID(const QString &uid, const QDateTime &modifiedAt)
    {
        return {uid, modifiedAt};
    }

    const QString &uid() const { return m_uid; }
    const QDateTime &modifiedAt() const { return m_modifiedAt; }

    // By uid (plain, case-sensitive), then by modification time, earlier first.
    std::weak_ordering orderedSort(const ActivityHashItem &other) const;

    // MD5 (lowercase hexadecimal) of the items sorted by orderedSort, each written as its time in the
    // sync date form followed by its uid, all concatenated. Order-independent; differences below one
    // second do not change it. The hash of no items is the MD5 of the empty string.
    static QString hashForItems(QList<ActivityHashItem> items);

private:
    QString m_uid;
    QDateTime m_modifiedAt;
};

// MD5 of the string's UTF-8 bytes as 32 lowercase hexadecimal digits.
QString md5String(const QString &text);
// Each byte as two lowercase hexadecimal digits; empty for no bytes.
QString hexadecimalString(const QByteArray &bytes);
