#pragma once

#include <QMetaType>
#include <QString>

// One entry of a fixed choice list: a value and the title shown for it.
class PDFixedCollectionItem
{
public:
    static constexpr uint SeparatorValue = 9999;

    PDFixedCollectionItem() = default;
    PDFixedCollectionItem(uint value, const QString &title)
        : m_value(value)
        , m_title(title)
    {}

    static PDFixedCollectionItem withValue(uint value, const QString &title) { return {value, title}; }
    // The entry that stands for a separator line in a pop-up list.
    static PDFixedCollectionItem separator();

    uint value() const { return m_value; }
    QString title() const { return m_title; }
    QString description() const { return m_title; }
    bool isSeparator() const;

    friend bool operator==(const PDFixedCollectionItem &, const PDFixedCollectionItem &) = default;

private:
    uint m_value = 0;
    QString m_title;
};

Q_DECLARE_METATYPE(PDFixedCollectionItem)
