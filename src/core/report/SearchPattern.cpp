#include "SearchPattern.h"

#include <QChar>

namespace {

constexpr char32_t anyRun = U'*';
constexpr char32_t anyOne = U'?';
constexpr char32_t replacement = 0xFFFD;

char32_t folded(char32_t c)
{
    if (c < 0x80)
        return (c >= U'A' && c <= U'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

// Decodes one UTF-8 sequence at `i` and moves `i` past it.
char32_t decodeUtf8(std::string_view text, size_t &i)
{
    const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int length = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, c = lead & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return replacement;
    }
    if (i + length > text.size()) {
        ++i;
        return replacement;
    }
    for (int k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return replacement;
        }
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    i += length;
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return replacement;
    return c;
}

// Appends the folded code points of UTF-16 text; a lone surrogate counts as U+FFFD.
void appendFolded(QStringView text, std::u32string &out)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text[i];
        char32_t c = unit.unicode();
        if (unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(unit, text[++i]);
        else if (unit.isSurrogate())
            c = replacement;
        out.push_back(folded(c));
    }
}

// Reused between calls: the search runs once per row of a query.
thread_local std::u32string foldedText;

} // namespace

SearchPattern::SearchPattern(QStringView searchText)
{
    m_empty = searchText.isEmpty();
    std::u32string typed;
    appendFolded(searchText, typed);
    m_pattern.push_back(anyRun);
    for (char32_t c : typed) {
        if (c != anyRun || m_pattern.back() != anyRun)
            m_pattern.push_back(c);
    }
    if (m_pattern.back() != anyRun)
        m_pattern.push_back(anyRun);
}

bool SearchPattern::matches(QStringView text) const
{
    if (m_empty)
        return true;
    foldedText.clear();
    appendFolded(text, foldedText);
    return matchesFolded(foldedText);
}

bool SearchPattern::matchesUtf8(std::string_view text) const
{
    if (m_empty)
        return true;
    // Never more code points than bytes: fill a buffer of that size without growing it.
    if (foldedText.size() < text.size())
        foldedText.resize(text.size());
    char32_t *out = foldedText.data();
    size_t count = 0;
    for (size_t i = 0; i < text.size();)
        out[count++] = folded(decodeUtf8(text, i));
    return matchesFolded(std::u32string_view(out, count));
}

// Wildcard matching of the whole text: on a mismatch, the last "*" takes one more character. Linear
// for the usual single run of literal text, at worst text length times pattern length.
bool SearchPattern::matchesFolded(std::u32string_view text) const
{
    const std::u32string_view pattern = m_pattern;
    size_t p = 0, t = 0;
    size_t starAt = std::u32string_view::npos, starText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == anyRun) {
            starAt = p++;
            starText = t;
        } else if (p < pattern.size() && (pattern[p] == anyOne || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (starAt != std::u32string_view::npos) {
            p = starAt + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == anyRun)
        ++p;
    return p == pattern.size();
}
