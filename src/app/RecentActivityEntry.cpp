#include "RecentActivityEntry.h"

namespace RecentActivities {

QString menuTitle(const QString &text)
{
    constexpr qsizetype longest = 50;
    constexpr qsizetype kept = 47;
    // Menus show one line: line breaks (merged activities have them) become spaces, one for one.
    QString line = text;
    for (QChar &c : line) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    }
    if (line.size() <= longest)
        return line;
    // Do not cut a surrogate pair in half.
    qsizetype cut = kept;
    if (line.at(cut - 1).isHighSurrogate())
        --cut;
    return line.left(cut) + QStringLiteral("...");
}

QString emptyTitle()
{
    return QStringLiteral("No previous activities!");
}

} // namespace RecentActivities
