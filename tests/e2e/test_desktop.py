"""End-to-end tests of the window on the desktops players have."""

import os
import subprocess
import time
import unittest

from Xlib import display as xdisplay

from game_driver import (BINARY, LAUNCHER, GameTest, cardinals, counting_swaps, end_wine_session, eventually,
                         image_stat, managed, picture_size, start_window_manager, through_a_file, windows_tool)

# A box at the lowest place a box can spawn, where a task bar would hide it.
LOW_BOX = (600, 735)
LOW_BOX_SAVE = '{"boxes":[{"x":600.0,"y":735.0}],"money":0}'


class DesktopTest(GameTest):
    def assert_broke(self, game, x=600.0, y=735.0):  # within the couple of seconds a change takes to be saved
        def broke():
            board = game.board()
            return {"x": x, "y": y} not in board.get("boxes", []) and any(
                spider["stage"] == 1 for spider in board.get("spiders", []))
        self.assertTrue(eventually(broke, 10), "the box did not break: %r" % game.board())


class SmallScreen(DesktopTest):
    def test_the_window_fits_a_laptop_screen_and_its_bottom_edge_can_be_played(self):
        small = self.own_screen("1366x768")
        if LAUNCHER:
            # A Wine session lives on one display: a game on another display than its session's desktop
            # sometimes died of an X error in Wine's X11 driver as its window closed. This one gets its own.
            end_wine_session()
            self.addCleanup(end_wine_session)
        bottom = 800 - picture_size()[1] - 1
        game = self.game(small, save='{"boxes":[{"x":300.0,"y":%r}],"money":0}' % bottom).start().find_window()
        _, y, window_width, window_height = game.geometry()
        self.assertEqual(window_width, window_height)
        self.assertTrue(0 <= y and y + window_height <= 768, "the window spans %d to %d" % (y, y + window_height))
        if not LAUNCHER:  # with no window manager, no room is kept for a frame
            self.assertEqual(game.geometry(), (299, 0, 768, 768), "the whole height, centred")
        game.break_box(300, bottom)
        self.assertEqual(game.close(), 0, game.stderr())
        self.assert_broke(game, 300.0, bottom)


