"""Plays the built game in a real X window on a private Xvfb, as a player would."""

import atexit
import contextlib
import functools
import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

import Xlib.error
from Xlib import X, display as xdisplay, protocol

BINARY = os.environ.get("TANGLEROOT_BINARY", "")
ASSETS = os.environ.get("TANGLEROOT_ASSETS", "")
# What runs the binary: nothing for the Linux game, "wine" for the Windows one.
LAUNCHER = os.environ.get("TANGLEROOT_LAUNCHER", "").split()

# Boards to start from. One box at (300, 300); and twelve, the first of them there: no box spawns while there
# are more than ten, even after one is broken, so a check of the whole board cannot be upset by one coming.
ONE_BOX = '{"boxes":[{"x":300.0,"y":300.0}],"money":0}'
TWELVE_BOXES = ",".join('{"x":%d.0,"y":%d.0}' % place for place in [(300, 300)] + [(70 * i, 700) for i in range(11)])
QUIET_BOARD = '{"boxes":[%s],"money":0}' % TWELVE_BOXES
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../src/entities/Board.hpp")) as rules:
    LAST_STAGE = int(re.search(r"constexpr int lastStage = (\d+);", rules.read()).group(1))


class FrameWatcher:
    """Counts the frames the game draws into its window, as the X server's DAMAGE extension reports them."""

    def __init__(self, screen_name, window_id):
        from Xlib.ext import damage
        self.connection = xdisplay.Display(screen_name)
        window = self.connection.create_resource_object("window", window_id)
        self.connection.damage_query_version()
        self.report = window.damage_create(damage.DamageReportNonEmpty)
        self.connection.sync()

    def take(self):
        frames = 0
        while self.connection.pending_events():
            if type(self.connection.next_event()).__name__ == "DamageNotify":
                frames += 1
                self.connection.damage_subtract(self.report)
        return frames

    def count(self, seconds, enough=None, action=None):
        """The frames drawn in the next `seconds` (after `action`), or once `enough` were."""
        self.connection.sync()
        while self.take():  # what was drawn before is not counted
            self.connection.sync()
        if action:
            action()
        seen, end = 0, time.monotonic() + seconds
        while time.monotonic() < end and (enough is None or seen < enough):
            seen += self.take()
            time.sleep(0.002)
        return seen

    def after(self, action, what):
        """Runs `action`, then waits for a frame drawn after it."""
        if not self.count(15, 1, action):
            raise AssertionError("the game drew nothing in 15 s after " + what)

    def settle(self, quiet=0.1):
        """Waits until the game has drawn nothing for `quiet` seconds (a held
        spider has followed every move made so far); returns the last frame's time."""
        end, last = time.monotonic() + 15, time.monotonic()
        while time.monotonic() - last < quiet:
            if time.monotonic() > end:
                raise AssertionError("the game kept drawing for 15 s")
            self.connection.sync()
            if self.take():
                last = time.monotonic()
            time.sleep(0.001)
        return last

    def close(self):
        with contextlib.suppress(Xlib.error.ConnectionClosedError):  # a test killed the display
            self.connection.close()


class VirtualScreen:
    """A private Xvfb; -noreset keeps it up between games."""

    def __init__(self, size="1024x1024"):
        self.size = tuple(int(side) for side in size.split("x"))
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-noreset", "-nolisten", "tcp", "-screen", "0", size + "x24"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            self.name = ":" + numbers.readline().strip()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=10)


def cardinals(screen, name, window=None):
    """A property's values, of a window or of the root window."""
    connection = xdisplay.Display(screen.name)
    target = connection.create_resource_object("window", window or connection.screen().root.id)
    prop = target.get_full_property(connection.intern_atom(name), X.AnyPropertyType)
    connection.close()
    return list(prop.value) if prop else []


def picture_size(name="box_damage_0"):
    """Width and height of a game picture, as drawn on the board (scale 0.25)."""
    out = subprocess.run(["identify", "-format", "%w %h", os.path.join(ASSETS, "textures", name + ".png")],
                         check=True, capture_output=True, text=True).stdout.split()
    return int(out[0]) / 4, int(out[1]) / 4


