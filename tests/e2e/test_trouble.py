"""End-to-end tests: what the game does when something goes wrong while it runs or at its start."""

import json
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from game_driver import (ASSETS, BINARY, LAUNCHER, ONE_BOX, GameTest, counting_swaps, difference, eventually,
                         image_stat, through_a_file, windows_tool)


class TroubleTest(GameTest):
    def failure_line_shown(self, game):
        """Whether the red strip saying that saves fail is at the window's bottom."""
        side, strip = int(800 * game.scale), int(20 * game.scale)  # redness from -1 to 1:
        return image_stat(game.screenshot("line.png"), "mean.r-mean.g", crop=(side, strip, 0, side - strip),
                          colour=True) > 0.12

    def spiders_saved(self, game):
        return len(game.board().get("spiders", []))

    def assert_close_refused(self, game):
        game.close(timeout=None)
        self.assertTrue(eventually(game.notice_shown, 8, step=0.5), "no close notice")
        self.assertIsNone(game.process.poll(), "closed without its board")


@unittest.skipIf(LAUNCHER, "Linux file systems and signals")
class LinuxTrouble(TroubleTest):
    def test_a_full_disk_keeps_the_last_save_and_a_refused_close_ends_the_game_once_there_is_room(self):
        folder = tempfile.mkdtemp(prefix="tangleroot-e2e-")
        self.addCleanup(shutil.rmtree, folder, True)
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=3m", "tmpfs", folder], capture_output=True).returncode:
            self.skipTest("mounting a tmpfs needs root")
        self.addCleanup(subprocess.run, ["umount", "-l", folder])
        shutil.copytree(ASSETS, os.path.join(folder, "assets"))
        game = self.game(folder=folder, save=ONE_BOX).start().find_window()

        fill = subprocess.run(["dd", "if=/dev/zero", "of=" + game.path("filler"), "bs=4k"],
                              capture_output=True, text=True)
        self.assertIn("No space left on device", fill.stderr)
        game.break_box(300, 300)
        self.assertTrue(eventually(lambda: self.failure_line_shown(game), 5),
                        "no line in the window: " + game.stderr())
        self.assertEqual(game.board(), json.loads(ONE_BOX))

        self.assert_close_refused(game)

        os.remove(game.path("filler"))  # the close asked for is kept: saved, the game ends
        self.assertEqual(game.process.wait(timeout=5), 0, game.stderr())
        self.assertEqual(self.spiders_saved(game), 1)
        told = [line for line in game.stderr().splitlines() if "not saved" in line]
        self.assertEqual(len(told), 1, "one cause, told once: %s" % told)
        self.assertIn("No space left on device", told[0])
        self.assertNotIn(".tmp-", told[0])

    def test_a_failed_close_keeps_the_window_open_with_a_notice_and_tells_why_in_the_players_language(self):
        # German, its locale made for this test alone (kept aside) when the system has none
        game = self.game(save=ONE_BOX)
        made = subprocess.run(["localedef", "-i", "de_DE", "-f", "UTF-8", os.path.join(game.aside, "de_DE.UTF-8")],
                              capture_output=True)
        german = made.returncode == 0 and os.path.exists("/usr/share/locale/de/LC_MESSAGES/libc.mo")
        env = dict(game.env(), LANG="de_DE.UTF-8", LC_ALL="", LC_MESSAGES="", LOCPATH=game.aside)
        game.env = lambda: env
        game.start().find_window()
        before = game.screenshot("before.png")
        os.remove(game.path("save.json"))
        os.mkdir(game.path("save.json"))  # no file can be renamed over a folder
        self.assert_close_refused(game)
        self.assertGreater(difference(os.path.join(game.aside, "notice.png"), before), 0.1)
        self.assertIn("not saved", game.stderr())
        if german:
            self.assertIn("cannot replace save.json: Ist ein Verzeichnis", game.stderr())

        time.sleep(1)  # a second close quits once the notice has been up for a second
        self.assertEqual(game.close(), 1, "a second close quits, unsaved")
        self.assertEqual(os.listdir(game.path("save.json")), [])
        if not german:
            self.skipTest("the reason in German needs Debian's locales package")

    def on_a_silent_disk(self):
        """A game whose flushes of a save's temporary file wait while the returned file exists (its swap
        probe does that), with a spider just broken out that the disk has not got."""
        game = self.game(save=ONE_BOX)
        swaps = counting_swaps(game)
        stall = os.path.join(game.aside, "stall")
        env = dict(game.env(), FSYNC_STALL_FILE=stall)
        game.env = lambda: env
        game.start().find_window()
        open(stall, "w").close()
        game.break_box(300, 300)
        return game, swaps, stall

    def test_five_closes_on_a_disk_that_stopped_answering_show_the_notice_in_time_and_end_saved_when_it_answers(self):
        game, swaps, stall = self.on_a_silent_disk()
        drawn = swaps()
        asked = time.monotonic()
        for _ in range(5):
            game.close(timeout=None)
            time.sleep(0.1)
        self.assertTrue(eventually(game.notice_shown, 8, step=0.1), "no close notice")
        self.assertGreater(swaps(), drawn, "no frame drawn while the disk was silent")
        shown_at = float(game.read(os.path.join(game.aside, "swaps")).split()[1])  # the last frame's
        # 4 s and a frame; a sanitizer's build draws far slower
        self.assertLess(shown_at - asked, 6 if os.environ.get("TANGLEROOT_GAME_PRELOAD") else 4.5,
                        "the notice came late")
        self.assertIsNone(game.process.poll(), "ended before the disk answered")
        os.remove(stall)
        self.assertEqual(game.process.wait(timeout=10), 0, game.stderr())
        self.assertEqual(self.spiders_saved(game), 1)
        self.assertNotIn("not saved", game.stderr())

    def test_an_end_from_outside_on_a_disk_that_stopped_answering_ends_unsaved_at_its_bound(self):
        game = self.on_a_silent_disk()[0]
        asked = time.monotonic()
        game.process.terminate()
        self.assertEqual(game.process.wait(timeout=10), 1, game.stderr())
        self.assertLess(time.monotonic() - asked, 5, "the end waited past its bound for the stuck write")
        self.assertIn("Tangleroot: ended from outside; the board was not saved (the disk has not answered yet)",
                      game.stderr())
        self.assertEqual(game.read("save.json"), ONE_BOX)

    def test_a_save_json_this_player_may_not_read_stops_the_game_and_changes_nothing(self):
        if os.geteuid() != 0:
            self.skipTest("a second player needs root to make")
        if subprocess.run(["id", "tangleroot-player"], capture_output=True).returncode:
            subprocess.run(["useradd", "tangleroot-player"], check=True)
        game = self.game(save=ONE_BOX)
        os.chmod(game.path("save.json"), 0o600)  # root's, as one run with sudo leaves it
        shutil.chown(game.folder, "tangleroot-player")
        # The build may sit in a folder only root can enter (root's home): the player runs a copy.
        binary = shutil.copy2(BINARY, game.folder)
        before = os.stat(game.folder).st_mtime_ns, os.listdir(game.folder)
        run = subprocess.run(["runuser", "-u", "tangleroot-player", "--", binary], cwd=game.folder,
                             env=game.env(), capture_output=True, text=True, timeout=30)
        self.assertEqual((run.returncode, run.stderr.count("\n")), (1, 1), run.stderr)
        self.assertIn(game.path("save.json") + " cannot be opened: Permission denied", run.stderr)
        self.assertEqual((os.stat(game.folder).st_mtime_ns, os.listdir(game.folder)), before)


