// Top-level windows built from description tables, and the control handles over their widgets.

#include "platform/qt/Internal.h"

#include "platform/Keys.h"
#include "platform/Rules.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHideEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QWindow>

namespace platform {

namespace {

class TopWidget : public QWidget {
public:
    explicit TopWidget(WindowImpl& window) : m_window(window) {}

protected:
    void closeEvent(QCloseEvent* event) override {
        closeRequested(m_window);
        event->accept();
    }
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        m_window.layoutAligned();
    }
    void hideEvent(QHideEvent* event) override {
        QWidget::hideEvent(event);
        // The first showing is over: a frame announced later no longer moves the window.
        if (!event->spontaneous()) m_window.stopWatchingFrame();
        const QWidget* active = QApplication::activeWindow();
        windowHidden(m_window, !active || active == this);
    }

private:
    WindowImpl& m_window;
};

// Key preview for every window of the program, installed once on the application.
class KeyPreview : public QObject {
public:
    static KeyPreview& instance() {
        static KeyPreview* preview = [] {
            auto* p = new KeyPreview;
            qApp->installEventFilter(p);
            return p;
        }();
        return *preview;
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        if (firstReceiver(receiver)) bellKeyHeard();
        for (WindowImpl* w : allWindows())
            if (w->previewKey(receiver, event)) return true;
        return false;
    }

private:
    // A key the focused control leaves alone climbs to its parents, and the filter sees it at each;
    // the first receiver is the focused control or, with none, the window.
    static bool firstReceiver(const QObject* receiver) {
        if (const QWidget* focus = QApplication::focusWidget()) return receiver == focus;
        return receiver->isWidgetType() && static_cast<const QWidget*>(receiver)->isWindow();
    }
};

// The push button of the classic desktop: as the default button, Enter clicks it only with no
// Shift, Ctrl or Alt held; a modified Enter goes on to the window unanswered.
class PushButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        const auto held = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
        if (enter && (event->modifiers() & held)) {
            event->ignore();
            return;
        }
        QPushButton::keyPressEvent(event);
    }
};

// The classic radio group: a framed caption over its column of buttons.
class RadioGroupWidget : public QGroupBox {
public:
    RadioGroupWidget(ControlImpl& control, QWidget* parent) : QGroupBox(parent), m_control(control) {}

    void layoutItems() {
        const int n = static_cast<int>(m_control.radios->buttons().size());
        for (int i = 0; i < n; ++i) {
            const rules::ItemRect r = rules::radioItem(i, n, width(), height(), m_control.font.height);
            m_control.radios->button(i)->setGeometry(r.left, r.top, r.width, r.height);
        }
    }

protected:
    bool event(QEvent* event) override {
        if (handleCommonEvent(m_control, this, event, m_pressed)) return true;
        return QGroupBox::event(event);
    }

private:
    ControlImpl& m_control;
    bool m_pressed = false;
};

void applyColours(QWidget* widget, Colour background, Colour text) {
    QPalette palette = widget->palette();
    const QColor bg = toQColor(resolve(background)), fg = toQColor(resolve(text));
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        palette.setColor(role, bg);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, fg);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

WindowImpl::WindowImpl(const WindowSpec& description, Window& owner_)
    : owner(owner_), top(new TopWidget(*this)) {
    dialog = description.dialog;
    colour = description.colour;
    font = description.font;
    top->setWindowTitle(QString::fromUtf8(description.caption));
    top->setAttribute(Qt::WA_InputMethodEnabled, false);
    applyColours(top.get(), colour, font.colour);
    top->setFont(toQFont(font));
    if (dialog) {
        // An ordinary top-level window at the main window's level, not a toolkit dialog: a
        // dialog is made transient for the program, and window managers then keep it in front
        // of the main window, where a click on the main window must bring that to the front.
        top->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowCloseButtonHint);
        top->setFixedSize(description.clientWidth, description.clientHeight);
    } else {
        top->resize(description.clientWidth, description.clientHeight);
    }
    top->move(description.left, description.top);
    KeyPreview::instance(); // installed with the first window
    windowMade(*this);
    installAccessibility();
}

WindowImpl::~WindowImpl() {
    f1.reset();
}

ControlState& stateOf(ControlImpl& control) {
    return control;
}
WindowState& stateOf(WindowImpl& window) {
    return window;
}
void QtDriver::redraw(ControlImpl& control) {
    control.widget->update();
}

ControlImpl* WindowImpl::fromWidget(const QWidget* widget) const {
    for (ControlImpl* c : order)
        if (c->widget == widget) return c;
    return nullptr;
}

