"""End-to-end tests under GNOME's compositor, mutter, whose Xwayland keeps a minimized window mapped."""

import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

from game_driver import LAUNCHER, GameTest, counting_swaps, eventually

# Asked through X's own tools: python-xlib keeps one table of extension events for every display, and
# Xwayland's numbering breaks it for the Xvfb displays of the tests after.


class XwaylandScreen:
    """The X display of a headless mutter, which names it in its log."""

    def __init__(self, test, size="1366x768"):
        if os.stat("/tmp/.X11-unix").st_mode & 0o777 != 0o777 and os.geteuid() == 0:
            os.chmod("/tmp/.X11-unix", 0o1777)  # the mode X servers give it, which some sandboxes narrow
        if os.stat("/tmp/.X11-unix").st_mode & 0o777 != 0o777:
            raise AssertionError("mutter starts Xwayland only where /tmp/.X11-unix is world-writable (chmod 1777)")
        self.runtime = tempfile.mkdtemp(prefix="mutter-run-")
        test.addCleanup(shutil.rmtree, self.runtime, True)
        self.log = os.path.join(self.runtime, "mutter.log")
        with open(self.log, "w") as log:
            test.spawn(["dbus-run-session", "--", "mutter", "--wayland", "--headless", "--virtual-monitor", size],
                       env=dict(os.environ, XDG_RUNTIME_DIR=self.runtime), stdout=log, stderr=subprocess.STDOUT,
                       start_new_session=True)
        self.name = None
        if not eventually(self.ready, 30, step=0.1):
            with open(self.log) as log:
                raise AssertionError("mutter's Xwayland did not start: " + log.read())

    def ready(self):
        with open(self.log) as log:
            named = re.search(r"Using public X11 display (:\d+)", log.read())
        auth = [name for name in os.listdir(self.runtime) if name.startswith(".mutter-Xwaylandauth")]
        if not named or not auth:
            return False
        self.name = named.group(1)
        os.environ["XAUTHORITY"] = os.path.join(self.runtime, auth[0])
        return self.run("xprop", "-root", "_NET_SUPPORTED").returncode == 0

    def run(self, *args):
        return subprocess.run(args, env=dict(os.environ, DISPLAY=self.name), capture_output=True, text=True)


def mapped_and_hidden(screen, window):
    """Whether `window` is still mapped, and whether the window manager calls it minimized."""
    mapped = "IsViewable" in screen.run("xwininfo", "-id", str(window)).stdout
    states = screen.run("xprop", "-id", str(window), "WM_STATE", "_NET_WM_STATE").stdout
    return mapped, "Iconic" in states or "_NET_WM_STATE_HIDDEN" in states


@unittest.skipIf(LAUNCHER or not shutil.which("mutter"), "mutter runs the Linux game")
class Mutter(GameTest):
    def setUp(self):
        authority = os.environ.get("XAUTHORITY")
        self.addCleanup(lambda: os.environ.update(XAUTHORITY=authority) if authority
                        else os.environ.pop("XAUTHORITY", None))

    def test_a_minimized_game_draws_nothing_though_mutter_keeps_its_window_mapped(self):
        screen = XwaylandScreen(self)
        # Twenty stage-5 spiders: a game that thinks itself shown draws a step of theirs within 5 s.
        spiders = ",".join('{"stage":5,"x":%d.0,"y":%d.0}' % (150 + 100 * (i % 5), 150 + 100 * (i // 5))
                           for i in range(20))
        game = self.game(screen, save='{"money":0,"spiders":[%s]}' % spiders)
        swaps = counting_swaps(game)
        game.start()
        # Xwayland shows no root window to take a picture of: the first frame is a swap.
        self.assertTrue(eventually(lambda: game.windows_titled_tangleroot() - game.older_windows, 20, step=0.05),
                        "no window titled Tangleroot: " + game.stderr())
        game.window = (game.windows_titled_tangleroot() - game.older_windows).pop()
        self.assertTrue(eventually(lambda: os.path.exists(game.path(game.aside + "/swaps")) and swaps() > 0, 20,
                                   step=0.05), "no first frame")
        game.xdotool("windowminimize", str(game.window))
        self.assertTrue(eventually(lambda: mapped_and_hidden(screen, game.window)[1], 5, step=0.05),
                        "mutter did not minimize the window")
        self.assertTrue(mapped_and_hidden(screen, game.window)[0], "mutter unmapped the window: this test shows nothing")
        time.sleep(0.5)  # a frame on its way as the window went
        drawn = swaps()
        time.sleep(6)
        self.assertTrue(mapped_and_hidden(screen, game.window)[1], "restored too early")
        self.assertEqual(swaps() - drawn, 0, "frames drawn while minimized")

        game.xdotool("windowactivate", str(game.window))
        self.assertTrue(eventually(lambda: swaps() > drawn, 10, step=0.05), "no frame after the restore")
        game.process.terminate()  # the close button's message would take python-xlib
        self.assertEqual(game.process.wait(timeout=10), 0, game.stderr())


if __name__ == "__main__":
    unittest.main()
