"""End-to-end tests: the built game in a real X window, driven like a player."""

import json
import math
import os
import signal
import subprocess
import tempfile
import time
import unittest

from Xlib import display as xdisplay

from game_driver import (ASSETS, BINARY, LAUNCHER, QUIET_BOARD, TWELVE_BOXES, FastMouse, GameTest, difference,
                         eventually, image_stat, picture_size, windows_tool)


class StartAndClose(GameTest):
    def test_an_unusable_save_is_kept_aside_and_a_fresh_board_shows_and_is_saved_at_the_close(self):
        bad = '{"spiders":[{"stage":99,"x":1,"y":2}],"money":5}'
        game = self.game(save=bad).start()
        began = time.monotonic()
        game.find_window()
        self.assertEqual(game.geometry()[2:], (800, 800))
        self.assertTrue(game.icon_sizes(), "the window has no icon of its own")
        time.sleep(0.5)
        shot = game.screenshot()

        # The background fills the window (two small boxes aside), and the
        # black label sits in its light top-left corner.
        background, corner = os.path.join(ASSETS, "textures", "background.png"), (150, 30, 0, 0)
        self.assertLess(difference(shot, background), 0.12)
        self.assertGreater(image_stat(background, "minima", crop=corner), 0.45)
        self.assertLess(image_stat(shot, "minima", crop=corner), 0.2)
        self.assertGreater(image_stat(shot, "mean", crop=corner), 0.45)

        started = time.monotonic()
        self.assertEqual(game.close(), 0, game.stderr())
        self.assertLess(time.monotonic() - started, 5)
        board = game.board()
        self.assertEqual(board["money"], 0)
        # A fresh board holds two boxes; the first spawn comes 5 s or more after the start.
        self.assertIn(len(board["boxes"]), (2,) if time.monotonic() - began < 5 else (2, 3))
        self.assertNotIn("spiders", board)
        width, height = picture_size()
        for box in board["boxes"]:
            self.assertTrue(0 <= box["x"] <= 800 - width and 0 <= box["y"] <= 800 - height, box)
        self.assertEqual(game.read("save.json.unusable-1"), bad)
        self.assertIn("save.json.unusable-1", game.stderr())


class CannotStart(GameTest):
    def test_a_start_without_what_the_game_needs_is_refused_in_one_line_naming_it(self):
        # Files left out, or one spoilt (its path and what it then holds); what the message names, and its words.
        cases = [
            (["assets/fonts/roboto.ttf"], None, "assets/fonts/roboto.ttf", ["font", "assets/"]),
            (["assets/textures/spider_stage_7.png"], None, "assets/textures", ['"spider_stage_7"']),
            ([], ("assets/textures/box_damage_0.png", ""), "assets/textures", ['"box_damage_0"', "cannot be loaded"]),
            ([], ("assets/fonts/roboto.ttf", "not a font"), "assets/fonts/roboto.ttf", ["font", "cannot be loaded"]),
            (["assets/textures"], None, "assets/textures", ["texture folder"]),
            (["assets"], None, "assets/textures", ["texture folder not found"]),
        ] + ([] if LAUNCHER else [([], None, None, ["DISPLAY", "needs a desktop"])])
        for leave_out, spoilt, missing, words in cases:
            with self.subTest(leave_out=leave_out, spoilt=spoilt, missing=missing):
                game = self.game(leave_out=leave_out)
                if spoilt:
                    game.write(*spoilt)
                before = set(os.listdir(game.folder))
                game.start(display=missing is not None)
                self.assertEqual(game.process.wait(timeout=30), 1)  # not an abort (-6) or a crash
                message = game.stderr()
                self.assertEqual([line.startswith("Tangleroot") for line in message.splitlines()].count(True), 1,
                                 message)
                if missing:  # under Wine, as a Windows path (Z:\tmp\...): its folder's and its file's names
                    for part in ((os.path.basename(game.folder), os.path.basename(missing)) if LAUNCHER
                                 else (game.path(missing),)):
                        self.assertIn(part, message)
                for word in words:
                    self.assertIn(word, message)
                self.assertNotIn("terminate", message)
                # Nothing at all is written in a folder that is not the game's.
                the_games = os.path.isdir(game.path("assets/textures")) and os.path.isfile(
                    game.path("assets/fonts/roboto.ttf"))
                self.assertLessEqual(set(os.listdir(game.folder)) - before, {"tangleroot.lock"} if the_games else set())