@functools.lru_cache(maxsize=None)
def windows_tool(name):
    """The path of tests/e2e/windows/<name>.c built for Windows, once a run."""
    folder = tempfile.mkdtemp(prefix="tangleroot-windows-tools-")
    atexit.register(shutil.rmtree, folder, True)
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "windows", name + ".c")
    program = os.path.join(folder, name + ".exe")
    subprocess.run(["x86_64-w64-mingw32-gcc", "-O2", "-o", program, source, "-lgdi32"], check=True)
    return program


def end_wine_session():  # the next Wine program starts a new session on its own display
    subprocess.run(["wineserver", "-k"], check=False)


def through_a_file(args, **options):
    """What `args` print; through a file, since the Wine services a first program starts keep a pipe open."""
    with tempfile.TemporaryFile("w+") as out:
        subprocess.run(args, stdout=out, stderr=subprocess.DEVNULL, timeout=60, **options)
        out.seek(0)
        return out.read()


def as_from_a_terminal():
    """The end signals as a terminal leaves them: a test run in the background
    inherits SIGINT ignored, and the game rightly keeps an ignored signal ignored."""
    for number in (signal.SIGINT, signal.SIGHUP, signal.SIGTERM):
        signal.signal(number, signal.SIG_DFL)


class Game:
    """One run of the game in a scratch working folder (its name beyond ASCII) holding a copy of assets/."""

    frames = None  # a FrameWatcher, once the window is found
    pointer = None  # where this driver last put the pointer, in window pixels
    origin = (0, 0)  # where the board's top-left corner is drawn, in window pixels
    held = False  # whether this driver holds the first button down

    def __init__(self, screen, leave_out=(), save=None, folder=None):
        """In a fresh folder holding assets/ but `leave_out`, and `save` as save.json; or in `folder` as it is.
        Screenshots and stderr are kept aside, out of a folder that may be full or unwritable."""
        self.screen = screen
        self.own_folder = folder is None
        self.folder = folder or tempfile.mkdtemp(prefix="tangleroot-Jörg-")
        self.aside = tempfile.mkdtemp(prefix="tangleroot-aside-")
        if self.own_folder:
            shutil.copytree(ASSETS, os.path.join(self.folder, "assets"))
        for path in leave_out:
            shutil.rmtree(self.path(path)) if os.path.isdir(self.path(path)) else os.remove(self.path(path))
        if save is not None:
            self.write("save.json", save)
        self.process = self.window = None
        self.scale = 1.0  # window pixels per board unit
        self.stderr_path = os.path.join(self.aside, "stderr.txt")

    def path(self, name):
        return os.path.join(self.folder, name)  # an absolute name joins as itself

    def write(self, name, text):
        with open(self.path(name), "w") as out:
            out.write(text)

    def read(self, name):
        with open(self.path(name)) as text:
            return text.read()

    def board(self):
        return json.loads(self.read("save.json"))

    def stderr(self):
        return self.read(self.stderr_path)

    def start(self, display=True, args=()):
        # A window still open from an earlier game is never taken for this one's.
        self.older_windows = self.windows_titled_tangleroot()
        env = {name: value for name, value in self.env().items() if display or name != "DISPLAY"}
        with open(self.stderr_path, "w") as err:
            self.process = subprocess.Popen(LAUNCHER + [BINARY, *args], cwd=self.folder, env=env,
                                            stdout=subprocess.DEVNULL, stderr=err, preexec_fn=as_from_a_terminal)
        return self

    def env(self):
        env = dict(os.environ, DISPLAY=self.screen.name)
        if os.environ.get("TANGLEROOT_GAME_PRELOAD"):
            env["LD_PRELOAD"] = os.environ["TANGLEROOT_GAME_PRELOAD"]
        return env

    def find_window(self, timeout=20):
        """Waits for the game's window and its first picture; returns the game."""
        def shown():
            if self.process.poll() is not None:
                raise AssertionError("the game ended before its window showed: " + self.stderr())
            found = self.windows_titled_tangleroot() - self.older_windows
            self.window = found.pop() if found else None
            return self.window
        if not eventually(shown, timeout, step=0.05):
            raise AssertionError("no window titled Tangleroot")
        # A player sees the board before touching anything.
        if not eventually(lambda: image_stat(self.screenshot("first.png"), "mean") > 0.05, timeout, step=0.05):
            raise AssertionError("the window never showed a picture")
        self.scale = self.geometry()[2] / 800
        self.frames = FrameWatcher(self.screen.name, self.window)
        return self

    def windows_titled_tangleroot(self):
        found = self.xdotool("search", "--onlyvisible", "--name", "^Tangleroot$", check=False)
        return {int(window) for window in found.split()}

    def geometry(self):
        out = self.xdotool("getwindowgeometry", "--shell", str(self.window))
        values = dict(line.split("=") for line in out.split())
        return tuple(int(values[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))

    def icon_sizes(self):
        """The sizes of the icons the window offers the window manager (_NET_WM_ICON)."""
        values, sizes = cardinals(self.screen, "_NET_WM_ICON", self.window), []
        while len(values) >= 2:  # width, height, then width x height pixels, repeated
            sizes.append((values[0], values[1]))
            values = values[2 + values[0] * values[1]:]
        return sizes

    def xdotool(self, *args, check=True):
        result = subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=self.screen.name),
                                capture_output=True, text=True)
        if check and result.returncode != 0:
            raise AssertionError("xdotool %s failed: %s" % (args, result.stderr))
        return result.stdout.strip()

    # ---- the player's mouse. A move needs no wait: the X server hands the
    # game the events in their order, and each carries its point. A press or
    # a release waits for the frame it draws.
    def move(self, x, y):
        point = (int(self.origin[0] + x * self.scale), int(self.origin[1] + y * self.scale))
        if point != self.pointer:
            self.pointer = point
            self.xdotool("mousemove", "--window", str(self.window), *map(str, point))

    def press(self):
        self.held = True
        self.frames.after(lambda: self.xdotool("mousedown", "1"), "a press")

    def release(self):
        self.held = False
        self.frames.after(lambda: self.xdotool("mouseup", "1"), "a release")

    def drag(self, start, end):
        self.move(*start)
        self.press()
        for i in (1, 2, 3):
            self.move(start[0] + (end[0] - start[0]) * i / 3, start[1] + (end[1] - start[1]) * i / 3)
        self.frames.settle()  # frames the moves draw would pass for the release's own
        self.release()

    def screenshot(self, name="shot.png"):
        """The window's picture, cut out of the screen."""
        x, y, width, height = self.geometry()
        shot = os.path.join(self.aside, name)
        subprocess.run(["import", "-display", self.screen.name, "-window", "root",
                        "-crop", "%dx%d+%d+%d" % (width, height, x, y), "+repage", shot], check=True)
        return shot

    def notice_shown(self):
        """Whether a notice's dark band lies across the middle of the window."""
        band = (int(800 * self.scale), int(100 * self.scale), 0, int(350 * self.scale))
        return image_stat(self.screenshot("notice.png"), "mean", crop=band) < 0.35

    def close(self, timeout=10):
        """Presses the window's close button (WM_DELETE_WINDOW) and waits for the end, unless `timeout` is None."""
        connection = xdisplay.Display(self.screen.name)
        window = connection.create_resource_object("window", self.window)
        event = protocol.event.ClientMessage(window=window, client_type=connection.intern_atom("WM_PROTOCOLS"),
                                             data=(32, [connection.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime,
                                                        0, 0, 0]))
        window.send_event(event, event_mask=X.NoEventMask)
        # A round trip, so the server has handled the request before the
        # connection closes (a flush alone can lose it to the disconnect).
        connection.sync()
        connection.close()
        return None if timeout is None else self.process.wait(timeout=timeout)

    def hit_box(self, x, y):
        """A click on the middle of the box whose top-left corner is (x, y)."""
        width, height = picture_size()
        self.move(x + width / 2, y + height / 2)
        self.press()
        self.release()

    def break_box(self, x, y):
        for _ in range(3):
            self.hit_box(x, y)

    def clean_up(self):
        if self.held:  # a button left down would swallow the next game's first press
            self.xdotool("mouseup", "1", check=False)
            self.held = False
        if self.frames:
            self.frames.close()
            self.frames = None
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        if self.own_folder:
            shutil.rmtree(self.folder, ignore_errors=True)
        shutil.rmtree(self.aside, ignore_errors=True)


