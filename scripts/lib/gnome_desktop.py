# What a person does on the headless GNOME of under-gnome, done through mutter's
# RemoteDesktop (the pointer) and AT-SPI (the portal's dialog, as a screen
# reader user answers it). Used by the end-to-end test and by the benchmark.
import json
import subprocess
import time

import dbus
import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

MUTTER = "org.gnome.Mutter.RemoteDesktop"


class Hand:
    # The pointer of a RemoteDesktop session, which needs a monitor recorded.

    def __init__(self):
        bus = dbus.SessionBus()
        desk = bus.get_object(MUTTER, bus.get_object(MUTTER, "/org/gnome/Mutter/RemoteDesktop")
                              .CreateSession(dbus_interface=MUTTER))
        self.session = dbus.Interface(desk, MUTTER + ".Session")
        cast = bus.get_object("org.gnome.Mutter.ScreenCast", bus.get_object(
            "org.gnome.Mutter.ScreenCast", "/org/gnome/Mutter/ScreenCast").CreateSession(
            {"remote-desktop-session-id": desk.Get(MUTTER + ".Session", "SessionId",
                                                   dbus_interface=dbus.PROPERTIES_IFACE)},
            dbus_interface="org.gnome.Mutter.ScreenCast"))
        self.stream = cast.RecordMonitor("Meta-0", {},
                                         dbus_interface="org.gnome.Mutter.ScreenCast.Session")
        self.session.Start()

    def move(self, x, y):
        self.session.NotifyPointerMotionAbsolute(self.stream, float(x), float(y))

    def point_at(self, x, y, settle=1):
        # To (x, y) in small steps, a second into the countdown (mutter tells where
        # the cursor is once it moves while the screen is shared), the last step
        # well apart from the others: a move that reaches mutter within a frame of
        # the one before may not be passed on.
        time.sleep(settle)
        for step in (3, 2, 1, 0):
            time.sleep(0.3 if step == 0 else 0.05)
            self.move(x + step, y)

    def frame(self):
        # The recorded monitor as mutter sends it (no cursor), its rows of RGB:
        # what a scaled picture becomes on a monitor is mutter's to say. Of mutter's
        # streams this one is the oldest (ids are reused, serials are not).
        nodes = json.loads(subprocess.run(["pw-dump"], capture_output=True, check=True).stdout)
        node = min((n["info"]["props"]["object.serial"], n["id"]) for n in nodes
                   if n["type"] == "PipeWire:Interface:Node" and
                   n["info"]["props"].get("media.class") == "Stream/Output/Video")[1]
        return subprocess.run(["gst-launch-1.0", "-q", "pipewiresrc", "path=%d" % node,
                               "num-buffers=1", "!", "videoconvert", "!", "video/x-raw,format=RGB",
                               "!", "fdsink"], capture_output=True, check=True, timeout=60).stdout

    def click(self, x, y):
        self.point_at(x, y, settle=0)
        for pressed in (True, False):
            self.session.NotifyPointerButton(0x110, pressed)  # BTN_LEFT


def find(node, role, name=None):
    # The first accessible below `node` with that role (and name); one still being
    # made may have no children yet, and one that goes away while it is looked at
    # (a dialog closed, a window remade) is passed over: callers look again.
    try:
        if node is None:
            return None
        if node.get_role_name() == role and name in (None, node.get_name()):
            return node
        for i in range(node.get_child_count()):
            found = find(node.get_child_at_index(i), role, name)
            if found:
                return found
    except GLib.Error:
        pass
    return None


def until(done, seconds):
    # Tries `done` until it holds: an accessible may go between a look and a use.
    deadline = time.monotonic() + seconds
    while True:
        try:
            if done():
                return True
        except (GLib.Error, AttributeError):
            pass
        if time.monotonic() > deadline:
            return False
        time.sleep(0.1)


def press_button(where, name, seconds=30):
    # The push button `name` below where(), looked up afresh at every try, pressed.
    return until(lambda: find(where(), "push button", name).get_action_iface().do_action(0), seconds)


def share_dialog():
    # The portal's "Screen Share" dialog, if it is on the screen.
    dialog = find(Atspi.get_desktop(0), "frame", "Screen Share")
    try:
        return dialog if dialog and dialog.get_state_set().contains(Atspi.StateType.SHOWING) else None
    except GLib.Error:
        return None


def share_screen(seconds=30):
    # Picks every monitor and shares them, as the user does, in the dialog as it is now.
    def share():
        monitors = find(share_dialog(), "list item").get_parent()
        for i in range(monitors.get_child_count()):
            monitors.get_selection_iface().select_child(i)
        return find(share_dialog(), "push button", "_Share Share").get_action_iface().do_action(0)
    return until(share, seconds)
