#!/usr/bin/python3
"""The world in a browser, played for real: kelva-world and kelvabot as
separate processes on loopback, two headless Chromium sessions on the web
port (a registered player and a guest).

It checks that everyone sees everyone (and the bot), that a battle's
whispers reach the one who clicked the rat and nobody else, that moves are
seen live, that private words to the bot reach it alone, and that a picked
shroom vanishes from both views and comes back when it regrows. Who hears
what between the line and web ports is the world's own tests' business. It plays at three sizes (Kaya on a desktop,
1280 x 800; the guest on a phone, 390 x 844 with touch, then in a small
window, 800 x 600): the view stays large, the input line and Send are never
covered, nothing scrolls sideways, a tap uses a thing, and the character
panel shows what /stats says and follows a fight. The page's state is read
from its `window.kelva` object, not from pixels; clicks go to the places the
page says its things are drawn.

Usage: browser_test.py KELVA_WORLD KELVABOT WORK_DIR [--docs-dir DIR]
Screenshots go to WORK_DIR; with --docs-dir the one of each size is copied
there (web.png, web-phone.png, web-small.png).
Exit status 0 when every check passed.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support import expected_conditions as EC
from selenium.webdriver.support.ui import WebDriverWait

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PATIENCE = 30.0  # seconds; the machine may be busy

# Kaya is an administrator and a Ranger (good shrooms, room for magic
# points); Rolf is a plain newcomer.
STATS = (
    "Kaya,1,Human,Rangers,10,10,10,10,15,15,0,20,100,0,0,0,0,!!0,0,0,0,good,0,0,0,10,15,0,10,10\r\n"
    "Rolf,1,Human,none,10,10,10,10,15,15,0,0,5,0,0,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n"
)

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


def wait_for(predicate, timeout=PATIENCE, step=0.1):
    end = time.time() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.time() > end:
            return value
        time.sleep(step)


class Process:
    """A child process whose output is kept in a file and can be waited on."""

    def __init__(self, args, work, name, stdin=False):
        self.out_path = os.path.join(work, name + ".out")
        self.err_path = os.path.join(work, name + ".err")
        self.proc = subprocess.Popen(args, stdin=subprocess.PIPE if stdin else subprocess.DEVNULL,
                                     stdout=open(self.out_path, "wb"), stderr=open(self.err_path, "wb"))

    def output(self):
        with open(self.out_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def errors(self):
        with open(self.err_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def wait_output(self, pattern, timeout=PATIENCE, stream="out"):
        text = self.output if stream == "out" else self.errors
        return wait_for(lambda: re.search(pattern, text()), timeout)

    def write_line(self, line):
        self.proc.stdin.write((line + "\n").encode())
        self.proc.stdin.flush()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class Browser:
    """One headless Chromium session on the page."""

    def __init__(self, url, work, name, driver_path, size=(1280, 800), phone=False, extra_args=()):
        self.name = name
        self.work = work
        opts = webdriver.ChromeOptions()
        opts.binary_location = "/usr/bin/chromium"
        for a in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--window-size=1280,760",
                  "--user-data-dir=" + tempfile.mkdtemp(prefix="kelva-chromium-", dir=work)) + tuple(extra_args):
            opts.add_argument(a)
        self.driver = webdriver.Chrome(service=Service(driver_path), options=opts)
        self.driver.set_page_load_timeout(PATIENCE)
        self.resize(size, phone)
        self.driver.get(url)

    def resize(self, size, phone=False):
        """The page's own size (the viewport), and whether it is a phone's touch screen."""
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": size[0], "height": size[1], "deviceScaleFactor": 1, "mobile": phone})
        self.driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": phone, "maxTouchPoints": 5})
        self.phone = phone

    def state(self, expression):
        return self.driver.execute_script("return " + expression)

    def wait(self, expression, timeout=PATIENCE):
        return wait_for(lambda: self.state(expression), timeout, 0.15)

    def lines(self, kind=None):
        lines = self.state("window.kelva.lines")
        return [l for l in lines if kind is None or l["kind"].split()[0] == kind]

    def login(self, name, password=""):
        d = self.driver
        self.wait("window.kelva.state === 'login' && !document.getElementById('login').hidden")
        # On a busy machine the dialog may still be settling: wait until the
        # fields take keys.
        for field_id, text in (("login-name", name), ("login-password", password)):
            field = WebDriverWait(d, PATIENCE).until(EC.element_to_be_clickable((By.ID, field_id)))
            field.clear()
            if text:
                field.send_keys(text)
        d.find_element(By.ID, "login-button").click()

    def say(self, text):
        line = self.driver.find_element(By.ID, "line")
        line.send_keys(text)
        line.send_keys(Keys.ENTER)

    def layout(self):
        """The size of the 3D view, whether the input line and Send are
        uncovered (the element at their middle is themselves), and whether
        the page is wider than the window."""
        return self.state("""(() => {
          const v = document.getElementById('view').getBoundingClientRect();
          const own = (id) => {
            const e = document.getElementById(id), r = e.getBoundingClientRect();
            const at = document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2);
            return r.width > 0 && (at === e || e.contains(at));
          };
          const d = document.documentElement;
          return {view: [Math.round(v.width), Math.round(v.height)], line: own('line'), send: own('send'),
                  sideways: Math.max(d.scrollWidth, document.body.scrollWidth) > window.innerWidth,
                  window: [window.innerWidth, window.innerHeight]};
        })()""")

    def check_layout(self, what):
        shape = self.layout()
        check(shape["view"][0] >= 300 and shape["view"][1] >= 300, "%s: the 3D view is %d x %d" % (
            what, shape["view"][0], shape["view"][1]))
        check(shape["line"] and shape["send"], "%s: the input line and Send are not covered" % what)
        check(not shape["sideways"] and shape["window"][0] > 0, "%s: nothing scrolls sideways (window %s)" % (
            what, shape["window"]))

    def tap_at(self, point):
        """A finger's tap at a point of the page."""
        self.driver.execute_cdp_cmd("Input.dispatchTouchEvent", {
            "type": "touchStart", "touchPoints": [{"x": point["x"], "y": point["y"]}]})
        time.sleep(0.1)
        self.driver.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": "touchEnd", "touchPoints": []})

    def character(self):
        return self.state("Object.assign({}, window.kelva.character)")

    def click_at(self, point):
        body = self.driver.find_element(By.TAG_NAME, "body")
        # Offsets from the middle of the body, which fills the window.
        size = self.driver.execute_script("return [document.body.clientWidth, document.body.clientHeight]")
        ActionChains(self.driver).move_to_element_with_offset(
            body, point["x"] - size[0] // 2, point["y"] - size[1] // 2).pause(0.3).click().perform()

    def screenshot(self, name):
        path = os.path.join(self.work, name)
        self.driver.save_screenshot(path)
        return path

    def quit(self):
        try:
            self.driver.quit()
        except Exception:  # the browser may be gone already
            pass


def verdict(work):
    """The exit status of a run: 0 when every check passed."""
    if failures:
        print("%d check(s) failed; the processes' output is in %s" % (len(failures), work))
        return 1
    print("every check passed")
    return 0


def port_after(text, label):
    """The port at the end of the line that starts with `label`."""
    m = re.search("^" + re.escape(label) + r".*?(\d+)/?$", text, re.M)
    return int(m.group(1)) if m else None


def game_folder(work):
    """WORK emptied, with a data folder of the demo's files and Kaya's and
    Rolf's characters; the data folder's path."""
    shutil.rmtree(work, ignore_errors=True)
    data = os.path.join(work, "data")
    os.makedirs(data)
    for f in ("armor~weapon.txt", "objects.txt", "recv.wav"):
        shutil.copy(os.path.join(ROOT, "demo", f), data)
    with open(os.path.join(data, "stats.txt"), "w", newline="") as f:
        f.write(STATS)
    return data


def start_world(kelva_world, work, extra=(), scheme="http"):
    """kelva-world on the demo world and free ports: the process, its bot
    port and the page's address (None when it did not start)."""
    world = Process([kelva_world, os.path.join(ROOT, "demo", "world.json"), "--player-port", "0",
                     "--bot-port", "0", "--web-port", "0"] + list(extra), work, "world")
    if not check(world.wait_output(r"Bots log in on:.*\d+\n"), "kelva-world starts and prints its ports"):
        print(world.errors())
        return world, None, None
    text = world.output()
    url = re.search(r"^Players in a browser open: (%s://[0-9.]+:\d+/)$" % scheme, text, re.M)
    check(url is not None, "kelva-world prints its %s:// address" % scheme)
    return world, port_after(text, "Bots log in on:"), url and url.group(1)


def start_bot(kelvabot, work, bot_port, data, extra=()):
    """kelvabot, headless, logging in to the world with the demo's answers."""
    bot = Process([kelvabot, "--headless", "--console-port", "0", "--world", "127.0.0.1:%d" % bot_port,
                   "--data-dir", data, "--seed", "7"] + list(extra), work, "bot", stdin=True)
    for answer in ("1234", "secret", "DemoWorld", "Kelvabot", "0", "0", "0"):
        bot.write_line(answer)
    return bot


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("kelva_world")
    ap.add_argument("kelvabot")
    ap.add_argument("work")
    ap.add_argument("--docs-dir")
    ap.add_argument("--chromedriver", default="/usr/bin/chromedriver")
    args = ap.parse_args()

    work = os.path.abspath(args.work)
    data = game_folder(work)
    world = bot = None
    browsers = []
    try:
        world, bot_port, url = start_world(args.kelva_world, work)
        if not url:
            return 1
        # Timer2 every 20 ms: a picked shroom regrows within 6 s.
        bot = start_bot(args.kelvabot, work, bot_port, data, ["--test-timer2-ms", "20"])
        bot.write_line("admin 0 Kaya")
        check(world.wait_output(r"Kelvabot.*logged in", stream="err"), "the bot logs in to the world")

        t0 = time.time()
        kaya = Browser(url, work, "kaya", args.chromedriver)
        browsers.append(kaya)
        first = kaya.wait("window.kelva.firstFrameMs")
        check(kaya.state("window.kelva.webgl") is True, "the page draws with WebGL (software) in headless Chromium")
        print("     first 3D frame %s ms after navigation start; page up in %.2f s" % (first, time.time() - t0))

        guest = Browser(url, work, "guest", args.chromedriver, size=(390, 844), phone=True)
        browsers.append(guest)

        kaya.login("Kaya", "kaya")
        check(kaya.wait("window.kelva.state === 'playing' && window.kelva.me.name === 'Kaya'"),
              "Kaya enters with her password")
        kaya.check_layout("desktop 1280 x 800")
        # The character panel fills in from a /stats of its own, which the
        # chat does not show; it then agrees with the /stats Kaya asks for.
        check(kaya.wait("window.kelva.character.known && window.kelva.character.nextExp !== null") is True,
              "Kaya's character panel fills in after log-in")
        kaya.say("/stats")
        stats = kaya.wait("(window.kelva.lines.find(l => l.kind === 'whisper' && l.text.startsWith('stats: Kaya')) || {}).text")
        m = re.search(r"Level: (\d+) Gold: (\d+) HP: (\d+)/(\d+) Clan: (\S+)", stats or "")
        panel = kaya.state("['ch-level', 'ch-gold', 'ch-hp', 'ch-clan'].map(id => document.getElementById(id).textContent)")
        check(m is not None and panel == [m.group(1), m.group(2) + " gp", m.group(3) + " / " + m.group(4), m.group(5)],
              "the character panel shows the /stats values: %s for %r" % (panel, stats))
        shown_stats = "window.kelva.lines.filter(l => l.kind === 'echo' && l.text === '» /stats').length"
        check(kaya.state(shown_stats) == 1, "the panel's own /stats is not shown in the chat")
        guest.login("mira")
        check(guest.wait("window.kelva.state === 'playing' && window.kelva.me.name === '\"mira\"'"),
              "an unregistered name enters as a guest in double quotes")
        guest.check_layout("phone 390 x 844")
        # A finger's tap in the middle of the potion stall (under its awning,
        # between its posts) buys there: the shop answers.
        guest.wait("window.kelva.character.known")
        stall = guest.wait("window.kelva.screenOfObject(1003)")
        check(stall is not None, "the potion shop is in the phone's view at arrival")
        whispers = "window.kelva.lines.filter(l => l.kind === 'whisper').length"
        heard = guest.state(whispers)
        if stall:
            guest.tap_at(stall)
        check(guest.wait("%s > %d" % (whispers, heard)) is True and guest.state("window.kelva.me.x") == 0,
              "a tap on the potion stall's middle buys there (no walk): %s" % [
                  l["text"] for l in guest.lines("whisper")][-1:])
        time.sleep(0.5)
        phone_shot = guest.screenshot("guest-phone.png")
        # A phone on its side and a tablet, then a small window with a mouse.
        for size, phone, what in (((844, 390), True, "phone on its side 844 x 390"),
                                  ((768, 1024), True, "tablet 768 x 1024"),
                                  ((800, 600), False, "small window 800 x 600")):
            guest.resize(size, phone)
            time.sleep(0.5)
            guest.check_layout(what)

        names = "Object.values(window.kelva.avatars).map(a => a.name + (a.bot ? '(bot)' : '')).sort().join(',')"
        everyone = ",".join(sorted(['"mira"', "Kaya", "Kelvabot(bot)"]))
        check(kaya.wait(names + " === " + json.dumps(everyone)) is True,
              "Kaya sees the guest and the bot: " + str(kaya.state(names)))
        check(guest.wait(names + " === " + json.dumps(everyone)) is True,
              "the guest sees Kaya and the bot: " + str(guest.state(names)))

        # Kaya clicks the rat where the page draws it: a battle, whispered to
        # her alone.
        rat = kaya.wait("window.kelva.screenOfObject(1001)")
        check(rat is not None, "the rat is drawn in Kaya's view")
        kaya.screenshot("kaya-before-battle.png")
        if rat:
            kaya.click_at(rat)
        before = kaya.character()
        battle = kaya.wait("window.kelva.lines.some(l => l.kind === 'whisper' && l.text.startsWith('You are battling'))")
        check(battle is True, "clicking the rat starts a battle, whispered in Kaya's panel")
        kaya.wait("window.kelva.lines.filter(l => l.kind === 'whisper').length >= 3", 5)
        time.sleep(1.5)
        main_shot = kaya.screenshot("kaya-battle.png")
        small_shot = guest.screenshot("guest-small.png")
        ended = kaya.wait("window.kelva.lines.some(l => l.kind === 'whisper' && "
                          "/^You have (beaten|been killed)/.test(l.text))", 60)
        check(ended is True, "Kaya's fight with the rat ends")
        after = kaya.wait("(c => (c.exp !== %d || c.gold !== %d || c.hp !== %d) && c)(window.kelva.character)" % (
            before["exp"], before["gold"], before["hp"]))
        check(bool(after), "the character panel changes after the fight: %s -> %s" % (
            {k: before[k] for k in ("hp", "gold", "exp")}, after and {k: after[k] for k in ("hp", "gold", "exp")}))
        check(kaya.state(shown_stats) == 1, "the /stats the panel asks after a fight is not shown in the chat")
        check(not any("battling" in l["text"] for l in guest.lines()), "the guest's panel has none of Kaya's whispers")

        # The guest walks by clicking the ground; Kaya sees the move.
        mira = guest.state("window.kelva.me.session")
        spot = guest.state("window.kelva.screenOfGround(-600, 900)")
        check(spot is not None, "the ground near the guest is in view")
        if spot:
            guest.click_at(spot)
        moved = kaya.wait("(a => a && Math.hypot(a.x + 600, a.z - 900) < 150)(window.kelva.avatars[%d])" % mira)
        check(moved is True, "Kaya sees the guest's move: %s" % kaya.state("window.kelva.avatars[%d]" % mira))
        # And with the keys: Esc hands the keyboard to the view, D walks east.
        before = guest.state("window.kelva.me.x")
        guest.driver.find_element(By.ID, "line").send_keys(Keys.ESCAPE)
        frame = guest.wait("(c => c !== 'rgba(0, 0, 0, 0)' && c)(getComputedStyle(document.getElementById('view'), "
                           "'::after').borderTopColor)", 5)
        badge = guest.state("getComputedStyle(document.getElementById('walk-badge')).display")
        check(bool(frame) and badge == "block",
              "walk mode shows: the view's frame is %s, its badge %s" % (frame, badge))
        ActionChains(guest.driver).key_down("d").pause(0.8).key_up("d").perform()
        check(kaya.wait("window.kelva.avatars[%d].x > %d + 200" % (mira, before)) is True,
              "walking with the keys is seen by Kaya")
        # The first letter typed after walking reaches the input line.
        ActionChains(guest.driver).send_keys("hi").perform()
        check(guest.state("document.getElementById('line').value") == "hi",
              "typing after walking goes to the input line, first letter included")
        guest.driver.find_element(By.ID, "line").clear()
        # Walks are answered by the avatar's place, not by lines in the chat.
        check(not any(l["text"].startswith("You are at") for l in guest.lines("world")),
              "the guest's walks add no lines to the chat")

        # Private words to the bot: Kaya's owner message reaches the bot's
        # console and no player.
        kaya.driver.find_element(By.ID, "tobot").click()
        kaya.say("bmessage: the rat is loose")
        check(bool(bot.wait_output(r"list1 Kaya:\s+the rat is loose")), "the bot gets Kaya's private owner message")
        time.sleep(1.0)
        check(not any("rat is loose" in l["text"] for l in guest.lines()), "the guest never hears Kaya's private words")
        kaya.driver.find_element(By.ID, "tobot").click()

        # Input line: history on the up arrow.
        line = kaya.driver.find_element(By.ID, "line")
        line.send_keys(Keys.ARROW_UP)
        check(line.get_attribute("value") == "bmessage: the rat is loose", "the up arrow recalls the last line")
        line.clear()

        # Kaya picks the shroom (a good one; she is a Ranger): it vanishes from
        # both views and comes back when it regrows.
        kaya.state("window.kelva.send({type: 'move', x: 900, z: 600})")
        kaya.wait("window.kelva.avatars[window.kelva.me.session].x === 900")
        time.sleep(1.0)
        shroom = kaya.wait("window.kelva.screenOfObject(2001)")
        check(shroom is not None, "the shroom is drawn in Kaya's view")
        if shroom:
            kaya.click_at(shroom)
        picked = kaya.wait("window.kelva.lines.some(l => l.kind === 'whisper' && l.text.includes('magic shroom'))")
        check(picked is True, "Kaya picks the shroom: %s" % [l["text"] for l in kaya.lines("whisper")][-2:])
        # The regrowth may come soon after the pick: the page counts each
        # time a thing vanished, so the test cannot miss a short absence.
        gone_k = kaya.wait("window.kelva.vanished[2001] >= 1")
        gone_g = guest.wait("window.kelva.vanished[2001] >= 1")
        check(gone_k is True and gone_g is True, "the picked shroom vanishes from both views")
        guest.screenshot("guest-shroom-picked.png")
        back_k = kaya.wait("window.kelva.objects[2001].visible", 30)
        back_g = guest.wait("window.kelva.objects[2001].visible", 30)
        check(back_k is True and back_g is True, "the shroom comes back to both views when it regrows")
        guest.screenshot("guest-shroom-regrown.png")

        # Bad input on the socket is refused and changes nothing.
        guest.state("window.kelva.lines.length = 0")
        guest.state("window.kelva.send({type: 'jump'})")
        check(guest.wait("window.kelva.lines.some(l => l.kind === 'error' && l.text.includes('jump'))") is True,
              "an unknown message type gets a clear refusal")
        check(guest.state("window.kelva.state") == "playing", "the guest is still playing after a refusal")

        # Every action is answered: the bot cannot be fought.
        guest.state("window.kelva.send({type: 'attack', name: 'Kelvabot'})")
        check(guest.wait("window.kelva.lines.some(l => l.kind === 'world' && l.text.includes('cannot be fought'))") is True,
              "attacking the bot is answered")
        # A very long line is shown cut short, with a way to open it.
        guest.say("x" * 1000)
        folded = ("(d => d && d.textContent.length < 300 && d.querySelector('button.more') !== null)"
                  "([...document.querySelectorAll('#log .chat')].pop())")
        check(kaya.wait(folded) is True, "a 1000-character line is shown cut short in Kaya's chat")
        kaya.state("[...document.querySelectorAll('#log .chat')].pop().querySelector('button.more').click()")
        check(kaya.state("[...document.querySelectorAll('#log .chat')].pop().textContent.includes('x'.repeat(1000))"),
              "the cut-short line opens in full")

        # The world's last words stay when it closes the connection: three
        # wrong passwords.
        closer = Browser(url, work, "closer", args.chromedriver)
        browsers.append(closer)
        for attempt in range(3):
            closer.login("Rolf", "wrong-%d" % attempt)
            closer.wait("document.getElementById('login-message').textContent.includes('Wrong password') "
                        "|| window.kelva.state === 'closed'")
        check(closer.wait("window.kelva.state === 'closed' && window.kelva.lines.some(l => "
                          "l.text === 'Wrong password. Goodbye.')") is True,
              "after the third wrong password the page keeps the world's last words: %r" % [
                  l["text"] for l in closer.lines()][-2:])

        if args.docs_dir:
            for shot, name in ((main_shot, "web.png"), (phone_shot, "web-phone.png"), (small_shot, "web-small.png")):
                shutil.copy(shot, os.path.join(args.docs_dir, name))
    finally:
        for b in browsers:
            b.quit()
        for p in (bot, world):
            if p:
                p.stop()

    return verdict(work)


if __name__ == "__main__":
    sys.exit(main())
