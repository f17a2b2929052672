#include "PdTaggedTextFieldCell.h"

#include <QPainter>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeView>

namespace {

bool isTagGreen(QRgb pixel)
{
    const QColor tag = PdTaggedTextFieldCell::tagColor();
    return qAbs(qRed(pixel) - tag.red()) < 8 && qAbs(qGreen(pixel) - tag.green()) < 8 &&
           qAbs(qBlue(pixel) - tag.blue()) < 8;
}

// Columns that hold a tag-green pixel.
QList<int> greenColumns(const QImage &image)
{
    QList<int> columns;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (isTagGreen(image.pixel(x, y))) {
                columns.append(x);
                break;
            }
        }
    }
    return columns;
}

} // namespace

// The "Invoiced" tag in front of an activity's text.
class TestTaggedCell : public QObject
{
    Q_OBJECT

private:
    QImage paintCell(const QStringList &tags, const QString &text)
    {
        QStandardItemModel model(1, 1);
        model.setData(model.index(0, 0), text);
        model.setData(model.index(0, 0), tags, PdTaggedTextFieldCell::ActivityTagsRole);
        QTreeView view; // gives the option a widget and a style, as in the report table
        PdTaggedTextFieldCell cell;
        QStyleOptionViewItem option;
        option.initFrom(&view);
        option.rect = QRect(0, 0, 300, 22);
        option.font = view.font();
        option.state |= QStyle::State_Enabled;
        QImage image(300, 22, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        cell.paint(&painter, option, model.index(0, 0));
        return image;
    }

private Q_SLOTS:
    void tagAreaWidth()
    {
        PdTaggedTextFieldCell cell;
        const QFont font;
        QCOMPARE(cell.activityTagsWidth({}, font), 0.0);
        const qreal invoiced = cell.widthForTag(QStringLiteral("Invoiced"), font);
        QCOMPARE(invoiced,
                 QFontMetricsF(PdTaggedTextFieldCell::tagFont(font)).horizontalAdvance("Invoiced") + 4);
        QCOMPARE(cell.activityTagsWidth({"Invoiced"}, font), invoiced + 3);
        QCOMPARE(cell.activityTagsWidth({"Invoiced", "Paid"}, font),
                 invoiced + 3 + cell.widthForTag(QStringLiteral("Paid"), font) + 3);
        QVERIFY(PdTaggedTextFieldCell::tagFont(font).pointSizeF() < font.pointSizeF());
    }

    void invoicedTagDrawnBeforeText()
    {
        PdTaggedTextFieldCell cell;
        const QImage tagged = paintCell({"Invoiced"}, QStringLiteral("Write offer"));
        const QList<int> green = greenColumns(tagged);
        QVERIFY(!green.isEmpty());
        QVERIFY(green.first() <= 3); // at the leading edge
        const qreal width = cell.widthForTag(QStringLiteral("Invoiced"), QTreeView().font());
        QVERIFY(green.last() <= 2 + width + 1);

        // Pale yellow tag text inside the green box.
        bool hasTagText = false;
        for (int x = green.first(); x <= green.last() && !hasTagText; ++x) {
            for (int y = 0; y < tagged.height(); ++y) {
                const QColor pixel = tagged.pixelColor(x, y);
                hasTagText = hasTagText || (pixel.red() > 220 && pixel.green() > 220 && pixel.blue() > 150 &&
                                            pixel.blue() < 230);
            }
        }
        QVERIFY(hasTagText);

        // Without tags there is no tag box.
        const QImage untagged = paintCell({}, QStringLiteral("Write offer"));
        QVERIFY(greenColumns(untagged).isEmpty());
        QVERIFY(tagged != untagged);
    }

    void sizeHintMakesRoomForTags()
    {
        QStandardItemModel model(1, 1);
        model.setData(model.index(0, 0), QStringLiteral("Write offer"));
        PdTaggedTextFieldCell cell;
        QStyleOptionViewItem option;
        const int plain = cell.sizeHint(option, model.index(0, 0)).width();
        model.setData(model.index(0, 0), QStringList{"Invoiced"}, PdTaggedTextFieldCell::ActivityTagsRole);
        QVERIFY(cell.sizeHint(option, model.index(0, 0)).width() >=
                plain + cell.activityTagsWidth({"Invoiced"}, option.font));
    }
};

QTEST_MAIN(TestTaggedCell)
#include "tst_TaggedCell.moc"
