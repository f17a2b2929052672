#pragma once

#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

// The report's search: the typed text anywhere in an activity text, without regard to letter case
// (Unicode case folding, so "ÄRGER" finds "ärger"). A "*" in the typed text stands for any run of
// characters and a "?" for exactly one.
class SearchPattern
{
public:
    explicit SearchPattern(QStringView searchText);

    // An empty search text matches every text.
    bool isEmpty() const { return m_empty; }

    bool matches(QStringView text) const;
    // The same for UTF-8 text (as SQLite hands it over); invalid bytes count as U+FFFD.
    bool matchesUtf8(std::string_view text) const;

private:
    bool matchesFolded(std::u32string_view text) const;

    // Case-folded code points with the wildcards kept, wrapped in "*...*".
    std::u32string m_pattern;
    bool m_empty = true;
};
