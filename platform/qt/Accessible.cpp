// What a screen reader learns of the windows: a role, a name and a state for every self-drawn
// control, a press action on the panel-buttons, the progress bar's value, and one-line
// announcements. The toolkit knows none of this by itself: the controls are plain widgets to it,
// which it reports as unnamed fillers, and labels hidden by no longer drawing them would still
// report themselves shown.
//
// Before version 6.8 the toolkit has no announcement event of its own. What screen readers do
// present is a notification appearing, so each window then holds one notification object, never
// drawn, whose name is the line to speak; an announcement hides it and shows it again with the new
// name.

#include "platform/qt/Internal.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QWindow>

namespace platform {

namespace {

const QString AnnouncerName = QStringLiteral("tapirun-announcer");

QString spoken(std::string_view utf8, bool accelerators = true) {
    return QString::fromStdString(spokenText(utf8, accelerators));
}

QString hintPart(const std::string& hint, bool beforeBar) {
    const auto bar = hint.find('|');
    if (beforeBar) return QString::fromUtf8(hint.substr(0, bar));
    return QString::fromUtf8(bar == std::string::npos ? hint : hint.substr(bar + 1));
}

bool isPanelButton(const ControlImpl& c) {
    return c.kind == Kind::Panel && c.clickHandler != nullptr;
}

// Shown on the screen: the control itself and every panel and window it lies on.
bool showing(const ControlImpl& c) {
    return c.isShown() && c.widget->isVisible();
}

class ControlAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ControlAccessible(ControlImpl& control)
        : QAccessibleWidget(control.widget), m_control(control) {}

    QAccessible::Role role() const override {
        switch (m_control.kind) {
        case Kind::Label: return QAccessible::StaticText;
        case Kind::Image: return QAccessible::Graphic;
        case Kind::ProgressBar: return QAccessible::ProgressBar;
        case Kind::Panel: return isPanelButton(m_control) ? QAccessible::Button : QAccessible::Pane;
        case Kind::RadioGroup:
        case Kind::Button: break;
        }
        return QAccessible::Client;
    }

    // Buttons by their caption (or hint), labels by their text; a key's legend also carries the
    // finger or symbol name of its hint. Frames and pictures have no name.
    QString text(QAccessible::Text t) const override {
        const ControlImpl& c = m_control;
        switch (t) {
        case QAccessible::Name:
            if (c.kind == Kind::Label) {
                const QString text = spoken(c.text), hint = hintPart(c.hint, true);
                if (!(c.style & ShowHint) || hint.isEmpty()) return text;
                return text.isEmpty() ? hint : text + u' ' + hint;
            }
            if (isPanelButton(c))
                return (c.style & NamedByHint) ? hintPart(c.hint, true) : spoken(c.text).simplified();
            return QString();
        case QAccessible::Description:
            return (isPanelButton(c) || (c.style & ShowHint)) ? hintPart(c.hint, false) : QString();
        case QAccessible::Value: return c.kind == Kind::ProgressBar ? QString::number(c.position) : QString();
        default: return QString();
        }
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (!showing(m_control)) s.invisible = true;
        s.focusable = false;
        s.disabled = !m_control.enabled;
        // Pressed as well as checked: this toolkit version passes no checkable state on.
        if (m_control.style & Toggle) {
            s.checkable = true;
            s.checked = m_control.checked;
            s.pressed = m_control.checked;
        }
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface && m_control.kind == Kind::ProgressBar)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    // A press runs the click handler, as a click would: only on a shown, enabled button.
    QStringList actionNames() const override {
        if (!isPanelButton(m_control)) return {};
        if (m_control.style & Toggle) return {pressAction(), toggleAction()};
        return {pressAction()};
    }
    void doAction(const QString& name) override {
        if (!actionNames().contains(name)) return;
        if (!m_control.enabled || !showing(m_control)) return;
        m_control.clickHandler();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    QVariant currentValue() const override { return m_control.position; }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 0; }

private:
    ControlImpl& m_control;
};

// The line last announced, as a notification that is shown while its line stands.
class Announcer : public QAccessibleInterface {
public:
    explicit Announcer(QObject* anchor) : m_anchor(anchor) {}

    void present(const QString& line) {
        if (m_shown) {
            m_shown = false;
            QAccessibleEvent hide(this, QAccessible::ObjectHide);
            QAccessible::updateAccessibility(&hide);
        }
        m_line = line;
        m_shown = true;
        QAccessibleEvent show(this, QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&show);
    }

