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
import xml.etree.ElementTree as ElementTree
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import game_driver  # noqa: E402


def apt_get(*args):
    subprocess.run(["apt-get", "-y", "-qq", *args], check=True, stdout=subprocess.DEVNULL,
                   env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))


def installed():
    return "install ok installed" in subprocess.run(["dpkg-query", "-W", "-f=${Status}", "tangleroot"],
                                                    capture_output=True, text=True).stdout


def complaints(*command):
    """Runs a checker; its error and warning lines, or all it said if it failed without any."""
    result = subprocess.run(command, capture_output=True, text=True)
    said = result.stdout + result.stderr
    found = [line.strip() for line in said.splitlines() if re.search(r"^\s*[EW]:|: (error|warning):", line)]
    return found or (["%s exited with %d: %s" % (command[0], result.returncode, said)] if result.returncode else [])


def languages():
    """The languages po/LINGUAS names."""
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "po", "LINGUAS")) as linguas:
        return [word for line in linguas if not line.startswith("#") for word in line.split()]


def check_translations(root):
    """Every language's catalogue, menu entry words and metainfo texts, with the placeholders filled."""
    for language in languages():
        assert os.path.isfile(os.path.join(root, "usr/share/locale", language, "LC_MESSAGES/tangleroot.mo")), language
    menu = os.path.join(root, "usr/share/applications/tangleroot.desktop")
    entry = configparser.ConfigParser(interpolation=None)
    entry.optionxform = str
    entry.read(menu, encoding="utf-8")
    desktop = entry["Desktop Entry"]
    for language in languages():
        for key in ("GenericName", "Comment", "Keywords"):
            translated = desktop.get("%s[%s]" % (key, language), "")
            assert translated and translated != desktop[key], "%s[%s]: %r" % (key, language, translated)
    assert not [key for key in desktop if key.startswith("Name[")], "the game's name is the same in every language"
    (metainfo,) = glob.glob(os.path.join(root, "usr/share/metainfo/*.metainfo.xml"))
    component = ElementTree.parse(metainfo).getroot()
    lang = "{http://www.w3.org/XML/1998/namespace}lang"
    english = [p for p in component.find("description") if lang not in p.attrib]
    for language in languages():
        summaries = [s for s in component.findall("summary") if s.get(lang) == language]
        described = [p for p in component.find("description") if p.get(lang) == language]
        assert len(summaries) == 1 and len(described) == len(english), (language, summaries, described)
    with open(metainfo, encoding="utf-8") as info, open(menu, encoding="utf-8") as entry_text:
        unfilled = re.findall(r"@[A-Z_]+@", info.read() + entry_text.read())
    assert not unfilled, "placeholders left unfilled: %s" % unfilled


def play_debian_package(deb, screen, place):
    root = os.path.join(place, "unpacked")
    subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
    metainfo = glob.glob(os.path.join(root, "usr/share/metainfo/*.metainfo.xml"))
    assert len(metainfo) == 1, "the package should install one AppStream file: %s" % metainfo
    # Every metainfo file in the tree, and its name; the screenshot's web address is not fetched here.
    found = (complaints("lintian", "--fail-on", "error,warning", deb) +
             complaints("appstreamcli", "validate-tree", "--no-net", root) +
             complaints("desktop-file-validate", os.path.join(root, "usr/share/applications/tangleroot.desktop")))
    assert not found, "the package's checkers complain:\n" + "\n".join(found)
    check_translations(root)
    if installed():
        apt_get("remove", "tangleroot")
    apt_get("install", "--no-install-recommends", os.path.abspath(deb))
    try:
        entry = configparser.ConfigParser(interpolation=None)
        entry.read("/usr/share/applications/tangleroot.desktop")
        desktop = entry["Desktop Entry"]
        assert os.path.exists("/usr/share/icons/hicolor/256x256/apps/%s.png" % desktop["Icon"])
        game_driver.BINARY, game_driver.ASSETS = desktop["Exec"].split()[0], "/usr/share/tangleroot/assets"

        # A new player: a home of their own, nothing in it yet.
        os.environ["HOME"] = home = os.path.join(place, "home")
        os.makedirs(home)
        os.environ.pop("XDG_DATA_HOME", None)
        saved = os.path.join(home, ".local", "share", "tangleroot", "save.json")
        game = game_driver.Game(screen, folder=home)
        game.start().find_window()
        wm_class = bytes(game_driver.cardinals(screen, "WM_CLASS", game.window)).split(b"\0")
        assert wm_class[1].decode() == desktop["StartupWMClass"], wm_class
        assert game.icon_sizes(), "the window has no icon"
        assert game.close() == 0, game.stderr()
        box = json.loads(game.read(saved))["boxes"][0]
        game.start().find_window()  # started again, the board is there: break its first box
        game.break_box(box["x"], box["y"])
        assert game.close() == 0, game.stderr()
        board = json.loads(game.read(saved))
        assert [spider["stage"] for spider in board["spiders"]] == [1], board
        assert not os.path.exists(os.path.join(home, "save.json")), "saved outside the data folder"
        game.clean_up()
        # A data folder that cannot be made: the launcher's refusal, told as the game's own
        blocked = os.path.join(place, "a-file")
        open(blocked, "w").close()
        run = subprocess.run([game_driver.BINARY], env=dict(os.environ, XDG_DATA_HOME=blocked),
                             capture_output=True, text=True, timeout=30)
        told = "Tangleroot cannot start: cannot make the folder %s/tangleroot (Not a directory)\n" % blocked
        assert (run.returncode, run.stderr) == (1, told), (run.returncode, run.stderr)
    finally:
        apt_get("remove", "tangleroot")
    assert not installed() and not os.path.exists("/usr/games/tangleroot")


