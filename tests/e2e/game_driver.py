"""Runs the built game in a real X window on a private Xvfb and drives it the
way a player would: xdotool for the mouse, a WM_DELETE_WINDOW client message
for the close button, ImageMagick for screenshots."""

import json
import os
import shutil
import subprocess
import tempfile
import time

from Xlib import X, display as xdisplay, protocol

BINARY = os.environ.get("TANGLEROOT_BINARY", "")
ASSETS = os.environ.get("TANGLEROOT_ASSETS", "")
# What runs the binary: nothing for the Linux game, "wine" for the Windows one.
LAUNCHER = os.environ.get("TANGLEROOT_LAUNCHER", "").split()


class VirtualScreen:
    """A private Xvfb; -noreset keeps it up between games."""

    def __init__(self, size="1024x1024"):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-noreset", "-nolisten", "tcp",
             "-screen", "0", size + "x24"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            self.name = ":" + numbers.readline().strip()

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


def mentions_path(message, folder, relative):
    """Whether an error message names `relative` inside `folder` (as a Windows
    path under Wine, where the folder shows as Z:\\tmp\\...)."""
    if LAUNCHER:
        return os.path.basename(folder) in message and os.path.basename(relative) in message
    return os.path.join(folder, relative) in message


def picture_size(name):
    """Width and height of a game picture, as drawn on the board (scale 0.25)."""
    out = subprocess.run(["identify", "-format", "%w %h", os.path.join(ASSETS, "textures", name + ".png")],
                         check=True, capture_output=True, text=True).stdout.split()
    return int(out[0]) / 4, int(out[1]) / 4


