// The operator console page: logs in, then shows the console's state every
// second and sends the operator's actions. Every text that came from a
// player is put in with textContent.

const $ = (id) => document.getElementById(id);
let formKey = "";
let list1Count = null;   // owner messages shown so far; null before the first look
let lastActivity = 0;
let rosterEdits = null;  // the bot's count of roster changes; the picker is read afresh when it moves
let timers = [];

async function call(method, path, body) {
  const headers = { "Content-Type": "application/json" };
  if (method === "POST") headers["X-Kelva-Form-Key"] = formKey;
  const response = await fetch(path, { method, headers, body: body === undefined ? undefined : JSON.stringify(body),
                                       credentials: "same-origin" });
  if (response.status === 401 && path !== "/api/login") { showLogin(""); throw new Error("log in first"); }
  const answer = await response.json().catch(() => ({}));
  if (!response.ok) throw new Error(answer.error || `the bot answered ${response.status}`);
  return answer;
}

function showLogin(message) {
  timers.forEach(clearInterval);
  timers = [];
  $("console").hidden = true;
  $("logout").hidden = true;
  $("login").hidden = false;
  $("login-error").textContent = message;
  $("password").focus();
}

function showNotices(notices, id = "notices") {
  const list = $(id);
  list.replaceChildren();
  for (const text of notices || []) {
    const item = document.createElement("li");
    item.textContent = text;
    list.append(item);
  }
}

// The owner message sound: the bot's own recv.wav, or a short tone when it has none.
const sound = new Audio("/api/sound");
function playSound() {
  sound.currentTime = 0;
  sound.play().catch(() => {
    const context = new AudioContext();
    const tone = context.createOscillator();
    tone.connect(context.destination);
    tone.start();
    tone.stop(context.currentTime + 0.2);
  });
}

function fillAdminBoxes(names) {
  const boxes = $("text1");
  if (boxes.children.length === 0) {
    names.forEach((_, index) => {
      const box = document.createElement("input");
      box.id = `text1-${index}`;
      box.setAttribute("aria-label", `Administrator ${index + 1}`);
      box.autocomplete = "off";
      box.addEventListener("change", () =>
        call("POST", "/api/admin", { index, name: box.value })
          .then((a) => showNotices(a.notices))
          .catch((e) => showNotices([e.message])));
      boxes.append(box);
    });
  }
  names.forEach((name, index) => {
    const box = $(`text1-${index}`);
    if (document.activeElement !== box) box.value = name;
  });
}

async function refresh() {
  const names = $("combo1-names");
  const state = await call("GET",
    `/api/state?combo1=${names.children.length}&list1=${list1Count ?? 0}&activity=${lastActivity}`);
  fillAdminBoxes(state.text1);
  // A rename or a removal changes names the picker has: it starts again.
  if (rosterEdits !== null && state.rosterEdits !== rosterEdits) {
    names.replaceChildren();
    rosterEdits = state.rosterEdits;
    return refresh();
  }
  rosterEdits = state.rosterEdits;
  // Otherwise the picker's names only grow: the new ones come at the end.
  for (const name of state.combo1) {
    const option = document.createElement("option");
    option.value = name;
    names.append(option);
  }
  for (const entry of state.list1) {
    const item = document.createElement("li");
    item.textContent = entry;
    $("list1").append(item);
  }
  // Messages that were there before the page opened make no sound.
  if (list1Count !== null && state.list1.length > 0) playSound();
  list1Count = state.list1Count;
  const lines = $("activity-lines");
  for (const event of state.activity) {
    const item = document.createElement("li");
    item.textContent = `${event.time}  ${event.text}`;
    lines.append(item);
    lastActivity = event.number;
  }
  while (lines.children.length > 500) lines.firstChild.remove();
  if (state.activity.length > 0) lines.scrollTop = lines.scrollHeight;
}

function tableRow(values) {
  const row = document.createElement("tr");
  for (const value of values) {
    const cell = document.createElement("td");
    cell.textContent = String(value);
    row.append(cell);
  }
  return row;
}

async function refreshCharacters() {
  const { characters } = await call("GET", "/api/characters");
  $("character-rows").replaceChildren(
    ...characters.map((c) => tableRow([c.name, c.level, `${c.hp}/${c.maxHp}`, c.gold, c.exp, c.clan])));
}

