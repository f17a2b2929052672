#include "ActivityParser.h"

namespace {

constexpr char16_t projectMarker = u'@';
constexpr char16_t taskMarker = u'#';

qsizetype indexOfMarker(QStringView text, qsizetype from)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        if (ActivityParser::isProjectTaskChar(text[i]))
            return i;
    }
    return -1;
}

} // namespace

const ActivityParser &ActivityParser::defaultParser()
{
    // Deliberately never destroyed, so that it outlives every other static user.
    static const ActivityParser *const parser = new ActivityParser;
    return *parser;
}

bool ActivityParser::isWhitespaceOrNewline(QChar c)
{
    const char16_t u = c.unicode();
    if (u == u'\t' || (u >= 0x000A && u <= 0x000D) || u == 0x0085 || u == 0x2028 || u == 0x2029)
        return true;
    return c.category() == QChar::Separator_Space;
}

bool ActivityParser::isBoundary(QChar c)
{
    return isWordStopper(c) || c == u'.';
}

bool ActivityParser::isWordStopper(QChar c)
{
    switch (c.unicode()) {
    case u';':
    case u':':
    case u',':
    case u'?':
    case u'!':
        return true;
    default:
        return isWhitespaceOrNewline(c);
    }
}

bool ActivityParser::isProjectTaskChar(QChar c)
{
    return c == projectMarker || c == taskMarker;
}

std::optional<QString> ActivityParser::scanWord(QStringView text, qsizetype &position) const
{
    if (position < 0 || position >= text.size() || isWordStopper(text[position]))
        return std::nullopt;

    qsizetype end = position;
    while (end < text.size() && !isWordStopper(text[end]))
        ++end;
    QStringView word = text.sliced(position, end - position);
    position = end;

    while (!word.isEmpty() && isBoundary(word.front()))
        word = word.sliced(1);
    while (!word.isEmpty() && isBoundary(word.back()))
        word.chop(1);
    return word.toString();
}

ActivityComponents ActivityParser::componentsFromText(const QString &text) const
{
    const qsizetype length = text.size();
    std::optional<QString> project;
    QStringList tasks;
    if (text.isNull() || length < 2)
        return ActivityComponents::componentsWithText(text, project, tasks);

    // A marker is read only when at least two characters follow it.
    const qsizetype lastMarkerEnd = length - 2;
    qsizetype position = 0;
    while (position < lastMarkerEnd) {
        const qsizetype marker = indexOfMarker(text, position);
        if (marker < 0 || marker >= lastMarkerEnd)
            break;
        const bool startsTag = marker == 0 || isBoundary(text[marker - 1]);
        position = marker + 1;
        if (!startsTag)
            continue;

        if (text[marker] == projectMarker) {
            if (!project)
                project = scanWord(text, position);
        } else if (const std::optional<QString> task = scanWord(text, position)) {
            if (!tasks.contains(*task, Qt::CaseInsensitive))
                tasks.append(*task);
        }
    }
    return ActivityComponents::componentsWithText(text, project, tasks);
}