void WindowImpl::layoutAligned() {
    for (ControlImpl* c : order)
        if (c->alignedBottom && !c->parent)
            c->widget->setGeometry(0, top->height() - c->widget->height(), top->width(), c->widget->height());
}

bool WindowImpl::previewKey(QObject* receiver, QEvent* event) {
    if (!characterHandler) return false;
    // The event climbs the parent chain when nobody takes it; only its first receiver counts.
    QWidget* first = QApplication::focusWidget();
    if (!first || first->window() != top.get()) first = top.get();
    if (receiver != first || QApplication::activeModalWidget()) return false;
    if (first->window() != top.get()) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    // AltGr is a level of its own on X and Wayland, so Ctrl with Alt is always a chord here.
    const Qt::KeyboardModifiers mods = key->modifiers();
    const HeldKeys held{.ctrl = mods.testFlag(Qt::ControlModifier),
                        .alt = mods.testFlag(Qt::AltModifier),
                        .logo = mods.testFlag(Qt::MetaModifier)};
    // Keys that type nothing (arrows, modifiers, function keys) have no text.
    bool consumed = false;
    for (char32_t ch : key->text().toUcs4())
        consumed = characterTyped(*this, ch, held) || consumed;
    return consumed;
}

void QtDriver::makeControl(WindowImpl& window, const ControlRow& row) {
    auto control = std::make_unique<ControlImpl>();
    ControlImpl& c = *control;
    ControlImpl* parent = window.find(row.parent.id);
    describe(c, row, window, parent, parent ? parent->font : window.font);
    QWidget* parentWidget = c.parent ? c.parent->widget : window.top.get();
    switch (row.kind) {
    case Kind::Panel:
    case Kind::Label:
    case Kind::Image:
    case Kind::ProgressBar: c.widget = new ControlWidget(c, parentWidget); break;
    case Kind::RadioGroup: {
        auto* group = new RadioGroupWidget(c, parentWidget);
        group->setTitle(QString::fromUtf8(row.caption));
        group->setFont(c.qfont());
        applyColours(group, c.colour == clInherit ? c.backgroundColour() : c.colour, c.font.colour);
        c.radios = new QButtonGroup(group);
        int index = 0;
        for (std::string_view item : row.items) {
            auto* button = new QRadioButton(QString::fromUtf8(item), group);
            button->setFont(c.qfont());
            applyColours(button, c.backgroundColour(), c.font.colour);
            button->setAttribute(Qt::WA_InputMethodEnabled, false);
            c.radios->addButton(button, index++);
        }
        if (QAbstractButton* selected = c.radios->button(row.itemIndex)) {
            selected->setChecked(true);
            // The keyboard focus of a radio group rests on its selected item.
            selected->setFocus();
        }
        c.widget = group;
        break;
    }
    case Kind::Button: {
        auto* button = new PushButton(QString::fromUtf8(row.caption), parentWidget);
        button->setDefault(row.style & DefaultButton);
        button->setAutoDefault(row.style & DefaultButton);
        button->setFont(c.qfont());
        QObject::connect(button, &QPushButton::clicked, [&c] {
            if (c.clickHandler) c.clickHandler();
        });
        c.widget = button;
        break;
    }
    }
    c.widget->setGeometry(row.left, row.top, row.width, row.height);
    if (auto* group = dynamic_cast<RadioGroupWidget*>(c.widget)) group->layoutItems();
    if (row.cursor == Cursor::HandPoint) c.widget->setCursor(Qt::PointingHandCursor);
    c.widget->setAttribute(Qt::WA_InputMethodEnabled, false);
    if (c.drawnOnParent()) {
        c.widget->setVisible(true);
        c.shown = !row.visible; // so that setShown applies the attributes
        c.setShown(row.visible);
    } else {
        c.widget->setVisible(row.visible);
    }
    if (row.kind == Kind::Label) c.resizeToText();
    window.order.push_back(&c);
    window.controls[row.name.id] = std::move(control);
}

void QtDriver::finishBuilding(WindowImpl& window) {
    for (auto it = window.order.rbegin(); it != window.order.rend(); ++it)
        if ((*it)->kind == Kind::Label || (*it)->kind == Kind::Image) (*it)->widget->lower();
}

// F1 is the program's wherever the keyboard is among its windows.
void WindowImpl::takeF1() {
    f1 = std::make_unique<QShortcut>(QKeySequence(Qt::Key_F1), top.get());
    f1->setContext(Qt::ApplicationShortcut);
    QObject::connect(f1.get(), &QShortcut::activated, [] { f1Pressed(); });
}