def play_windows_zip(archive, screen, place):
    with zipfile.ZipFile(archive) as packed:
        packed.extractall(place)
    (folder,) = [os.path.join(place, entry) for entry in os.listdir(place) if entry.startswith("tangleroot")]
    exe = os.path.join(folder, "tangleroot.exe")
    for needed in ("tangleroot.exe", "README.txt", "assets/fonts/roboto.ttf", "assets/textures/background.png",
                   "assets/icon/tangleroot-256.png"):
        assert os.path.exists(os.path.join(folder, needed)), needed
    assert not os.path.exists(os.path.join(folder, "assets", "art")), "art sources do not ship"
    # libintl as a DLL a player may replace, its licence, and every language's catalogue
    for needed in ["libintl-8.dll", "LICENSE-libintl-LGPL-2.1.txt"] + [
            "locale/%s/LC_MESSAGES/tangleroot.mo" % language for language in languages()]:
        assert os.path.isfile(os.path.join(folder, needed)), needed
    resources = subprocess.run(["wrestool", "-l", exe], capture_output=True, text=True).stdout
    assert "type=group_icon" in resources, "tangleroot.exe carries no icon: " + resources
    # Per-monitor dpi awareness, else Windows reports 96 dpi to it and stretches its window as a
    # bitmap (Wine tells every program the true dpi, so only the manifest shows it).
    manifest = subprocess.run(["wrestool", "-x", "--raw", "--type=24", "--name=1", exe], capture_output=True).stdout
    assert b"PerMonitorV2" in manifest and b"true/pm" in manifest, manifest
    # SetWindowSubclass is Common Controls 6's: without the dependency Windows may load 5.82.
    assert b"Microsoft.Windows.Common-Controls" in manifest and b'version="6.0.0.0"' in manifest, manifest
    # The version resource: its fixed part's numbers, then each text's name and value in UTF-16.
    raw = subprocess.run(["wrestool", "-x", "--raw", "--type=16", exe], capture_output=True, check=True).stdout
    at = raw.find(struct.pack("<I", 0xFEEF04BD))
    assert at >= 0, "tangleroot.exe carries no version resource"
    most, least = struct.unpack_from("<II", raw, at + 8)
    texts = dict(re.findall(r"([A-Za-z]+)\0+([^\0]+)\0", raw.decode("utf-16-le", "replace")))
    version = re.match(r"tangleroot-([0-9.]+)-", os.path.basename(archive)).group(1)
    assert texts.get("ProductName") == "Tangleroot", texts
    assert texts.get("FileVersion") == texts.get("ProductVersion") == version, texts
    assert "game" in texts.get("FileDescription", ""), texts
    numbers, wanted = [most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF], [int(n) for n in version.split(".")]
    assert numbers == wanted + [0] * (4 - len(wanted)), numbers

    game_driver.BINARY = exe
    game = game_driver.Game(screen, folder=folder)
    game.start().find_window()
    assert game.close() == 0, game.stderr()
    assert '"money":0' in game.read("save.json")
    game.clean_up()


def main(package):
    place = tempfile.mkdtemp(prefix="tangleroot-package-")
    screen = game_driver.VirtualScreen()
    try:
        (play_debian_package if package.endswith(".deb") else play_windows_zip)(package, screen, place)
    finally:
        screen.stop()
        shutil.rmtree(place, ignore_errors=True)
    print("package: played", os.path.basename(package))


if __name__ == "__main__":
    main(sys.argv[1])
