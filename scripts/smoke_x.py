"""Drives tarvidon on a real X server as a person would, for scripts/smoke-x.

Keys are real X key events (xdotool), sent to whatever window holds the
keyboard; texts are read back through the accessibility tree (AT-SPI),
window properties with xprop and xwininfo, and the screen with ImageMagick.
Every wait polls a condition with a time limit. Phase one runs on a bare
X server, phase two under a window manager (openbox), where the window
manager's hints are read with xprop and xwininfo.
"""

import argparse
import csv
import io
import os
import pathlib
import re
import signal
import subprocess
import sys
import time

import pyatspi

MAIN_TITLE = "Тарвидон"
BOX_TITLE = "tarvidon"  # the message and error boxes': the program's file name
MAIN_SIZE = (698, 193)
IMAGE_VIEW_SIZE = (475, 296)
NOTICE_SIZE = (818, 37)
NOTICE_GREEN = (0x00, 0x80, 0x00)
SAMPLE_ENTRIES = 25  # named records in samples/catalogue.dat


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


def program_windows(size=None):
    """The program's top-level windows (WM_CLASS tarvidon), of a size if given."""
    windows = []
    for line in window_tree():
        match = TREE_LINE.match(line)
        if match and '"tarvidon"' in match.group(3):
            if size is None or (int(match.group(4)), int(match.group(5))) == size:
                windows.append(Window(match.group(1)))
    return windows


def viewable_window(size, what):
    def find():
        return next((w for w in program_windows(size) if w.viewable()), None)
    return wait_for(what, find, timeout=30)  # a loaded machine starts a program slowly


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


# The Cyrillic letters the cases type ("Руб") or press with Alt (о, с).
TYPED_CYRILLIC = ["er", "u", "be", "o", "es"]


def add_cyrillic_to_keymap():
    """Puts the Cyrillic letters typed, small and capital, on unused keys. For a
    letter missing from the keymap xdotool maps a key for each stroke and
    maps it back, and a program busy at that moment reads the stroke with
    the keymap of the moment before or after: letters were lost or changed."""
    unused = [line.split()[1] for line in run("xmodmap", "-pke").splitlines()
              if re.fullmatch(r"keycode\s+\d+ =\s*", line)]
    if len(unused) < len(TYPED_CYRILLIC):
        raise SystemExit(f"smoke: only {len(unused)} unused keys for {len(TYPED_CYRILLIC)} Cyrillic letters")
    run("xmodmap", *[argument for keycode, letter in zip(unused, TYPED_CYRILLIC)
                     for argument in ("-e", f"keycode {keycode} = Cyrillic_{letter} Cyrillic_{letter.upper()}")])


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


# --- Accessibility tree -----------------------------------------------------

def children(accessible):
    return [accessible.getChildAtIndex(i) for i in range(accessible.childCount)]


def role(accessible):
    return accessible.getRole()


def states(accessible):
    return accessible.getState()


def top(accessible):
    return accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).y


