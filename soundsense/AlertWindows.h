#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

class QScreen;
class QVariantAnimation;

namespace sv {

// Alert overlays: frameless, translucent windows that never take focus or
// clicks and stay above everything, full-screen windows included (on X11
// they bypass the window manager, which would otherwise stack them below a
// full-screen window).

// The banner naming the sound: 560 x 110, rounded 22, centred on the screen's
// work area, white bold 42-point text on the alert colour at alpha 0.96.
class AlertBanner : public QWidget {
    Q_OBJECT
public:
    AlertBanner(const QString &text, bool high, QScreen *screen);
    static QColor colour(bool high);
    QString text() const { return m_text; }
    bool isHigh() const { return m_high; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect textFrame() const;

    QString m_text;
    bool m_high;
    QFont m_font;
};

// A colour wash over one screen's whole area, pulsing from transparent to
// half opacity and back `pulses` times (0.3 s each way), ending transparent.
class FlashOverlay : public QWidget {
    Q_OBJECT
public:
    FlashOverlay(const QColor &colour, int pulses, QScreen *screen);
    static constexpr double peakOpacity = 0.5;
    static constexpr int halfPulseMs = 300;
    // pulses x 0.3 x 2 + 0.2 seconds.
    static int lifetimeMs(int pulses) { return pulses * halfPulseMs * 2 + 200; }
    double level() const { return m_level; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_colour;
    bool m_blended; // a compositor blends the wash; without one it blinks
    double m_level = 0.0;
    QVariantAnimation *m_pulse;
};

} // namespace sv
