"""End-to-end tests: the built game in a real X window, driven like a player."""

import json
import math
import os
import time
import unittest

from game_driver import (ASSETS, LAUNCHER, Game, VirtualScreen, difference, image_stat, mentions_path,
                         picture_size)

screen = None


def setUpModule():
    global screen
    screen = VirtualScreen()


def tearDownModule():
    screen.stop()


class GameTest(unittest.TestCase):
    def game(self, **options):
        game = Game(screen, **options)
        self.addCleanup(game.clean_up)
        return game

    def retry(self, scenario, attempts=3):
        """Runs a scenario that races the spiders' own wandering a few times;
        it must come out right at least once."""
        failures = []
        for _ in range(attempts):
            try:
                return scenario()
            except AssertionError as failure:
                failures.append(str(failure))
        self.fail("every attempt failed:\n" + "\n".join(failures))


class StartAndClose(GameTest):
    def test_window_shows_the_board_and_the_close_button_saves_and_ends(self):
        game = self.game().start()
        game.find_window()
        self.assertEqual(game.geometry()[2:], (800, 800))
        time.sleep(0.5)
        shot = game.screenshot()

        # The background fills the window (two small boxes aside) ...
        self.assertLess(difference(shot, os.path.join(ASSETS, "textures", "background.png")), 0.12)
        # ... and the black label sits in its light top-left corner.
        corner = (150, 30, 0, 0)
        background = os.path.join(ASSETS, "textures", "background.png")
        self.assertGreater(image_stat(background, "minima", crop=corner), 0.45)
        self.assertLess(image_stat(shot, "minima", crop=corner), 0.2)
        self.assertGreater(image_stat(shot, "mean", crop=corner), 0.45)

        started = time.monotonic()
        self.assertEqual(game.close(), 0)
        self.assertLess(time.monotonic() - started, 5)
        board = game.board()
        self.assertEqual(board["money"], 0)
        self.assertEqual(len(board["boxes"]), 2)
        self.assertNotIn("spiders", board)
        width, height = picture_size("box_damage_0")
        for box in board["boxes"]:
            self.assertTrue(0 <= box["x"] <= 800 - width and 0 <= box["y"] <= 800 - height, box)

    def test_a_saved_board_comes_back_byte_for_byte(self):
        saved = '{"boxes":[{"x":412.5,"y":96.25},{"x":10.0,"y":700.0}],"money":1234}'
        game = self.game(save=saved).start()
        game.find_window()
        self.assertEqual(game.close(), 0)
        self.assertEqual(game.read("save.json"), saved)

    def test_an_unusable_save_is_kept_and_the_game_starts_fresh(self):
        bad = '{"spiders":[{"stage":99,"x":1,"y":2}],"money":5}'
        game = self.game(save=bad).start()
        game.find_window()
        self.assertEqual(game.close(), 0)
        self.assertEqual(game.read("save.json.unusable-1"), bad)
        self.assertEqual(game.board()["money"], 0)
        self.assertEqual(len(game.board()["boxes"]), 2)
        self.assertIn("save.json.unusable-1", game.stderr())


class CannotStart(GameTest):
    def assert_refused(self, game, missing, *words):
        game.start()
        self.assertEqual(game.wait(timeout=30), 1)
        message = game.stderr()
        self.assertTrue(mentions_path(message, game.folder, missing), message)
        for word in words:
            self.assertIn(word, message)
        self.assertFalse(os.path.exists(game.path("save.json")))
        self.assertNotIn("terminate", message)

    def test_without_the_font(self):
        game = self.game(leave_out=["assets/fonts/roboto.ttf"])
        self.assert_refused(game, "assets/fonts/roboto.ttf", "font", "assets/")

    def test_without_a_picture(self):
        game = self.game(leave_out=["assets/textures/spider_stage_7.png"])
        self.assert_refused(game, "assets/textures", '"spider_stage_7"')

    def test_without_the_texture_folder(self):
        game = self.game(leave_out=["assets/textures"])
        self.assert_refused(game, "assets/textures", "texture folder")


class Play(GameTest):
    def test_three_clicks_of_any_button_break_a_box_into_a_spider(self):
        game = self.game(save='{"boxes":[{"x":300.0,"y":300.0},{"x":600.0,"y":100.0}],"money":0}').start()
        game.find_window()
        width, height = picture_size("box_damage_0")
        for button in (1, 3, 2):
            game.click(300 + width / 2, 300 + height / 2, button)
        self.assertEqual(game.close(), 0)

        board = game.board()
        self.assertEqual(board["boxes"], [{"x": 600.0, "y": 100.0}])
        self.assertEqual(len(board["spiders"]), 1)
        spider = board["spiders"][0]
        self.assertEqual(spider["stage"], 1)
        # It may have wandered a step or two since.
        self.assertLess(math.hypot(spider["x"] - 300, spider["y"] - 300), 200)

    def test_dragging_a_spider_onto_its_twin_merges_them(self):
        # Saved far off the board, both spiders are brought exactly into
        # opposite corners on the first frame; their next wander step is at
        # least a second away, and even then they stay under these points.
        width, _ = picture_size("spider_stage_5")
        self.assertGreater(width, 55)

        def scenario():
            game = self.game(save='{"money":0,"spiders":[{"stage":5,"x":-5000.0,"y":-5000.0},'
                                  '{"stage":5,"x":5000.0,"y":5000.0}]}').start()
            game.find_window()
            game.drag((52, 52), (800 - width / 2, 800 - width / 2), button=1)
            self.assertEqual(game.close(), 0)
            board = game.board()
            self.assertEqual([spider["stage"] for spider in board["spiders"]], [6], board)
            return board

        self.retry(scenario)

    def test_a_box_spawns_and_is_saved_within_eleven_seconds(self):
        game = self.game(save='{"money":3}').start()
        game.find_window()
        started = time.monotonic()
        board = None
        while time.monotonic() - started < 11:
            board = json.loads(game.read("save.json"))
            if "boxes" in board:
                break
            time.sleep(0.1)
        self.assertEqual(len(board.get("boxes", [])), 1, "no box spawned in 11 seconds")
        self.assertEqual(board["money"], 3)
        self.assertEqual(game.close(), 0)

    @unittest.skipIf(LAUNCHER, "measures the Linux process's own processor time")
    def test_an_idle_game_does_not_spin_a_core(self):
        game = self.game().start()
        game.find_window()
        time.sleep(1)
        cpu_before, wall_before = game.cpu_seconds(), time.monotonic()
        time.sleep(4)
        share = (game.cpu_seconds() - cpu_before) / (time.monotonic() - wall_before)
        self.assertLess(share, 0.8, "the game used %.0f%% of a core while idle" % (share * 100))
        self.assertEqual(game.close(), 0)


if __name__ == "__main__":
    unittest.main()
