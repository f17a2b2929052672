#pragma once

#include <QStyledItemDelegate>

// Draws small coloured tags (the report uses "Invoiced") in front of an item's text. The tags come from
// the model under ActivityTagsRole as a QStringList.
class PdTaggedTextFieldCell : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int ActivityTagsRole = Qt::UserRole + 40;

    using QStyledItemDelegate::QStyledItemDelegate;

    // Width of one tag: its text in the tag font plus 4 pixels.
    qreal widthForTag(const QString &tag, const QFont &cellFont) const;
    // Width of the whole tag area: each tag plus 3 pixels of spacing; 0 without tags.
    qreal activityTagsWidth(const QStringList &tags, const QFont &cellFont) const;

    static QFont tagFont(const QFont &cellFont);
    static QColor tagColor() { return QColor::fromRgbF(0.4f, 0.6f, 0.1333f, 1.0f); }
    static QColor tagTextColor() { return QColor::fromRgbF(0.976f, 0.988f, 0.776f, 1.0f); }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
