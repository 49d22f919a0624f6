"""What the smoke tests share: commands run and conditions waited on with
a time limit, checks counted, a program run in steps, X windows and what the
window manager made of them, real keys and pointer drags, and screen pixels.
scripts/smoke_x.py drives the Linux program with it, scripts/smoke_wine.py
the Windows one under Wine.
"""

import os
import pathlib
import re
import signal
import subprocess
import sys
import time

# The program's windows, as the window system shows them.
MAIN_TITLE = "Тарвидон"
BOX_TITLE = "tarvidon"  # the message and error boxes': the program's file name
MAIN_SIZE = (698, 193)
IMAGE_VIEW_SIZE = (475, 296)
NOTICE_SIZE = (818, 37)
NOTICE_GREEN = (0x00, 0x80, 0x00)


class Failure(Exception):
    pass


class Results:
    def __init__(self, shots):
        self.shots = shots
        self.passed = 0
        self.failed = 0

    def check(self, name, condition, detail=""):
        if condition:
            self.passed += 1
            print(f"ok    {name}")
        else:
            self.failed += 1
            print(f"FAIL  {name}" + (f": {detail}" if detail else ""))
        return condition

    def case(self, name, body):
        """Runs body(); a Failure (a wait that ran out) fails the case."""
        try:
            body()
        except Failure as failure:
            shot = os.path.join(self.shots, f"failed-{self.passed + self.failed + 1}.png")
            capture_screen(shot)
            self.check(name, False, f"{failure}; the screen is in {shot}")


def wait_for(what, condition, timeout=10.0, interval=0.05):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout:g} s waiting for {what}")
        time.sleep(interval)


