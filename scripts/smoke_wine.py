"""Installs tarvidon.exe under Wine on a real X server and drives it as a
person would, for scripts/smoke-wine.

The installer runs silently in a fresh Wine prefix; its files, shortcut and
Programs and Features entry are checked; the installed program is driven
with real X key and mouse events (xdotool) under openbox, and read back
through what Wine shows of it on X (window names and sizes, the screen) and
through the files it writes; then the uninstaller must leave nothing
behind. Every wait polls a condition with a time limit.
"""

import argparse
import csv
import io
import math
import os
import re
import shutil
import subprocess
import time

from smoke_tools import (IMAGE_VIEW_SIZE, MAIN_SIZE, NOTICE_GREEN, NOTICE_SIZE, TREE_LINE, Failure, Results, Window,
                         WindowManager, colour_share, drag_file, end_process, exit_with, grab_screen, key, pixels, run,
                         summary, type_text, wait_for, window_tree)

MODEL_LIST_TITLE = "Список моделей"
IMAGE_VIEW_TITLE = "Выбранная прошивка"
UNINSTALL_KEY = r"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tarvidon"


class Wine:
    """A fresh Wine prefix and the commands run in it."""

    def __init__(self, prefix, log):
        self.log = log
        self.wine = shutil.which("wine64") or shutil.which("wine") or "/usr/lib/wine/wine64"
        self.wineserver = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
        self.environment = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all",
                                WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        self.drive_c = os.path.join(prefix, "drive_c")
        self.call("wineboot", "-i")
        # A steady text cursor, so that a field's pixels settle once typed.
        self.call("reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "CursorBlinkRate", "/t", "REG_SZ",
                  "/d", "-1", "/f")
        # Debian's Wine looks for its own fonts where they are not; without
        # them every font is a stand-in.
        fonts = os.path.join(self.drive_c, "windows", "Fonts")
        for font in os.listdir("/usr/share/wine/fonts"):
            shutil.copy(os.path.join("/usr/share/wine/fonts", font), fonts)

    def start(self, *command, cwd=None, locale=None):
        environment = dict(self.environment, **({"LANG": locale, "LC_ALL": locale} if locale else {}))
        return subprocess.Popen([self.wine, *command], cwd=cwd, env=environment, stdout=self.log,
                                stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)

    def call(self, *command):
        """Runs a command to its end and waits until Wine is idle."""
        process = self.start(*command)
        process.wait(300)
        subprocess.run([self.wineserver, "-w"], env=self.environment, check=True, timeout=300)
        return process.returncode

    def stop(self):
        subprocess.run([self.wineserver, "-k"], env=self.environment)

    def set_dpi(self, dpi):
        """Windows's scaling, as its display settings set it; it takes effect
        when Wine starts again."""
        for key_path in (r"HKCU\Control Panel\Desktop",
                         r"HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts"):
            self.call("reg", "add", key_path, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")
        self.stop()

    def registry_key(self, key_path):
        """The values of a key of HKEY_LOCAL_MACHINE as Wine stores them, or
        None when there is no such key."""
        with open(os.path.join(os.path.dirname(self.drive_c), "system.reg"), encoding="utf-8") as registry:
            text = registry.read()
        match = re.search(r"^\[" + re.escape(key_path.replace("\\\\", "\\\\")) + r"\][^\n]*\n(.*?)(?:\n\n|\Z)",
                          text, re.M | re.S | re.I)
        if not match:
            return None
        values = {}
        for name, value in re.findall(r'^"([^"]+)"=(.*)$', match.group(1), re.M):
            if value.startswith('"'):
                value = re.sub(r"\\x([0-9a-f]{1,4})", lambda m: chr(int(m.group(1), 16)), value[1:-1])
                value = value.replace('\\"', '"').replace("\\\\", "\\")
            values[name] = value
        return values


# Windows's scaling in the current run: 1 at 96 dpi, 1.5 at 144.
scale = 1.0


def scaled(size):
    return tuple(round(value * scale) for value in size)


def wine_windows(size=None, name=None):
    """The viewable top-level windows of Wine programs, of a size (at the
    current scaling, give or take a pixel of rounding) and name if given."""
    windows = []
    for line in window_tree():
        match = TREE_LINE.match(line)
        if not match or ".exe" not in match.group(3):
            continue
        shown = (int(match.group(4)), int(match.group(5)))
        if size is not None and any(abs(a - b) > 1 for a, b in zip(shown, scaled(size))):
            continue
        if name is not None and match.group(2) != name:
            continue
        window = Window(match.group(1))
        if window.viewable():
            windows.append(window)
    return windows


def one_window(what, size=None, name=None, timeout=30):
    return wait_for(what, lambda: next(iter(wine_windows(size, name)), None), timeout)


def click(window, x, y):
    """A left click at x, y inside the window, in the program's own pixels."""
    left, top, _, _ = window.geometry()
    x, y = scaled((x, y))
    run("xdotool", "mousemove", "--sync", str(left + x), str(top + y), "click", "1")


def wait_until_settled(window, what):
    """Waits until the window's pixels stop changing: Wine turns typed keys
    into characters on its own time, and an Enter sent at once can overtake
    them. (The text cursor is steady in the prefix.)"""
    shown = [None]
    def settled():
        before = shown[0]
        shown[0] = subprocess.run(["import", "-silent", "-window", window.id, "rgb:-"], check=True,
                                  capture_output=True).stdout
        return before == shown[0]
    wait_for(what, settled, timeout=10, interval=0.3)


def type_into(window, field, text):
    """Clicks into a field, selects what it holds and types text over it."""
    click(window, *field)
    key("ctrl+a")
    type_text(text)
    wait_until_settled(window, f"{text!r} typed")


# Where the main window's controls are, inside the window.
FILE_FIELD, OPEN_BUTTON, SAVE_BUTTON = (360, 20), (628, 20), (628, 84)
MODEL_FIELD, PRODUCT_FIELD = (300, 52), (300, 84)
# The model list's button is clicked right of its middle, where the list
# leaves it uncovered at 150 %.
MODEL_LIST_BUTTON, IMAGE_VIEW_BUTTON = (300, 160), (520, 160)


# The main window's captioned controls: left, top, width and height inside
# the window, and the width of what surrounds their caption (the border,
# and a push button's focus frame inside it), in the program's own pixels;
# their background colour, None where the style picks it.
LABEL_PANEL_BORDER, SPEED_BUTTON_BORDER, PUSH_BUTTON_BORDER = 1, 2, 4
CAPTIONED = {
    "Panel1": ((8, 8, 145, 24), LABEL_PANEL_BORDER, (0, 0, 0)),
    "Panel2": ((8, 40, 145, 24), LABEL_PANEL_BORDER, (0, 0, 0)),
    "Panel3": ((8, 72, 145, 24), LABEL_PANEL_BORDER, (0, 0, 0)),
    "Panel4": ((8, 104, 145, 24), LABEL_PANEL_BORDER, (0, 0, 0)),
    "BitBtn1": ((568, 8, 121, 24), PUSH_BUTTON_BORDER, None),
    "BitBtn2": ((568, 40, 121, 89), PUSH_BUTTON_BORDER, None),
    "SpeedButton1": ((16, 144, 329, 33), SPEED_BUTTON_BORDER, (0, 0, 0)),
    "SpeedButton2": ((352, 144, 329, 33), SPEED_BUTTON_BORDER, (0, 0, 0)),
}
LIME = (0x00, 0xFF, 0x00)


def caption_checks(shot, what):
    """Each captioned control of the main window's picture: the columns just
    inside its border hold only its background (a caption cut off runs into
    them), and no push button's caption is in the window's lime."""
    checks = []
    for name, (box, border, background) in CAPTIONED.items():
        left, top, width, height = scaled(box)
        inset = math.ceil(border * scale)
        inner = (left + inset, top + inset, width - 2 * inset, height - 2 * inset)
        inside = pixels(shot, inner)
        if background is None:  # the style's button face: what most of it shows
            background = max(set(inside), key=inside.count)
        edges = [pixels(shot, (x, inner[1], 1, inner[3])) for x in (inner[0], inner[0] + inner[2] - 1)]
        stray = sum(1 for column in edges for pixel in column if pixel != background)
        checks.append((f"{name}'s caption is whole {what}", stray == 0,
                       f"{stray} pixels of the columns inside its border differ from {background}, in {shot}"))
        if name.startswith("BitBtn"):
            lime = sum(1 for pixel in inside if pixel == LIME)
            checks.append((f"{name}'s caption is in the button text colour {what}", lime == 0,
                           f"{lime} lime pixels, in {shot}"))
    return checks


def installed_files(wine):
    folder = os.path.join(wine.drive_c, "Program Files", "tarvidon")
    return sorted(os.listdir(folder)) if os.path.isdir(folder) else []


def shortcut(wine):
    return os.path.join(wine.drive_c, "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs",
                        "Тарвидон.lnk")


def check_install(results, wine, setup, version):
    status = wine.call(setup, "/S")
    results.check("the installer runs silently", status == 0, f"exit status {status}")
    files = installed_files(wine)
    results.check("the installer puts both programs, the README, the licences and the uninstaller under "
                  "Program Files", files == ["DejaVu-LICENSE", "LICENSE", "README.md", "tarvidon-cli.exe",
                                             "tarvidon.exe", "uninstall.exe"], str(files))
    results.check("the installer adds the Start-menu shortcut Тарвидон", os.path.isfile(shortcut(wine)))
    entry = wine.registry_key(UNINSTALL_KEY) or {}
    folder = "C:\\Program Files\\tarvidon"
    expected = {"DisplayName": "Тарвидон", "DisplayVersion": version, "Publisher": "The Tarvidon developers",
                "DisplayIcon": folder + "\\tarvidon.exe", "UninstallString": f'"{folder}\\uninstall.exe"'}
    shown = {name: entry.get(name) for name in expected}
    size = entry.get("EstimatedSize", "")
    results.check("the installer adds an entry in Programs and Features", shown == expected
                  and size.startswith("dword:") and int(size[6:], 16) > 1000, f"{shown}, EstimatedSize {size!r}")


def check_uninstall(results, wine):
    status = wine.call("C:\\Program Files\\tarvidon\\uninstall.exe", "/S")
    # The uninstaller runs from a copy of itself and returns at once.
    wait_for("the uninstaller to finish", lambda: not installed_files(wine), timeout=60)
    left = [what for what, there in [("files", installed_files(wine)), ("shortcut", os.path.exists(shortcut(wine))),
                                     ("registry entry", wine.registry_key(UNINSTALL_KEY) is not None)] if there]
    results.check("the uninstaller leaves nothing behind", status == 0 and not left,
                  f"exit status {status}, left: {left}")


def select(results, main, field, prefix, expected_model):
    """Clicks into a combo box, types a prefix, Delete (the completed rest)
    and Enter; the image view's caption must become expected_model."""
    name = f"{prefix}, Delete, Enter selects {expected_model}"
    def body():
        type_into(main, field, prefix)
        key("Delete", "Return")
        view = one_window("the image view", IMAGE_VIEW_SIZE, timeout=10)
        wait_for(f"the caption {expected_model}", lambda: view.property("WM_NAME") == expected_model, 10)
        results.check(name, True)
    results.case(name, body)


def check_save(results, main, work, name, product_number):
    path = os.path.join(work, name)
    def body():
        click(main, *SAVE_BUTTON)
        wait_for(f"{name} to be written", lambda: os.path.exists(path) and os.path.getsize(path) == 512, 10)
        with open(path, "rb") as saved:
            data = saved.read()
        results.check(f"the save button writes {name}: 256 zero bytes, then the image",
                      data[:256] == bytes(256) and data[256:260] == bytes.fromhex(product_number))
    results.case(f"the save button writes {name}", body)


def check_failed_save(results, main, work):
    name = "saving a model text that names no record shows the error box and writes nothing"
    def body():
        before = sorted(os.listdir(work))
        type_into(main, MODEL_FIELD, "no such model")
        key("Escape")
        click(main, *SAVE_BUTTON)
        box = one_window("the error box", name="tarvidon", timeout=10)
        key("Return")
        wait_for("the error box to close", lambda: not box.viewable(), 10)
        results.check(name, sorted(os.listdir(work)) == before, f"files {sorted(os.listdir(work))}")
    results.case(name, body)


def shot_path(shots, name):
    """Where a picture taken at the current scaling goes."""
    return os.path.join(shots, f"{name}-{round(96 * scale)}dpi.png")


def check_model_list(results, main, shots):
    name = "the model list shows and hides with its button"
    def body():
        click(main, *MODEL_LIST_BUTTON)
        window = one_window("the model list", name=MODEL_LIST_TITLE, timeout=10)
        run("import", "-silent", "-window", window.id, shot_path(shots, "wine-model-list"))
        click(main, *MODEL_LIST_BUTTON)
        wait_for("the model list hidden", lambda: not window.viewable(), 10)
        results.check(name, True)
    results.case(name, body)


def show_image_view(results, main):
    name = "the image view shows with its button, under its first caption"
    def body():
        click(main, *IMAGE_VIEW_BUTTON)
        view = one_window("the image view", IMAGE_VIEW_SIZE, name=IMAGE_VIEW_TITLE, timeout=10)
        # Its fixed place covers the main window's buttons on this screen:
        # moved aside, as a person would drag it.
        run("xdotool", "windowmove", "--sync", view.id, str(1900 - scaled(IMAGE_VIEW_SIZE)[0]), "60")
        results.check(name, True)
    results.case(name, body)


def hide_image_view(results, main, shots):
    name = "the image view hides with its button"
    def body():
        view = one_window("the image view", IMAGE_VIEW_SIZE, timeout=10)
        run("import", "-silent", "-window", view.id, shot_path(shots, "wine-image-view"))
        click(main, *IMAGE_VIEW_BUTTON)
        wait_for("the image view hidden", lambda: not view.viewable(), 10)
        results.check(name, True)
    results.case(name, body)


def check_busy_notice(results, main, big_file, shots):
    name = "the busy notice is painted while a large file opens through the open button and the file dialog"
    def body():
        before = {window.id for window in wine_windows()}
        click(main, *OPEN_BUTTON)
        dialog = wait_for("the file dialog", lambda: next(
            (window for window in wine_windows() if window.id not in before), None), 30)
        run("xdotool", "windowfocus", "--sync", dialog.id)
        type_text(big_file)  # the dialog opens in the program's folder
        wait_until_settled(dialog, f"{big_file} typed")
        key("Return")
        notice = one_window("the busy notice", NOTICE_SIZE, timeout=20)
        shot = shot_path(shots, "wine-busy-notice").replace(".png", ".xwd")
        grab_screen(shot)
        if not notice.viewable():
            raise Failure("the load ended before the screen was read: use a larger file")
        share = colour_share(shot, notice.geometry(), NOTICE_GREEN)
        caption = notice.property("_NET_WM_NAME")
        run("convert", shot, shot_path(shots, "wine-busy-notice"))
        wait_for("the load to end", lambda: not notice.viewable(), 120)
        results.check(name, share > 0.5, f"{share:.0%} of the notice is green, in {shot}")
        results.check("the busy notice's caption is empty", caption == "", f"_NET_WM_NAME {caption!r}")
    results.case(name, body)


PROGRAM = "C:\\Program Files\\tarvidon\\tarvidon.exe"


def start_program(wine, locale=None):
    """The installed program, its main window given the keyboard, with the
    sample open."""
    program = wine.start(PROGRAM, cwd=os.path.join(wine.drive_c, "work"), locale=locale)
    main = one_window("the installed program's main window", MAIN_SIZE, name="Тарвидон")
    run("xdotool", "windowactivate", "--sync", main.id)
    type_into(main, FILE_FIELD, "C:\\catalogue.dat")
    key("Return")
    return program, main


def check_dump_drop(results, main, args, log):
    """A dump dragged from an X program onto the image view selects the
    record that holds it: Wine passes the drop on as Windows's own."""
    name = "a dump dropped on the image view from an X program selects the record that holds it"
    def body():
        dump = os.path.join(args.work, "dump.BIN")
        run(args.cli, "export", args.sample, "--index", "18", "-o", dump)
        model = list(csv.reader(io.StringIO(run(args.cli, "identify", args.sample, dump, "--format", "csv"))))[-1][3]
        click(main, *IMAGE_VIEW_BUTTON)
        view = one_window("the image view", IMAGE_VIEW_SIZE, timeout=10)
        run("xdotool", "windowmove", "--sync", view.id, str(1900 - scaled(IMAGE_VIEW_SIZE)[0]), "60")
        drag_file(dump, view, log)
        wait_for(f"the caption {model}", lambda: view.property("WM_NAME") == model, 10)
        click(main, *IMAGE_VIEW_BUTTON)
        wait_for("the image view hidden", lambda: not view.viewable(), 10)
        results.check(name, True)
    results.case(name, body)


def check_look(results, main, shots, what):
    shot = shot_path(shots, "wine-main-window")
    run("xdotool", "mousemove", "--sync", "0", "0")  # no button drawn as hovered
    wait_until_settled(main, "the buttons drawn as the pointer left them")
    run("import", "-silent", "-window", main.id, shot)
    for check in caption_checks(shot, what):
        results.check(*check)


def drive_program(results, wine, args):
    work = os.path.join(wine.drive_c, "work")
    shutil.copy(args.sample, os.path.join(wine.drive_c, "catalogue.dat"))
    program, main = start_program(wine)
    try:
        results.check("the installed program starts into its main window", True)
        show_image_view(results, main)
        select(results, main, MODEL_FIELD, "ab", "AB")  # ABC comes first sorted, AB last in the file
        check_save(results, main, work, "31000401_AB.BIN", "31000401")
        select(results, main, PRODUCT_FIELD, "a0b0", "Zenith 200")
        check_failed_save(results, main, work)
        hide_image_view(results, main, args.shots)  # which may cover the main window
        check_dump_drop(results, main, args, wine.log)
        check_look(results, main, args.shots, "at 96 dpi")
        check_model_list(results, main, args.shots)
        check_busy_notice(results, main, args.big_file, args.shots)
    finally:
        end_process(program)


def look_at_scale(results, wine, args, dpi, locale):
    """The windows at another of Windows's scalings, in another locale:
    every caption of the main window whole, and pictures of all four."""
    global scale
    wine.set_dpi(dpi)
    scale = dpi / 96
    program, main = start_program(wine, locale)
    try:
        show_image_view(results, main)
        select(results, main, MODEL_FIELD, "ab", "AB")
        hide_image_view(results, main, args.shots)
        check_look(results, main, args.shots, f"at {dpi} dpi in {locale}")
        check_model_list(results, main, args.shots)
        check_busy_notice(results, main, args.big_file, args.shots)
    finally:
        end_process(program)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--setup", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--generator", required=True)
    parser.add_argument("--sample", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--shots", required=True)
    parser.add_argument("--cli", required=True)
    args = parser.parse_args()
    os.makedirs(args.shots, exist_ok=True)
    os.environ["LC_ALL"] = "C.UTF-8"  # window names read back as UTF-8
    log = open(os.path.join(args.work, "wine.log"), "ab")
    results = Results(args.shots)
    started = time.monotonic()
    window_manager = WindowManager(args.work, log)
    wine = Wine(os.path.join(args.work, "prefix"), log)
    # 1 GiB in a thousand records, so that the load outlasts a screen dump.
    args.big_file = "large.dat"
    os.makedirs(os.path.join(wine.drive_c, "work"))
    run(args.generator, "synthetic", os.path.join(wine.drive_c, "work", args.big_file), "1000", "1073741")
    try:
        check_install(results, wine, args.setup, args.version)
        results.case("the installed program", lambda: drive_program(results, wine, args))
        results.case("the installed program at 144 dpi in Russian",
                     lambda: look_at_scale(results, wine, args, 144, "ru_RU.UTF-8"))
        check_uninstall(results, wine)
    finally:
        wine.stop()
        window_manager.stop()
    return summary(results, "smoke under Wine", started)


if __name__ == "__main__":
    exit_with(main)
