// The self-drawn controls: flat panels, opaque self-sizing labels, pictures and the smooth progress
// bar. Each repaints only itself, so a changed character never redraws the whole screen.

#include "platform/qt/Internal.h"

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <optional>

namespace platform {

namespace {

QString toQString(std::u32string_view text) {
    return QString::fromUcs4(text.data(), static_cast<qsizetype>(text.size()));
}

Measure measureWith(const QFontMetricsF& metrics) {
    return [&metrics](std::u32string_view text) { return metrics.horizontalAdvance(toQString(text)); };
}

std::vector<LabelLine> labelLines(const ControlImpl& control, const QFontMetricsF& metrics) {
    return platform::labelLines(control.text, (control.style & WordWrap) != 0, control.designWidth,
                                measureWith(metrics));
}

// A line is as high as the font's character height; the baseline splits it as the font's own
// ascent and descent do.
double baselineOffset(const QFontMetricsF& metrics, int height) {
    const double total = metrics.ascent() + metrics.descent();
    return total > 0 ? height * metrics.ascent() / total : height;
}

// The side buttons of a five-button mouse, and any further ones, are none of the three a handler
// knows; they reach no handler at all.
std::optional<MouseButton> toButton(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton: return MouseButton::Left;
    case Qt::RightButton: return MouseButton::Right;
    case Qt::MiddleButton: return MouseButton::Middle;
    default: return std::nullopt;
    }
}

// A bevel line from (x0, y0) to (x1, y1), ends included, filled as a rectangle one pixel across:
// a one-pixel pen stays one device pixel wide at a pixel ratio of 2, a rectangle scales with the
// rest of the window.
void bevelLine(QPainter& painter, int x0, int y0, int x1, int y1, const QColor& colour) {
    painter.fillRect(QRect(QPoint(x0, y0), QPoint(x1, y1)), colour);
}

} // namespace

Colour ControlImpl::backgroundColour() {
    return backgroundOf(*this);
}

QString ControlImpl::shortHint() const {
    const std::string_view part = platform::shortHint(hint);
    return QString::fromUtf8(part.data(), static_cast<qsizetype>(part.size()));
}

void ControlImpl::resizeToText() {
    if (kind != Kind::Label) return;
    sizeStale = true;
    if (shown && widget->isVisible()) ensureSized();
}

void ControlImpl::ensureSized() {
    if (!sizeStale) return;
    sizeStale = false;
    const QFontMetricsF metrics(qfont());
    const auto [w, h] = labelSize(labelLines(*this, metrics), (style & WordWrap) != 0, designWidth,
                                  font.height, measureWith(metrics));
    if (widget->width() != w || widget->height() != h) widget->resize(w, h);
    widget->update();
}

ControlWidget::ControlWidget(ControlImpl& control, QWidget* parent) : QWidget(parent), m_control(control) {
    const bool opaque = control.kind == Kind::Panel || control.kind == Kind::ProgressBar ||
                        (control.kind == Kind::Label && !(control.style & Transparent));
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setFocusPolicy(Qt::NoFocus);
}

void ControlWidget::paintEvent(QPaintEvent*) {
    if (!m_control.isShown()) return;
    QPainter painter(this);
    switch (m_control.kind) {
    case Kind::Panel: paintPanel(painter); break;
    case Kind::Label: paintLabel(painter); break;
    case Kind::Image: paintImage(painter); break;
    case Kind::ProgressBar: paintProgress(painter); break;
    case Kind::RadioGroup:
    case Kind::Button: break;
    }
}

void ControlWidget::paintPanel(QPainter& painter) {
    painter.fillRect(rect(), toQColor(m_control.backgroundColour()));
    if (m_control.style & Sunken) {
        // Lowered outer bevel with a raised inner one, one pixel each.
        const QColor shadow(128, 128, 128), light(255, 255, 255);
        const int r = width() - 1, b = height() - 1;
        bevelLine(painter, 0, 0, r, 0, shadow);
        bevelLine(painter, 0, 0, 0, b, shadow);
        bevelLine(painter, r - 1, 1, r - 1, b - 1, shadow);
        bevelLine(painter, 1, b - 1, r - 1, b - 1, shadow);
        bevelLine(painter, r, 0, r, b, light);
        bevelLine(painter, 0, b, r, b, light);
        bevelLine(painter, 1, 1, r - 2, 1, light);
        bevelLine(painter, 1, 1, 1, b - 2, light);
    }
    if (m_control.text.empty()) return;
    painter.setFont(m_control.qfont());
    painter.setPen(toQColor(resolve(m_control.font.colour)));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, toDisplay(m_control.text));
}

