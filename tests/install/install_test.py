#!/usr/bin/env python3
"""The installed tree: `cmake --install` into a temporary prefix puts the
programs, the pages, the demo, the docs and the service units in their
places; the installed kelva-world, moved to another folder, serves the page
from its own share/kelva/web, with no path of the source tree in it.

    install_test.py CMAKE BUILD_DIR SOURCE_DIR
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import urllib.error
import urllib.request

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


def start_world(prefix, env):
    """Starts the installed world on free ports; returns it, its web port and
    its bot port."""
    world = subprocess.Popen(
        [os.path.join(prefix, "bin", "kelva-world"), os.path.join(prefix, "share", "kelva", "demo", "world.json"),
         "--player-port", "0", "--bot-port", "0", "--web-port", "0"],
        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, env=env,
        # Not the prefix: a page found from the working folder would pass too.
        cwd=os.path.dirname(prefix))
    web_port = None
    for line in world.stdout:
        match = re.search(r"open: http://[0-9.]+:([0-9]+)/", line)
        if match:
            web_port = int(match.group(1))
        match = re.search(r"Bots log in on: [0-9.]+:([0-9]+)", line)
        if match:
            return world, web_port, int(match.group(1))
    world.wait(timeout=10)
    return world, None, None


def bot_stops_cleanly(prefix, bot_port, env):
    """The installed bot, started as its service starts it (answers from a
    file in its data folder, no standard input), logs in to the world,
    serves its installed console page and, on SIGTERM, says its countdown
    and ends with status 0."""
    data = os.path.join(os.path.dirname(prefix), "botdata")
    os.mkdir(data)
    for name in ("stats.txt", "armor~weapon.txt", "objects.txt", "recv.wav"):
        shutil.copy(os.path.join(prefix, "share/kelva/demo", name), data)
    answers = os.path.join(data, "answers.txt")
    with open(answers, "w") as f:
        f.write("1234\nsecret\nDemoWorld\nKelvabot\n0\n0\n0\n")
    bot = subprocess.Popen(
        [os.path.join(prefix, "bin", "kelvabot"), "--headless", "--world", f"127.0.0.1:{bot_port}",
         "--data-dir", data, "--answers", answers, "--console-port", "0"],
        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, env=env,
        cwd=os.path.dirname(prefix))
    seen = []
    for line in bot.stdout:
        seen.append(line)
        if line.startswith("Operator console:"):
            break
    console = re.search(r"^Operator console: http://[0-9.]+:([0-9]+)/", "".join(seen), re.M)
    check(console is not None, "the installed bot logs in and opens its console")
    if console is not None:
        with open(os.path.join(prefix, "share/kelva/console-web/index.html"), "rb") as f:
            page = f.read()
        status, body = fetch(int(console.group(1)), "/")
        check(status == 200 and body == page, "the console's page is the installed one")
    bot.send_signal(signal.SIGTERM)
    try:
        rest, _ = bot.communicate(timeout=20)
    except subprocess.TimeoutExpired:
        bot.kill()
        rest, _ = bot.communicate()
    check("say One..." in rest and bot.returncode == 0,
          f"SIGTERM gives the bot's countdown and status 0 (status {bot.returncode})")


def fetch(port, path):
    try:
        with urllib.request.urlopen(f"http://127.0.0.1:{port}{path}", timeout=10) as reply:
            return reply.status, reply.read()
    except urllib.error.HTTPError as e:
        return e.code, b""


def stop(world):
    world.send_signal(signal.SIGTERM)
    try:
        return world.wait(timeout=10)
    except subprocess.TimeoutExpired:
        world.kill()
        return None


def main():
    cmake, build, source = sys.argv[1:4]
    source = os.path.realpath(source)
    work = tempfile.mkdtemp(prefix="kelva-install-")
    try:
        first = os.path.join(work, "first")
        done = subprocess.run([cmake, "--install", build, "--prefix", first, "--strip"],
                              capture_output=True, text=True)
        check(done.returncode == 0, "cmake --install into a temporary prefix: " + done.stderr.strip()[-300:])
        if done.returncode != 0:
            return 1
        for path in ("bin/kelvabot", "bin/kelva-world", "share/kelva/web/index.html", "share/kelva/web/kelva.js",
                     "share/kelva/console-web/index.html", "share/kelva/demo/world.json",
                     "share/kelva/demo/stats.txt", "share/doc/kelvabot/README.md",
                     "share/doc/kelvabot/hosting.md", "lib/systemd/system/kelva-world.service",
                     "lib/systemd/system/kelvabot.service", "lib/sysusers.d/kelva.conf"):
            check(os.path.isfile(os.path.join(first, path)), "installed: " + path)

        # The units start the programs where they were installed.
        for unit, program in (("kelva-world", "kelva-world"), ("kelvabot", "kelvabot")):
            with open(os.path.join(first, "lib/systemd/system", unit + ".service")) as f:
                text = f.read()
            check(f"ExecStart={first}/bin/{program} " in text, f"{unit}.service starts {first}/bin/{program}")
            check("@" not in text, f"{unit}.service has every placeholder filled")

        # Nothing compiled into the programs leads back to the source tree.
        for program in ("kelva-world", "kelvabot"):
            with open(os.path.join(first, "bin", program), "rb") as f:
                check(source.encode() not in f.read(), f"installed {program} holds no path of {source}")

        # Moved elsewhere, the tree still finds its page beside the program;
        # a mark in the installed copy shows which page was served.
        moved = os.path.join(work, "moved")
        os.rename(first, moved)
        index = os.path.join(moved, "share/kelva/web/index.html")
        with open(index, "ab") as f:
            f.write(b"\n<!-- installed copy -->\n")
        env = {k: v for k, v in os.environ.items() if k not in ("KELVA_WEB_ROOT", "KELVA_CONSOLE_ROOT")}
        world, port, bot_port = start_world(moved, env)
        check(port is not None, "the installed kelva-world starts on free ports and prints its web address")
        if port is not None:
            status, body = fetch(port, "/")
            check(status == 200 and b"<!-- installed copy -->" in body, "/ is the installed page")
            with open(os.path.join(moved, "share/kelva/web/kelva.js"), "rb") as f:
                script = f.read()
            status, body = fetch(port, "/kelva.js")
            check(status == 200 and body == script, "/kelva.js is the installed script")
            bot_stops_cleanly(moved, bot_port, env)
        check(stop(world) == 0, "SIGTERM stops the installed world with status 0")

        # Without its page the installed world serves none: it never falls
        # back on the source tree's.
        shutil.rmtree(os.path.join(moved, "share/kelva/web"))
        world, port, _ = start_world(moved, env)
        if port is not None:
            status, _ = fetch(port, "/")
            check(status == 404, "an installed world without share/kelva/web answers / with 404")
        else:
            check(False, "the installed world starts without its page folder")
        stop(world)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("FAILED: " + "; ".join(failures) if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
