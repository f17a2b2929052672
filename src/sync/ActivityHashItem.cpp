#include "ActivityHashItem.h"

#include "SyncDate.h"

#include <QCryptographicHash>

#include <algorithm>

std::weak_ordering ActivityHashItem::orderedSort(const ActivityHashItem &other) const
{
    const int byUid = m_uid.compare(other.m_uid, Qt::CaseSensitive);
    if (byUid != 0)
        return byUid < 0 ? std::weak_ordering::less : std::weak_ordering::greater;
    // Converting local times is costly; uids rarely repeat, so this runs seldom.
    return m_modifiedAt.toMSecsSinceEpoch() <=> other.m_modifiedAt.toMSecsSinceEpoch();
}

QString ActivityHashItem::hashForItems(QList<ActivityHashItem> items)
{
    std::sort(items.begin(), items.end(),
              [](const ActivityHashItem &a, const ActivityHashItem &b) { return a.orderedSort(b) < 0; });
    QByteArray joined;
    joined.reserve(items.size() * 64);
    for (const ActivityHashItem &item : std::as_const(items)) {
        SyncDate::appendTo(joined, item.modifiedAt());
        joined.append(item.uid().toUtf8());
    }
    return hexadecimalString(QCryptographicHash::hash(joined, QCryptographicHash::Md5));
}

QString md5String(const QString &text)
{
    return hexadecimalString(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5));
}

QString hexadecimalString(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}
