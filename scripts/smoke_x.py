"""Drives tarvidon on a real X server as a person would, for scripts/smoke-x:
the road's checks, on the helpers of smoke_tools.py and smoke_program.py.

Keys are real X key events (xdotool), sent to whatever window holds the
keyboard; texts are read back through the accessibility tree (AT-SPI),
window properties with xprop and xwininfo, and the screen with ImageMagick.
Every wait polls a condition with a time limit. Phase one runs on a bare
X server, with crafted files after the sample; phase two under a window
manager (openbox), where the window manager's hints are read with xprop and
xwininfo and dumps are dragged onto the image view.
"""

import argparse
import csv
import io
import os
import re
import signal
import sys
import time

from smoke_program import Program, program_windows, text, type_watching, viewable_window
from smoke_tools import (BOX_TITLE, IMAGE_VIEW_SIZE, MAIN_SIZE, MWM_DECOR_MAXIMIZE, MWM_DECOR_MINIMIZE, MWM_FUNC_CLOSE,
                         MWM_FUNC_MAXIMIZE, MWM_FUNC_MINIMIZE, NO_MAXIMISE, NOTICE_GREEN, NOTICE_SIZE, Failure, Results,
                         Steps, WindowManager, capture_screen, centred_check, colour_share, drag_file, exit_with,
                         fixed_size_check, fixed_window_checks, grab_screen, key, managed, named_window,
                         no_window_buttons_checks, run, summary, type_text, wait_for)

SAMPLE_ENTRIES = 25  # named records in samples/catalogue.dat

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


# --- The cases --------------------------------------------------------------


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
CRAFTED_SHAPES = {"run": "THD", "quarters": "K", "prefixes": "AAA", "repeated": "Model", "spaces": "Model",
                  "mixed": "dthda"}


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
    checks from screen pixels that the notice is painted while it loads.
    From Enter in the dialog on, the program runs in steps (Steps) and the
    screen is read between them, so the load cannot end while it is read.
    A notice not seen painted fails the run only when no step was long: on a
    loaded machine a long one could hold all of the notice's time on the
    screen, and the file is then opened again."""

    ATTEMPTS = 3
    # Seconds; the load of the big file takes more, even in the page cache:
    # it copies a gibibyte into as much fresh memory.
    LONG_STEP = 0.05

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
        self.steps = []  # per run, the steps the program took until the notice was read
        self.longest_steps = []  # per run, the most the program ran between two looks
        self.rest_seconds = []  # per run, how long the load ran on once let go

    def open_once(self, run_number):
        results = self.results
        name = f"busy notice painted during the load{self.phase} (run {run_number})"
        def body():
            shot = os.path.join(self.shots, f"notice{self.phase.replace(' ', '-')}-{run_number}.xwd")
            for attempt in range(1, self.ATTEMPTS + 1):
                window, share, seen, steps = self._open(run_number, shot)
                if share > 0.5 or steps.longest < self.LONG_STEP:
                    break
                print(f"{name}: one step let the program run {steps.longest:.2f} s, so the notice may have come "
                      f"and gone in it; opened again (attempt {attempt} of {self.ATTEMPTS})")
            if window is None:
                raise Failure(f"the busy notice never came on the screen in {steps.count} steps of the program")
            results.check(name, share > 0.5, f"{share:.0%} of the notice is green, in {shot}")
            for check in seen:
                results.check(*check)
            if self.window is None:
                self.window = window
                results.check(f"the busy notice's X window name is empty{self.phase}",
                              window.property("_NET_WM_NAME") == "" and window.property("WM_NAME") == "",
                              f"_NET_WM_NAME {window.property('_NET_WM_NAME')!r}, WM_NAME {window.property('WM_NAME')!r}")
        results.case(name, body)

    def _open(self, run_number, shot):
        """Opens the file; returns the notice's window (None if it was never
        seen), the share of it that was green, the checks of while_shown and
        the program's steps."""
        program = self.program
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
        with Steps(program.process) as steps:
            key("Return")  # read by the program in its first step
            window, share = self._painted_notice(steps, shot)
            shown = window is not None and window.viewable()
            seen = self.while_shown(window) if self.while_shown and shown else []
        let_go = time.monotonic()
        if shown:
            wait_for("the load to end", lambda: not window.viewable(), timeout=120)
            self.rest_seconds.append(time.monotonic() - let_go)
        self.steps.append(steps.count)
        self.longest_steps.append(steps.longest)
        wait_for("the keyboard in the model field", lambda: program.focused_field() == "ComboBox1", 120)
        return window, share, seen, steps

    def _painted_notice(self, steps, shot):
        """Steps the program until the notice is on the screen and painted
        green, or has come and gone; returns the window (None if it never
        came) and the share of it that was green in the last screen read
        while it was shown."""
        window, share = None, 0.0
        deadline = time.monotonic() + 120  # each look is slow on a loaded machine
        while time.monotonic() < deadline:
            shown = self._shown_notice()
            if shown:
                window = shown
                grab_screen(shot)
                share = colour_share(shot, window.geometry(), NOTICE_GREEN)
                if share > 0.5:
                    break
            elif window is not None:
                break  # gone: the load ended before the notice was painted
            steps.step()
        return window, share

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
        if notice.rest_seconds:
            print(f"the notice was read after {min(notice.steps)} to {max(notice.steps)} steps of the program, "
                  f"each of at most {max(notice.longest_steps):.3f} s; once let go, the loads ran on "
                  f"{min(notice.rest_seconds):.2f} to {max(notice.rest_seconds):.2f} s")
    finally:
        program.stop()


# --- Under a window manager -------------------------------------------------


def busy_notice_checks(window):
    """Read while the notice is on the screen and the program stopped."""
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
    # 1 GiB in a thousand records: even from the page cache its load takes
    # many steps of the program (the busy notice's check), while the lists
    # stay short (a million items would swamp the accessibility bus).
    run(args.generator, "synthetic", args.big_file, "1000", "1073741")

    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    add_cyrillic_to_keymap()
    results = Results(args.shots)
    started = time.monotonic()
    phase_bare_server(args, results)
    results.case("the crafted files", lambda: phase_crafted_files(args, results))
    results.case("the phase under openbox", lambda: phase_window_manager(args, results))
    return summary(results, "smoke", started)


if __name__ == "__main__":
    exit_with(main)
