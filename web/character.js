// The character panel: the player's level, hit points, gold, experience,
// magic, clan and PvP, read from the bot's own lines.
//
// The bot says a character's state only in its answer to /stats (two
// lines). The panel reads those, follows the hit points as battle lines
// come in, and after anything that changes the character (a fight's end, a
// purchase, a heal, a gift) asks /stats again on its own. That exchange is
// the page's, not the player's: its echo and its two answer lines are kept
// out of the chat (see docs/web_protocol.md).
'use strict';

const KelvaCharacter = (() => {
  const QUIET_WAIT_MS = 700;      // a burst of lines (a fight's last round) asks once
  const QUIET_GIVE_UP_MS = 6000;  // an answer that never comes stops being awaited

  // What changes the character and is followed by a quiet /stats.
  const CHANGES = [
    /^You have beaten /, /^You have been killed /, /^You have lost /, /^You gained /, /^You lost /,
    /^You ran from /, /^You are now level /, /^Your hp has been healed /, /^You have been fully healed/,
    /^You were fully healed/, /^You bought /, /^You sold /, /^You joined /, /^You learned /, /^You collected /,
    /^You stole /, /^You had \d+gp stolen/, /^You abandoned /, /^You have been born again/, /^You were killed /,
    /^You did \d+/, /^You were cuaght /,
  ];

  // "stats: NAME     Level: 3 Gold: 120 HP: 25/25 Clan: none"
  const FIRST = /^stats: (.*?) {5}Level: (-?\d+) Gold: (-?\d+) HP: (-?\d+)\/(-?\d+) Clan: (.*)$/;
  // "Race: Human AC:0 Speed:5 Strength:14 Charisma:10/10 Exp: 150/300 MP: 12/14"
  const SECOND = /^Race: .* Exp: (-?\d+)\/(-?\d+) MP: (-?\d+)\/(-?\d+)$/;

  function create(els, askQuietly) {
    const me = {
      known: false, name: '', level: null, gold: null, hp: null, maxHp: null, clan: '', exp: null, nextExp: null,
      mp: null, maxMp: null, pvp: null, dead: false,
    };
    let quiet = { echo: 0, first: 0, second: 0, until: 0 };
    let timer = null;

    function show() {
      els.root.hidden = false;
      const v = (x) => (x === null ? '?' : String(x));
      els.level.textContent = v(me.level);
      els.gold.textContent = v(me.gold) + ' gp';
      els.hp.textContent = v(me.hp) + ' / ' + v(me.maxHp);
      const share = me.hp !== null && me.maxHp > 0 ? Math.max(0, Math.min(1, me.hp / me.maxHp)) : 0;
      els.hpBar.style.width = (share * 100).toFixed(1) + '%';
      els.hpBar.className = share > 0.5 ? 'good' : share > 0.2 ? 'low' : 'bad';
      els.exp.textContent = me.exp === null ? '?' : me.exp + ' / ' + me.nextExp;
      els.mp.textContent = me.mp === null ? '?' : me.mp + ' / ' + me.maxMp;
      els.clan.textContent = me.clan || '?';
      els.pvp.textContent = me.pvp === null ? '?' : me.pvp ? 'on' : 'off';
      els.pvp.className = me.pvp ? 'on' : '';
      if (els.pvpButton) els.pvpButton.textContent = me.pvp === null ? 'PvP' : me.pvp ? 'PvP: on' : 'PvP: off';
      els.root.classList.toggle('dead', me.dead);
    }

    function askSoon() {
      if (timer) clearTimeout(timer);
      timer = setTimeout(askNow, QUIET_WAIT_MS);
    }
    function askNow() {
      timer = null;
      if (!askQuietly()) return;
      quiet = { echo: quiet.echo + 1, first: quiet.first + 1, second: quiet.second + 1, until: Date.now() + QUIET_GIVE_UP_MS };
    }
    function awaiting(kind) {
      if (Date.now() > quiet.until) quiet = { echo: 0, first: 0, second: 0, until: 0 };
      return quiet[kind] > 0;
    }

    // The player's own echo: true when it is the page's quiet /stats, to be
    // kept out of the chat.
    function echo(text) {
      if (text.trim().toLowerCase() !== '/stats' || !awaiting('echo')) return false;
      quiet.echo--;
      return true;
    }

    // A whisper from the bot: follows the character; true when it is an
    // answer to the quiet /stats, to be kept out of the chat.
    function whisper(text) {
      let m = FIRST.exec(text);
      if (m) {
        Object.assign(me, {
          known: true, name: m[1], level: +m[2], gold: +m[3], hp: +m[4], maxHp: +m[5], clan: m[6],
        });
        me.dead = me.hp <= 0;
        show();
        if (awaiting('first')) { quiet.first--; return true; }
        return false;
      }
      m = SECOND.exec(text);
      if (m) {
        Object.assign(me, { exp: +m[1], nextExp: +m[2], mp: +m[3], maxMp: +m[4] });
        show();
        if (awaiting('second')) { quiet.second--; return true; }
        return false;
      }
      // Between two /stats the hit points follow the battle lines.
      m = / hits you with (\d+) damage\.$/.exec(text) || /^You lost (\d+) HP from /.exec(text);
      if (m && me.hp !== null) {
        me.hp -= +m[1];
        show();
      }
      if (text === 'PvP is enabled.' || text === 'PvP is disabled.') {
        me.pvp = text === 'PvP is enabled.';
        show();
      }
      if (/^You have been killed |^You were killed /.test(text)) {
        me.dead = true;
        show();
      }
      if (CHANGES.some((re) => re.test(text))) askSoon();
      return false;
    }

    // A public line of the bot: the operator's gift to this player changes
    // gold and experience ("A special gift of 10exp and 5gp was given to Kaya.").
    function heard(text, myName) {
      const m = /^A special gift of .* was given to (.*)\.$/.exec(text);
      if (m && m[1] === myName) askSoon();
    }

    return { me, echo, whisper, heard, askNow, askSoon, show };
  }

  return { create };
})();
