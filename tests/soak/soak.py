#!/usr/bin/env python3
"""soak.py GAME_BINARY ASSETS_FOLDER [--seconds N]: the built game under random
real input for a while (or SOAK_SECONDS); SOAK_SEED=N repeats a run's input."""

import argparse
import json
import os
import random
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import game_driver  # noqa: E402

MEMORY_SLACK_KIB = 4096


def board_in(text):
    """The board `text` holds, or None when it is not whole JSON."""
    try:
        return json.loads(text)
    except ValueError:
        return None


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


class Counts:
    def __init__(self):
        self.presses = self.drags = self.releases = 0
        self.reads = self.saves = self.merges = self.broken = 0
        self.failures = []

    def board_changed(self, before, after):
        """Counts broken boxes and merges between two saved boards. Boxes never
        move, so a box is known by its place: one that went was broken, one
        that came was spawned."""
        places = lambda board: {(box["x"], box["y"]) for box in board.get("boxes", [])}
        broken = len(places(before) - places(after))
        spiders_before, spiders_after = len(before.get("spiders", [])), len(after.get("spiders", []))
        merges = spiders_before + broken - spiders_after
        if merges < 0:
            self.failures.append("impossible change between saves: %s -> %s" % (before, after))
            return
        self.broken += broken
        self.merges += merges


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("assets")
    parser.add_argument("--seconds", type=float, default=float(os.environ.get("SOAK_SECONDS", 60)))
    args = parser.parse_args()
    game_driver.BINARY, game_driver.ASSETS = os.path.abspath(args.binary), os.path.abspath(args.assets)

    # One seed makes the whole run's input; SOAK_SEED plays a run again.
    seed = int(os.environ.get("SOAK_SEED") or random.SystemRandom().randrange(2**32))
    print("soak: seed %d (SOAK_SEED=%d plays this run's input again)" % (seed, seed), flush=True)
    rng = random.Random(seed)

    # A crowded board of young spiders near the middle, so drags there merge,
    # and two stage-11 spiders that their first wander step brings exactly into
    # opposite corners, for the opening's drag.
    spiders = [{"stage": 1 + (i % 3), "x": rng.uniform(250, 500), "y": rng.uniform(250, 500)} for i in range(36)]
    spiders += [{"stage": 11, "x": -5000.0, "y": -5000.0}, {"stage": 11, "x": 5000.0, "y": 5000.0}]
    # Whole numbers, which the game's floats write back unchanged: a box is
    # known by its place.
    boxes = [{"x": float(rng.randrange(741)), "y": float(rng.randrange(741))} for _ in range(6)]
    start = json.dumps({"boxes": boxes, "money": 0, "spiders": spiders}, separators=(",", ":"))

    screen = game_driver.VirtualScreen()
    game = game_driver.Game(screen, save=start)
    counts = Counts()
    try:
        game.start(pointer=(70, 70)).find_window()
        # The opening, which any working game turns into a merge, a broken box
        # and 121 in money: the twins stay in their corners for a second or more.
        width, _ = game_driver.picture_size("spider_stage_11")
        game.drag((70, 70), (800 - width / 2, 800 - width / 2))
        game.break_box(boxes[0]["x"], boxes[0]["y"])
        counts.presses, counts.drags, counts.releases = 4, 1, 4
        began, baseline, peak_after_baseline = time.monotonic(), None, 0
        last_text, last_board = start, json.loads(start)

        def move(x, y):
            # "--" lets negative coordinates through (beyond the left and top edges)
            return ["mousemove", "--window", str(game.window), "--", str(int(x)), str(int(y))]

        box_width, box_height = game_driver.picture_size("box_damage_0")

        def point():
            known_boxes = last_board.get("boxes", [])
            if known_boxes and rng.random() < 0.25:  # where the last save put a box
                box = rng.choice(known_boxes)
                return box["x"] + box_width / 2, box["y"] + box_height / 2
            if rng.random() < 0.5:
                return rng.uniform(250, 530), rng.uniform(250, 530)
            return rng.uniform(-60, 860), rng.uniform(-60, 860)  # beyond the edges too

        while time.monotonic() - began < args.seconds:
            action = rng.random()
            button = rng.choice((1, 1, 1, 2, 3))
            if action < 0.45:
                game.xdotool(*move(*point()), "sleep", "0.03", "click", str(button))
                counts.presses += 1
                counts.releases += 1
            elif action < 0.85:
                x, y = point()
                game.xdotool(*move(x, y), "sleep", "0.03", "mousedown", str(button))
                counts.presses += 1
                tx, ty = point()
                for i in range(1, 5):
                    game.xdotool(*move(x + (tx - x) * i / 4, y + (ty - y) * i / 4), "sleep", "0.02")
                game.xdotool("mouseup", str(button))
                counts.drags += 1
                counts.releases += 1
            else:
                game.xdotool("mouseup", str(button))  # a release with nothing held
                counts.releases += 1

            current = game.read("save.json")
            counts.reads += 1
            board = board_in(current)
            if board is None:
                counts.failures.append("save.json read as an unusable board: %r" % current[:200])
            elif current != last_text:
                counts.saves += 1
                counts.board_changed(last_board, board)
                last_text, last_board = current, board

            elapsed = time.monotonic() - began
            if baseline is None and elapsed >= min(60, args.seconds / 2):
                baseline = resident_kib(game.process.pid)
            elif baseline is not None:
                peak_after_baseline = max(peak_after_baseline, resident_kib(game.process.pid))
            if game.process.poll() is not None:
                counts.failures.append("the game ended by itself with status %d" % game.process.returncode)
                break

        final_memory = resident_kib(game.process.pid) if game.process.poll() is None else 0
        status = game.close(timeout=15)
        if status != 0:
            counts.failures.append("the close request ended the game with status %d" % status)
        board = board_in(game.read("save.json"))
        if board is None:
            counts.failures.append("the board left at the close does not load")
        else:
            counts.board_changed(last_board, board)
            if counts.broken < 1 or counts.merges < 1:
                counts.failures.append("the saves show %d broken boxes and %d merges" % (counts.broken, counts.merges))
            stages = sorted(spider["stage"] for spider in board.get("spiders", []))
            if 12 not in stages or board["money"] < 121:
                counts.failures.append("the board left at the close lacks the opening's stage-12 spider or its 121 "
                                       "in money: money %d, stages %s" % (board["money"], stages))
        if baseline is not None and peak_after_baseline > baseline + MEMORY_SLACK_KIB:
            counts.failures.append("memory grew from %d KiB to %d KiB" % (baseline, peak_after_baseline))
        if "cannot" in game.stderr() or "not saved" in game.stderr():
            counts.failures.append("the game complained: " + game.stderr())
    finally:
        game.clean_up()
        screen.stop()

    print("soak: seed %d, %.0f s, presses %d, drags %d, releases %d, save.json reads %d, saves seen %d, "
          "merges %d, broken boxes %d, memory %s -> %s KiB, failures %d" % (
              seed, args.seconds, counts.presses, counts.drags, counts.releases, counts.reads, counts.saves,
              counts.merges, counts.broken, baseline, final_memory, len(counts.failures)))
    for failure in counts.failures:
        print("  failure:", failure)
    return 1 if counts.failures else 0


if __name__ == "__main__":
    sys.exit(main())