    bool isValid() const override { return m_anchor != nullptr; }
    QObject* object() const override { return m_anchor; }
    QWindow* window() const override { return top() ? top()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(top()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override { return t == QAccessible::Name ? m_line : QString(); }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override { return {}; }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.invisible = !m_shown;
        s.readOnly = true;
        return s;
    }

private:
    QWidget* top() const { return static_cast<QWidget*>(m_anchor->parent()); }

    QObject* m_anchor;
    QString m_line;
    bool m_shown = false;
};

QObject* anchorOf(const QWidget* top) {
    return top->findChild<QObject*>(AnnouncerName, Qt::FindDirectChildrenOnly);
}

// The main window is a window, the About box a dialog; the notification is the last child.
class WindowAccessible : public QAccessibleWidget {
public:
    WindowAccessible(QWidget* top, bool dialog)
        : QAccessibleWidget(top, dialog ? QAccessible::Dialog : QAccessible::Window) {}

    int childCount() const override { return QAccessibleWidget::childCount() + (anchorOf(widget()) ? 1 : 0); }
    QAccessibleInterface* child(int index) const override {
        QObject* anchor = anchorOf(widget());
        if (anchor && index == QAccessibleWidget::childCount())
            return QAccessible::queryAccessibleInterface(anchor);
        return QAccessibleWidget::child(index);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        QObject* anchor = anchorOf(widget());
        if (anchor && child && child->object() == anchor) return QAccessibleWidget::childCount();
        return QAccessibleWidget::indexOfChild(child);
    }
};

// The program's own widgets are plain ones to the toolkit, so they are matched by what they are to
// the program; the toolkit's radio buttons and push buttons keep the toolkit's own description.
QAccessibleInterface* describeForReaders(const QString&, QObject* object) {
    if (!object) return nullptr;
    if (object->objectName() == AnnouncerName && !object->isWidgetType()) return new Announcer(object);
    if (!object->isWidgetType()) return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    for (WindowImpl* window : programWindows()) {
        if (widget == window->top.get()) return new WindowAccessible(widget, window->dialog);
        if (widget->window() != window->top.get()) continue;
        ControlImpl* control = window->fromWidget(widget);
        if (!control || control->kind == Kind::RadioGroup || control->kind == Kind::Button) return nullptr;
        return new ControlAccessible(*control);
    }
    return nullptr;
}

void notify(ControlImpl& control, QAccessible::Event event) {
    if (!QAccessible::isActive()) return;
    QAccessibleEvent e(control.widget, event);
    QAccessible::updateAccessibility(&e);
}

} // namespace

void installAccessibility() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(describeForReaders);
}

// Labels and pictures are hidden by no longer drawing them, which the toolkit does not see. The
// progress bar's value is read when asked for and never announced: a reader would otherwise speak
// its percentage in the middle of a drill.
void accessibleShownChanged(ControlImpl& control) {
    notify(control, control.shown ? QAccessible::ObjectShow : QAccessible::ObjectHide);
}

void accessibleTextChanged(ControlImpl& control) {
    notify(control, QAccessible::NameChanged);
}

void stateChanged(ControlImpl& control) {
    if (!QAccessible::isActive()) return;
    QAccessible::State changed;
    changed.disabled = true;
    changed.checked = true;
    changed.pressed = true;
    QAccessibleStateChangeEvent e(control.widget, changed);
    QAccessible::updateAccessibility(&e);
}

void announceOn(WindowImpl& window, std::string_view utf8) {
    if (!QAccessible::isActive()) return;
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // The toolkit's own announcement, where it has one; each line cuts off the one before, as a
    // new target makes the last one stale.
    QAccessibleAnnouncementEvent event(window.top.get(), spoken(utf8, false));
    event.setPoliteness(QAccessible::AnnouncementPoliteness::Assertive);
    QAccessible::updateAccessibility(&event);
#else
    QObject* anchor = anchorOf(window.top.get());
    if (!anchor) {
        anchor = new QObject(window.top.get());
        anchor->setObjectName(AnnouncerName);
    }
    if (auto* announcer = static_cast<Announcer*>(QAccessible::queryAccessibleInterface(anchor)))
        announcer->present(spoken(utf8, false));
#endif
}

} // namespace platform