class BrokenSave(TroubleTest):
    def test_a_clean_start_keeps_its_save_and_a_broken_or_missing_one_gives_way_to_it_at_every_start(self):
        saved = '{"boxes":[{"x":300.0,"y":300.0}],"money":999}'
        game = self.game(save=saved)
        os.utime(game.path("save.json"), (1741064790, 1741064790))  # some time before this run
        game.start().find_window()
        self.assertTrue(eventually(lambda: os.path.exists(game.path("save.json.bak")), 5))
        self.assertEqual((game.read("save.json.bak"), os.stat(game.path("save.json.bak")).st_mtime),
                         (saved, 1741064790))
        self.assertEqual(game.close(), 0, game.stderr())
        game.write("save.json", '{"boxes":[')  # cut off by a failing disk
        game.start().find_window()
        self.assertTrue(self.failure_line_shown(game), "no line saying the board is back")
        self.assertIn("the board saved at %s is back" % time.strftime("%Y-%m-%d %H:%M", time.localtime(1741064790)),
                      game.stderr())
        game.break_box(300, 300)  # the board is back: its box is there
        self.assertFalse(self.failure_line_shown(game), "the line stays after a press")
        self.assertEqual(game.close(), 0, game.stderr())
        self.assertEqual(self.spiders_saved(game), 1)

        os.remove(game.path("save.json"))  # as a sync tool that moved it away leaves the folder
        for start in ("first", "second"):
            game.start().find_window()
            self.assertEqual(self.failure_line_shown(game), start == "first", "the line after the %s start" % start)
            self.assertEqual(game.close(), 0, game.stderr())
            for name in ("save.json", "save.json.bak"):
                board = json.loads(game.read(name))
                self.assertIn({"x": 300.0, "y": 300.0}, board["boxes"], "%s after the %s start" % (name, start))
                self.assertGreaterEqual(board["money"], 999)
        self.assertNotIn("save.json", game.stderr(), "the second start found no save.json")

    def test_a_folder_named_save_json_is_moved_aside_and_the_backups_board_comes_back(self):
        game = self.game()
        os.mkdir(game.path("save.json"))
        game.write("save.json/notes.txt", "a player's")
        game.write("save.json.bak", ONE_BOX)
        game.start().find_window()
        self.assertTrue(self.failure_line_shown(game), "no line saying the board is back")
        self.assertEqual(game.read("save.json.unusable-1/notes.txt"), "a player's")
        game.break_box(300, 300)  # the backup's box
        self.assertEqual(game.close(), 0, game.stderr())
        self.assertEqual(self.spiders_saved(game), 1)

    @unittest.skipIf(LAUNCHER, "Linux file modes")
    def test_a_private_save_json_keeps_the_board_and_its_backup_private(self):
        self.addCleanup(os.umask, os.umask(0o022))
        game = self.game(save=ONE_BOX)
        os.chmod(game.path("save.json"), 0o600)
        game.start().find_window()
        self.assertTrue(eventually(lambda: os.path.exists(game.path("save.json.bak")), 5))
        game.break_box(300, 300)
        self.assertEqual(game.close(), 0, game.stderr())
        self.assertEqual(self.spiders_saved(game), 1)
        for name in ("save.json", "save.json.bak"):
            self.assertEqual(os.stat(game.path(name)).st_mode & 0o777, 0o600, name)


