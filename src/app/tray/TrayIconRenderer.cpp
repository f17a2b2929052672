#include "tray/TrayIconRenderer.h"

#include "AppResources.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor timerPlate(0x2e, 0x34, 0x36);
const QColor brandPlate(0x1b, 0x7a, 0x8c);
const QColor digits(0xff, 0xff, 0xff);

// "01:05" → {"01", "05"}; no text (nothing runs) shows dashes.
QStringList timerLines(const QString &timerText)
{
    const QStringList parts = timerText.split(QLatin1Char(':'));
    if (parts.size() != 2)
        return {QStringLiteral("--"), QStringLiteral("--")};
    return parts;
}

// The largest bold font whose digits fit a line box of this size.
QFont digitFont(const QStringList &lines, const QSizeF &lineBox)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setStretch(QFont::SemiCondensed);
    font.setHintingPreference(QFont::PreferFullHinting);
    for (int pixels = int(lineBox.height() * 1.6); pixels > 4; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetricsF metrics(font);
        bool fits = true;
        for (const QString &line : lines) {
            const QRectF ink = metrics.tightBoundingRect(line);
            fits = fits && ink.width() <= lineBox.width() && ink.height() <= lineBox.height();
        }
        if (fits)
            return font;
    }
    font.setPixelSize(4);
    return font;
}

void drawTimer(QPainter &painter, const QColor &plate, const QString &timerText, qreal size)
{
    const qreal radius = size * 0.18;
    painter.setPen(Qt::NoPen);
    painter.setBrush(plate);
    painter.drawRoundedRect(QRectF(0, 0, size, size), radius, radius);

    const QStringList lines = timerLines(timerText);
    const qreal margin = size >= 20 ? 2.0 : 1.0;
    const qreal gap = size >= 20 ? 2.0 : 1.0;
    const QSizeF lineBox(size - 2 * margin, (size - 2 * margin - gap) / 2);
    const QFont font = digitFont(lines, lineBox);
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    painter.setPen(digits);

    // Lines are centred by their advance, so "12" and "05" keep their digits in the same columns, and
    // by the ink of a digit vertically, so dashes sit at mid-height like a clock's colon.
    const QRectF digitInk = metrics.tightBoundingRect(QStringLiteral("0"));
    for (int i = 0; i < 2; ++i) {
        const QRectF box(margin, margin + i * (lineBox.height() + gap), lineBox.width(), lineBox.height());
        const qreal x = box.left() + (box.width() - metrics.horizontalAdvance(lines.at(i))) / 2;
        const qreal y = box.top() + (box.height() - digitInk.height()) / 2 - digitInk.top();
        painter.drawText(QPointF(qRound(x), qRound(y)), lines.at(i));
    }
}

} // namespace

QImage TrayIconRenderer::render(StatusItemType type, const QString &timerText, int size, qreal pixelRatio)
{
    const QSize pixels = QSize(size, size) * pixelRatio;
    if (type == StatusItemType::Icon) {
        QImage image = applicationIcon().pixmap(pixels).toImage();
        image.setDevicePixelRatio(pixelRatio);
        return image;
    }

    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawTimer(painter, type == StatusItemType::Timer ? timerPlate : brandPlate, timerText, size);
    return image;
}

QIcon TrayIconRenderer::icon(StatusItemType type, const QString &timerText)
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(render(type, timerText, size)));
    return icon;
}

QIcon TrayIconRenderer::applicationIcon()
{
    return AppResources::icon(QStringLiteral("com.penduloapp.Pendulo"));
}