class GameTest(unittest.TestCase):
    """Tests that play, on one virtual screen the whole run shares or on a test's own."""

    shared_screen = None

    @classmethod
    def screen(cls):
        if GameTest.shared_screen is None:
            GameTest.shared_screen = VirtualScreen()
            atexit.register(GameTest.shared_screen.stop)
        return GameTest.shared_screen

    def own_screen(self, size):
        screen = VirtualScreen(size)
        self.addCleanup(screen.stop)
        return screen

    def game(self, on_screen=None, **options):
        game = Game(on_screen or self.screen(), **options)
        self.addCleanup(game.clean_up)
        return game

    def spawn(self, args, **options):
        """A helper program, ended with the test if it still runs."""
        process = subprocess.Popen(args, **options)
        self.addCleanup(lambda: process.poll() is None and (process.kill(), process.wait()))
        return process


def eventually(check, timeout, step=0.2):
    """Whether `check()` comes true within `timeout` seconds."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if check():
            return True
        time.sleep(step)
    return check()


def extract(crop):
    """ImageMagick's options that read only the part `crop` (width, height, x, y) of the pictures after them."""
    return ["-extract", "%dx%d+%d+%d" % crop] if crop else []


def image_stat(path, expression, crop=None, colour=False):
    """An ImageMagick fx value (minima, mean...) of the grey picture unless `colour`, or a part of it."""
    args = ["convert", *extract(crop), path] + ([] if colour else ["-colorspace", "gray"])
    return float(subprocess.run(args + ["-format", "%[fx:" + expression + "]", "info:"], check=True,
                                capture_output=True, text=True).stdout)


