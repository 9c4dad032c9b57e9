#include "AlertWindows.h"

#include "platform/X11Window.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVariantAnimation>

namespace sv {

namespace {

constexpr Qt::WindowFlags overlayFlags = Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                         Qt::X11BypassWindowManagerHint | Qt::WindowTransparentForInput |
                                         Qt::WindowDoesNotAcceptFocus | Qt::Tool;

void makeOverlay(QWidget *w, QScreen *screen, const QRect &geometry)
{
    w->setWindowFlags(overlayFlags);
    w->setAttribute(Qt::WA_TranslucentBackground);
    w->setAttribute(Qt::WA_ShowWithoutActivating);
    w->setAttribute(Qt::WA_DeleteOnClose);
    if (screen)
        w->setScreen(screen);
    w->setGeometry(geometry);
}

} // namespace

QColor AlertBanner::colour(bool high)
{
    // The system's red and blue, as the desktop palette has no named ones.
    QColor c = high ? QColor(255, 59, 48) : QColor(0, 122, 255);
    c.setAlphaF(0.96f);
    return c;
}

AlertBanner::AlertBanner(const QString &text, bool high, QScreen *screen)
    : m_text(text)
    , m_high(high)
{
    const QRect visible = screen ? screen->availableGeometry() : QRect(0, 0, 560, 110);
    // QRect::center() rounds towards the top left; the midpoint is exact.
    const QPointF centre = QRectF(visible).center();
    makeOverlay(this, screen, QRectF(centre.x() - 280, centre.y() - 55, 560, 110).toRect());
    setWindowTitle(QStringLiteral("Sonivane alert"));

    // 42 points, unless the name of the sound would then be cut off: a
    // banner must always say in full what was heard. The banner's size is
    // fixed, so the fit is found once.
    m_font = font();
    m_font.setBold(true);
    const int textWidth = textFrame().width();
    for (double size = 42; size > 12; size -= 1) {
        m_font.setPointSizeF(size);
        if (QFontMetricsF(m_font).horizontalAdvance(m_text) <= textWidth)
            break;
    }
}

QRect AlertBanner::textFrame() const
{
    return rect().adjusted(18, 30, -18, -30);
}

void AlertBanner::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 22, 22);
    p.fillPath(path, colour(m_high));
    p.setFont(m_font);
    p.setPen(Qt::white);
    p.drawText(textFrame(), Qt::AlignCenter | Qt::TextDontClip, m_text);
}

FlashOverlay::FlashOverlay(const QColor &colour, int pulses, QScreen *screen)
    : m_colour(colour)
    , m_blended(hasCompositor()) // asked of the X server once, not per frame
    , m_pulse(new QVariantAnimation(this))
{
    makeOverlay(this, screen, screen ? screen->geometry() : QRect());
    setWindowTitle(QStringLiteral("Sonivane flash"));
    // One loop is a whole pulse: up to the peak and back, by the key values.
    m_pulse->setDuration(2 * halfPulseMs);
    m_pulse->setStartValue(0.0);
    m_pulse->setKeyValueAt(0.5, peakOpacity);
    m_pulse->setEndValue(0.0);
    m_pulse->setLoopCount(std::max(1, pulses));
    // Without a compositor a translucent window is drawn opaque, which
    // would black the screen out; there the wash blinks instead, shown in
    // the upper half of each pulse and hidden in the lower.
    connect(m_pulse, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        m_level = v.toDouble();
        if (m_blended)
            update();
        else
            setVisible(m_level > peakOpacity / 2);
    });
    m_pulse->start();
}

void FlashOverlay::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    QColor c = m_colour;
    if (m_blended)
        c.setAlphaF(float(m_level));
    p.fillRect(rect(), c);
}

} // namespace sv