def end_process(process):
    """Asks process to end, and kills it if it has not within 10 s."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def run(*command):
    done = subprocess.run(command, capture_output=True, text=True)
    if done.returncode != 0:
        raise subprocess.CalledProcessError(done.returncode, command, done.stdout, done.stderr)
    return done.stdout


# --- A program held still ---------------------------------------------------


def threads_stopped(pid):
    """Whether no thread of process pid runs any more: each is stopped (T),
    or the process has ended."""
    try:
        tasks = os.listdir(f"/proc/{pid}/task")
    except FileNotFoundError:
        return True
    for task in tasks:
        try:
            with open(f"/proc/{pid}/task/{task}/stat") as stat:
                fields = stat.read()
        except (FileNotFoundError, ProcessLookupError):
            continue  # a thread that ended
        if fields[fields.rindex(")") + 2] not in "TtZX":
            return False
    return True


class Steps:
    """Runs a process in short steps, stopped (SIGSTOP) in between: what it
    shows on the screen stays there while it is read, however long that
    takes on a loaded machine, and it goes no further than one step past
    the last look. Used as a context manager, which lets the process run on
    at the end."""

    STEP = 0.005  # seconds: a small part of any load that shows the busy notice

    def __init__(self, process):
        self.pid = process.pid
        self.count = 0
        self.longest = 0.0  # seconds that the longest step let it run
        self.stopped = 0.0  # when it was last told to stop

    def __enter__(self):
        try:
            self._stop()
        except BaseException:
            os.kill(self.pid, signal.SIGCONT)
            raise
        return self

    def __exit__(self, *exception):
        os.kill(self.pid, signal.SIGCONT)
        return False

    def step(self):
        started = time.monotonic()
        os.kill(self.pid, signal.SIGCONT)
        time.sleep(self.STEP)
        self._stop()
        self.count += 1
        self.longest = max(self.longest, self.stopped - started)

    def _stop(self):
        os.kill(self.pid, signal.SIGSTOP)
        # From here on no thread runs a line of the program: each stops on its
        # way back from the kernel, where a read may still finish first.
        self.stopped = time.monotonic()
        wait_for("the program to stop", lambda: threads_stopped(self.pid), timeout=30, interval=0.001)


# --- X windows --------------------------------------------------------------


TREE_LINE = re.compile(r'^\s*(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)): \((.*)\)\s+(\d+)x(\d+)[+-]')


class Window:
    def __init__(self, window_id):
        self.id = window_id  # None for the root window (properties only)

    def info(self):
        return run("xwininfo", "-id", self.id)

    def viewable(self):
        try:
            return "Map State: IsViewable" in self.info()
        except subprocess.CalledProcessError:
            return False  # gone

    def geometry(self):
        """Absolute left, top, width and height of the window's inside."""
        info = self.info()
        value = lambda label: int(re.search(label + r":\s+(-?\d+)", info).group(1))
        return (value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"), value("Height"))

    def property(self, name):
        """xprop's text for the property after its name, quotes taken off a
        string ("" for an empty one); None when the window has no such
        property."""
        out = run("xprop", *(["-id", self.id] if self.id else ["-root"]), name).rstrip("\n")
        if "=" in out:
            value = out.split("=", 1)[1].strip()
        elif out.endswith("not found.") or out.endswith("no such atom on any window."):
            return None
        else:
            value = out.split(":", 1)[1].strip()
        if len(value) >= 2 and value[0] == value[-1] == '"':
            value = value[1:-1]
        return value


    def properties(self, *names):
        """Several properties read at once, as property() reads one; the
        text of one spread over lines (WM_NORMAL_HINTS) joined by newlines."""
        out = run("xprop", *(["-id", self.id] if self.id else ["-root"]), *names)
        found = dict.fromkeys(names)
        name = None
        for line in out.splitlines():
            if line.startswith(("\t", " ")) and name is not None:
                found[name] = (found[name] + "\n" + line.strip()).strip()
                continue
            match = re.match(r"^([A-Za-z0-9_]+)(?:\([^)]*\))?(?:\s*=\s*|:\s*)(.*)$", line)
            name = match.group(1) if match and match.group(1) in found else None
            if name is None:
                continue
            value = match.group(2).strip()
            if value.endswith("not found.") or value.endswith("no such atom on any window."):
                name = None
                continue
            if len(value) >= 2 and value[0] == value[-1] == '"':
                value = value[1:-1]
            found[name] = value
        return found


def window_tree():
    """The lines of `xwininfo -root -tree`. A window that goes while the tree
    is read makes xwininfo fail (Bad Window); the tree is then read again."""
    for attempt in range(5):
        try:
            return run("xwininfo", "-root", "-tree").splitlines()
        except subprocess.CalledProcessError:
            if attempt == 4:
                raise
            time.sleep(0.1)


def named_window(name):
    """A viewable top-level window of that name, or None."""
    for line in window_tree():
        match = TREE_LINE.match(line)
        if match and match.group(2) == name and Window(match.group(1)).viewable():
            return Window(match.group(1))
    return None


# _MOTIF_WM_HINTS: which fields count, then the functions and the decorations.
MWM_HINTS_FUNCTIONS, MWM_HINTS_DECORATIONS = 0x1, 0x2
MWM_FUNC_ALL, MWM_FUNC_MINIMIZE, MWM_FUNC_MAXIMIZE, MWM_FUNC_CLOSE = 0x1, 0x8, 0x10, 0x20
MWM_DECOR_ALL, MWM_DECOR_MINIMIZE, MWM_DECOR_MAXIMIZE = 0x1, 0x20, 0x40


class Hints:
    """What the program asked of the window manager for a window, and what
    the window manager made of it, read at one moment."""

    def __init__(self, window):
        values = window.properties("WM_NORMAL_HINTS", "_MOTIF_WM_HINTS", "_NET_WM_ALLOWED_ACTIONS",
                                   "_NET_FRAME_EXTENTS")
        self.size = tuple(window.geometry()[2:])
        normal = values["WM_NORMAL_HINTS"] or ""
        size = lambda label: tuple(map(int, re.search(label + r" size: (\d+) by (\d+)", normal).groups())) \
            if re.search(label + r" size:", normal) else None
        self.minimum, self.maximum = size("minimum"), size("maximum")
        motif = values["_MOTIF_WM_HINTS"]
        # flags (which fields count), functions, decorations
        self.motif = tuple(int(field, 16) for field in motif.split(",")[:3]) if motif else (0, 0, 0)
        actions = values["_NET_WM_ALLOWED_ACTIONS"]
        self.actions = None if actions is None else {a.strip() for a in actions.split(",") if a.strip()}
        extents = values["_NET_FRAME_EXTENTS"]
        # left, right, top, bottom of the frame; None before it was framed
        self.frame = None if extents is None else tuple(int(field) for field in extents.split(","))


def key(*keys):
    run("xdotool", "key", "--delay", "30", *keys)


def type_text(text):
    run("xdotool", "type", "--delay", "40", text)


# --- Screen pixels ----------------------------------------------------------


def capture_screen(path):
    run("import", "-silent", "-window", "root", path)


def grab_screen(path):
    """The screen as an X window dump: quicker than capture_screen, for a
    window that is on the screen only a moment. A window mapped or unmapped
    during the dump can make it fail (BadMatch); then it is taken again."""
    for attempt in range(3):
        try:
            run("xwd", "-root", "-silent", "-out", path)
            return
        except subprocess.CalledProcessError as failure:
            error = failure.stderr.strip()
    raise Failure(f"xwd could not dump the screen: {error}")


def colour_share(path, rectangle, colour):
    """The share of the rectangle's pixels in the picture that have colour."""
    left, top, width, height = rectangle
    raw = subprocess.run(["convert", path, "-crop", f"{width}x{height}+{left}+{top}", "+repage",
                          "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    wanted = bytes(colour)
    pixels = len(raw) // 3
    same = sum(1 for i in range(0, pixels * 3, 3) if raw[i:i + 3] == wanted)
    return same / pixels if pixels else 0.0


def pixels(path, rectangle):
    """The RGB pixels of a rectangle of a picture, row by row."""
    left, top, width, height = rectangle
    raw = subprocess.run(["convert", path, "-crop", f"{width}x{height}+{left}+{top}", "+repage",
                          "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    return [tuple(raw[i:i + 3]) for i in range(0, len(raw) - 2, 3)]


# --- Under a window manager -------------------------------------------------


class WindowManager:
    """openbox on the display, with its settings and files in the work folder."""

    def __init__(self, work, log):
        environment = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"),
                           XDG_CACHE_HOME=os.path.join(work, "cache"))
        self.process = subprocess.Popen(["openbox", "--sm-disable"], stdout=log, stderr=subprocess.STDOUT,
                                        env=environment)
        wait_for("openbox to manage the screen", self._running)

    def _running(self):
        if self.process.poll() is not None:
            raise Failure(f"openbox ended with status {self.process.returncode}")
        check = Window(None).property("_NET_SUPPORTING_WM_CHECK")
        return check is not None and "window id" in check

    def stop(self):
        end_process(self.process)


def managed(window, what):
    """The window's hints once the window manager has framed it and told what it allows."""
    def framed():
        hints = Hints(window)
        return hints if hints.frame is not None and hints.actions is not None else None
    return wait_for(f"openbox to frame {what}", framed, timeout=10)


def fixed_size_check(hints, what, size):
    return (f"{what} is fixed at {size[0]} x {size[1]} (minimum and maximum size)",
            hints.minimum == hints.maximum == hints.size == size,
            f"minimum {hints.minimum}, maximum {hints.maximum}, size {hints.size}")


def no_window_buttons_checks(hints, what, functions_text, forbidden_functions, forbidden_decorations,
                             actions_text, forbidden_actions):
    """The program's Motif hints leave out the functions and decorations
    named; the window manager allows none of the actions named."""
    flags, functions, decorations = hints.motif
    # Without the decorations field the window manager draws what the functions allow.
    asked = (flags & MWM_HINTS_FUNCTIONS and not functions & (MWM_FUNC_ALL | forbidden_functions)
             and not (flags & MWM_HINTS_DECORATIONS and decorations & (MWM_DECOR_ALL | forbidden_decorations)))
    return [(f"{what} asks the window manager for no {functions_text}", bool(asked),
             f"_MOTIF_WM_HINTS flags {flags:#x}, functions {functions:#x}, decorations {decorations:#x}"),
            (f"openbox allows {what} no {actions_text}", not hints.actions & forbidden_actions,
             f"allowed {sorted(hints.actions & forbidden_actions)}")]


# Openbox keeps minimising for every normal window whatever its hints say
# (it ignores the Motif hint's minimise, maximise and close functions); it
# does take resizing away from a window whose least and largest sizes are
# equal, and maximising with it.
NO_MAXIMISE = {"_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT", "_NET_WM_ACTION_RESIZE"}


def fixed_window_checks(results, window, what, size):
    hints = managed(window, what)
    results.check(*fixed_size_check(hints, what, size))
    for check in no_window_buttons_checks(hints, what, "minimise or maximise", MWM_FUNC_MINIMIZE | MWM_FUNC_MAXIMIZE,
                                          MWM_DECOR_MINIMIZE | MWM_DECOR_MAXIMIZE,
                                          "maximise or resize", NO_MAXIMISE):
        results.check(*check)
    return hints


def centred_check(window, hints):
    """The frame's middle lies on the middle of the screen's work area, give
    or take half the frame: the program centres the window before the
    window manager has put a frame round it."""
    left, top, width, height = window.geometry()
    frame_left, frame_right, frame_top, frame_bottom = hints.frame
    area = [int(v) for v in Window(None).property("_NET_WORKAREA").split(",")[:4]]
    offset_x = (left - frame_left + (width + frame_left + frame_right) / 2) - (area[0] + area[2] / 2)
    offset_y = (top - frame_top + (height + frame_top + frame_bottom) / 2) - (area[1] + area[3] / 2)
    slack_x, slack_y = (frame_left + frame_right) / 2 + 1, (frame_top + frame_bottom) / 2 + 1
    print(f"main window frame {frame_left},{frame_right},{frame_top},{frame_bottom} (left, right, top, bottom); "
          f"its middle is {offset_x:+g}, {offset_y:+g} px from the screen's")
    return ("the main window is centred on the screen", abs(offset_x) <= slack_x and abs(offset_y) <= slack_y,
            f"frame's middle {offset_x:+g}, {offset_y:+g} px from the screen's, allowed {slack_x:g}, {slack_y:g}")


# A window that offers a file as text/uri-list to drag, as a file manager does.
DRAG_SOURCE = r"""
import sys
import gi
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, Gtk
window = Gtk.Window(title="drag source")
window.set_default_size(160, 80)
window.move(20, 20)
box = Gtk.EventBox()
box.add(Gtk.Label(label="dump"))
box.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [Gtk.TargetEntry.new("text/uri-list", 0, 0)], Gdk.DragAction.COPY)
box.connect("drag-data-get", lambda widget, context, data, info, time: data.set_uris([sys.argv[1]]))
box.connect("drag-end", lambda *ignored: print("drag ended", flush=True))
window.add(box)
window.connect("destroy", Gtk.main_quit)
window.show_all()
Gtk.main()
"""


def drag_file(path, target, log):
    """Drags path with the real pointer from a GTK window onto the middle of
    target: a real XDND drag, as from a file manager."""
    source = subprocess.Popen(["/usr/bin/python3", "-c", DRAG_SOURCE, pathlib.Path(path).as_uri()],
                              stdout=subprocess.PIPE, stderr=log, text=True)
    try:
        window = wait_for("the drag source on the screen", lambda: named_window("drag source"), 10)
        left, top, width, height = window.geometry()
        x, y = left + width // 2, top + height // 2
        target_left, target_top, target_width, target_height = target.geometry()
        to_x, to_y = target_left + target_width // 2, target_top + target_height // 2
        run("xdotool", "mousemove", "--sync", str(x), str(y), "mousedown", "1")
        for step in range(1, 11):  # a drag starts only once the pointer moves
            run("xdotool", "mousemove", "--sync", str(x + (to_x - x) * step // 10), str(y + (to_y - y) * step // 10))
            time.sleep(0.05)
        run("xdotool", "mouseup", "1")
        wait_for("the drag to end", lambda: source.stdout.readline().strip() == "drag ended", 10)
    finally:
        end_process(source)


def summary(results, what, started):
    """Prints the time taken and the count of checks; the exit status."""
    print(f"{what} took {time.monotonic() - started:.0f} s")
    print(f"smoke: {results.passed} passed, {results.failed} failed")
    return 1 if results.failed else 0


def exit_with(main):
    """Runs main and exits with its status; a tool that failed is named in the message."""
    try:
        sys.exit(main())
    except subprocess.CalledProcessError as error:
        sys.exit(f"smoke: {' '.join(error.cmd)} failed with status {error.returncode}: {error.stderr.strip()}")
