"""The Linux program on a real X server: its windows, and its widgets read
back through the accessibility tree (AT-SPI), for scripts/smoke_x.py.
"""

import subprocess

import pyatspi

from smoke_tools import (MAIN_SIZE, MAIN_TITLE, TREE_LINE, Failure, Window, end_process, run, type_text, wait_for,
                         window_tree)


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
