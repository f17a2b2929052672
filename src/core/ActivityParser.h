#pragma once

#include "ActivityComponents.h"

#include <QString>
#include <QStringView>

#include <optional>

// Reads the tags of an activity text: the first "@word" names the project, every "#word" a task.
// A marker starts a tag only at the start of the text or after a boundary character, and only when at
// least two characters follow it. Positions count UTF-16 code units. Pure: no settings, no store.
class ActivityParser
{
public:
    // The one shared parser; made on first use and never released.
    static const ActivityParser &defaultParser();

    // A null text counts as absent: the result then has a null text, no project and no tasks.
    ActivityComponents componentsFromText(const QString &text) const;

    // Reads the word that starts at position (the first character after a tag marker) and moves position
    // to the word stopper that ends it, or to the end of the text. Answers std::nullopt, leaving position
    // unchanged, when a word stopper (or the end of the text) is at position. Full stops at either end of
    // the word are dropped, so the word can be empty.
    std::optional<QString> scanWord(QStringView text, qsizetype &position) const;

    // Unicode whitespace and newlines (category Zs, tab, U+000A..U+000D, U+0085, U+2028, U+2029).
    static bool isWhitespaceOrNewline(QChar c);
    // Characters after which a marker starts a tag, and which are trimmed from the ends of a word:
    // whitespace and newlines plus ";:,.?!".
    static bool isBoundary(QChar c);
    // Characters that end a word: whitespace and newlines plus ";:,?!" (not the full stop).
    static bool isWordStopper(QChar c);
    // The tag markers "@" and "#".
    static bool isProjectTaskChar(QChar c);

private:
    ActivityParser() = default;
};
