"""What tidefill_e2e.py needs to drive the Windows build under Wine (--console wine).

Wine's console owns the pseudo-terminal: it puts it in raw mode, reads Enter as CR, and redraws
every character of output as its own screen update. Its board window is a plain X window drawn by
Wine itself (the test prefix sets the X11 driver's Decorated=N), and Direct2D paints into a child
X window that covers exactly the Win32 client area.
"""

import re
import time

ENTER = b"\r"
# Typing must wait until Wine's console has taken the terminal over (raw mode), which happens at
# its first read, after the first prompt is drawn: bytes typed earlier arrive garbled.
TERMINAL_CANONICAL = False

# Each character is drawn between "hide cursor" and "show cursor"; a blank arrives as "erase to
# end of line, cursor forward"; a line ends with CR LF, to which the terminal adds another CR.
_CURSOR_VISIBILITY = re.compile(r"\x1b\[\?25[lh]")
_BLANKS = re.compile(r"(?:\x1b\[K)?\x1b\[(\d*)C")
_LINE_END = re.compile(r"\r+\n")


def plain_text(text):
    """Wine's console output with its redrawing undone, ready for the usual escape stripping."""
    text = _CURSOR_VISIBILITY.sub("", text)
    text = _BLANKS.sub(lambda match: " " * int(match.group(1) or 1), text)
    return _LINE_END.sub("\n", text)


_TREE_CHILD = re.compile(
    r"^\s+0x[0-9a-f]+ .*?\s(\d+)x(\d+)[+-]-?\d+[+-]-?\d+\s+\+(-?\d+)\+(-?\d+)\s*$", re.MULTILINE)


def client_rect(query, timeout):
    """(x, y, width, height, info) of the client area. `query` returns `xwininfo -stats -tree`
    of the board window; the client is its only child, the surface Direct2D draws into, which
    appears shortly after the window itself."""
    deadline = time.monotonic() + timeout
    while True:
        info = query()
        children = _TREE_CHILD.findall(info)
        if len(children) == 1:
            width, height, x, y = (int(value) for value in children[0])
            return x, y, width, height, info
        if time.monotonic() > deadline:
            raise AssertionError("the window has %d child windows, expected the drawing surface"
                                 % len(children))
        time.sleep(0.05)


def window_origin(info):
    """Screen position of the outer window's corner, from the same xwininfo output."""
    return tuple(int(re.search(r"%s:\s+(-?\d+)" % name, info).group(1))
                 for name in ("Absolute upper-left X", "Absolute upper-left Y"))