@unittest.skipIf(LAUNCHER, "the Linux menu entry")
class CannotStartFromTheMenu(GameTest):
    def test_started_as_the_menu_entry_does_a_refused_start_shows_in_a_window_until_closed(self):
        game = self.game()
        if subprocess.run(["chattr", "+i", game.folder], capture_output=True).returncode:
            self.skipTest("a folder the game cannot write needs root (chattr)")
        self.addCleanup(subprocess.run, ["chattr", "-i", game.folder])
        game.start(args=["--show-errors"])
        line = "Tangleroot cannot start: cannot make the lock file %s: " % game.path("tangleroot.lock")
        self.assertTrue(eventually(lambda: game.stderr().startswith(line), 20), game.stderr())
        found = eventually(lambda: game.xdotool("search", "--onlyvisible", "--name", "^Tangleroot cannot start$",
                                                check=False), 20)
        self.assertTrue(found, "no window tells why")
        game.window = int(game.xdotool("search", "--onlyvisible", "--name", "^Tangleroot cannot start$").split()[0])
        # Light letters on a dark band, in two lines or more: the line is laid out whole
        x, y, width, height = game.geometry()
        self.assertGreater(height, 60)
        self.assertTrue(eventually(lambda: image_stat(game.screenshot("refusal.png"), "maxima",
                                                      crop=(width, height // 2, 0, 0)) > 0.8, 10), "no letters")
        self.assertLess(image_stat(game.screenshot("refusal.png"), "mean"), 0.35, "no dark band")
        time.sleep(1)
        self.assertIsNone(game.process.poll(), "the window went before the player closed it")
        self.assertEqual(game.close(), 1)
        self.assertEqual([said.startswith("Tangleroot") for said in game.stderr().splitlines()].count(True), 1)


class Play(GameTest):
    def test_three_quick_clicks_of_any_buttons_at_one_spot_break_a_box_into_a_spider_every_time(self):
        boxes = ['{"x":412.5,"y":96.25}'] + ['{"x":%d.0,"y":700.0}' % (70 * i) for i in range(11)]
        game = self.game(save='{"boxes":[%s],"money":0}' % ",".join(boxes)).start().find_window()
        # Three clicks on a box, and the pointer on to the next at once, within
        # a frame: each press acts where it happened, not where the pointer is.
        width, height = picture_size()
        targets = [(70 * i, 700) for i in range(0, 11, 2)]
        steps = []
        for x, y in targets:
            steps += ["mousemove", "--window", str(game.window), str(int((x + width / 2) * game.scale)),
                      str(int((y + height / 2) * game.scale))]
            for button in ("1", "3", "2"):
                steps += ["mousedown", button, "mouseup", button]
        game.xdotool(*steps)
        time.sleep(0.5)
        self.assertEqual(game.close(), 0, game.stderr())
        # The boxes left standing come back byte for byte.
        kept = ",".join(boxes[:1] + boxes[2::2])
        self.assertTrue(game.read("save.json").startswith('{"boxes":[%s],"money":' % kept), game.read("save.json"))
        board = game.board()
        self.assertEqual([spider["stage"] for spider in board["spiders"]], [1] * len(targets))
        # Each where its box was, or a step or two from there.
        for spider in board["spiders"]:
            self.assertLess(min(math.hypot(spider["x"] - x, spider["y"] - y) for x, y in targets), 200, spider)


class DrawnWhenChanged(GameTest):
    def test_a_quiet_board_with_smooth_boxes_is_drawn_again_at_once_when_uncovered_or_hit_and_else_seldom(self):
        # No box comes to a board of twelve: nothing changes by itself.
        game = self.game(save=QUIET_BOARD).start().find_window()
        game.xdotool("mousemove", "0", "0")  # off the window: no entering pointer draws it
        before = game.screenshot("before.png")
        # The box's picture, box-filtered to its board size, on the background.
        width, height = (int(side) for side in picture_size())
        box, textures, expected = (width, height, 300, 300), os.path.join(ASSETS, "textures"), game.path("expected.png")
        subprocess.run(["convert", os.path.join(textures, "background.png"), "(",
                        os.path.join(textures, "box_damage_0.png"), "-filter", "box", "-resize",
                        "%dx%d" % (width, height), ")", "-geometry", "+300+300", "-composite", expected], check=True)
        # Drawn nearest-neighbour, the box's edges stair-step: about 0.04.
        self.assertLess(difference(before, expected, crop=box), 0.015)

        x, y, side, _ = game.geometry()
        connection = xdisplay.Display(game.screen.name)
        cover = connection.screen().root.create_window(x, y, side, side, 0, connection.screen().root_depth,
                                                       background_pixel=connection.screen().black_pixel,
                                                       override_redirect=True)
        cover.map()
        connection.sync()
        time.sleep(0.3)
        cover.destroy()
        connection.close()
        # Sooner than the once-a-second redraw where nothing tells of it
        self.assertTrue(eventually(lambda: difference(before, game.screenshot("after.png")) < 0.02, 0.9),
                        "the window was not drawn again")

        time.sleep(0.5)
        frames = game.frames.count(5)
        self.assertEqual(frames, 0, "%d frames in 5 s of a quiet board" % frames)
        game.move(300 + width / 2, 300 + height / 2)
        before = game.screenshot("before.png")
        pressed = time.monotonic()
        game.press()  # returns once a frame drawn after the press is on the screen
        self.assertLess(time.monotonic() - pressed, 0.5, "the press was drawn late after a long rest")
        self.assertGreater(difference(before, game.screenshot("hit.png"), crop=box), 0.02, "no hit shown")
        game.release()
        if not LAUNCHER:  # the game's user and system time
            def used():
                with open("/proc/%d/stat" % game.process.pid) as stat:
                    return sum(map(int, stat.read().rsplit(")", 1)[1].split()[11:13])) / os.sysconf("SC_CLK_TCK")
            before = used()
            time.sleep(1)
            spent = used() - before
            self.assertLess(spent, 0.1, "a quiet board used %.2f s of a core in 1 s" % spent)
        self.assertEqual(game.close(), 0, game.stderr())

    def test_wandering_spiders_keep_the_picture_changing(self):
        # 20 spiders take about 6 steps a second between them, each one drawn;
        # the once-a-second safety redraw alone would give 4 frames.
        spiders = ",".join('{"stage":%d,"x":%d.0,"y":%d.0}' % (i % 5 + 1, 150 * (i % 5), 150 * (i // 5 + 1))
                           for i in range(20))
        game = self.game(save='{"money":0,"spiders":[%s]}' % spiders).start().find_window()
        self.assertGreater(game.frames.count(4, enough=11), 10)
        self.assertEqual(game.close(), 0, game.stderr())


class NothingLost(GameTest):
    """However the game ends, the board on the disk is the one on the screen."""

    # A stage-2 spider wanders and earns, so the board is saved every couple
    # of seconds; no box spawns, which would be saved at once.
    WANDERER = '{"boxes":[%s],"money":0,"spiders":[{"stage":2,"x":600.0,"y":100.0}]}' % TWELVE_BOXES

    def end_right_after_breaking_a_box(self, end, statuses=(0,), screen=None):
        """Breaks the box at (300, 300) right after an autosave ended and ends
        the game at once: the new spider must be on the disk, and save.json
        replaced after the end was asked for. The next autosave is 1.5 s away,
        so on a machine that keeps up only the end's own save can do that; on
        one too busy to, an autosave may come first, and the board is checked
        all the same: nothing here fails for the machine's speed alone."""
        game = self.game(screen, save=self.WANDERER).start().find_window()

        def state():  # a save begins (a temporary file shows) or ends (save.json is replaced)
            return os.stat(game.path("save.json")).st_ino, [n for n in os.listdir(game.folder) if ".tmp" in n]
        first = state()  # before the hits, whose save a busy machine may make before they return
        game.hit_box(300, 300)
        game.hit_box(300, 300)
        self.assertTrue(eventually(lambda: state()[0] != first[0] or state()[1] not in ([], first[1]), 15,
                                   step=0.001), "no autosave in 15 s")
        game.press()
        game.release()
        self.assertTrue(eventually(lambda: not state()[1], 5, step=0.001), "the autosave never ended")
        before_the_end = state()[0]
        end(game)
        self.assertIn(game.process.wait(timeout=15), statuses, game.stderr())
        self.assertNotEqual(state()[0], before_the_end, "the end did not save")
        self.assert_new_spider_kept(game)
        return game

    def assert_new_spider_kept(self, game):
        board = game.board()
        self.assertEqual(board["boxes"], json.loads("[%s]" % TWELVE_BOXES)[1:])
        self.assertEqual(sorted(spider["stage"] for spider in board["spiders"]), [1, 2], board)

    def test_a_new_box_is_saved_as_soon_as_it_shows(self):
        # Eleven boxes hold the first spawn back until its delay (10 s at most) has run out and a box is
        # broken: the new box then comes on the breaking frame. The first two clicks were saved within 2 s
        # of them; the break's own save would come 1.5 s after it, the wandering spider's some 30 s later.
        eleven = TWELVE_BOXES[:TWELVE_BOXES.rindex(",{")]
        game = self.game(save=self.WANDERER.replace(TWELVE_BOXES, eleven)).start().find_window()
        started = time.monotonic()
        game.hit_box(300, 300)
        game.hit_box(300, 300)
        time.sleep(max(0, started + 10 - time.monotonic()))
        game.press()  # returns once the frame showing the new box is drawn
        kept = json.loads("[%s]" % eleven)[1:]
        self.assertTrue(eventually(lambda: game.board()["boxes"][:-1] == kept, 0.5, step=0.005),
                        "the new box was not saved within 0.5 s of showing")
        self.assertEqual(len(game.board()["spiders"]), 2)
        game.release()
        self.assertEqual(game.close(), 0, game.stderr())

    def test_end_signals_save_and_close(self):
        # Under Wine a SIGINT arrives as Ctrl+C in the console.
        for number in ((signal.SIGINT,) if LAUNCHER else (signal.SIGTERM, signal.SIGINT, signal.SIGHUP)):
            with self.subTest(signal=number):
                self.end_right_after_breaking_a_box(lambda game: game.process.send_signal(number))

    @unittest.skipIf(LAUNCHER, "an X display")
    def test_a_lost_display_saves_the_board_first(self):
        screen = self.own_screen("1024x1024")
        game = self.end_right_after_breaking_a_box(lambda game: screen.process.kill(), (1,), screen)
        self.assertIn("Tangleroot cannot go on: the connection to the X display was lost; the board was saved",
                      game.stderr())

    @unittest.skipUnless(LAUNCHER, "the end of a Windows session")
    def test_the_end_of_the_session_saves_first(self):
        self.end_right_after_breaking_a_box(lambda game: subprocess.run(
            LAUNCHER + ["wineboot", "--end-session"], env=game.env(), check=True, timeout=60,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))

    @unittest.skipUnless(LAUNCHER, "a Windows console")
    def test_closing_the_console_even_while_the_window_is_being_moved_saves_first(self):
        # While it is moved, the frame loop is held in Windows' own loop, and cannot answer.
        for how in ([], ["move"]):
            with self.subTest(how=how):
                told = tempfile.NamedTemporaryFile("w+", prefix="tangleroot-console-")
                self.addCleanup(told.close)
                # Output through a file: the Wine services a first program starts keep a pipe open.
                closer = self.spawn(LAUNCHER + [windows_tool("close_console"), os.path.basename(BINARY)] + how,
                                    env=dict(os.environ, DISPLAY=self.screen().name), stdin=subprocess.PIPE,
                                    stdout=told, stderr=subprocess.STDOUT, text=True)

                def close_the_console(game):
                    told.seek(0)
                    self.assertEqual(told.read().strip(), "found")
                    closer.stdin.write("close\n")
                    closer.stdin.flush()

                # Windows ends the game once its handler returns, unless the game ended
                # first; under Wine a program ended from outside dies of SIGKILL.
                self.end_right_after_breaking_a_box(close_the_console, statuses=(0, -signal.SIGKILL))
                self.assertEqual(closer.wait(timeout=15), 0, "the console handler did not return in time")

    @unittest.skipIf(LAUNCHER, "SIGKILL goes to Wine's loader, not to the game")
    def test_a_box_broken_two_seconds_before_the_game_is_cut_off_is_kept(self):
        # Wandering alone waits up to 30 s for its save; a break does not.
        game = self.game(save=self.WANDERER).start().find_window()
        game.break_box(300, 300)
        time.sleep(2)
        game.process.kill()
        game.process.wait(timeout=10)
        self.assert_new_spider_kept(game)

    def test_a_second_copy_in_the_same_folder_touches_nothing(self):
        game = self.game(save=QUIET_BOARD).start().find_window()
        game.write("save.json.tmp-1-0", "{")  # a save in flight in the first game
        second = self.game(folder=game.folder).start()
        self.assertEqual(second.process.wait(timeout=30), 1)
        self.assertIn("already running in this folder", second.stderr())
        self.assertEqual(game.read("save.json"), QUIET_BOARD)
        self.assertTrue(os.path.exists(game.path("save.json.tmp-1-0")))
        self.assertEqual(game.close(), 0, game.stderr())


class QuickMouse(GameTest):
    def test_after_a_second_of_moves_at_1000_a_second_a_drag_is_drawn_and_saved_in_time(self):
        # A stage-12 spider saved far off the board is brought into the corner by its first step, on the
        # first frame. It rests 1 s or more between steps of at most 50 a side: for 2 s it lies under (99, 99).
        game = self.game(save='{"boxes":[%s],"money":0,"spiders":[{"stage":12,"x":-5000.0,"y":-5000.0}]}'
                         % TWELVE_BOXES).start().find_window()
        shown = time.monotonic()
        mouse = FastMouse(game)
        self.addCleanup(mouse.connection.close)
        mouse.moves([(400 + 300 * math.cos(i / 50), 400 + 300 * math.sin(i / 50)) for i in range(1000)])
        mouse.moves([(99, 99)])
        self.assertLess(time.monotonic() - shown, 1.9, "too slow to find the spider where it lies")
        before = game.screenshot("before.png")
        mouse.button(True)
        # Then a jump, so that only the last move's frame shows the spider at (500, 399).
        last_move = mouse.moves([(99 + i, 99 + i) for i in range(1, 301)] + [(500, 399)])
        drawn = game.frames.settle(quiet=0.3)
        self.assertGreater(difference(before, game.screenshot("after.png"), crop=(50, 100, 500, 349)), 0.05,
                           "the spider is not drawn under the pointer")
        self.assertLess(drawn - last_move, 0.05, "the last move drawn %.0f ms late" % ((drawn - last_move) * 1000))

        released = mouse.button(False)

        def dropped():  # give or take a step
            spider = game.board()["spiders"][0]
            return abs(spider["x"] - 450) <= 51 and abs(spider["y"] - 349) <= 51
        self.assertTrue(eventually(dropped, 2, step=0.01), "the drop was not saved: %r" % game.board())
        self.assertLess(time.monotonic() - released, 2.6)
        self.assertEqual(game.close(), 0, game.stderr())


if __name__ == "__main__":
    unittest.main()