def difference(path_a, path_b, crop=None):
    """Root-mean-square difference of two pictures of one size (or of the same part of both), 0 to 1."""
    result = subprocess.run(["compare", "-metric", "RMSE", *extract(crop), path_a, path_b, "null:"],
                            capture_output=True, text=True)
    return float(result.stderr.split("(")[1].rstrip(")"))


class FastMouse:
    """The pointer moved 1000 times a second as a real mouse does (xdotool is far slower), and its first button
    pressed, through XTest. Each call returns the time the X server had the last of its input."""

    def __init__(self, game):
        from Xlib.ext import xtest
        self.fake_input, self.game = xtest.fake_input, game
        self.connection = xdisplay.Display(game.screen.name)
        self.origin = game.geometry()[:2]

    def moves(self, points):
        start = time.monotonic()
        for i, (x, y) in enumerate(points):
            time.sleep(max(0, start + i / 1000 - time.monotonic()))
            self.fake_input(self.connection, X.MotionNotify, x=self.origin[0] + int(x * self.game.scale),
                            y=self.origin[1] + int(y * self.game.scale))
            self.connection.flush()
        self.connection.sync()
        return time.monotonic()

    def button(self, down):
        self.game.held = down
        self.fake_input(self.connection, X.ButtonPress if down else X.ButtonRelease, 1)
        self.connection.sync()
        return time.monotonic()


def start_window_manager(test, screen, name="icewm"):
    """icewm (which iconifies windows and keeps a task bar) or another on `screen` until the test ends."""
    home = tempfile.mkdtemp(prefix="wm-home-")
    test.addCleanup(shutil.rmtree, home, True)
    manager = test.spawn([name], env=dict(os.environ, DISPLAY=screen.name, HOME=home),
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    ready = (lambda: len(cardinals(screen, "_NET_WORKAREA")) >= 4) if name == "icewm" else (lambda: managed(screen))
    if not eventually(ready, 20, step=0.1):
        raise AssertionError(name + " did not start")
    return manager


def managed(screen):
    """Whether a window manager runs on `screen`: every one redirects the root's children."""
    connection = xdisplay.Display(screen.name)
    masks = connection.screen().root.get_attributes().all_event_masks
    connection.close()
    return bool(masks & X.SubstructureRedirectMask)


def counting_swaps(game):
    """Has `game`, not yet started, count the frames it draws (its buffer swaps), which DAMAGE does not see in
    a window nobody sees. Returns a function telling how many so far."""
    path, env = os.path.join(game.aside, "swaps"), game.env()
    env.update(LD_PRELOAD=":".join(filter(None, (env.get("LD_PRELOAD"), os.environ["TANGLEROOT_SWAP_PROBE"]))),
               SWAP_COUNT_FILE=path)
    game.env = lambda: env
    return lambda: int(game.read(path).split()[0])
