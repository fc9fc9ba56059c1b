// What a screen reader learns of the windows: the role, name, description and states that
// readerView gives every self-drawn control, a press action on the panel-buttons, the progress
// bar's value, and one-line announcements. The toolkit knows none of this by itself: the controls
// are plain widgets to it, which it reports as unnamed fillers, and labels hidden by no longer
// drawing them would still report themselves shown. Panels that only arrange and unnamed pictures
// are left out of the tree, what lies inside them in their place.
//
// Before version 6.8 the toolkit has no announcement event of its own. What screen readers do
// present is a notification appearing, so each window then holds one notification object, never
// drawn, whose name is the line to speak; an announcement hides it and shows it again with the new
// name. The notification lies inside a status bar, also never drawn: readers speak a status bar's
// notification as its text alone, where any other one is introduced by its role word before every
// line.

#include "platform/core/ScreenReader.h"
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

ControlImpl* controlOf(const QWidget* widget) {
    for (WindowImpl* window : allWindows())
        if (widget->window() == window->top.get()) return window->fromWidget(widget);
    return nullptr;
}

bool isLayout(const QWidget* widget) {
    const ControlImpl* control = controlOf(widget);
    return control && readerView(*control).role == ReaderRole::Layout;
}

// What a reader sees inside a widget: its child widgets in stacking order, each control that only
// arranges or decorates replaced by what lies inside it.
void reportedChildren(const QWidget* widget, QList<QWidget*>& out) {
    for (QObject* object : widget->children()) {
        if (!object->isWidgetType()) continue;
        auto* child = static_cast<QWidget*>(object);
        if (child->isWindow()) continue;
        if (isLayout(child))
            reportedChildren(child, out);
        else
            out.push_back(child);
    }
}

QList<QWidget*> reportedChildren(const QWidget* widget) {
    QList<QWidget*> out;
    reportedChildren(widget, out);
    return out;
}

// Shown on the screen: the control itself and every panel and window it lies on.
bool showing(const ControlImpl& c) {
    return c.isShown() && c.widget->isVisible();
}

// A widget whose children a reader sees with the layout controls left out.
template <class Base> class Flattened : public Base {
public:
    using Base::Base;

    int childCount() const override { return static_cast<int>(reportedChildren(this->widget()).size()); }
    QAccessibleInterface* child(int index) const override {
        return QAccessible::queryAccessibleInterface(reportedChildren(this->widget()).value(index));
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (!child || !child->object() || !child->object()->isWidgetType()) return -1;
        return static_cast<int>(
            reportedChildren(this->widget()).indexOf(static_cast<QWidget*>(child->object())));
    }
};

class ControlAccessible : public Flattened<QAccessibleWidget>, public QAccessibleValueInterface {
public:
    explicit ControlAccessible(ControlImpl& control) : Flattened(control.widget), m_control(control) {}

    // The nearest widget above that a reader sees.
    QAccessibleInterface* parent() const override {
        QWidget* above = widget()->parentWidget();
        while (above && !above->isWindow() && isLayout(above))
            above = above->parentWidget();
        return QAccessible::queryAccessibleInterface(above);
    }