async function refreshOnline() {
  const { online } = await call("GET", "/api/online");
  $("online-count").textContent = `(${online.length})`;
  $("online-rows").replaceChildren(...online.map((a) => {
    const c = a.character;
    return tableRow(c ? [a.name, c.level, `${c.hp}/${c.maxHp}`, c.gold, c.clan] : [a.name, "no character", "", "", ""]);
  }));
}

const charts = {};
const colours = ["#2f6db5", "#c0392b"];
function lineChart(id, labels) {
  if (typeof Chart === "undefined") return null;
  // Points are drawn so that a single minute shows too.
  const dataset = (label, i) => ({ label, data: [], tension: 0.2, pointRadius: 2, borderColor: colours[i],
                                   backgroundColor: colours[i] });
  return new Chart($(id), {
    type: "line",
    data: { labels: [], datasets: labels.map(dataset) },
    options: { animation: false, maintainAspectRatio: false, scales: { y: { beginAtZero: true } } },
  });
}

async function refreshCharts() {
  const { minutes } = await call("GET", "/api/charts");
  charts.players ??= lineChart("chart-players", ["players online"]);
  charts.commands ??= lineChart("chart-commands", ["commands a minute"]);
  charts.replies ??= lineChart("chart-replies", ["reply median (ms)", "reply p99 (ms)"]);
  charts.saves ??= lineChart("chart-saves", ["saves a second", "save time (ms, mean)"]);
  const labels = minutes.map((m) => new Date(m.minute * 60000).toISOString().slice(11, 16));
  const series = {
    players: [minutes.map((m) => m.playersOnline)],
    commands: [minutes.map((m) => m.commands)],
    replies: [minutes.map((m) => m.replyMedian * 1000), minutes.map((m) => m.replyP99 * 1000)],
    saves: [minutes.map((m) => m.saves / 60), minutes.map((m) => (m.saves ? (m.saveSeconds / m.saves) * 1000 : 0))],
  };
  for (const [name, chart] of Object.entries(charts)) {
    if (!chart) continue;
    chart.data.labels = labels;
    series[name].forEach((data, i) => { chart.data.datasets[i].data = data; });
    chart.update();
  }
}

function showConsole() {
  $("login").hidden = true;
  $("console").hidden = false;
  $("logout").hidden = false;
  const every = (ms, f) => { f().catch(() => {}); timers.push(setInterval(() => f().catch(() => {}), ms)); };
  every(1000, refresh);
  every(10000, refreshCharacters);
  every(3000, refreshOnline);
  every(15000, refreshCharts);
}

$("login").addEventListener("submit", async (event) => {
  event.preventDefault();
  try {
    const answer = await call("POST", "/api/login", { password: $("password").value });
    formKey = answer.formKey;
    $("password").value = "";
    showConsole();
  } catch (e) {
    showLogin(e.message);
  }
});

$("logout").addEventListener("click", () => call("POST", "/api/logout", {}).finally(() => showLogin("")));

$("select").addEventListener("click", async () => {
  try {
    const answer = await call("POST", "/api/select", { name: $("combo1").value });
    $("text2").value = answer.text2;
    $("text3").value = answer.text3;
    showNotices(answer.notices);
  } catch (e) { showNotices([e.message]); }
});

$("command1").addEventListener("click", async () => {
  try {
    const answer = await call("POST", "/api/change", { text2: $("text2").value, text3: $("text3").value });
    showNotices(answer.notices);
    await refreshCharacters();
  } catch (e) { showNotices([e.message]); }
});

$("say-form").addEventListener("submit", async (event) => {
  event.preventDefault();
  try {
    await call("POST", "/api/say", { text: $("say-text").value });
    $("say-text").value = "";
    showNotices([]);
  } catch (e) { showNotices([e.message]); }
});

$("rename-form").addEventListener("submit", async (event) => {
  event.preventDefault();
  try {
    const answer = await call("POST", "/api/rename", { from: $("rename-from").value, to: $("rename-to").value });
    showNotices(answer.notices, "roster-notices");
    await Promise.all([refresh(), refreshCharacters(), refreshOnline()]);
  } catch (e) { showNotices([e.message], "roster-notices"); }
});

$("remove-guests").addEventListener("click", async () => {
  try {
    const answer = await call("POST", "/api/remove-guests", {});
    showNotices(answer.notices, "roster-notices");
    await Promise.all([refresh(), refreshCharacters()]);
  } catch (e) { showNotices([e.message], "roster-notices"); }
});

// A page opened again with its cookie still valid goes straight to the console.
call("GET", "/api/session").then((s) => { formKey = s.formKey; showConsole(); }).catch(() => showLogin(""));
