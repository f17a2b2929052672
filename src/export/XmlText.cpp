#include "XmlText.h"

#include <QList>

namespace {

constexpr char16_t Replacement = 0xFFFD;

// Appends text, escaping by `escape` (returns the replacement for a character or null), replacing
// characters XML cannot carry.
template <class Escape> void appendEscaped(QString &out, QStringView text, Escape escape)
{
    const qsizetype size = text.size();
    qsizetype plainStart = 0;
    const auto flushPlain = [&](qsizetype end) {
        if (end > plainStart)
            out += text.mid(plainStart, end - plainStart);
    };
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x20 && c < 0xD800 && c != u'&' && c != u'<' && c != u'>' && c != u'"')
            continue; // the common case: nothing to do
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            continue;
        }
        if (c >= 0xE000 && c <= 0xFFFD)
            continue;
        const char *escaped = escape(c);
        if (escaped) {
            flushPlain(i);
            out += QLatin1StringView(escaped);
            plainStart = i + 1;
            continue;
        }
        const bool legal = c == u'\t' || c == u'\n' || c == u'\r' || c == u'&' || c == u'<' || c == u'>' ||
                           c == u'"' || (c >= 0x20 && c < 0xD800);
        if (!legal) {
            flushPlain(i);
            out += QChar(Replacement);
            plainStart = i + 1;
        }
    }
    flushPlain(size);
}

bool isNameStartChar(char32_t c)
{
    return (c >= u'A' && c <= u'Z') || c == u'_' || (c >= u'a' && c <= u'z') || (c >= 0xC0 && c <= 0xD6) ||
           (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
           (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
           (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameChar(char32_t c)
{
    return isNameStartChar(c) || c == u'-' || c == u'.' || (c >= u'0' && c <= u'9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

} // namespace

namespace XmlText {

void appendContent(QString &out, QStringView text)
{
    appendEscaped(out, text, [](char16_t c) -> const char * {
        switch (c) {
        case u'&':
            return "&amp;";
        case u'<':
            return "&lt;";
        case u'>':
            return "&gt;";
        case u'\r':
            return "&#13;";
        default:
            return nullptr;
        }
    });
}

void appendAttributeValue(QString &out, QStringView text)
{
    appendEscaped(out, text, [](char16_t c) -> const char * {
        switch (c) {
        case u'&':
            return "&amp;";
        case u'<':
            return "&lt;";
        case u'>':
            return "&gt;";
        case u'"':
            return "&quot;";
        case u'\t':
            return "&#9;";
        case u'\n':
            return "&#10;";
        case u'\r':
            return "&#13;";
        default:
            return nullptr;
        }
    });
}

bool isAttributeName(const QString &name)
{
    if (name.isEmpty() || name == u"xmlns")
        return false;
    const QList<uint> codePoints = name.toUcs4();
    for (qsizetype i = 0; i < codePoints.size(); ++i) {
        const char32_t c = codePoints.at(i);
        // toUcs4 passes unpaired surrogates through; they are no name characters.
        if (c >= 0xD800 && c <= 0xDFFF)
            return false;
        if (i == 0 ? !isNameStartChar(c) : !isNameChar(c))
            return false;
    }
    return true;
}

} // namespace XmlText