@unittest.skipUnless(LAUNCHER, "another Windows program holding the game's files")
class WindowsTrouble(TroubleTest):
    def hold(self, game, name, milliseconds, *sharing):
        """Starts hold_file on a file of the game's folder; returns once it holds it.
        `sharing` is "shared" (others may do anything), "read" (others may only
        read) or none (nobody else may open it)."""
        holder = self.spawn(LAUNCHER + [windows_tool("hold_file"), name, str(milliseconds), *sharing],
                            cwd=game.folder, env=game.env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            text=True)
        self.addCleanup(holder.stdout.close)
        self.assertEqual(holder.stdout.readline().strip(), "held")
        return holder

    def attributes(self, game, *new):
        """save.json's attributes as Windows shows them, set to `new` first if given."""
        return int(through_a_file(LAUNCHER + [windows_tool("file_attributes"), "save.json", *new], cwd=game.folder,
                                  env=game.env()), 16)

    def test_a_broken_save_json_another_program_reads_is_moved_aside_once_it_is_free(self):
        game = self.game(save="{")
        holder = self.hold(game, "save.json", 1500, "read")  # a sync tool reading it
        game.start()
        self.assertTrue(eventually(lambda: os.path.exists(game.path("save.json.unusable-1")), 15),
                        "not moved aside: " + game.stderr())
        holder.wait(timeout=10)
        self.assertEqual(game.read("save.json.unusable-1"), "{")
        self.assertEqual(game.find_window().close(timeout=20), 0, game.stderr())

    def test_a_read_only_hidden_system_save_json_held_for_a_moment_at_the_close_is_saved_and_stays_so(self):
        game = self.game(save=ONE_BOX)
        self.attributes(game, "7")  # attrib +r +h +s
        self.hold(game, "tangleroot.lock", 60000, "shared")  # which stops no game
        game.start().find_window()
        game.break_box(300, 300)
        # The game tries again for 2 seconds: 0.6 s is well inside, even under Wine.
        self.hold(game, "save.json", 600)
        self.assertEqual(game.close(timeout=20), 0, game.stderr())
        self.assertEqual(self.spiders_saved(game), 1)
        self.assertEqual(self.attributes(game) & 7, 7)

    def test_save_json_held_long_at_the_close_keeps_the_window_until_it_is_saved(self):
        # Held before the spider exists, so no autosave can keep it first.
        game = self.game(save=ONE_BOX)
        self.hold(game, "tangleroot.lock", 60000, "read")  # which stops no game either
        game.start().find_window()
        holder = self.hold(game, "save.json", 10000)
        game.break_box(300, 300)
        self.assert_close_refused(game)
        self.assertEqual(game.read("save.json"), ONE_BOX)

        self.assertEqual(holder.stdout.readline().strip(), "free")
        self.assertEqual(game.process.wait(timeout=20), 0, game.stderr())  # the close was kept
        self.assertEqual(self.spiders_saved(game), 1)

    def test_a_game_started_detached_that_cannot_start_says_why_in_a_box(self):
        # A launcher's DETACHED_PROCESS: no console, no stderr; only a box is seen.
        game = self.game(leave_out=["assets/textures"])
        with open(game.path("told.txt"), "w") as out:  # not a pipe, which Wine's services keep open
            launcher = self.spawn(LAUNCHER + [windows_tool("start_detached"), "Z:" + BINARY.replace("/", "\\")],
                                  cwd=game.folder, env=game.env(), stdout=out)
        self.assertTrue(eventually(game.windows_titled_tangleroot, 20), "no message box")
        self.assertIsNone(launcher.poll(), "the game ended before the box was closed")
        game.window = game.windows_titled_tangleroot().pop()
        game.close(timeout=None)
        self.assertEqual(launcher.wait(timeout=20), 0)
        self.assertEqual(game.read("told.txt").split(), ["ended", "1"])


if __name__ == "__main__":
    unittest.main()
