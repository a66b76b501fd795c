#!/usr/bin/env python3
"""test_package.py PACKAGE: plays a .deb or the Windows zip as a player gets it."""

import configparser
import glob
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import game_driver  # noqa: E402


def installed(package):
    result = subprocess.run(["dpkg-query", "-W", "-f=${Status}", package], capture_output=True, text=True)
    return "install ok installed" in result.stdout


def apt_get(*args):
    subprocess.run(["apt-get", "-y", "-qq", *args], check=True, stdout=subprocess.DEVNULL,
                   env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))


def complaints(command):
    """Runs a checker; its error and warning lines, or all it said if it failed without any."""
    result = subprocess.run(command, capture_output=True, text=True)
    said = result.stdout + result.stderr
    found = [line.strip() for line in said.splitlines() if re.search(r"^\s*[EW]:|: (error|warning):", line)]
    if result.returncode != 0 and not found:
        found = ["%s exited with %d: %s" % (command[0], result.returncode, said.strip())]
    return found


def check_debian_package(deb, place):
    root = os.path.join(place, "unpacked")
    subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
    metainfo = glob.glob(os.path.join(root, "usr/share/metainfo/*.metainfo.xml"))
    assert len(metainfo) == 1, "the package should install one AppStream file: %s" % metainfo
    found = complaints(["lintian", "--fail-on", "error,warning", deb])
    # Every metainfo file in the tree, and its name; the screenshot's web
    # address is not fetched here.
    found += complaints(["appstreamcli", "validate-tree", "--no-net", root])
    found += complaints(["desktop-file-validate", os.path.join(root, "usr/share/applications/tangleroot.desktop")])
    assert not found, "the package's checkers complain:\n" + "\n".join(found)


def play_debian_package(deb, screen, place):
    check_debian_package(deb, place)
    if installed("tangleroot"):
        apt_get("remove", "tangleroot")
    apt_get("install", "--no-install-recommends", os.path.abspath(deb))
    try:
        entry = configparser.ConfigParser(interpolation=None)
        entry.read("/usr/share/applications/tangleroot.desktop")
        desktop = entry["Desktop Entry"]
        command = desktop["Exec"].split()
        assert os.path.exists("/usr/share/icons/hicolor/256x256/apps/%s.png" % desktop["Icon"])

        game_driver.ASSETS = "/usr/share/tangleroot/assets"  # for the pictures' sizes

        # A new player: a home of their own, nothing in it yet.
        home = os.path.join(place, "home")
        os.makedirs(home)
        os.environ["HOME"] = home
        os.environ.pop("XDG_DATA_HOME", None)
        saved = os.path.join(home, ".local", "share", "tangleroot", "save.json")

        game_driver.BINARY = command[0]
        game = game_driver.Game(screen, folder=home)
        game.start().find_window()
        assert game.window_class() == desktop["StartupWMClass"], game.window_class()
        assert game.icon_sizes(), "the window has no icon"
        assert game.close() == 0, game.stderr()
        box = json.loads(game.read(saved))["boxes"][0]

        # Started again, the board is there: break its first box.
        game.start().find_window()
        game.break_box(box["x"], box["y"])
        assert game.close() == 0, game.stderr()
        board = json.loads(game.read(saved))
        assert [spider["stage"] for spider in board["spiders"]] == [1], board
        assert not os.path.exists(os.path.join(home, "save.json")), "saved outside the data folder"
        game.clean_up()
    finally:
        apt_get("remove", "tangleroot")
    assert not installed("tangleroot") and not os.path.exists("/usr/games/tangleroot")


def version_resource(exe):
    """The numbers and the texts of an .exe's version resource."""
    raw = subprocess.run(["wrestool", "-x", "--raw", "--type=16", exe], capture_output=True, check=True).stdout
    at = raw.find(struct.pack("<I", 0xFEEF04BD))  # where the fixed part begins
    assert at >= 0, "tangleroot.exe carries no version resource"
    most, least = struct.unpack_from("<II", raw, at + 8)
    numbers = (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)
    # Each text is its name then its value, in UTF-16, padded with zeros.
    texts = dict(re.findall(r"([A-Za-z]+)\0+([^\0]+)\0", raw.decode("utf-16-le", "replace")))
    return numbers, texts


def play_windows_zip(archive, screen, place):
    with zipfile.ZipFile(archive) as packed:
        packed.extractall(place)
    (folder,) = [entry for entry in os.listdir(place) if entry.startswith("tangleroot")]
    folder = os.path.join(place, folder)
    for needed in ("tangleroot.exe", "README.txt", "assets/fonts/roboto.ttf",
                   "assets/textures/background.png", "assets/icon/tangleroot-256.png"):
        assert os.path.exists(os.path.join(folder, needed)), needed
    assert not os.path.exists(os.path.join(folder, "assets", "art")), "art sources do not ship"
    resources = subprocess.run(["wrestool", "-l", os.path.join(folder, "tangleroot.exe")],
                               capture_output=True, text=True).stdout
    assert "type=group_icon" in resources, "tangleroot.exe carries no icon: " + resources
    version = re.match(r"tangleroot-([0-9.]+)-", os.path.basename(archive)).group(1)
    numbers, texts = version_resource(os.path.join(folder, "tangleroot.exe"))
    assert texts.get("ProductName") == "Tangleroot", texts
    assert texts.get("FileVersion") == texts.get("ProductVersion") == version, texts
    assert "game" in texts.get("FileDescription", ""), texts
    wanted = [int(part) for part in version.split(".")]
    assert list(numbers[:len(wanted)]) == wanted and not any(numbers[len(wanted):]), numbers

    game_driver.BINARY = os.path.join(folder, "tangleroot.exe")
    game = game_driver.Game(screen, folder=folder)
    game.start().find_window()
    assert game.close() == 0, game.stderr()
    assert '"money":0' in game.read("save.json")
    game.clean_up()


def main(package):
    place = tempfile.mkdtemp(prefix="tangleroot-package-")
    screen = game_driver.VirtualScreen()
    try:
        if package.endswith(".deb"):
            play_debian_package(package, screen, place)
        else:
            play_windows_zip(package, screen, place)
    finally:
        screen.stop()
        shutil.rmtree(place, ignore_errors=True)
    print("package: played", os.path.basename(package))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
