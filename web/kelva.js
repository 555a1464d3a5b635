// The browser client of a Kelva world: draws the world in 3D, turns clicks
// and keys into the world's actions, and carries the chat. It speaks the
// JSON messages of docs/web_protocol.md over one WebSocket to the world that
// served the page.
//
// `window.kelva` holds what the page knows (who and what is where, the chat
// lines shown) so that tools and tests can read the state without reading
// pixels.
'use strict';

(() => {
  const UNITS_PER_METRE = 100;           // the world counts 1000 units to a 10 m cell
  const WALK_SPEED = 600;                // world units a second when walking by keys
  const MOVE_SEND_MS = 250;              // at most four moves a second: well under the flood limit
  const HISTORY_SIZE = 100;

  const kelva = {
    state: 'connecting',                 // connecting, login, playing, closed
    world: '',
    me: null,                            // {name, session, x, y, z}
    avatars: {},                         // by session: {name, session, bot, x, y, z}
    objects: {},                         // by number: {number, model, description, x, y, z, yaw, kind, visible}
    vanished: {},                        // by number: how often the object was hidden or went away
    lines: [],                           // {kind, name, text}
    socketUrl: '',                       // where the game's WebSocket connects (wss:// for a page over HTTPS)
    webgl: false,
    frames: 0,
    firstFrameMs: null,                  // ms from the start of navigation to the first drawn 3D frame
    send: (msg) => send(msg),
    // Where a thing is drawn on screen now (page pixels), or null if it is not in view.
    screenOfObject: (n) => screenOf(objectNodes.get(Number(n))),
    screenOfAvatar: (s) => screenOf(avatarNodes.get(Number(s))),
    screenOfGround: (x, z) => screenOfPoint(new THREE.Vector3(x / UNITS_PER_METRE, 0, z / UNITS_PER_METRE)),
  };
  window.kelva = kelva;

  const $ = (id) => document.getElementById(id);
  const logBox = $('log');
  const line = $('line');
  const sayForm = $('say');
  const toBot = $('tobot');
  const view = $('view');
  const tooltip = $('tooltip');

  // ---------------------------------------------------------------- chat log
  const LONG_LINE = 280;   // longer lines are shown cut short, with a way to open them
  const SHORT_SHOWN = 200;
  function addLine(kind, name, text) {
    kelva.lines.push({ kind, name: name || '', text });
    if (kelva.lines.length > 2000) kelva.lines.splice(0, 500);
    const atBottom = logBox.scrollHeight - logBox.scrollTop - logBox.clientHeight < 40;
    const div = document.createElement('div');
    div.className = kind;
    if (name) {
      const who = document.createElement('span');
      who.className = 'who';
      who.textContent = name;
      div.appendChild(who);
    }
    if (text.length > LONG_LINE) {
      const rest = document.createElement('button');
      rest.className = 'more';
      rest.textContent = '… show all ' + text.length + ' characters';
      const shown = document.createTextNode(text.slice(0, SHORT_SHOWN));
      rest.addEventListener('click', () => { shown.textContent = text; rest.remove(); });
      div.append(shown, ' ', rest);
    } else {
      div.appendChild(document.createTextNode(text));
    }
    logBox.appendChild(div);
    while (logBox.childNodes.length > 1000) logBox.removeChild(logBox.firstChild);
    if (atBottom) logBox.scrollTop = logBox.scrollHeight;
  }

  function setStatus(text, cls) {
    const s = $('status');
    s.textContent = text;
    s.className = 'status ' + (cls || '');
  }

  // ---------------------------------------------------------------- the socket
  let socket = null;
  function connect() {
    const url = (location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/ws';
    kelva.socketUrl = url;
    socket = new WebSocket(url);
    socket.onopen = () => setStatus('connected', 'online');
    // A frame carries the messages of one turn of the world, one per line.
    socket.onmessage = (e) => {
      for (const text of String(e.data).split('\n')) {
        let msg;
        try { msg = JSON.parse(text); } catch (err) { console.warn('not JSON from the world:', text); continue; }
        try { receive(msg); } catch (err) { console.error('while handling', msg, err); }
      }
    };
    socket.onclose = () => {
      const wasPlaying = kelva.state === 'playing';
      kelva.state = 'closed';
      setStatus('disconnected', 'offline');
      // The world's last words (a refusal that ends the connection) stay in
      // view, before the note that the connection is gone.
      const lastWords = wasPlaying ? '' : dialogMessage().textContent;
      if (lastWords) addLine('world', '', lastWords);
      addLine('error', '', wasPlaying ? 'The connection to the world was lost. Reload the page to enter again.'
        : 'The world closed the connection. Reload the page to try again.');
      $('login').hidden = true;
    };
  }

  function send(msg) {
    if (!socket || socket.readyState !== WebSocket.OPEN) {
      addLine('error', '', 'Not connected to the world.');
      return false;
    }
    socket.send(JSON.stringify(msg));
    return true;
  }

  function receive(msg) {
    stir();
    switch (msg.type) {
      case 'welcome':
        kelva.world = msg.world;
        kelva.state = 'login';
        $('world-name').textContent = msg.world;
        document.title = msg.world + ' (Kelva)';
        if (!kelva.me) $('login-name').focus();
        break;
      case 'password':
        $('login-message').textContent = msg.text;
        $('login-password').focus();
        break;
      case 'refused':
        dialogMessage().textContent = msg.text;
        $(signingUp() ? 'signup-name' : 'login-name').focus();
        break;
      case 'entered':
        kelva.state = 'playing';
        kelva.me = { name: msg.name, session: msg.session, x: msg.x, y: msg.y, z: msg.z };
        $('login').hidden = true;
        setStatus('playing as ' + msg.name, 'online');
        try {
          localStorage.setItem('kelva.name', $(signingUp() ? 'signup-name' : 'login-name').value.trim());
        } catch (e) { /* private mode */ }
        upsertAvatar({ session: msg.session, name: msg.name, bot: false, x: msg.x, y: msg.y, z: msg.z });
        snapTo(msg.x, msg.z);
        character.show();
        // The panel fills in once the bot is there to answer.
        setTimeout(() => { if (botName()) character.askNow(); }, 300);
        line.focus();
        break;
      case 'avatar':
        upsertAvatar(msg);
        if (msg.bot && kelva.state === 'playing' && !character.me.known) character.askSoon();
        break;
      case 'avatar-gone':
        removeAvatar(msg.session);
        break;
      case 'object':
        upsertObject(msg);
        break;
      case 'object-gone':
        hideObject(msg.number);
        break;
      case 'chat':
        if (kelva.me && kelva.avatars[msg.session] && kelva.avatars[msg.session].bot) character.heard(msg.text, kelva.me.name);
        addLine(msg.session === (kelva.me && kelva.me.session) ? 'chat mine' : 'chat', msg.name + ': ', msg.text);
        break;
      case 'whisper':
        if (character.whisper(msg.text)) break;
        addLine('whisper', msg.name + ' whispers: ', msg.text);
        break;
      case 'tell':
        addLine('tell', msg.name + ' tells you: ', msg.text);
        break;
      case 'echo':
        if (!msg.to && character.echo(msg.text)) break;
        addLine('echo', '', (msg.to ? 'to ' + msg.to + ' » ' : '» ') + msg.text);
        break;
      case 'world':
        addLine('world', '', msg.text);
        break;
      case 'error':
        if (kelva.state === 'playing') addLine('error', '', msg.text);
        else dialogMessage().textContent = msg.text;
        break;
      default:
        console.warn('unknown message from the world', msg);
    }
  }

  // ---------------------------------------------------------------- character
  const character = KelvaCharacter.create({
    root: $('character'), level: $('ch-level'), gold: $('ch-gold'), hp: $('ch-hp'), hpBar: $('ch-hpbar'),
    exp: $('ch-exp'), mp: $('ch-mp'), clan: $('ch-clan'), pvp: $('ch-pvp'), pvpButton: $('pvp-button'),
  }, () => kelva.state === 'playing' && botName() !== null && send({ type: 'chat', text: '/stats' }));
  kelva.character = character.me;

  // ---------------------------------------------------------------- log-in
  // The log-in box has two faces: entering with a name (and a password for a
  // registered one), and making an account. The world answers both alike.
  const signingUp = () => !$('signup-form').hidden;
  const dialogMessage = () => $(signingUp() ? 'signup-message' : 'login-message');

  $('login-form').addEventListener('submit', (e) => {
    e.preventDefault();
    const name = $('login-name').value.trim();
    const password = $('login-password').value;
    $('login-message').textContent = '';
    const msg = { type: 'login', name };
    if (password !== '') msg.password = password;
    send(msg);
  });

  $('signup-form').addEventListener('submit', (e) => {
    e.preventDefault();
    const name = $('signup-name').value.trim();
    const password = $('signup-password').value;
    // A mistyped password would lock the player out of the new name: the
    // two must agree before anything goes to the world.
    if (password !== $('signup-password2').value) {
      $('signup-message').textContent = 'The two passwords differ: type the same password twice.';
      $('signup-password2').focus();
      return;
    }
    $('signup-message').textContent = '';
    send({ type: 'register', name, password });
  });

  function showForm(signUp) {
    $('login-form').hidden = signUp;
    $('signup-form').hidden = !signUp;
    $('login-message').textContent = '';
    $('signup-message').textContent = '';
    if (signUp && $('signup-name').value === '') $('signup-name').value = $('login-name').value.trim();
    $(signUp ? 'signup-name' : 'login-name').focus();
  }
  $('show-signup').addEventListener('click', () => showForm(true));
  $('show-login').addEventListener('click', () => showForm(false));
  try { $('login-name').value = localStorage.getItem('kelva.name') || ''; } catch (e) { /* private mode */ }

  // ---------------------------------------------------------------- talking
  const history = [];
  let historyAt = -1;   // -1: not browsing; else an index into history
  let draft = '';

  function sayLine(text) {
    if (text === '') return;
    const ok = toBot.checked && botName()
      ? send({ type: 'tell', to: botName(), text })
      : send({ type: 'chat', text });
    if (toBot.checked && !botName()) addLine('error', '', 'The bot is not in the world: nobody to tell.');
    if (ok && history[history.length - 1] !== text) {
      history.push(text);
      if (history.length > HISTORY_SIZE) history.shift();
    }
  }

  function botName() {
    for (const s in kelva.avatars) if (kelva.avatars[s].bot) return kelva.avatars[s].name;
    return null;
  }

  sayForm.addEventListener('submit', (e) => {
    e.preventDefault();
    const text = line.value;
    if (text.trim() === '') return;
    sayLine(text);
    line.value = '';
    historyAt = -1;
    line.focus();
  });

  line.addEventListener('keydown', (e) => {
    if (e.key === 'ArrowUp' || e.key === 'ArrowDown') {
      if (history.length === 0) return;
      e.preventDefault();
      if (historyAt === -1) {
        if (e.key === 'ArrowDown') return;
        draft = line.value;
        historyAt = history.length - 1;
      } else if (e.key === 'ArrowUp') {
        historyAt = Math.max(0, historyAt - 1);
      } else if (++historyAt >= history.length) {
        historyAt = -1;
        line.value = draft;
        return;
      }
      line.value = history[historyAt];
      line.setSelectionRange(line.value.length, line.value.length);
    } else if (e.key === 'Escape') {
      e.preventDefault();
      startWalking();
    }
  });

  toBot.addEventListener('change', () => {
    sayForm.classList.toggle('tobot', toBot.checked);
    line.placeholder = toBot.checked ? 'Only the bot hears this line' : 'Say something, or type /commands';
    line.focus();
  });

  // On a small screen the chat is a sheet under the view that folds down to
  // the input line, leaving the view more room.
  $('chat-toggle').addEventListener('click', () => {
    const folded = $('panel').classList.toggle('folded');
    $('chat-toggle').textContent = folded ? 'Chat ▴' : 'Chat ▾';
    $('chat-toggle').setAttribute('aria-expanded', String(!folded));
    resize();
  });

  for (const b of document.querySelectorAll('#buttons button')) {
    b.addEventListener('mousedown', (e) => e.preventDefault());   // the input line keeps the focus
    b.addEventListener('click', () => { sayLine(b.dataset.line); line.focus(); });
  }

  // ---------------------------------------------------------------- walking
  // The input line has the keyboard while the player talks; Esc (or a click
  // on the ground) hands it to the view, where WASD and the arrows walk, and
  // Enter or any other key hands it back to the input line.
  const held = new Set();
  let lastMoveSent = 0;
  let moveDirty = false;

  function startWalking() {
    view.focus();
    view.classList.add('walking');
    kelva.walking = true;
  }
  view.addEventListener('blur', () => { view.classList.remove('walking'); kelva.walking = false; held.clear(); });

  // Walking is seen from the camera: W goes away from it, D to its right.
  const WALK_KEYS = { KeyW: [0, -1], ArrowUp: [0, -1], KeyS: [0, 1], ArrowDown: [0, 1], KeyA: [-1, 0], KeyD: [1, 0] };
  const TURN_KEYS = { KeyQ: 1, ArrowLeft: 1, KeyE: -1, ArrowRight: -1 };
  const ZOOM_KEYS = { Equal: 1 / 1.15, NumpadAdd: 1 / 1.15, Minus: 1.15, NumpadSubtract: 1.15 };
  view.addEventListener('keydown', (e) => {
    if (WALK_KEYS[e.code] || TURN_KEYS[e.code]) {
      e.preventDefault();
      held.add(e.code);
    } else if (ZOOM_KEYS[e.code]) {
      e.preventDefault();
      if (controls) controls.zoomBy(ZOOM_KEYS[e.code]);
    } else if (e.key === 'Enter' || e.key === 'Escape') {
      e.preventDefault();
      line.focus();
    } else if (e.key.length === 1 && !e.ctrlKey && !e.metaKey && !e.altKey) {
      // Typing hands the keyboard back to the input line, key included.
      e.preventDefault();
      line.focus();
      line.value += e.key;
    }
  });
  view.addEventListener('keyup', (e) => held.delete(e.code));

  const TURN_SPEED = 1.8;   // radians a second while a turning key is held
  function walk(dt) {
    if (!kelva.me || held.size === 0) return;
    let dx = 0, dz = 0, turn = 0;
    for (const code of held) {
      if (TURN_KEYS[code]) { turn += TURN_KEYS[code]; continue; }
      dx += WALK_KEYS[code][0];
      dz += WALK_KEYS[code][1];
    }
    if (turn && controls) controls.turn(turn * TURN_SPEED * dt);
    if (controls) [dx, dz] = controls.toWorld(dx, dz);
    const len = Math.hypot(dx, dz);
    if (len === 0) return;
    const step = WALK_SPEED * dt / len;
    kelva.me.x = clampLong(kelva.me.x + dx * step);
    kelva.me.z = clampLong(kelva.me.z + dz * step);
    const a = avatarNodes.get(kelva.me.session);
    if (a) a.userData.target.set(kelva.me.x / UNITS_PER_METRE, 0, kelva.me.z / UNITS_PER_METRE);
    moveDirty = true;
  }

  function flushMove(now) {
    if (!moveDirty || now - lastMoveSent < MOVE_SEND_MS) return;
    moveDirty = false;
    lastMoveSent = now;
    send({ type: 'move', x: Math.round(kelva.me.x), z: Math.round(kelva.me.z) });
  }

  function clampLong(v) { return Math.max(-2147483648, Math.min(2147483647, v)); }

  // ---------------------------------------------------------------- 3D scene
  let renderer = null, scene = null, camera = null, ground = null, groundTexture = null;
  const objectNodes = new Map();   // number -> Group
  const avatarNodes = new Map();   // session -> Group
  const clickable = [];            // the groups a ray may hit
  const cameraOffset = new THREE.Vector3(0, 19, 25);   // behind and above the player, looking north
  const cameraNow = new THREE.Vector3();
  let controls = null;
  let tagScale = 1;

  function webglProblem() {
    try {
      const c = document.createElement('canvas');
      if (!window.WebGLRenderingContext) return 'This browser does not know WebGL at all.';
      if (!(c.getContext('webgl') || c.getContext('experimental-webgl')))
        return 'WebGL is turned off or not supported by this computer\'s graphics.';
    } catch (e) {
      return 'WebGL failed to start: ' + e.message;
    }
    return null;
  }

  function initScene() {
    const problem = webglProblem();
    if (problem) return showNoWebgl(problem);
    try {
      renderer = new THREE.WebGLRenderer({ antialias: true });
    } catch (e) {
      return showNoWebgl('WebGL failed to start: ' + e.message);
    }
    kelva.webgl = true;
    renderer.setPixelRatio(Math.min(window.devicePixelRatio || 1, 2));
    view.insertBefore(renderer.domElement, view.firstChild);

    scene = new THREE.Scene();
    const sky = new THREE.Color(0xa9cbe8);
    scene.background = sky;
    scene.fog = new THREE.Fog(sky, 80, 230);
    camera = new THREE.PerspectiveCamera(50, 1, 0.5, 500);

    scene.add(new THREE.HemisphereLight(0xdfefff, 0x3a5a2a, 0.75));
    const sun = new THREE.DirectionalLight(0xfff4e0, 0.75);
    sun.position.set(30, 60, 20);
    scene.add(sun);

    // Grass with a faint line round every cell (10 m), so that distance
    // reads at a glance; the ground follows the player, its pattern stays put.
    groundTexture = cellTexture();
    ground = new THREE.Mesh(new THREE.PlaneBufferGeometry(800, 800),
      new THREE.MeshLambertMaterial({ map: groundTexture }));
    ground.rotation.x = -Math.PI / 2;
    scene.add(ground);

    resize();
    // The view changes size with the window and when the chat sheet folds.
    if (window.ResizeObserver) new ResizeObserver(resize).observe(view);
    else window.addEventListener('resize', resize);
    const canvas = renderer.domElement;
    canvas.addEventListener('mousemove', onHover);
    canvas.addEventListener('mouseleave', hideTooltip);
    // A turn or a zoom moves the view from under the pointer: the hover box goes.
    controls = KelvaViewControls.create(canvas, onTap, () => { stir(); hideTooltip(); });
    resize();
    kelva.camera = controls;
    $('zoom-in').addEventListener('click', () => controls.zoomBy(1 / 1.25));
    $('zoom-out').addEventListener('click', () => controls.zoomBy(1.25));
    $('turn-left').addEventListener('click', () => controls.turn(Math.PI / 8));
    $('turn-right').addEventListener('click', () => controls.turn(-Math.PI / 8));
    for (const b of document.querySelectorAll('#view-buttons button')) b.addEventListener('mousedown', (e) => e.preventDefault());
  }
  function hideTooltip() { tooltip.hidden = true; }

  const { cellTexture, css, shadowDisc, ring, nameColour, figure } = KelvaShapes;
  // A tag, at the size the view draws its tags now.
  function label(text, background, foreground, height) {
    const s = KelvaShapes.label(text, background, foreground, height);
    s.scale.set(s.userData.base[0] * tagScale, s.userData.base[1] * tagScale, 1);
    return s;
  }

  function showNoWebgl(why) {
    $('nowebgl').hidden = false;
    $('nowebgl-why').textContent = why;
    $('hud').hidden = true;
  }

  function resize() {
    if (!renderer) return;
    const w = view.clientWidth, h = view.clientHeight;
    renderer.setSize(w, h, false);
    camera.aspect = w / Math.max(1, h);
    camera.updateProjectionMatrix();
    // An upright view sees little to the sides: it stands further back, so
    // the shops and monsters beside the entry stay in sight.
    if (controls) controls.fit = Math.max(1.3, 1.35 / camera.aspect);
    // On a narrow view the tags are drawn larger, to stay readable.
    const k = camera.aspect < 1 ? 1.6 : 1;
    if (k !== tagScale) {
      tagScale = k;
      scene.traverse((o) => { if (o.isSprite && o.userData.base) o.scale.set(o.userData.base[0] * k, o.userData.base[1] * k, 1); });
    }
  }

  // ---------------------------------------------------------------- objects
  function upsertObject(o) {
    const old = kelva.objects[o.number];
    const row = KelvaModels.lookup(o.model);
    kelva.objects[o.number] = {
      number: o.number, model: o.model, description: o.description || '', label: o.label || '', x: o.x, y: o.y || 0, z: o.z,
      yaw: o.yaw || 0, kind: row.kind, visible: true,
    };
    if (!scene) return;
    let node = objectNodes.get(o.number);
    if (node && old && (old.model !== o.model || old.label !== (o.label || ''))) { dropNode(node); node = null; }
    if (!node) {
      node = new THREE.Group();
      const shape = KelvaModels.build(row, o.model);
      node.add(shape);
      const box = new THREE.Box3().setFromObject(shape);
      const size = Math.max(0.8, box.max.x - box.min.x, box.max.z - box.min.z);
      node.add(shadowDisc(size * 0.55));
      // The world file's label names the thing; without one the model's
      // kind does. A labelled thing does something, so it gets a ring too.
      const kindTint = KelvaModels.colour(row.kind);
      const tint = kindTint !== null ? kindTint : KelvaModels.colour('unknown');
      if ((row.kind !== 'unknown' && kindTint !== null) || o.label) node.add(ring(size * 0.62, tint));
      const tagText = o.label || (row.kind === 'unknown' ? o.model : KelvaModels.tag(row, o.model));
      if (tagText) {
        const t = label(tagText, kindTint === null ? 'rgba(60,45,30,0.9)' : css(tint),
          KelvaModels.lightText(row.kind) ? '#ffffff' : '#10141a', 0.8);
        t.position.y = box.max.y + 0.7;
        node.add(t);
      }
      node.userData = { object: o.number, box: new THREE.Box3() };
      objectNodes.set(o.number, node);
      clickable.push(node);
      scene.add(node);
    }
    node.visible = true;
    node.position.set(o.x / UNITS_PER_METRE, (o.y || 0) / UNITS_PER_METRE, o.z / UNITS_PER_METRE);
    // Yaw counts tenths of a degree.
    node.rotation.y = ((o.yaw || 0) / 10) * Math.PI / 180;
    // What a pick hits: the whole shape's box, so that a click between a
    // stall's posts or under its awning uses the stall.
    node.updateMatrixWorld(true);
    node.userData.box.setFromObject(node.children[0]);
  }

  function hideObject(number) {
    const o = kelva.objects[number];
    if (o) o.visible = false;
    kelva.vanished[number] = (kelva.vanished[number] || 0) + 1;
    const node = objectNodes.get(number);
    if (node) node.visible = false;
  }

  function dropNode(node) {
    scene.remove(node);
    const i = clickable.indexOf(node);
    if (i >= 0) clickable.splice(i, 1);
  }

  // ---------------------------------------------------------------- avatars
  function upsertAvatar(a) {
    const me = kelva.me && a.session === kelva.me.session;
    const known = kelva.avatars[a.session];
    kelva.avatars[a.session] = { session: a.session, name: a.name, bot: !!a.bot, x: a.x, y: a.y || 0, z: a.z };
    // The world moved me (a teleport, or my own move coming back): a far
    // jump is taken at once, a near one only while I am not walking by keys,
    // so that my own late echoes do not pull me back.
    const far = me && Math.hypot(a.x - kelva.me.x, a.z - kelva.me.z) > 2000;
    const follow = !me || far || held.size === 0;
    if (me && follow) { kelva.me.x = a.x; kelva.me.z = a.z; }
    if (far) snapTo(a.x, a.z);
    if (!scene) return;
    let node = avatarNodes.get(a.session);
    if (node && known && known.name !== a.name) { dropNode(node); avatarNodes.delete(a.session); node = null; }
    const target = new THREE.Vector3(a.x / UNITS_PER_METRE, (a.y || 0) / UNITS_PER_METRE, a.z / UNITS_PER_METRE);
    if (!node) {
      node = new THREE.Group();
      const colour = a.bot ? 0xf2c230 : nameColour(a.name);
      node.add(figure(colour, a.bot));
      node.add(shadowDisc(0.45));
      if (me) node.add(ring(0.7, 0x7fe0a6));
      const tag = a.bot ? label(a.name + ' · the bot', '#f2c230', '#10141a', 0.62)
        : label(me ? a.name + ' (you)' : a.name, me ? 'rgba(30,90,60,0.9)' : 'rgba(13,17,23,0.8)', '#ffffff', 0.56);
      tag.position.y = a.bot ? 2.65 : 2.4;
      node.add(tag);
      node.userData = { avatar: a.session, target: target.clone() };
      node.position.copy(target);
      avatarNodes.set(a.session, node);
      clickable.push(node);
      scene.add(node);
    }
    if (follow) node.userData.target.copy(target);
    if (target.distanceTo(node.position) > 20) node.position.copy(target);
  }

  function removeAvatar(session) {
    delete kelva.avatars[session];
    const node = avatarNodes.get(session);
    if (node && scene) dropNode(node);
    avatarNodes.delete(session);
  }

  // ---------------------------------------------------------------- pointing
  const raycaster = new THREE.Raycaster();
  const pointer = new THREE.Vector2();

  function pick(e) {
    const r = renderer.domElement.getBoundingClientRect();
    pointer.set(((e.clientX - r.left) / r.width) * 2 - 1, -((e.clientY - r.top) / r.height) * 2 + 1);
    raycaster.setFromCamera(pointer, camera);
    // The nearest thing whose box the ray meets: a thing's whole box counts,
    // so that open parts (a stall's front, between a tree's branches) pick it.
    let best = null, bestDistance = Infinity;
    const at = new THREE.Vector3(), box = new THREE.Box3();
    for (const n of clickable) {
      if (!n.visible || (kelva.me && n.userData.avatar === kelva.me.session)) continue;
      if (n.userData.box) box.copy(n.userData.box);
      else box.setFromObject(n.children[0]);   // avatars walk: their box is taken now
      if (!raycaster.ray.intersectBox(box, at)) continue;
      const d = at.distanceTo(raycaster.ray.origin);
      if (d < bestDistance) { best = n; bestDistance = d; }
    }
    if (best) return best.userData;
    const g = raycaster.intersectObject(ground);
    return g.length ? { ground: g[0].point } : null;
  }

  function onHover(e) {
    if (kelva.state !== 'playing') return;
    const hit = pick(e);
    let html = null;
    if (hit && hit.object !== undefined) {
      const o = kelva.objects[hit.object];
      html = '<div class="what"></div><div class="how"></div>';
      tooltip.innerHTML = html;
      tooltip.firstChild.textContent = o.label || o.description || o.model;
      tooltip.lastChild.textContent = (o.label && o.description ? o.description + ' · ' : '') + KelvaModels.hint(o.kind);
    } else if (hit && hit.avatar !== undefined) {
      const a = kelva.avatars[hit.avatar];
      html = '<div class="what"></div><div class="how"></div>';
      tooltip.innerHTML = html;
      tooltip.firstChild.textContent = a.name + (a.bot ? ' (the bot)' : '');
      tooltip.lastChild.textContent = a.bot ? 'The game\'s host (it cannot be fought): type /commands to see what it knows.'
        : 'Click to fight (when you both have /pvp on).';
    }
    renderer.domElement.style.cursor = html ? 'pointer' : 'crosshair';
    tooltip.hidden = !html;
    if (html) {
      // Beside the pointer, on whichever side has room.
      const r = view.getBoundingClientRect();
      const x = e.clientX - r.left, y = e.clientY - r.top;
      tooltip.style.left = (x + 300 < r.width ? x + 14 : Math.max(0, x - 14 - tooltip.offsetWidth)) + 'px';
      tooltip.style.top = (y + 90 < r.height ? y + 14 : Math.max(0, y - 14 - tooltip.offsetHeight)) + 'px';
    }
  }

  // A click or a tap (not a drag): use the thing, or walk there.
  function onTap(e) {
    if (kelva.state !== 'playing') return;
    hideTooltip();
    const hit = pick(e);
    if (!hit) return;
    if (hit.object !== undefined) {
      send({ type: 'click', object: hit.object });
    } else if (hit.avatar !== undefined) {
      send({ type: 'attack', name: kelva.avatars[hit.avatar].name });
    } else if (hit.ground) {
      const x = clampLong(Math.round(hit.ground.x * UNITS_PER_METRE));
      const z = clampLong(Math.round(hit.ground.z * UNITS_PER_METRE));
      kelva.me.x = x;
      kelva.me.z = z;
      const node = avatarNodes.get(kelva.me.session);
      if (node) node.userData.target.set(x / UNITS_PER_METRE, 0, z / UNITS_PER_METRE);
      send({ type: 'move', x, z });
      marker(hit.ground);
    }
  }

  // A brief ring where the player clicked to walk.
  let markerNode = null, markerUntil = 0;
  function marker(point) {
    if (!markerNode) { markerNode = ring(0.5, 0xffffff); scene.add(markerNode); }
    markerNode.position.set(point.x, 0.04, point.z);
    markerNode.visible = true;
    markerUntil = performance.now() + 700;
  }

  function screenOfPoint(v) {
    if (!camera) return null;
    const p = v.clone().project(camera);
    if (p.z < -1 || p.z > 1 || Math.abs(p.x) > 1 || Math.abs(p.y) > 1) return null;
    const r = renderer.domElement.getBoundingClientRect();
    return { x: Math.round(r.left + (p.x + 1) / 2 * r.width), y: Math.round(r.top + (1 - p.y) / 2 * r.height) };
  }
  function screenOf(node) {
    if (!node || !node.visible) return null;
    // Aim at the middle of the shape, not at its feet.
    const box = new THREE.Box3().setFromObject(node.children[0]);
    return screenOfPoint(box.getCenter(new THREE.Vector3()));
  }

  // Avatars standing on the same spot (everyone enters at the same place)
  // are drawn a step apart, each on its own side, so no figure or name tag
  // hides another; the world's positions are not touched.
  function spreadCrowds() {
    const nodes = [...avatarNodes.values()];
    for (const n of nodes) {
      const t = n.userData.target;
      n.userData.shown = n.userData.shown || t.clone();
      n.userData.shown.copy(t);
      if (nodes.length > 60) continue;
      if (nodes.some((o) => o !== n && o.userData.target.distanceTo(t) < 1.5)) {
        // Each on its own ray (the golden angle apart) and a little further
        // out the later it came, so that name tags do not cover each other.
        const a = n.userData.avatar * 2.39996;
        const r = 1.4 + 0.35 * Math.sqrt(n.userData.avatar % 16);
        n.userData.shown.x += Math.cos(a) * r;
        n.userData.shown.z += Math.sin(a) * r;
      }
    }
  }

  // ---------------------------------------------------------------- the loop
  const cameraTarget = new THREE.Vector3();
  function snapTo(x, z) {
    cameraTarget.set(x / UNITS_PER_METRE, 0, z / UNITS_PER_METRE);
    if (camera && controls) camera.position.copy(cameraTarget).add(controls.offset(cameraOffset, cameraNow));
  }

  // Drawing in software (no graphics card) is costly: the view draws at
  // most 30 frames a second while things move, and four when all is still.
  let last = performance.now();
  let lastDrawn = 0;
  let lastActivity = performance.now();
  const stir = () => { lastActivity = performance.now(); };
  ['mousemove', 'pointerdown', 'keydown', 'wheel', 'resize'].forEach((e) => window.addEventListener(e, stir, true));
  function frame(now) {
    requestAnimationFrame(frame);
    const still = now - lastActivity > 2000 && held.size === 0;
    if (kelva.frames > 0 && now - lastDrawn < (still ? 250 : 33)) return;
    lastDrawn = now;
    // Walking keeps to real time even when frames come slowly.
    const dt = Math.min(0.5, (now - last) / 1000);
    last = now;
    walk(dt);
    if (kelva.me) flushMove(now);
    spreadCrowds();
    for (const node of avatarNodes.values()) {
      const t = node.userData.shown;
      const d = t.distanceTo(node.position);
      if (d > 0.01) {
        stir();
        // Walk towards where the world says the avatar is, facing the way it goes.
        const step = Math.min(d, Math.max(8, d * 4) * dt);
        node.rotation.y = Math.atan2(t.x - node.position.x, t.z - node.position.z);
        node.position.lerp(t, step / d);
      }
    }
    if (kelva.me) {
      const mine = avatarNodes.get(kelva.me.session);
      if (mine && mine.position.distanceTo(cameraTarget) > 0.05) {
        cameraTarget.lerp(mine.position, Math.min(1, dt * 5));
        hideTooltip();   // the view moved from under the pointer
      }
    }
    if (markerNode && now > markerUntil) markerNode.visible = false;
    camera.position.copy(cameraTarget).add(controls.offset(cameraOffset, cameraNow));
    camera.lookAt(cameraTarget.x, cameraTarget.y + 1.2, cameraTarget.z);
    // The ground moves with the camera in whole cells, so its pattern stays
    // put under the things on it.
    const gx = Math.round(cameraTarget.x / 10) * 10, gz = Math.round(cameraTarget.z / 10) * 10;
    ground.position.set(gx, 0, gz);
    renderer.render(scene, camera);
    if (kelva.frames++ === 0) kelva.firstFrameMs = Math.round(performance.now());
    const me = kelva.me;
    $('where').textContent = me ? me.name + ' at ' + Math.round(me.x) + ', ' + Math.round(me.z) +
      ' (cell ' + Math.floor(me.x / 1000) + ', ' + Math.floor(me.z / 1000) + ')' : '';
  }

  // Without WebGL the page still plays: moves go out from the keys alone.
  function textOnlyLoop(now) {
    const dt = Math.min(0.1, (now - last) / 1000);
    last = now;
    walk(dt);
    if (kelva.me) flushMove(now);
    requestAnimationFrame(textOnlyLoop);
  }

  // Keys typed while nothing has the keyboard (after a click on a button or
  // beside the page's controls) go to the input line, the first one included.
  document.addEventListener('keydown', (e) => {
    if (kelva.state !== 'playing' || e.defaultPrevented) return;
    const at = document.activeElement;
    if (at && at !== document.body && at.closest('input, textarea, select, #view')) return;
    if (e.key === ' ' && at && at.closest('button')) return;   // a space presses the button
    if (e.key.length === 1 && !e.ctrlKey && !e.metaKey && !e.altKey) {
      e.preventDefault();
      line.focus();
      line.value += e.key;
    }
  });

  document.addEventListener('click', (e) => {
    // Clicks on the panel's empty parts give the keyboard back to the input line.
    if (e.target.closest('#panel') && !e.target.closest('input, button, label')) line.focus();
  });

  initScene();
  if (renderer) requestAnimationFrame(frame); else requestAnimationFrame(textOnlyLoop);
  connect();
})();
