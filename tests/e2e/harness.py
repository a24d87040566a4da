# What the drivers share: the check they print, the picture they put on the
# screen, the order of a sample's nine pixels, and the program read as a screen
# reader reads it (AT-SPI) on the Wayland desktops.
import subprocess
import time

OFFSETS = [(0, 0), (0, -1), (1, -1), (1, 0), (0, 1), (1, 1), (-1, -1), (-1, 0), (-1, 1)]
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    failures.extend([] if ok else [what])


def run(*args):
    return subprocess.run([str(a) for a in args], check=True, capture_output=True,
                          text=True).stdout


# Every pixel differs from its eight neighbours, and red from blue.
def pattern(x, y):
    return (x & 255, y & 255, (7 * x + 13 * y) & 255)


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.1)
    return True


def nine(sizes, m, x, y, crossings={}, shown=lambda m, x, y: pattern(x + 1000 * m, y)):
    # The packed colours around physical (x, y) of monitor m, where monitors of
    # these sizes show pattern(x + 1000 m, y) in their own pixels (or what
    # shown(m, x, y) gives); crossings: by swatch, (monitor, x, y) on another
    # monitor. None: off every monitor.
    def colour(m, x, y):
        if 0 <= x < sizes[m][0] and 0 <= y < sizes[m][1]:
            r, g, b = shown(m, x, y)
            return str(r | g << 8 | b << 16)
    return [colour(*crossings[k]) if k in crossings else colour(m, x + dx, y + dy)
            for k, (dx, dy) in enumerate(OFFSETS)]


def window():  # the running program's, over AT-SPI (one that ended may still be listed)
    from gnome_desktop import Atspi, GLib  # the Wayland drivers have scripts/lib on their path
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        try:
            app = desktop.get_child_at_index(i)
            if app and app.get_name() == "pixel-sampler" and app.get_child_count():
                return app
        except GLib.Error:
            pass
    return None


def swatches():
    # The nine swatches' colours, in the order of OFFSETS, as a screen reader reads them;
    # none while the window is being made or remade.
    try:
        form = window().get_child_at_index(0)
        swatches.last = [n.get_description() for n in map(form.get_child_at_index,
                                                          range(form.get_child_count()))
                         if n.get_name().startswith("Pixel ")]
    except Exception:  # GLib.Error: an accessible gone while read
        swatches.last = []
    return swatches.last
