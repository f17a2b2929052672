#include "PdTaggedTextFieldCell.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>

namespace {

constexpr qreal tagPadding = 4.0;
constexpr qreal tagSpacing = 3.0;
// The small control font against the regular one.
constexpr qreal smallFontRatio = 11.0 / 13.0;

QStringList tagsOf(const QModelIndex &index)
{
    return index.data(PdTaggedTextFieldCell::ActivityTagsRole).toStringList();
}

} // namespace

QFont PdTaggedTextFieldCell::tagFont(const QFont &cellFont)
{
    QFont font = cellFont;
    if (cellFont.pointSizeF() > 0)
        font.setPointSizeF(qMax(6.0, cellFont.pointSizeF() * smallFontRatio));
    else
        font.setPixelSize(qMax(8, qRound(cellFont.pixelSize() * smallFontRatio)));
    return font;
}

qreal PdTaggedTextFieldCell::widthForTag(const QString &tag, const QFont &cellFont) const
{
    return QFontMetricsF(tagFont(cellFont)).horizontalAdvance(tag) + tagPadding;
}

qreal PdTaggedTextFieldCell::activityTagsWidth(const QStringList &tags, const QFont &cellFont) const
{
    qreal width = 0;
    for (const QString &tag : tags)
        width += widthForTag(tag, cellFont) + tagSpacing;
    return width;
}

void PdTaggedTextFieldCell::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    const QStringList tags = tagsOf(index);
    if (tags.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }

    QStyleOptionViewItem itemOption = option;
    initStyleOption(&itemOption, index);
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    // The selection and row background span the tags too.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &itemOption, painter, widget);

    const QFont font = tagFont(itemOption.font);
    const QFontMetricsF metrics(font);
    const qreal height = qMax(metrics.height(), option.rect.height() * smallFontRatio);
    const qreal top = option.rect.top() + (option.rect.height() - height) * 0.5;
    qreal x = option.rect.left() + 2;

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setFont(font);
    for (const QString &tag : tags) {
        const QRectF box(x, top, widthForTag(tag, itemOption.font), height);
        painter->setPen(tagColor());
        painter->setBrush(tagColor());
        painter->drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
        painter->setPen(tagTextColor());
        painter->drawText(box, Qt::AlignCenter, tag);
        x += box.width() + tagSpacing;
    }
    painter->restore();

    // The item's own text in the rest of the cell.
    QStyleOptionViewItem rest = option;
    rest.rect.setLeft(qCeil(x) + 1);
    QStyledItemDelegate::paint(painter, rest, index);
}

QSize PdTaggedTextFieldCell::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QStringList tags = tagsOf(index);
    if (!tags.isEmpty())
        size.rwidth() += qCeil(activityTagsWidth(tags, option.font)) + 2;
    return size;
}
