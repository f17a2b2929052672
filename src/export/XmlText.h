#pragma once

#include <QString>

// Writing texts into XML 1.0 documents.
namespace XmlText {

// Appends the text as element content: "&", "<" and ">" as entity references, carriage returns as
// "&#13;" (so a parser does not turn them into line feeds), and every character XML 1.0 cannot carry
// (control characters other than tab, line feed and carriage return, unpaired surrogates, U+FFFE and
// U+FFFF) as U+FFFD REPLACEMENT CHARACTER.
void appendContent(QString &out, QStringView text);
// The same for an attribute value in double quotes: also '"', and tab, line feed and carriage return
// as character references so they survive attribute-value normalisation.
void appendAttributeValue(QString &out, QStringView text);

// Whether the text is an XML name without a colon (a name every namespace-aware parser accepts as an
// attribute name), and not "xmlns".
bool isAttributeName(const QString &name);

} // namespace XmlText
