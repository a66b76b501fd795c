#!/usr/bin/env python3
"""soak.py GAME_BINARY ASSETS_FOLDER: the built game under random real input
for 60 s (or SOAK_SECONDS); SOAK_SEED=N repeats a run's input."""

import json
import os
import random
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import game_driver  # noqa: E402


def resident_kib(game):
    with open("/proc/%d/status" % game.process.pid) as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))


def main(binary, assets):
    game_driver.BINARY, game_driver.ASSETS = os.path.abspath(binary), os.path.abspath(assets)
    seconds = float(os.environ.get("SOAK_SECONDS", 60))
    seed = int(os.environ.get("SOAK_SEED") or random.SystemRandom().randrange(2**32))
    print("soak: seed %d (SOAK_SEED=%d plays this run's input again)" % (seed, seed), flush=True)
    rng = random.Random(seed)

    # A crowded board of young spiders near the middle, so drags there merge, and two stage-11 spiders that their
    # first wander step brings exactly into opposite corners, for the opening's drag. Boxes at whole numbers,
    # which the game's floats write back unchanged: a box is known by its place.
    spiders = [{"stage": 1 + (i % 3), "x": rng.uniform(250, 500), "y": rng.uniform(250, 500)} for i in range(36)]
    spiders += [{"stage": 11, "x": -5000.0, "y": -5000.0}, {"stage": 11, "x": 5000.0, "y": 5000.0}]
    boxes = [{"x": float(rng.randrange(741)), "y": float(rng.randrange(741))} for _ in range(6)]
    last_text = json.dumps({"boxes": boxes, "money": 0, "spiders": spiders}, separators=(",", ":"))
    last_board = json.loads(last_text)

    screen = game_driver.VirtualScreen()
    game = game_driver.Game(screen, save=last_text)
    counts = dict(presses=4, drags=1, releases=4, reads=0, saves=0, merges=0, broken=0)
    failures, baseline, peak, final_memory = [], None, 0, None

    def board_changed(before, after):
        """Counts broken boxes (boxes never move: one that went was broken) and merges."""
        broken = len({(b["x"], b["y"]) for b in before.get("boxes", [])} -
                     {(b["x"], b["y"]) for b in after.get("boxes", [])})
        merges = len(before.get("spiders", [])) + broken - len(after.get("spiders", []))
        if merges < 0:
            failures.append("impossible change between saves: %s -> %s" % (before, after))
        else:
            counts["broken"] += broken
            counts["merges"] += merges

    def point():
        if last_board.get("boxes") and rng.random() < 0.25:  # where the last save put a box
            box = rng.choice(last_board["boxes"])
            return box["x"] + box_width / 2, box["y"] + box_height / 2
        if rng.random() < 0.5:
            return rng.uniform(250, 530), rng.uniform(250, 530)
        return rng.uniform(-60, 860), rng.uniform(-60, 860)  # beyond the edges too

    def move(x, y):  # "--" lets negative coordinates through
        return ["mousemove", "--window", str(game.window), "--", str(int(x)), str(int(y))]

    try:
        # The pointer where the opening's press goes before the first frame: no move is needed.
        game.xdotool("mousemove", *(str((side - 800) // 2 + 70) for side in screen.size))
        game.start().find_window()
        game.pointer = (70, 70)  # the window lies in the middle of the screen
        # The opening, which any working game turns into a merge, a broken box
        # and 121 in money: the twins stay in their corners for a second or more.
        width, _ = game_driver.picture_size("spider_stage_11")
        game.drag((70, 70), (800 - width / 2, 800 - width / 2))
        game.break_box(boxes[0]["x"], boxes[0]["y"])
        box_width, box_height = game_driver.picture_size()
        began = time.monotonic()
        while time.monotonic() - began < seconds:
            action, button = rng.random(), str(rng.choice((1, 1, 1, 2, 3)))
            if action < 0.45:
                game.xdotool(*move(*point()), "sleep", "0.03", "click", button)
                counts["presses"] += 1
            elif action < 0.85:
                (x, y), (tx, ty) = point(), point()
                game.xdotool(*move(x, y), "sleep", "0.03", "mousedown", button)
                for i in range(1, 5):
                    game.xdotool(*move(x + (tx - x) * i / 4, y + (ty - y) * i / 4), "sleep", "0.02")
                game.xdotool("mouseup", button)
                counts["presses"] += 1
                counts["drags"] += 1
            else:
                game.xdotool("mouseup", button)  # a release with nothing held
            counts["releases"] += 1

            text = game.read("save.json")
            counts["reads"] += 1
            try:
                board = json.loads(text)
            except ValueError:
                failures.append("save.json read as an unusable board: %r" % text[:200])
            else:
                if text != last_text:
                    counts["saves"] += 1
                    board_changed(last_board, board)
                    last_text, last_board = text, board

            if game.process.poll() is not None:
                failures.append("the game ended by itself with status %d" % game.process.returncode)
                break
            if baseline is None and time.monotonic() - began >= min(60, seconds / 2):
                baseline = resident_kib(game)
            elif baseline is not None:
                peak = max(peak, resident_kib(game))

        final_memory = resident_kib(game) if game.process.poll() is None else None
        status = game.close(timeout=15)
        if status != 0:
            failures.append("the close request ended the game with status %d" % status)
        board = json.loads(game.read("save.json"))  # raises if the board left at the close does not load
        board_changed(last_board, board)
        if counts["broken"] < 1 or counts["merges"] < 1:
            failures.append("the saves show %(broken)d broken boxes and %(merges)d merges" % counts)
        stages = sorted(spider["stage"] for spider in board.get("spiders", []))
        if 12 not in stages or board["money"] < 121:
            failures.append("the board left at the close lacks the opening's stage-12 spider or its 121 in money: "
                            "money %d, stages %s" % (board["money"], stages))
        if baseline is not None and peak > baseline + 4096:
            failures.append("memory grew from %d KiB to %d KiB" % (baseline, peak))
        if "cannot" in game.stderr() or "not saved" in game.stderr():
            failures.append("the game complained: " + game.stderr())
    finally:
        game.clean_up()
        screen.stop()

    print("soak: seed %d, %.0f s, %s, memory %s -> %s KiB, failures %d" % (
        seed, seconds, ", ".join("%s %d" % item for item in counts.items()), baseline, final_memory, len(failures)))
    for failure in failures:
        print("  failure:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
