#!/usr/bin/python3
"""The operator's console page, used for real: kelva-world and kelvabot on
loopback, one player in a browser and the operator in another. The operator
logs in to the console, picks a character, gives a gift, and the player's
page shows the public announcement; the stats file holds the new value.

Usage: console_browser_test.py KELVA_WORLD KELVABOT WORK_DIR [--docs-png PATH]
Screenshots go to WORK_DIR; with --docs-png the console's is copied there.
Exit status 0 when every check passed.
"""

import argparse
import os
import shutil
import subprocess
import sys
import urllib.request

from selenium.webdriver.common.by import By

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser_test import (PATIENCE, Browser, check, game_folder, start_bot, start_world, verdict,  # noqa: E402
                          wait_for)

PASSWORD = "operator's own secret"


def read(path):
    """The file's text; "" while it does not exist."""
    try:
        with open(path, encoding="utf-8") as f:
            return f.read()
    except FileNotFoundError:
        return ""


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    for positional in ("kelva_world", "kelvabot", "work"):
        ap.add_argument(positional)
    ap.add_argument("--docs-png")
    ap.add_argument("--chromedriver", default="/usr/bin/chromedriver")
    args = ap.parse_args()

    work = os.path.abspath(args.work)
    data = game_folder(work)
    setting = subprocess.run([args.kelvabot, "console-password", "--data-dir", data], input=PASSWORD + "\n",
                             text=True, capture_output=True, timeout=PATIENCE)
    check(setting.returncode == 0, "the console password is set: " + setting.stderr.strip())
    check(oct(os.stat(os.path.join(data, "console_password.txt")).st_mode & 0o777) == "0o600",
          "the password file is the owner's alone")

    world = bot = player = console = None
    try:
        world, bot_port, url = start_world(args.kelva_world, work)
        if not url:
            return 1
        bot = start_bot(args.kelvabot, work, bot_port, data)
        found = bot.wait_output(r"Operator console: (http://127\.0\.0\.1:\d+/)\n")
        if not check(found, "the bot prints where its console is"):
            print(bot.errors())
            return 1
        console_url = found.group(1)

        player = Browser(url, work, "kaya", args.chromedriver)
        player.login("Kaya", "kaya")
        check(player.wait("window.kelva.state === 'playing'"), "Kaya plays in her browser")
        player.say("/stats")
        check(player.wait("window.kelva.lines.some(l => l.kind.startsWith('whisper'))"), "the bot answers Kaya")

        console = Browser(console_url, work, "operator", args.chromedriver, size=(1280, 1500),
                          extra_args=["--autoplay-policy=no-user-gesture-required"])
        operator = console.driver
        check(wait_for(lambda: operator.execute_script("return !document.getElementById('login').hidden")),
              "without a session the console shows its log-in")
        operator.find_element(By.ID, "password").send_keys("not the password")
        operator.find_element(By.CSS_SELECTOR, "#login button").click()
        check(wait_for(lambda: "wrong password" in operator.find_element(By.ID, "login-error").text),
              "a wrong password is refused")
        field = operator.find_element(By.ID, "password")
        field.clear()
        field.send_keys(PASSWORD)
        operator.find_element(By.CSS_SELECTOR, "#login button").click()
        check(wait_for(lambda: operator.execute_script("return !document.getElementById('console').hidden")),
              "the operator logs in")
        check(wait_for(lambda: operator.execute_script(
            "return document.querySelectorAll('#combo1-names option').length") == 2),
            "the picker lists every character")

        check(wait_for(lambda: operator.execute_script(
            "return [...document.querySelectorAll('#online-rows tr')].map(r => r.cells[0].textContent)") == ["Kaya"]),
            "Kaya shows among the players online")

        operator.find_element(By.ID, "combo1").send_keys("Rolf")
        operator.find_element(By.ID, "select").click()
        check(wait_for(lambda: operator.find_element(By.ID, "text2").get_attribute("value") == "0"),
              "picking Rolf shows his exp")
        text2 = operator.find_element(By.ID, "text2")
        text2.clear()
        text2.send_keys("300")
        operator.find_element(By.ID, "command1").click()
        announcement = "A special gift of 300exp and 0gp was given to Rolf."
        check(player.wait("window.kelva.lines.some(l => l.text.includes(%r))" % announcement),
              "the player's page shows the gift's announcement")
        check(wait_for(lambda: "Rolf" in operator.find_element(By.ID, "activity-lines").text),
              "the gift shows in the console's activity log")

        operator.find_element(By.ID, "text1-0").send_keys("Kaya\t")
        check(wait_for(lambda: read(os.path.join(data, "administrators.txt")).startswith("Kaya\n")),
              "an administrator named on the page is kept in the data folder")
        player.say("bmessage: the page hears me")
        check(wait_for(lambda: "the page hears me" in operator.find_element(By.ID, "list1").text),
              "an owner message reaches the page")

        shot = os.path.join(work, "console.png")
        operator.execute_script("window.scrollTo(0, 0)")
        check(wait_for(lambda: operator.execute_script(
            "const c = Chart.getChart('chart-commands'); return c && c.data.datasets[0].data.some(n => n > 0)")),
            "the chart shows Kaya's command")
        operator.save_screenshot(shot)
        if args.docs_png:
            shutil.copy(shot, args.docs_png)

        player.quit()
        player = None
        check(wait_for(lambda: operator.execute_script(
            "return document.querySelectorAll('#online-rows tr').length") == 0),
            "once Kaya has left she is no longer online")
        check(wait_for(lambda: "kelva_players_online 0" in urllib.request.urlopen(console_url + "metrics").read().decode()),
            "the console's metrics count nobody online")
    finally:
        for b in (player, console):
            if b:
                b.quit()
        for p in (bot, world):
            if p:
                p.stop()
    return verdict(work)


if __name__ == "__main__":
    sys.exit(main())
