#include "window/MessageLine.h"

#include <QEvent>

namespace {

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

} // namespace

MessageLine::MessageLine(QWidget *parent)
    : QLabel(parent)
{
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    hide();
}

void MessageLine::showError(const QString &message)
{
    m_kind = Kind::Error;
    setText(message);
    applyColour();
    show();
}

void MessageLine::showInfo(const QString &message)
{
    m_kind = Kind::Info;
    setText(message);
    applyColour();
    show();
}

void MessageLine::hideMessage()
{
    m_kind = Kind::None;
    clear();
    hide();
}

void MessageLine::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        applyColour();
}

void MessageLine::applyColour()
{
    // Red and dark grey, lightened on a dark window so that they stay readable.
    const bool dark = isDark(parentWidget() ? parentWidget()->palette() : palette());
    QColor colour;
    if (m_kind == Kind::Error)
        colour = dark ? QColor(0xff, 0x7b, 0x72) : QColor(0xc0, 0x1c, 0x28);
    else
        colour = dark ? QColor(0xb0, 0xb0, 0xb0) : QColor(0x4d, 0x4d, 0x4d);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, colour);
    if (colours != palette())
        setPalette(colours);
}