@unittest.skipIf(LAUNCHER, "the X11 window managers and resources")
class LinuxDesktop(DesktopTest):
    def test_under_a_window_manager_with_a_task_bar_the_board_lies_in_the_work_area(self):
        screen = self.own_screen("1366x768")
        start_window_manager(self, screen)
        left, top, width, height = cardinals(screen, "_NET_WORKAREA")[:4]
        self.assertLess(height, 768, "icewm's task bar takes part of the screen")

        game = self.game(screen, save=LOW_BOX_SAVE).start().find_window()
        x, y, side, side_y = game.geometry()
        frame_left, frame_right, frame_top, frame_bottom = cardinals(screen, "_NET_FRAME_EXTENTS", game.window)
        self.assertEqual(side, side_y)
        self.assertTrue(left <= x - frame_left and x + side + frame_right <= left + width
                        and top <= y - frame_top and y + side + frame_bottom <= top + height,
                        "framed, the window leaves the work area")
        self.assertEqual(side, min(800, height - frame_top - frame_bottom), "as large as fits")
        self.assertEqual(game.icon_sizes(), [(16, 16), (32, 32), (48, 48), (256, 256)])
        game.break_box(*LOW_BOX)
        self.assert_broke(game)

    def test_at_200_percent_after_a_window_manager_crashed_the_window_is_1600_pixels_and_plays_alike(self):
        screen = self.own_screen("3200x1800")
        # Its check property stays on the root, naming a window that is gone.
        start_window_manager(self, screen).kill()
        self.assertTrue(eventually(lambda: not managed(screen), 10, step=0.1), "icewm did not end")
        subprocess.run(["xrdb", "-nocpp", "-merge"], input="Xft.dpi: 192\n", text=True, check=True,
                       env=dict(os.environ, DISPLAY=screen.name))
        game = self.game(screen, save=LOW_BOX_SAVE).start().find_window()
        self.assertEqual(game.geometry()[2:], (1600, 1600))
        game.break_box(*LOW_BOX)
        self.assertEqual(game.close(), 0, game.stderr())
        self.assert_broke(game)

    def test_under_twm_the_whole_frame_is_on_the_screen_and_the_bottom_box_breaks(self):
        # twm draws a title bar but tells nothing of it, as managers before EWMH do.
        screen = self.own_screen("1366x768")
        start_window_manager(self, screen, "twm")
        game = self.game(screen, save=LOW_BOX_SAVE).start().find_window()
        connection = xdisplay.Display(screen.name)
        self.addCleanup(connection.close)
        frame = inner = connection.create_resource_object("window", game.window)
        while frame.query_tree().parent != connection.screen().root:
            frame = frame.query_tree().parent
        outer = frame.get_geometry()
        self.assertGreater(outer.height, inner.get_geometry().height, "no title bar")
        # twm tells nothing of its frame and puts it by its inside corner: the
        # game measures it, and the whole frame, title bar and border included,
        # is on the screen, as high as the screen allows.
        border = outer.border_width
        self.assertTrue(0 <= outer.x and outer.x + outer.width + 2 * border <= 1366
                        and 0 <= outer.y and outer.y + outer.height + 2 * border <= 768,
                        "the frame runs off the screen: %r" % outer)
        self.assertGreaterEqual(outer.y + outer.height + 2 * border, 767, "room left unused below")
        side = game.geometry()[2]
        self.assertGreater(image_stat(game.screenshot(), "mean", crop=(40, 40, side - 40, side - 40)), 0.05,
                           "the board does not reach the window's corner")
        game.break_box(*LOW_BOX)
        self.assert_broke(game)

    def test_a_minimized_game_draws_nothing_earns_on_and_shows_the_board_when_restored(self):
        screen = self.own_screen("1024x1024")
        manager = start_window_manager(self, screen)  # icewm iconifies windows
        # Twenty stage-5 spiders: each steps at least once in any 5 s, and earns 25.
        spiders = ",".join('{"stage":5,"x":%d.0,"y":%d.0}' % (150 + 100 * (i % 5), 150 + 100 * (i // 5))
                           for i in range(20))
        game = self.game(screen, save='{"money":0,"spiders":[%s]}' % spiders)
        swaps = counting_swaps(game)
        game.start().find_window()
        game.xdotool("windowminimize", str(game.window))
        self.assertTrue(eventually(lambda: cardinals(screen, "WM_STATE", game.window)[:1] == [3], 5, step=0.05),
                        "icewm did not iconify the window")
        time.sleep(0.5)  # a frame already decided when the window went may still be shown
        drawn = swaps()
        # New boxes are saved at once, wandering within 30 s, by a loop that
        # wakes while minimized: the file shows the board earning meanwhile.
        money = game.board()["money"]
        self.assertTrue(eventually(lambda: game.board()["money"] >= money + 20 * 25 * 2, 35, step=0.2),
                        "no save of a minimized board's earnings")
        self.assertEqual(cardinals(screen, "WM_STATE", game.window)[:1], [3], "restored too early")
        self.assertEqual(swaps() - drawn, 0, "frames drawn while minimized")

        game.frames.after(lambda: game.xdotool("windowactivate", str(game.window)), "the restore")
        self.assertGreater(image_stat(game.screenshot("restored.png"), "mean"), 0.05, "no board shown")

        # A window manager that dies while the game is minimized maps the
        # window back and leaves WM_STATE Iconic: the game draws again.
        game.xdotool("windowminimize", str(game.window))
        self.assertTrue(eventually(lambda: cardinals(screen, "WM_STATE", game.window)[:1] == [3], 5, step=0.05))
        manager.kill()
        manager.wait()
        drawn = swaps()
        self.assertTrue(eventually(lambda: swaps() > drawn, 10, step=0.05), "no frame once the window was back")
        self.assertEqual(game.close(), 0, game.stderr())


@unittest.skipUnless(LAUNCHER, "Wine's desktop and scale")
class WineDesktop(DesktopTest):
    def test_in_wines_desktop_with_a_task_bar_the_board_lies_in_the_work_area(self):
        screen = self.own_screen("1366x768")
        game = self.game(screen, save=LOW_BOX_SAVE)
        self.addCleanup(end_wine_session)
        game.process = subprocess.Popen(
            LAUNCHER + ["explorer", "/desktop=shell,1366x768", BINARY], cwd=game.folder,
            env=dict(os.environ, DISPLAY=screen.name), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Asked from inside the same desktop, once it is up (a program that
        # comes first would open the desktop itself and keep it).
        self.assertTrue(eventually(lambda: game.xdotool("search", "--name", "Wine desktop", check=False), 30),
                        "no Wine desktop")
        x, y, width, height, left, top, right, bottom, dpi = self.client_rect_of(screen, game)
        self.assertEqual((width, dpi), (height, 96))
        self.assertLess(bottom, 768, "the task bar takes part of the screen")
        self.assertTrue(left <= x and x + width <= right and top <= y and y + height <= bottom,
                        "client %r inside the work area %r" % ((x, y, width, height), (left, top, right, bottom)))
        # Moved to a monitor of another scale, Windows suggests the same look there: 1200 px from (100, 10).
        # The window is placed as at the start, centred near there instead. (Wine draws every frame at one
        # scale: the message tells the one it has.)
        moved = self.client_rect_of(screen, game, "96", "100", "10", "1310", "1260")
        self.assertEqual(moved[1:4], [y, width, height])
        self.assertLessEqual(abs(moved[0] + width / 2 - 705), 2, "centred near (705, 635)")
        # Dragged there, it keeps the top Windows suggests, under the pointer
        dragged = self.client_rect_of(screen, game, "96", "100", "10", "1310", "1260", "drag")
        self.assertEqual(dragged[:4], [moved[0], y + 10, width, height])
        x, y = self.client_rect_of(screen, game)[:2]  # once the move has ended, where the window stays
        box_width, box_height = picture_size()
        at = (str(int(x + (LOW_BOX[0] + box_width / 2) * width / 800)),
              str(int(y + (LOW_BOX[1] + box_height / 2) * height / 800)))
        for _ in range(3):
            game.xdotool("mousemove", *at, "sleep", "0.1", "mousedown", "1", "sleep", "0.1", "mouseup", "1",
                         "sleep", "0.1")
        self.assert_broke(game)

    def client_rect_of(self, screen, game, *message):
        """What client_rect reports, asked from inside the Wine desktop. The
        window shows where SFML makes it before the game places it: read until
        two readings a second apart agree."""
        report, found = game.path("client_rect.txt"), [None]

        def settled():
            subprocess.Popen(LAUNCHER + ["explorer", "/desktop=shell,1366x768", windows_tool("client_rect"),
                                         "Z:" + report, *message],
                             env=dict(os.environ, DISPLAY=screen.name),
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(1)
            found.append(game.read("client_rect.txt").split() if os.path.exists(report) else [])
            return len(found[-1]) == 9 and found[-1] == found[-2]
        self.assertTrue(eventually(settled, 30, step=0), "the game's window never showed: %r" % found[-1])
        return [int(value) for value in found[-1]]

    def test_at_144_dpi_the_window_is_1200_pixels_and_plays_alike(self):
        screen = self.own_screen("1920x1440")
        env, key = dict(os.environ, DISPLAY=screen.name), r"HKCU\Control Panel\Desktop"
        reg = LAUNCHER + ["reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/f", "/d"]
        before = through_a_file(LAUNCHER + ["reg", "query", key, "/v", "LogPixels"], env=env).split()
        self.addCleanup(end_wine_session)
        if "LogPixels" in before:
            self.addCleanup(through_a_file, reg + [str(int(before[before.index("LogPixels") + 2], 16))], env=env)
        else:
            self.addCleanup(through_a_file, LAUNCHER + ["reg", "delete", key, "/v", "LogPixels", "/f"], env=env)
        through_a_file(reg + ["144"], env=env)

        game = self.game(screen, save=LOW_BOX_SAVE).start().find_window()
        self.assertEqual(game.geometry()[2:], (1200, 1200))
        game.break_box(*LOW_BOX)
        self.assert_broke(game)


if __name__ == "__main__":
    unittest.main()
