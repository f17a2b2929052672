#pragma once

#include "ActivityTokenType.h"
#include "ActivityTokenValue.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>
#include <variant>

// One export field: a CSV column or an XML attribute, naming a piece of an activity by type and value
// code. Only XML fields carry a property name (the attribute name).
//
// Copying a CSVTokenField object keeps everything; copy() is the field's own copy operation (same mode
// and codes, enabled, no property name).
class CSVTokenField
{
public:
    enum Mode : int
    {
        CSVMode = 0,
        XMLMode = 1,
    };

    // One item of a field's value menu.
    struct MenuItem
    {
        enum class Kind
        {
            Header,
            Separator,
            Value,
        };
        Kind kind = Kind::Value;
        QString title; // headers and values
        int value = 0; // values only
        bool checked = false;
    };
    // One entry of the flattened value list of the preferences panes: a value, or a text ("-" for a
    // separator, else a header title).
    using ListEntry = std::variant<ActivityTokenValue, QString>;

    // The type to show for the data of one field on the clipboard.
    static inline const QString PasteboardType = QStringLiteral("com.penduloapp.csvtfield");

    // A CSV field of type Activity, value Text.
    CSVTokenField();
    // A mode other than 1 is CSV; a type other than Date and Duration becomes Activity; without a value,
    // the type's default value (111 for Date, 300 for Duration, 400 for Activity).
    CSVTokenField(int mode, int tokenType);
    CSVTokenField(int mode, int tokenType, int value);

    Mode mode() const { return m_mode; }
    const ActivityTokenType &tokenType() const { return m_tokenType; }
    const ActivityTokenValue &tokenValue() const { return m_tokenValue; }

    // A different type resets the value to the type's first choice: 111 Date, 300 Duration, 401
    // (project name) for any other. The same type changes nothing.
    void setTokenType(const ActivityTokenType &type);
    // Takes the code only.
    void setTokenValue(const ActivityTokenValue &value);
    // Sets both codes as given.
    void setTokenType(int type, int value);

    // Null in CSV mode.
    QString xmlPropertyName() const { return m_mode == XMLMode ? m_xmlPropertyName : QString(); }
    // A null name changes nothing. Otherwise: trimmed, runs of spaces and tabs inside joined with "-";
    // an empty result, or "uid", "from" or "to" for an enabled field, keeps the previous name. In CSV
    // mode the field keeps no name.
    void setXmlPropertyName(const QString &name);
    // The name rules without a field: the cleaned name, or a null text when it would be refused.
    static QString cleanedPropertyName(const QString &name, bool enabled);

    // Whether the user may edit and remove the field (false for the fixed XML fields).
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }

    void setShowShortDescription(bool on) { m_tokenValue.setShowShortDescription(on); }

    CSVTokenField copy() const;

    // The type's title ("Date", "Duration", "Activity") and the value's short title.
    QString displayStringTemplate() const { return m_tokenType.description(); }
    QString displayStringField() const { return m_tokenValue.descriptionShort(); }

    // The value menu of the field's type, the current value checked.
    QList<MenuItem> menu() const;
    // The three types in menu order: Activity, Date, Duration.
    static QList<ActivityTokenType> xmlMenu();
    // The value menu as a plain list.
    QList<ListEntry> xmlSubMenu() const;

    // The stored form: "tokenMode" always, "tokenType", "tokenValue", and "xmlPropertyName" for XML
    // fields with a name.
    QVariantMap toStoredForm() const;
    // A field from its stored form; none when the entry is not a map with integer "tokenType" and
    // "tokenValue". The property name passes through the name rules.
    static std::optional<CSVTokenField> fromStoredForm(const QVariant &entry);

    // The clipboard data of one field (its stored form as a JSON object) and back.
    QByteArray toPasteboardData() const;
    static std::optional<CSVTokenField> fromPasteboardData(const QByteArray &data);

    // Same mode, codes, name and enabled state.
    friend bool operator==(const CSVTokenField &a, const CSVTokenField &b);

private:
    Mode m_mode = CSVMode;
    ActivityTokenType m_tokenType;
    ActivityTokenValue m_tokenValue;
    QString m_xmlPropertyName;
    bool m_enabled = true;
};

Q_DECLARE_METATYPE(CSVTokenField)