    QAccessible::Role role() const override {
        switch (readerView(m_control).role) {
        case ReaderRole::Text: return QAccessible::StaticText;
        case ReaderRole::Picture: return QAccessible::Graphic;
        case ReaderRole::ProgressBar: return QAccessible::ProgressBar;
        case ReaderRole::Button: return QAccessible::Button;
        case ReaderRole::Layout: return QAccessible::Pane;
        case ReaderRole::RadioGroup:
        case ReaderRole::SystemButton: break;
        }
        return QAccessible::Client;
    }

    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name: return QString::fromStdString(readerView(m_control).name);
        case QAccessible::Description: return QString::fromStdString(readerView(m_control).description);
        case QAccessible::Value:
            return m_control.kind == Kind::ProgressBar ? QString::number(m_control.position) : QString();
        default: return QString();
        }
    }

    QAccessible::State state() const override {
        const ReaderView view = readerView(m_control);
        QAccessible::State s = QAccessibleWidget::state();
        if (!showing(m_control)) s.invisible = true;
        s.focusable = false;
        s.disabled = view.disabled;
        // Pressed as well as checked: this toolkit version passes no checkable state on.
        if (view.toggle) {
            s.checkable = true;
            s.checked = view.checked;
            s.pressed = view.checked;
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
        const ReaderView view = readerView(m_control);
        if (view.role != ReaderRole::Button) return {};
        if (view.toggle) return {pressAction(), toggleAction()};
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

// The two elements of the announcement, never drawn: a status bar, the window's last child, and in
// it the notification named by the line last announced. Both are shown while a line stands.
class AnnouncerPart : public QAccessibleInterface {
public:
    explicit AnnouncerPart(QObject* anchor) : m_anchor(anchor) {}

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
    QWindow* window() const override { return top()->windowHandle(); }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(m_anchor->parent());
    }
    QAccessibleInterface* child(int index) const override {
        return isBar() && index == 0 ? QAccessible::queryAccessibleInterface(m_anchor->children().value(0))
                                     : nullptr;
    }
    int childCount() const override { return isBar() ? 1 : 0; }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return isBar() && child == notification() ? 0 : -1;
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && !isBar() ? m_line : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override { return {}; }
    QAccessible::Role role() const override {
        return isBar() ? QAccessible::StatusBar : QAccessible::Notification;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.invisible = !notification()->m_shown;
        s.readOnly = true;
        return s;
    }

private:
    bool isBar() const { return m_anchor->objectName() == AnnouncerName; }
    const AnnouncerPart* notification() const {
        if (!isBar()) return this;
        return static_cast<AnnouncerPart*>(
            QAccessible::queryAccessibleInterface(m_anchor->children().value(0)));
    }
    QWidget* top() const {
        return static_cast<QWidget*>(isBar() ? m_anchor->parent() : m_anchor->parent()->parent());
    }

    QObject* m_anchor;
    QString m_line;
    bool m_shown = false;
};

QObject* anchorOf(const QWidget* top) {
    return top->findChild<QObject*>(AnnouncerName, Qt::FindDirectChildrenOnly);
}

// The main window is a window, the About box a dialog; the status bar of the notification is the
// last child.
class WindowAccessible : public Flattened<QAccessibleWidget> {
public:
    WindowAccessible(QWidget* top, bool dialog)
        : Flattened(top, dialog ? QAccessible::Dialog : QAccessible::Window) {}

    int childCount() const override { return Flattened::childCount() + (anchorOf(widget()) ? 1 : 0); }
    QAccessibleInterface* child(int index) const override {
        QObject* anchor = anchorOf(widget());
        if (anchor && index == Flattened::childCount()) return QAccessible::queryAccessibleInterface(anchor);
        return Flattened::child(index);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        QObject* anchor = anchorOf(widget());
        if (anchor && child && child->object() == anchor) return Flattened::childCount();
        return Flattened::indexOfChild(child);
    }
};

// The program's own widgets are plain ones to the toolkit, so they are matched by what they are to
// the program; the toolkit's radio buttons and push buttons keep the toolkit's own description.
QAccessibleInterface* describeForReaders(const QString&, QObject* object) {
    if (!object) return nullptr;
    if (!object->isWidgetType() && (object->objectName() == AnnouncerName ||
                                    (object->parent() && object->parent()->objectName() == AnnouncerName)))
        return new AnnouncerPart(object);
    if (!object->isWidgetType()) return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    for (WindowImpl* window : allWindows()) {
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

// The tool-tip reads the hint when it shows; screen readers ask for the description again.
void accessibleHintChanged(ControlImpl& control) {
    notify(control, QAccessible::DescriptionChanged);
}

void QtDriver::stateChanged(ControlImpl& control) {
    if (!QAccessible::isActive()) return;
    QAccessible::State changed;
    changed.disabled = true;
    changed.checked = true;
    changed.pressed = true;
    QAccessibleStateChangeEvent e(control.widget, changed);
    QAccessible::updateAccessibility(&e);
}

void QtDriver::announce(WindowImpl& window, std::string_view utf8) {
    if (!QAccessible::isActive()) return;
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // The toolkit's own announcement, where it has one; each line cuts off the one before, as a
    // new target makes the last one stale.
    QAccessibleAnnouncementEvent event(window.top.get(), spoken(utf8, false));
    event.setPoliteness(QAccessible::AnnouncementPoliteness::Assertive);
    QAccessible::updateAccessibility(&event);
#else
    QObject* bar = anchorOf(window.top.get());
    if (!bar) {
        bar = new QObject(window.top.get());
        bar->setObjectName(AnnouncerName);
        new QObject(bar);
    }
    QObject* anchor = bar->children().value(0);
    if (auto* announcer = static_cast<AnnouncerPart*>(QAccessible::queryAccessibleInterface(anchor)))
        announcer->present(spoken(utf8, false));
#endif
}

} // namespace platform
