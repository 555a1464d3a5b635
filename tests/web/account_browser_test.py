#!/usr/bin/python3
"""Making an account from the page, played for real: kelva-world on loopback
with a data folder of its own and one headless Chromium session.

A newcomer opens "Create an account": two passwords that differ are caught
by the page and nothing reaches the world; a registered name is refused with
the world's own words; then the account is made and the newcomer is in the
world under the name, unquoted. After a reload the page remembers the name;
a wrong password is refused and the right one enters. The form is measured
at a phone's size (upright and on its side), a small window's and a
desktop's: its button is on screen and not covered, and nothing scrolls
sideways.

With --https the world gets a certificate made now (openssl, in WORK_DIR)
and Chromium accepts that certificate alone (by its public key's hash): the
page comes over HTTPS and plays over wss://.

Usage: account_browser_test.py KELVA_WORLD WORK_DIR [--https] [--docs-dir DIR]
Screenshots of the form at the three sizes go to WORK_DIR; with --docs-dir
the phone's is copied there as web-signup-phone.png.
Exit status 0 when every check passed.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser_test import Browser, check, start_world, verdict  # noqa: E402

NEWCOMER = "Wren"
PASSWORD = "a long walk home"

# The form's button on screen and the element at its middle, and whether the
# page is wider than the window.
FORM_SHAPE = """return (() => {
  const b = document.getElementById('signup-button');
  b.scrollIntoView({block: 'nearest'});
  const r = b.getBoundingClientRect();
  const at = document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2);
  const d = document.documentElement;
  return {inside: r.top >= 0 && r.bottom <= window.innerHeight && r.left >= 0 && r.right <= window.innerWidth,
          own: at === b, sideways: Math.max(d.scrollWidth, document.body.scrollWidth) > window.innerWidth};
})()"""


def make_certificate(work):
    """A self-signed certificate for 127.0.0.1, its key, and the base64
    SHA-256 of its public key (what Chromium is told to accept)."""
    cert, key = os.path.join(work, "web.pem"), os.path.join(work, "web.key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-days", "2", "-subj", "/CN=kelva-test", "-addext", "subjectAltName=IP:127.0.0.1",
                    "-keyout", key, "-out", cert], check=True, capture_output=True)
    pub = subprocess.run(["openssl", "x509", "-pubkey", "-noout", "-in", cert], check=True, capture_output=True).stdout
    der = subprocess.run(["openssl", "pkey", "-pubin", "-outform", "der"], input=pub, check=True,
                         capture_output=True).stdout
    digest = subprocess.run(["openssl", "dgst", "-sha256", "-binary"], input=der, check=True,
                            capture_output=True).stdout
    spki = subprocess.run(["base64", "-w0"], input=digest, check=True, capture_output=True).stdout.decode()
    return cert, key, spki


def sign_up(b, name, password, again):
    d = b.driver
    for field_id, text in (("signup-name", name), ("signup-password", password), ("signup-password2", again)):
        field = d.find_element("id", field_id)
        field.clear()
        field.send_keys(text)
    d.find_element("id", "signup-button").click()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("kelva_world")
    ap.add_argument("work")
    ap.add_argument("--https", action="store_true")
    ap.add_argument("--docs-dir")
    ap.add_argument("--chromedriver", default="/usr/bin/chromedriver")
    args = ap.parse_args()

    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "store"))
    world_args = ["--data-dir", os.path.join(work, "store")]
    browser_args = []
    scheme = "http"
    if args.https:
        cert, key, spki = make_certificate(work)
        world_args += ["--tls-cert", cert, "--tls-key", key]
        browser_args = ["--ignore-certificate-errors-spki-list=" + spki]
        scheme = "https"

    world = None
    browser = None
    try:
        world, _, url = start_world(args.kelva_world, work, world_args, scheme)
        if not url:
            return 1

        t0 = time.time()
        browser = Browser(url, work, "newcomer", args.chromedriver, size=(390, 844), phone=True,
                          extra_args=browser_args)
        b = browser
        check(b.wait("window.kelva.state === 'login'") is True, "the page connects and shows the log-in box")
        check(b.state("window.kelva.socketUrl").startswith("wss://" if args.https else "ws://"),
              "the game's socket is %s" % b.state("window.kelva.socketUrl"))

        b.driver.find_element("id", "show-signup").click()
        check(b.wait("!document.getElementById('signup-form').hidden && "
                     "document.getElementById('login-form').hidden") is True,
              "\"Create an account\" opens the sign-up form in place of the log-in form")

        # The form at each size, before anything is typed.
        shots = {}
        for size, phone, what in (((390, 844), True, "phone"), ((844, 390), True, "phone on its side"),
                                  ((800, 600), False, "small window"), ((1280, 800), False, "desktop")):
            b.resize(size, phone)
            time.sleep(0.4)
            shape = b.driver.execute_script(FORM_SHAPE)
            check(shape["inside"] and shape["own"] and not shape["sideways"],
                  "%s %d x %d: the sign-up button is on screen, uncovered, nothing scrolls sideways: %s" % (
                      what, size[0], size[1], shape))
            shots[what] = b.screenshot("signup-%s.png" % what.replace(" ", "-"))
        b.resize((390, 844), True)

        # Two passwords that differ: the page says so, and nothing is sent
        # (the name is still free below, with the other password).
        sign_up(b, NEWCOMER, PASSWORD, PASSWORD + "!")
        check(b.wait("document.getElementById('signup-message').textContent.includes('differ')") is True,
              "two different passwords are caught: %r" % b.state(
                  "document.getElementById('signup-message').textContent"))
        time.sleep(0.5)
        check(b.state("window.kelva.state") == "login", "after differing passwords the newcomer is not in the world")

        # A registered name: the world's refusal, in its own words, on the form.
        sign_up(b, "Kaya", PASSWORD, PASSWORD)
        refusal = b.wait("(t => t.startsWith('You cannot sign up') && t)"
                         "(document.getElementById('signup-message').textContent)")
        check(bool(refusal), "a registered name is refused with the world's text: %r" % refusal)
        check(b.state("window.kelva.state") == "login", "after the refusal the newcomer can try again")

        sign_up(b, NEWCOMER, PASSWORD, PASSWORD)
        check(b.wait("window.kelva.state === 'playing' && window.kelva.me.name === %r" % NEWCOMER) is True,
              "the new account enters the world as %s, unquoted" % NEWCOMER)
        check(b.state("document.getElementById('login').hidden") is True, "the log-in box is gone")
        b.check_layout("phone 390 x 844 after signing up")

        # Back after a reload: the name is remembered and wants its password.
        b.driver.refresh()
        check(b.wait("window.kelva.state === 'login'") is True, "after a reload the log-in box is back")
        check(b.state("document.getElementById('login-name').value") == NEWCOMER,
              "the page remembers the new name")
        b.login(NEWCOMER, "not " + PASSWORD)
        check(b.wait("document.getElementById('login-message').textContent.includes('Wrong password')") is True,
              "a wrong password for the new account is refused")
        b.login(NEWCOMER, PASSWORD)
        check(b.wait("window.kelva.state === 'playing' && window.kelva.me.name === %r" % NEWCOMER) is True,
              "the new account logs in with its password")
        print("     the run took %.1f s" % (time.time() - t0))

        if args.docs_dir:
            shutil.copy(shots["phone"], os.path.join(args.docs_dir, "web-signup-phone.png"))
    finally:
        if browser:
            browser.quit()
        if world:
            world.stop()

    return verdict(work)


if __name__ == "__main__":
    sys.exit(main())
