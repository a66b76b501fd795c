#!/usr/bin/env python3
"""Unpacks the package in a fresh folder and plays it there: the window must
open, and the close button must end the game with status 0 and a save.json
beside it."""

import os
import subprocess
import sys
import tarfile
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import game_driver  # noqa: E402


def main(archive):
    place = tempfile.mkdtemp(prefix="tangleroot-unpacked-")
    if archive.endswith(".zip"):  # the Windows package, played under Wine
        with zipfile.ZipFile(archive) as packed:
            packed.extractall(place)
        program = "tangleroot.exe"
    else:
        with tarfile.open(archive) as tar:
            tar.extractall(place)
        program = "tangleroot"
    (folder,) = os.listdir(place)
    folder = os.path.join(place, folder)
    for needed in (program, "README.txt", "assets/fonts/roboto.ttf", "assets/textures/background.png"):
        assert os.path.exists(os.path.join(folder, needed)), needed
    assert not os.path.exists(os.path.join(folder, "assets", "art")), "art sources do not ship"

    screen = game_driver.VirtualScreen()
    game_driver.BINARY = os.path.join(folder, program)
    game = game_driver.Game.__new__(game_driver.Game)
    game.screen, game.folder, game.window = screen, folder, None
    game.stderr_path = os.path.join(place, "stderr.txt")
    try:
        game.start()
        game.find_window()
        assert game.geometry()[2:] == (800, 800)
        assert game.close() == 0, game.stderr()
        assert '"money":0' in game.read("save.json")
    finally:
        if game.process.poll() is None:
            game.process.kill()
        screen.stop()
        subprocess.run(["rm", "-rf", place])
    print("package: unpacked", os.path.basename(archive), "and played it")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
