// For AvraneBar's tests on a private GNOME Shell only. From outside, GNOME Shell 43 allows no
// screenshot, no Eval and no virtual pointer; loaded by the test, this serves them on the
// session bus as io.github.avranebar.ShellProbe. Rectangles are in stage pixels.
/* exported init */
const {Clutter, Gio, GLib, Meta, Shell} = imports.gi;
const Main = imports.ui.main;

const iface = `<node><interface name="io.github.avranebar.ShellProbe">
  <method name="Ready"><arg type="b" direction="out"/></method>
  <method name="Screenshot"><arg type="s" name="path" direction="in"/><arg type="b" direction="out"/></method>
  <method name="TopBar"><arg type="s" direction="out"/></method>
  <method name="OpenMenu"><arg type="s" direction="out"/></method>
  <method name="Windows"><arg type="s" direction="out"/></method>
  <method name="MovePointer"><arg type="i" name="x" direction="in"/><arg type="i" name="y" direction="in"/></method>
  <method name="Click"><arg type="i" name="x" direction="in"/><arg type="i" name="y" direction="in"/>
    <arg type="u" name="button" direction="in"/><arg type="u" name="count" direction="in"/></method>
  <method name="PressKey"><arg type="u" name="keyval" direction="in"/></method>
  <method name="Environment"><arg type="s" name="name" direction="in"/><arg type="s" direction="out"/></method>
</interface></node>`;

function extents(actor) {
    const [x, y] = actor.get_transformed_position();
    const [width, height] = actor.get_transformed_size();
    return {x: Math.round(x), y: Math.round(y), width: Math.round(width), height: Math.round(height)};
}

class Probe {
    enable() {
        // GNOME starts in the overview; the tests want the desktop, as after a login.
        if (Main.layoutManager._startingUp)
            this._startup = Main.layoutManager.connect('startup-complete', () => Main.overview.hide());
        else
            Main.overview.hide();
        const seat = Clutter.get_default_backend().get_default_seat();
        this._pointer = seat.create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
        this._keyboard = seat.create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
        this._object = Gio.DBusExportedObject.wrapJSObject(iface, this);
        this._object.export(Gio.DBus.session, '/io/github/avranebar/ShellProbe');
        this._name = Gio.bus_own_name_on_connection(Gio.DBus.session, 'io.github.avranebar.ShellProbe',
            Gio.BusNameOwnerFlags.NONE, null, null);
    }

    disable() {
        if (this._startup)
            Main.layoutManager.disconnect(this._startup);
        Gio.bus_unown_name(this._name);
        this._object.unexport();
        this._pointer = this._keyboard = null;
    }

    Ready() {
        return !Main.layoutManager._startingUp && !Main.overview.visible;
    }

    ScreenshotAsync([path], invocation) {
        const stream = Gio.File.new_for_path(path).replace(null, false, Gio.FileCreateFlags.NONE, null);
        new Shell.Screenshot().screenshot(false, stream, (shooter, result) => {
            let ok = false;
            try {
                [ok] = shooter.screenshot_finish(result);
            } catch (e) {
                logError(e);
            }
            stream.close(null);
            invocation.return_value(new GLib.Variant('(b)', [ok]));
        });
    }

    // The top bar, and each AppIndicator item in it with its indicator's id and the place of
    // its icon.
    TopBar() {
        const items = [];
        for (const [role, button] of Object.entries(Main.panel.statusArea)) {
            if (!role.startsWith('appindicator-') || !button)
                continue;
            const indicator = button._indicator;
            items.push({id: indicator?.id ?? '', visible: button.is_visible(), hover: button.hover,
                icon: extents(button._icon ?? button)});
        }
        return JSON.stringify({bar: extents(Main.panel), items});
    }

    // The entries of the top bar's menu that is open, if one is.
    OpenMenu() {
        const entries = [];
        for (const button of Object.values(Main.panel.statusArea)) {
            if (!button?.menu?.isOpen)
                continue;
            for (const item of button.menu._getMenuItems()) {
                const label = item.label?.text ?? '';
                if (label && item.visible)
                    entries.push({label, rect: extents(item)});
            }
        }
        return JSON.stringify(entries);
    }

    Windows() {
        return JSON.stringify(global.get_window_actors().map(actor => actor.meta_window).map(w => {
            const frame = w.get_frame_rect();
            return {
                title: w.get_title() ?? '', x11: w.get_client_type() === Meta.WindowClientType.X11, decorated: w.decorated,
                focused: w.has_focus(), skipTaskbar: w.skip_taskbar, minimized: w.minimized,
                frame: {x: frame.x, y: frame.y, width: frame.width, height: frame.height},
            };
        }));
    }

    MovePointer(x, y) {
        this._pointer.notify_absolute_motion(GLib.get_monotonic_time(), x, y);
    }

    // `count` quick clicks on one spot, which Clutter takes for a double click when 2.
    Click(x, y, button, count) {
        this.MovePointer(x, y);
        for (let i = 0; i < count; ++i) {
            this._pointer.notify_button(GLib.get_monotonic_time(), button, Clutter.ButtonState.PRESSED);
            this._pointer.notify_button(GLib.get_monotonic_time(), button, Clutter.ButtonState.RELEASED);
        }
    }

    PressKey(keyval) {
        this._keyboard.notify_keyval(GLib.get_monotonic_time(), keyval, Clutter.KeyState.PRESSED);
        this._keyboard.notify_keyval(GLib.get_monotonic_time(), keyval, Clutter.KeyState.RELEASED);
    }

    Environment(name) {
        return GLib.getenv(name) ?? '';
    }
}

function init() {
    return new Probe();
}