class Program:
    """One run of the program, seen through X and AT-SPI."""

    def __init__(self, path, work, log):
        self.process = subprocess.Popen([path], cwd=work, stdout=log, stderr=subprocess.STDOUT)
        self.main = viewable_window(MAIN_SIZE, "the main window on the screen")
        self.application = wait_for("the program in the accessibility tree", self._find_application)

    def _find_application(self):
        for application in pyatspi.Registry.getDesktop(0):
            try:
                if application is not None and application.get_process_id() == self.process.pid:
                    return application
            except Exception:
                pass  # one that has gone away
        return None

    def stop(self):
        end_process(self.process)

    def frame(self, title):
        for window in children(self.application):
            if window.name == title and states(window).contains(pyatspi.STATE_SHOWING):
                return window
        return None

    def fields(self):
        """Edit1, ComboBox1, ComboBox2 and Edit2, top to bottom."""
        main = self.frame(MAIN_TITLE)
        if main is None:
            raise Failure("the main window is not in the accessibility tree")
        edits = sorted((c for c in children(main) if role(c) == pyatspi.ROLE_TEXT), key=top)
        combos = sorted((c for c in children(main) if role(c) == pyatspi.ROLE_COMBO_BOX), key=top)
        combo_texts = [next(c for c in children(combo) if role(c) == pyatspi.ROLE_TEXT) for combo in combos]
        return {"Edit1": edits[0], "ComboBox1": combo_texts[0], "ComboBox2": combo_texts[1], "Edit2": edits[1],
                "items1": combos[0], "items2": combos[1]}

    def texts(self):
        fields = self.fields()
        return {name: text(fields[name]) for name in ("ComboBox1", "ComboBox2", "Edit2")}

    def item_count(self, combo):
        lists = [c for c in children(self.fields()[combo]) if role(c) == pyatspi.ROLE_LIST]
        return lists[0].childCount if lists else 0

    def focused_field(self):
        for name, accessible in self.fields().items():
            if states(accessible).contains(pyatspi.STATE_FOCUSED):
                return name
        return None

    def button(self, name):
        def find(accessible):
            for child in children(accessible):
                if role(child) == pyatspi.ROLE_PUSH_BUTTON and child.name == name:
                    return child
                found = find(child)
                if found is not None:
                    return found
            return None
        return find(self.frame(MAIN_TITLE))

    def click(self, accessible):
        box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        run("xdotool", "mousemove", "--sync", str(box.x + box.width // 2), str(box.y + box.height // 2),
            "click", "1")

    def focused_dialog_text(self):
        """The focused text field of a shown dialog (the file dialog)."""
        for window in children(self.application):
            if role(window) != pyatspi.ROLE_DIALOG or not states(window).contains(pyatspi.STATE_SHOWING):
                continue
            stack = [window]
            while stack:
                accessible = stack.pop()
                if role(accessible) == pyatspi.ROLE_TEXT and states(accessible).contains(pyatspi.STATE_FOCUSED):
                    return accessible
                stack.extend(children(accessible))
        return None


def text(accessible):
    return accessible.queryText().getText(0, -1)


# --- The cases --------------------------------------------------------------

def type_watching(program, text):
    """Types text a character at a time, each once the one before shows in a
    combo box's field, as a person watching the screen types."""
    typed = ""
    for character in text:
        typed += character
        type_text(character)
        wait_for(f"{typed!r} in a field", lambda: any(
            shown.startswith(typed) for name, shown in program.texts().items() if name.startswith("ComboBox")),
            timeout=5)


def select_by_typing(program, results, name, keys, expected):
    """Escape, Ctrl+A, then keys (text or xdotool key names), then Enter;
    waits until the fields show expected."""
    def body():
        key("Escape", "ctrl+a")
        for step in keys:
            if isinstance(step, tuple):
                key(*step)
            else:
                type_watching(program, step)
        key("Return")
        try:
            wait_for(f"{expected}", lambda: program.texts() == expected, timeout=5)
            results.check(name, True)
        except Failure:
            results.check(name, False, f"fields show {program.texts()}, expected {expected}")
    results.case(name, body)


def check_export(results, work, name, product_number):
    path = os.path.join(work, name)
    def body():
        wait_for(f"{name} to be written", lambda: os.path.exists(path) and os.path.getsize(path) == 512, 5)
        with open(path, "rb") as f:
            data = f.read()
        results.check(f"save writes {name}: 256 zero bytes, then the image", data[:256] == bytes(256)
                      and data[256:260] == bytes.fromhex(product_number), data[252:262].hex())
    results.case(f"save writes {name}", body)


# --- Crafted files ----------------------------------------------------------

# The shapes of samples/generate_catalogue hostile, and a model prefix that
# their names start with.
CRAFTED_SHAPES = {"run": "THD", "quarters": "K", "prefixes": "AAA", "repeated": "Model", "spaces": "Model"}


def listed_records(path):
    """The records the program lists: a tag it finds, an image that fits and
    a name that a 0x00 ends."""
    data = open(path, "rb").read()
    count, tag, zero = 0, data.find(b"DTHD"), -1
    while 0 <= tag <= len(data) - 5:
        start = tag + 17
        if zero < start:
            zero = data.find(b"\0", start)
            if zero < 0:
                break  # no later name ends
        if tag + 364 <= len(data) and zero > start:
            count += 1
        tag = data.find(b"DTHD", tag + 1)
    return count


def crafted_road(program, results, args, shape, prefix, mib):
    """Enter on the file's path, the prefix, Delete, Enter, an output name,
    save: the export must be the CLI's of the last entry the prefix starts."""
    name = f"{shape}-{mib}.dat"
    path = os.path.join(args.work, name)
    run(args.generator, "hostile", shape, path, str(mib << 20))
    csv.field_size_limit(sys.maxsize)  # names of megabytes
    found = list(csv.reader(io.StringIO(run(args.cli, "find", path, "--model", prefix, "--format", "csv"))))[1]
    expected = os.path.join(args.work, "expected.BIN")
    run(args.cli, "export", path, "--index", found[0], "-o", expected)
    records = listed_records(path)
    saved = os.path.join(args.work, f"crafted-{shape}-{mib}.BIN")
    check = f"the road through {name} ({records} records) saves the CLI's export of entry {found[0]}"
    def body():
        fields = program.fields()
        program.click(fields["Edit1"])
        key("ctrl+a")
        type_text(name)
        started = time.monotonic()
        key("Return")
        wait_for(f"the records of {name} in the lists", lambda: program.item_count("items1") == records, 60)
        opened = time.monotonic()
        program.click(program.fields()["ComboBox1"])
        key("ctrl+a")
        type_watching(program, prefix)
        key("Delete")
        typed = time.monotonic()
        key("Return")
        wait_for("the selection in the fields", lambda: program.texts()["ComboBox2"] == found[2], 30)
        selected = time.monotonic()
        program.click(program.fields()["Edit2"])
        key("ctrl+a")
        type_text(os.path.basename(saved))
        key("alt+Cyrillic_es")
        wait_for(f"{saved} written", lambda: os.path.exists(saved) and os.path.getsize(saved) == 512, 30)
        print(f"{name}: open {opened - started:.2f} s, Enter {selected - typed:.2f} s")
        with open(saved, "rb") as mine, open(expected, "rb") as cli:
            results.check(check, mine.read() == cli.read())
    results.case(check, body)
    os.remove(path)


def phase_crafted_files(args, results):
    print("== Crafted files on a bare X server")
    program = Program(args.program, args.work, open(os.path.join(args.work, "program.log"), "ab"))
    try:
        run("xdotool", "windowfocus", "--sync", program.main.id)
        for shape, prefix in CRAFTED_SHAPES.items():
            for mib in (1, 4, 16):
                crafted_road(program, results, args, shape, prefix, mib)
    finally:
        program.stop()


class BusyNotice:
    """Opens a large file through the open button and the file dialog, and
    checks from screen pixels that the notice is painted while it loads."""

    def __init__(self, program, results, big_file, shots, while_shown=None, phase=""):
        """while_shown(window), if given, reads the shown notice and returns
        checks (name, condition, detail) to count once it proved to be still
        on the screen afterwards; phase tells the check names apart."""
        self.program = program
        self.while_shown = while_shown
        self.phase = phase
        self.results = results
        self.big_file = big_file
        self.shots = shots
        self.window = None
        self.load_seconds = []

    def open_once(self, run_number):
        program, results = self.program, self.results
        name = f"busy notice painted during the load{self.phase} (run {run_number})"
        def body():
            if self.window is not None:
                # The notice's place must not hold its colour before it is shown.
                before = os.path.join(self.shots, f"before-{run_number}.xwd")
                grab_screen(before)
                share = colour_share(before, self.window.geometry(), NOTICE_GREEN)
                if share > 0.01:
                    raise Failure(f"the notice's place is green before it was shown ({share:.0%})")
            key("alt+Cyrillic_o")
            dialog_field = wait_for("the file dialog", program.focused_dialog_text, timeout=30)
            key("ctrl+a")  # the dialog may offer the last name
            type_text(self.big_file)
            wait_for("the path in the dialog", lambda: text(dialog_field) == self.big_file, 5)
            key("Return")
            started = time.monotonic()
            window = wait_for("the busy notice on the screen", self._shown_notice, timeout=10, interval=0.005)
            shown = time.monotonic()
            shot = os.path.join(self.shots, f"notice{self.phase.replace(' ', '-')}-{run_number}.xwd")
            grab_screen(shot)
            seen = self.while_shown(window) if self.while_shown else []
            if not window.viewable():
                raise Failure(f"the load ended before the screen was read ({shown - started:.2f} s to see the notice, "
                              f"{time.monotonic() - shown:.2f} s to read the screen): use a larger file")
            share = colour_share(shot, window.geometry(), NOTICE_GREEN)
            wait_for("the load to end", lambda: not window.viewable(), timeout=120)
            self.load_seconds.append(time.monotonic() - started)
            results.check(name, share > 0.5, f"{share:.0%} of the notice is green, in {shot}")
            for check in seen:
                results.check(*check)
            wait_for("the keyboard in the model field", lambda: program.focused_field() == "ComboBox1", 10)
            if self.window is None:
                self.window = window
                results.check(f"the busy notice's X window name is empty{self.phase}",
                              window.property("_NET_WM_NAME") == "" and window.property("WM_NAME") == "",
                              f"_NET_WM_NAME {window.property('_NET_WM_NAME')!r}, WM_NAME {window.property('WM_NAME')!r}")
        results.case(name, body)

    def _shown_notice(self):
        if self.window is not None:
            return self.window if self.window.viewable() else None
        return next((w for w in program_windows(NOTICE_SIZE) if w.viewable()), None)


def phase_bare_server(args, results):
    print("== On a bare X server")
    log = open(os.path.join(args.work, "program.log"), "ab")
    program = Program(args.program, args.work, log)
    try:
        # With no window manager, giving the new window the keyboard is ours to do.
        run("xdotool", "windowfocus", "--sync", program.main.id)
        results.case("Edit1 holds the keyboard at start", lambda: results.check(
            "Edit1 holds the keyboard at start", wait_for("focus", lambda: program.focused_field() == "Edit1", 5)))

        def open_sample():
            type_text(args.sample)
            key("Return")
            wait_for("the sample's product numbers in the list",
                     lambda: program.item_count("items2") == SAMPLE_ENTRIES, 10)
            results.check("a typed data file path and Enter load the sample", True)
        results.case("a typed data file path and Enter load the sample", open_sample)

        def to_model_field():
            key("Tab", "Tab", "Tab")
            wait_for("the keyboard in the model field", lambda: program.focused_field() == "ComboBox1", 5)
        results.case("Tab reaches the model field", to_model_field)

        select_by_typing(program, results, "Руб, Delete, Enter selects the last match in file order",
                         ["Руб", ("Delete",)],
                         {"ComboBox1": "Рубин 55МТ", "ComboBox2": "03030401", "Edit2": "03030401_Рубин 55МТ.BIN"})
        key("alt+Cyrillic_es")
        check_export(results, args.work, "03030401_Рубин 55МТ.BIN", "03030401")
        select_by_typing(program, results, "ab, Delete, Enter selects AB", ["ab", ("Delete",)],
                         {"ComboBox1": "AB", "ComboBox2": "31000401", "Edit2": "31000401_AB.BIN"})
        select_by_typing(program, results, "zen, Delete, Enter selects the last Zenith in file order",
                         ["zen", ("Delete",)],
                         {"ComboBox1": "Zenith 200", "ComboBox2": "A0B0C1D0", "Edit2": "A0B0C1D0_Zenith 200.BIN"})
        select_by_typing(program, results, "q + Enter matches no model and empties the product number",
                         ["q"], {"ComboBox1": "q", "ComboBox2": "", "Edit2": "A0B0C1D0_Zenith 200.BIN"})
        key("Tab")
        select_by_typing(program, results, "z + Enter matches no product number and empties the model",
                         ["z"], {"ComboBox1": "", "ComboBox2": "z", "Edit2": "A0B0C1D0_Zenith 200.BIN"})

        notice = BusyNotice(program, results, args.big_file, args.shots)
        for run_number in range(1, args.busy_runs + 1):
            notice.open_once(run_number)
        if notice.load_seconds:
            print(f"loads took {min(notice.load_seconds):.2f} to {max(notice.load_seconds):.2f} s")
    finally:
        program.stop()


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


def busy_notice_checks(window):
    """Read while the notice is on the screen (the program is blocked then),
    with as few X calls as may be: the load is soon over."""
    hints = managed(window, "the busy notice")
    checks = [fixed_size_check(hints, "the busy notice", NOTICE_SIZE)]
    checks += no_window_buttons_checks(hints, "the busy notice", "close, minimise or maximise",
                                       MWM_FUNC_CLOSE | MWM_FUNC_MINIMIZE | MWM_FUNC_MAXIMIZE,
                                       MWM_DECOR_MINIMIZE | MWM_DECOR_MAXIMIZE,
                                       "maximise or resize", NO_MAXIMISE)
    # Openbox draws minimise and close on any title bar; a frame of border
    # only has no buttons.
    left, right, top, bottom = hints.frame
    checks.append(("openbox gives the busy notice a border and no title bar, so no buttons",
                   0 < top == bottom == left == right, f"frame {left},{right},{top},{bottom} (left, right, top, bottom)"))
    return checks


# --- Dumps dropped on the image view -----------------------------------------

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


def named_window(name):
    """A viewable top-level window of that name, or None."""
    for line in window_tree():
        match = TREE_LINE.match(line)
        if match and match.group(2) == name and Window(match.group(1)).viewable():
            return Window(match.group(1))
    return None


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


def drop_dumps(program, results, args, view, log):
    """A dump that a record holds selects it and saves its export; one three
    bytes off selects the nearest and says so in a message box."""
    big = args.big_file
    csv.field_size_limit(sys.maxsize)
    picked = 500
    dump = os.path.join(args.work, "dump.BIN")
    run(args.cli, "export", big, "--index", str(picked), "-o", dump)
    # The last record in file order that holds the image, as identify lists them.
    entry = list(csv.reader(io.StringIO(run(args.cli, "identify", big, dump, "--format", "csv"))))[-1]
    index, product, model = entry[0], entry[2], entry[3]
    name = "a dump dropped on the image view selects the record that holds it, and its export saves"
    def held():
        drag_file(dump, view, log)
        wait_for(f"the caption {model}", lambda: view.property("WM_NAME") == model, 10)
        wait_for("the fields", lambda: program.texts()["ComboBox1"] == model, 5)
        run("xdotool", "windowactivate", "--sync", program.main.id)
        key("alt+Cyrillic_es")
        saved = os.path.join(args.work, f"{product}_{model}.BIN")
        wait_for(f"{saved} written", lambda: os.path.exists(saved) and os.path.getsize(saved) == 512, 10)
        with open(saved, "rb") as mine, open(dump, "rb") as cli:
            results.check(name, mine.read() == cli.read(), f"entry {index}")
    results.case(name, held)

    name = "a dump three bytes off selects the nearest record and a message box says so"
    def nearest():
        with open(dump, "rb") as original:
            data = bytearray(original.read())
        for offset in (256 + 0x10, 256 + 0x11, 256 + 0x40):
            data[offset] ^= 0xFF
        changed = os.path.join(args.work, "changed.BIN")
        with open(changed, "wb") as out:
            out.write(data)
        run("xdotool", "windowactivate", "--sync", program.main.id)
        key("ctrl+a", "Delete")  # the model field, emptied
        drag_file(changed, view, log)
        box = wait_for("the message box", lambda: named_window(BOX_TITLE), 10)
        run("xdotool", "windowactivate", "--sync", box.id)
        key("Return")
        wait_for("the message box to close", lambda: not box.viewable(), 10)
        results.check(name, view.property("WM_NAME") == model and program.texts()["ComboBox1"] == model,
                      f"caption {view.property('WM_NAME')!r}, model field {program.texts()['ComboBox1']!r}")
    results.case(name, nearest)


def phase_window_manager(args, results):
    print("== Under a window manager (openbox)")
    log = open(os.path.join(args.work, "program.log"), "ab")
    manager = WindowManager(args.work, open(os.path.join(args.work, "openbox.log"), "ab"))
    try:
        program = Program(args.program, args.work, log)
        try:
            hints = fixed_window_checks(results, program.main, "the main window", MAIN_SIZE)
            results.check(*centred_check(program.main, hints))
            capture_screen(os.path.join(args.shots, "openbox-main.png"))  # for a person to look at
            # Openbox gives a new window the keyboard.
            def focus():
                wait_for("openbox to give the main window the keyboard",
                         lambda: int(run("xdotool", "getwindowfocus").strip()) == int(program.main.id, 16), 10)
                wait_for("focus", lambda: program.focused_field() == "Edit1", 5)
                results.check("Edit1 holds the keyboard under openbox", True)
            results.case("Edit1 holds the keyboard under openbox", focus)
            notice = BusyNotice(program, results, args.big_file, args.shots, busy_notice_checks, " under openbox")
            notice.open_once(1)

            def image_view():
                program.click(program.button("СПРЯТАТЬ / ПОКАЗАТЬ   ВЫБРАННУЮ  ПРОШИВКУ"))
                window = viewable_window(IMAGE_VIEW_SIZE, "the image view on the screen")
                fixed_window_checks(results, window, "the image view", IMAGE_VIEW_SIZE)
                drop_dumps(program, results, args, window, log)
            results.case("the image view under openbox", image_view)
        finally:
            program.stop()
    finally:
        manager.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--generator", required=True)
    parser.add_argument("--sample", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--busy-runs", type=int, default=3)
    parser.add_argument("--cli", required=True)
    args = parser.parse_args()
    args.shots = os.environ.get("SMOKE_SHOTS") or os.path.join(args.work, "shots")
    os.makedirs(args.shots, exist_ok=True)
    args.big_file = os.path.join(args.work, "large.dat")
    # 1 GiB in a thousand records: reading it takes a moment even on an
    # idle machine with the file in the page cache, while the lists stay
    # short (a million items would swamp the accessibility bus).
    run(args.generator, "synthetic", args.big_file, "1000", "1073741")

    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    add_cyrillic_to_keymap()
    results = Results(args.shots)
    started = time.monotonic()
    phase_bare_server(args, results)
    results.case("the crafted files", lambda: phase_crafted_files(args, results))
    results.case("the phase under openbox", lambda: phase_window_manager(args, results))
    return summary(results, "smoke", started)


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


if __name__ == "__main__":
    exit_with(main)
