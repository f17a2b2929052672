#include "PDFixedCollectionItem.h"

PDFixedCollectionItem PDFixedCollectionItem::separator()
{
    return {SeparatorValue, QStringLiteral("---")};
}

bool PDFixedCollectionItem::isSeparator() const
{
    return *this == separator();
}
