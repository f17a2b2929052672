#pragma once

#include "StatusItem.h"

#include <QIcon>
#include <QImage>

// Draws the status item's icon. Trays show no text beside an icon, so "Timer" and "Icon & Timer" draw
// the running time into the image: hours above minutes, light digits on a solid plate, which reads on
// light and dark panels alike.
class TrayIconRenderer
{
public:
    // One image of `size` × `size` device-independent pixels at the given pixel ratio.
    static QImage render(StatusItemType type, const QString &timerText, int size, qreal pixelRatio = 1.0);

    // An icon with images for the sizes trays use.
    static QIcon icon(StatusItemType type, const QString &timerText);

    // The program's own icon (from the resources).
    static QIcon applicationIcon();
};