void ControlWidget::paintLabel(QPainter& painter) {
    // Every way a label becomes visible measures its new text first; a label drawn while its text
    // is still unmeasured would be cut at, or centred by, the size of a text it no longer holds.
    if (!(m_control.style & Transparent)) painter.fillRect(rect(), toQColor(m_control.backgroundColour()));
    const QFont& qf = m_control.qfont();
    const QFontMetricsF metrics(qf);
    painter.setFont(qf);
    painter.setPen(toQColor(resolve(m_control.font.colour)));
    const int lineHeight = m_control.font.height;
    const double baseline = baselineOffset(metrics, lineHeight);
    const auto lines = labelLines(m_control, metrics);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const double y = static_cast<double>(i) * lineHeight + baseline;
        const std::u32string_view text = lines[i].text;
        painter.drawText(QPointF(0, y), toQString(text));
        if (const auto at = static_cast<std::size_t>(lines[i].underline); lines[i].underline >= 0) {
            const double x0 = metrics.horizontalAdvance(toQString(text.substr(0, at)));
            const double x1 = x0 + metrics.horizontalAdvance(toQString(text.substr(at, 1)));
            painter.drawLine(QPointF(x0, y + 1), QPointF(x1, y + 1));
        }
    }
}

// Icons are drawn at their own size at the top-left corner; a stretched bitmap fills the box.
void ControlWidget::paintImage(QPainter& painter) {
    if (m_control.pixmap.isNull()) return;
    if (m_control.pixmapIsIcon || !(m_control.style & Stretch))
        painter.drawPixmap(0, 0, m_control.pixmap);
    else
        painter.drawPixmap(rect(), m_control.pixmap);
}

// The classic smooth bar: a sunken well in the button face, filled from the left.
void ControlWidget::paintProgress(QPainter& painter) {
    const QColor face = toQColor(resolve(clBtnFace));
    painter.fillRect(rect(), face);
    const int r = width() - 1, b = height() - 1;
    const QColor shadow(128, 128, 128), light(255, 255, 255);
    bevelLine(painter, 0, 0, r, 0, shadow);
    bevelLine(painter, 0, 0, 0, b, shadow);
    bevelLine(painter, r, 1, r, b, light);
    bevelLine(painter, 1, b, r, b, light);
    const int inner = width() - 2;
    const int filled = inner * m_control.position / 100;
    painter.fillRect(1, 1, filled, height() - 2, QColor(0, 0, 128));
}

bool ControlWidget::event(QEvent* event) {
    // Shown with its window or its panel: sized before anything is drawn.
    if (event->type() == QEvent::Show && m_control.shown) m_control.ensureSized();
    if (handleCommonEvent(m_control, this, event, m_pressed)) return true;
    return QWidget::event(event);
}

// A click is a left press and release both inside the control, which is still shown when the button
// goes up; the second press of a double click is not a click. Mouse down and up handlers hear every
// button, the release wherever it happens, because the pressed widget holds the mouse until then.
bool handleCommonEvent(ControlImpl& control, QWidget* widget, QEvent* event, bool& pressed) {
    switch (event->type()) {
    case QEvent::ToolTip: {
        const QString tip = (control.style & ShowHint) ? control.shortHint() : QString();
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip, widget);
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) pressed = control.enabled;
        const auto button = toButton(mouse->button());
        if (button && control.downHandler && control.enabled) control.downHandler(*button);
        return true;
    }
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const auto button = toButton(mouse->button());
        if (!button) return true;
        pressed = false;
        if (control.downHandler && control.enabled) control.downHandler(*button);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const bool wasPressed = pressed && mouse->button() == Qt::LeftButton;
        if (mouse->button() == Qt::LeftButton) pressed = false;
        const auto button = toButton(mouse->button());
        if (button && control.upHandler && control.enabled) control.upHandler(*button);
        if (wasPressed && control.enabled && control.clickHandler && widget->isVisible() &&
            control.isShown() && widget->rect().contains(mouse->position().toPoint()))
            control.clickHandler();
        return true;
    }
    default: return false;
    }
}

} // namespace platform