class Game:
    """One run of the game in a scratch working folder holding a copy of assets/."""

    def __init__(self, screen, leave_out=(), save=None):
        self.screen = screen
        self.folder = tempfile.mkdtemp(prefix="tangleroot-e2e-")
        shutil.copytree(ASSETS, os.path.join(self.folder, "assets"))
        for path in leave_out:
            target = os.path.join(self.folder, path)
            if os.path.isdir(target):
                shutil.rmtree(target)
            else:
                os.remove(target)
        if save is not None:
            self.write("save.json", save)
        self.process = None
        self.window = None
        self.scale = 1.0  # window pixels per board unit
        self.stderr_path = os.path.join(self.folder, "stderr.txt")

    # ---- files in the working folder
    def path(self, name):
        return os.path.join(self.folder, name)

    def write(self, name, text):
        with open(self.path(name), "w") as out:
            out.write(text)

    def read(self, name):
        with open(self.path(name)) as text:
            return text.read()

    def board(self):
        return json.loads(self.read("save.json"))

    def stderr(self):
        with open(self.stderr_path) as text:
            return text.read()

    # ---- the process and its window
    def start(self, display=True):
        env = dict(os.environ, DISPLAY=self.screen.name)
        if not display:
            del env["DISPLAY"]
        if os.environ.get("TANGLEROOT_GAME_PRELOAD"):
            env["LD_PRELOAD"] = os.environ["TANGLEROOT_GAME_PRELOAD"]
        with open(self.stderr_path, "w") as err:
            self.process = subprocess.Popen(LAUNCHER + [BINARY], cwd=self.folder, env=env,
                                            stdout=subprocess.DEVNULL, stderr=err)
        return self

    def wait(self, timeout):
        return self.process.wait(timeout=timeout)

    def find_window(self, timeout=20):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if self.process.poll() is not None:
                raise AssertionError("the game ended before its window showed: " + self.stderr())
            found = self.xdotool("search", "--onlyvisible", "--name", "^Tangleroot$", check=False)
            if found:
                self.window = int(found.split()[0])
                break
            time.sleep(0.05)
        else:
            raise AssertionError("no window titled Tangleroot")
        # A player sees the board before touching anything.
        while time.monotonic() < end:
            if image_stat(self.screenshot("first.png"), "mean") > 0.05:
                self.scale = self.geometry()[2] / 800
                return self.window
            time.sleep(0.05)
        raise AssertionError("the window never showed a picture")

    def geometry(self):
        out = self.xdotool("getwindowgeometry", "--shell", str(self.window))
        values = dict(line.split("=") for line in out.split())
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def window_class(self):
        """The class part of the window's WM_CLASS, which docks match to menu entries."""
        connection = xdisplay.Display(self.screen.name)
        wm_class = connection.create_resource_object("window", self.window).get_wm_class()
        connection.close()
        return wm_class[1] if wm_class else None

    def icon_sizes(self):
        """The sizes of the icons the window offers the window manager (_NET_WM_ICON)."""
        connection = xdisplay.Display(self.screen.name)
        window = connection.create_resource_object("window", self.window)
        prop = window.get_full_property(connection.intern_atom("_NET_WM_ICON"), X.AnyPropertyType)
        connection.close()
        values, sizes = list(prop.value) if prop else [], []
        while len(values) >= 2:  # width, height, then width x height pixels, repeated
            width, height = values[0], values[1]
            sizes.append((width, height))
            values = values[2 + width * height:]
        return sizes

    def xdotool(self, *args, check=True):
        result = subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=self.screen.name),
                                capture_output=True, text=True)
        if check and result.returncode != 0:
            raise AssertionError("xdotool %s failed: %s" % (args, result.stderr))
        return result.stdout.strip()

    # ---- the player's mouse: the game reads the pointer once per frame, so
    # let a frame pass between moving and pressing
    def move(self, x, y):
        """To the board point (x, y)."""
        self.xdotool("mousemove", "--window", str(self.window), str(int(x * self.scale)),
                     str(int(y * self.scale)))
        time.sleep(0.08)

    def press(self, button=1):
        self.xdotool("mousedown", str(button))
        time.sleep(0.08)

    def release(self, button=1):
        self.xdotool("mouseup", str(button))
        time.sleep(0.08)

    def click(self, x, y, button=1):
        self.move(x, y)
        self.press(button)
        self.release(button)

    def drag(self, start, end, button=1):
        self.move(*start)
        self.press(button)
        steps = 6
        for i in range(1, steps + 1):
            self.move(start[0] + (end[0] - start[0]) * i / steps, start[1] + (end[1] - start[1]) * i / steps)
        self.release(button)

    def screenshot(self, name="shot.png"):
        """The window's picture, cut out of the screen."""
        x, y, width, height = self.geometry()
        whole = self.path("screen.png")
        subprocess.run(["import", "-display", self.screen.name, "-window", "root", whole], check=True)
        subprocess.run(["convert", whole, "-crop", "%dx%d+%d+%d" % (width, height, x, y), "+repage",
                        self.path(name)], check=True)
        return self.path(name)

    def close(self, timeout=10):
        """Presses the window's close button (WM_DELETE_WINDOW) and waits for the end."""
        self.send_close_request()
        return self.process.wait(timeout=timeout)

    def send_close_request(self):
        connection = xdisplay.Display(self.screen.name)
        window = connection.create_resource_object("window", self.window)
        protocols = connection.intern_atom("WM_PROTOCOLS")
        delete = connection.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                             data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(event, event_mask=X.NoEventMask)
        # A round trip, so the server has handled the request before the
        # connection closes (a flush alone can lose it to the disconnect).
        connection.sync()
        connection.close()

    def break_box(self, x, y):
        """Three clicks on the box whose top-left corner is (x, y)."""
        width, height = picture_size("box_damage_0")
        for _ in range(3):
            self.click(x + width / 2, y + height / 2)

    def another_copy(self):
        """A second game started in the same folder."""
        other = Game.__new__(Game)
        other.screen, other.folder, other.window = self.screen, self.folder, None
        other.stderr_path = self.path("stderr-2.txt")
        return other.start()

    def end_session(self):
        """Windows only: logoff or shutdown, as wineboot plays it."""
        env = dict(os.environ, DISPLAY=self.screen.name)
        subprocess.run(LAUNCHER + ["wineboot", "--end-session"], env=env, check=True, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def frames_drawn(self, seconds):
        """How many times the window's picture changed in `seconds`, counted
        through the X server's DAMAGE extension."""
        from Xlib.ext import damage
        connection = xdisplay.Display(self.screen.name)
        window = connection.create_resource_object("window", self.window)
        connection.damage_query_version()
        report = window.damage_create(damage.DamageReportNonEmpty)
        connection.sync()
        frames, end = 0, time.monotonic() + seconds
        while time.monotonic() < end:
            while connection.pending_events():
                if type(connection.next_event()).__name__ == "DamageNotify":
                    frames += 1
                    connection.damage_subtract(report)
            time.sleep(0.002)
        connection.close()
        return frames

    def cpu_seconds(self):
        with open("/proc/%d/stat" % self.process.pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        ticks = os.sysconf("SC_CLK_TCK")
        return (int(fields[11]) + int(fields[12])) / ticks

    def cpu_share(self, seconds):
        """The share of one core the game uses over `seconds` (Linux game only)."""
        cpu_before, wall_before = self.cpu_seconds(), time.monotonic()
        time.sleep(seconds)
        return (self.cpu_seconds() - cpu_before) / (time.monotonic() - wall_before)

    def clean_up(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        shutil.rmtree(self.folder, ignore_errors=True)


def image_stat(path, expression, crop=None):
    """An ImageMagick fx value (for example minima or mean) of a picture or a part of it."""
    args = ["convert", path]
    if crop:
        args += ["-crop", "%dx%d+%d+%d" % crop, "+repage"]
    args += ["-colorspace", "gray", "-format", "%[fx:" + expression + "]", "info:"]
    return float(subprocess.run(args, check=True, capture_output=True, text=True).stdout)


def difference(path_a, path_b, crop=None):
    """Root-mean-square difference of two pictures of one size (or of the same
    part of both), 0 to 1."""
    if crop:
        cut = []
        for path in (path_a, path_b):
            cut.append(path + ".part.png")
            subprocess.run(["convert", path, "-crop", "%dx%d+%d+%d" % crop, "+repage", cut[-1]], check=True)
        path_a, path_b = cut
    result = subprocess.run(["compare", "-metric", "RMSE", path_a, path_b, "null:"],
                            capture_output=True, text=True)
    return float(result.stderr.split("(")[1].rstrip(")"))
