// What the desktop test asks of GNOME Shell, which keeps its own interfaces for these locked: its
// view of the windows, pictures of the screen, and a virtual pointer and keyboard made by mutter
// itself, so that clicks and keys go through the compositor as a user's would. Loaded only by the
// test's own session mode; exported on the session bus as /jp/zunobe/TapirunTest.

const {Clutter, Gio, GLib, Meta, Shell} = imports.gi;
const Main = imports.ui.main;

const Interface = `<node>
  <interface name="jp.zunobe.TapirunTest">
    <method name="Windows"><arg type="s" direction="out"/></method>
    <method name="Screenshot"><arg type="s" direction="in"/></method>
    <method name="Pointer">
      <arg type="s" direction="in"/><arg type="d" direction="in"/><arg type="d" direction="in"/>
    </method>
    <method name="Key"><arg type="u" direction="in"/></method>
    <method name="Minimise"><arg type="s" direction="in"/></method>
    <method name="Activate"><arg type="s" direction="in"/></method>
  </interface>
</node>`;

class TestInterface {
    enable() {
        // No banners: the shell announces at start-up that it cannot lock the screen without its
        // display manager, over the middle of the top edge, where it takes the next click there.
        Main.messageTray.bannerBlocked = true;
        const seat = Clutter.get_default_backend().get_default_seat();
        this._pointer = seat.create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
        this._keyboard = seat.create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
        this._object = Gio.DBusExportedObject.wrapJSObject(Interface, this);
        this._object.export(Gio.DBus.session, '/jp/zunobe/TapirunTest');
    }

    disable() {
        Main.messageTray.bannerBlocked = false;
        this._object.unexport();
        this._object = this._pointer = this._keyboard = null;
    }

    // One entry per window, bottom of the stacking order first.
    Windows() {
        const windows = global.get_window_actors().map(actor => actor.meta_window);
        return JSON.stringify(windows.map((w, stack) => {
            const f = w.get_frame_rect();
            return {
                caption: w.get_title(), stack, x: f.x, y: f.y, width: f.width, height: f.height,
                fullScreen: w.is_fullscreen(), active: w.has_focus(), minimized: w.minimized,
                minimizable: w.can_minimize(), maximizable: w.can_maximize(), closeable: w.can_close(),
                transient: w.get_transient_for() !== null, decorated: w.decorated,
                wayland: w.get_client_type() === Meta.WindowClientType.WAYLAND,
                overview: Main.overview.visible,
            };
        }));
    }

    ScreenshotAsync([path], invocation) {
        const stream = Gio.File.new_for_path(path).replace(null, false, Gio.FileCreateFlags.NONE, null);
        new Shell.Screenshot().screenshot(false, stream, (shooter, result) => {
            try {
                shooter.screenshot_finish(result);
                stream.close(null);
                invocation.return_value(null);
            } catch (e) {
                invocation.return_error_literal(Gio.DBusError, Gio.DBusError.FAILED, e.message);
            }
        });
    }

    // move X Y, press, release
    Pointer(action, x, y) {
        const now = GLib.get_monotonic_time();
        if (action === 'move')
            this._pointer.notify_absolute_motion(now, x, y);
        else
            this._pointer.notify_button(now, Clutter.BUTTON_PRIMARY,
                action === 'press' ? Clutter.ButtonState.PRESSED : Clutter.ButtonState.RELEASED);
    }

    // A key by its keysym, with Shift as its level needs it.
    Key(keyval) {
        const now = GLib.get_monotonic_time();
        this._keyboard.notify_keyval(now, keyval, Clutter.KeyState.PRESSED);
        this._keyboard.notify_keyval(now, keyval, Clutter.KeyState.RELEASED);
    }

    Minimise(caption) {
        for (const actor of global.get_window_actors())
            if (actor.meta_window.get_title() === caption) actor.meta_window.minimize();
    }

    // What the window switcher does with the window it brings back, minimised or not.
    Activate(caption) {
        for (const actor of global.get_window_actors())
            if (actor.meta_window.get_title() === caption) actor.meta_window.activate(global.get_current_time());
    }
}

function init() {
    return new TestInterface();
}