void QtDriver::showWindow(WindowImpl& window) {
    QWidget* top = window.top.get();
    if (window.maximised) {
        // Without a window manager a full-screen request alone leaves the window at its design
        // size, so the geometry is set as well. The toolkit puts a full-screen window on the screen
        // that holds its geometry, and the primary screen need not start at the desktop's origin.
        if (QScreen* primary = QGuiApplication::primaryScreen()) {
            top->setScreen(primary);
            top->setGeometry(primary->geometry());
        }
        top->showFullScreen();
    } else {
        if (!window.isMain) window.stayOverMainOnWayland(*allWindows().front());
        if (window.dialog) window.keepNormalState();
        if (!window.shownOnce) window.watchFrame();
        top->showNormal();
    }
    window.shownOnce = true;
}

void QtDriver::activateWindow(WindowImpl& window) {
    QWidget* top = window.top.get();
    top->raise();
    top->activateWindow();
    activateUnlessManaged(*top);
    if (ControlImpl* focus = window.find(window.focusId))
        focus->widget->setFocus(Qt::ActiveWindowFocusReason);
}

void QtDriver::setIcon(WindowImpl& window, const Picture& picture) {
    window.top->setWindowIcon(QIcon(toPixmap(picture, false)));
}

// On this desktop a full-screen window carries no decorations and keeps panels off it; the
// frameless hint covers desktops that ignore the full-screen state. Flags can change only while
// the window is hidden, and at exit the window takes its decorations with it.
void QtDriver::showCaptionBar(WindowImpl& window, bool shown) {
    window.captionBar = shown;
    if (!window.top->isVisible()) window.top->setWindowFlag(Qt::FramelessWindowHint, !shown);
}

void QtDriver::disableInputMethod(WindowImpl& window) {
    window.top->setAttribute(Qt::WA_InputMethodEnabled, false);
    for (QWidget* child : window.top->findChildren<QWidget*>())
        child->setAttribute(Qt::WA_InputMethodEnabled, false);
}

// Control handles.

void QtDriver::textChanged(ControlImpl& control) {
    if (control.kind == Kind::Label)
        control.resizeToText();
    else
        control.widget->update();
    accessibleTextChanged(control);
}
// A hidden control must not keep the keyboard focus: a key the main window leaves alone would
// otherwise reach it, and a hidden radio button would change the mode. A radio group shown again
// takes the focus back on its selected item when nothing else holds it.
void ControlImpl::setShown(bool visible) {
    if (shown == visible) return;
    shown = visible;
    if (visible && widget->isVisible()) ensureSized();
    widget->setAttribute(Qt::WA_TransparentForMouseEvents, !visible);
    widget->setAttribute(Qt::WA_OpaquePaintEvent, visible && opaqueLabel());
    widget->update();
    accessibleShownChanged(*this);
}

bool ControlImpl::isShown() const {
    if (!drawnOnParent()) return !widget->isHidden();
    return shown;
}

void QtDriver::showControl(ControlImpl& control, bool visible) {
    if (control.drawnOnParent()) {
        control.setShown(visible);
        return;
    }
    QWidget* w = control.widget;
    QWidget* focus = w->window()->focusWidget();
    if (!visible && focus && (focus == w || w->isAncestorOf(focus))) focus->clearFocus();
    // Nor may a press held on a hidden button turn into a click when the mouse button goes up.
    if (!visible)
        for (QAbstractButton* button : w->findChildren<QAbstractButton*>())
            button->setDown(false);
    w->setVisible(visible);
    if (visible && control.radios && !w->window()->focusWidget())
        if (QAbstractButton* selected = control.radios->checkedButton()) selected->setFocus();
}
// Only the columns that changed are repainted: the bar spans the screen and moves every 30 ms. Not
// one column more: the toolkit waits for the X server to finish reading its shared image before it
// paints over a part it has sent since its last wait, so a tick that repainted the last column of
// the one before would cost a round trip to the server every 30 ms.
void QtDriver::positionChanged(ControlImpl& control, int before) {
    QWidget* w = control.widget;
    const int inner = w->width() - 2;
    const int from = inner * before / 100, to = inner * control.position / 100;
    if (from != to) w->update(1 + std::min(from, to), 1, std::abs(to - from), w->height() - 2);
}

void QtDriver::pictureChanged(ControlImpl& control) {
    control.pixmapIsIcon = control.picture.isIcon();
    control.pixmap = toPixmap(control.picture, (control.style & Transparent) != 0);
    control.widget->update();
}

} // namespace platform
