// How each world object is drawn: a table from model-name patterns to a kind
// of thing, its tag and its shape. The first row whose pattern matches the
// model name wins, so the more particular rows come first. A model that no
// row matches is drawn as a crate labelled with its model name.
//
// Sizes are in metres (the view draws 100 world units to a metre).
'use strict';

const KelvaModels = (() => {
  const C = {
    monster: 0xe0483e, shop: 0xe8a33d, healer: 0x3fbf6f, hall: 0x4a86e8,
    teacher: 0xa06ee0, shroom: 0xe05aa8, unknown: 0xb08a5a,
  };

  // kind: what a player can expect from a click; tag: the word over it.
  const TABLE = [
    { pattern: /^shroome/i, kind: 'shroom', tag: 'Evil shroom', build: shroom(0x5b2a86, 0xd0b8ff, 1.0) },
    { pattern: /^shroom1e/i, kind: 'shroom', tag: 'Evil shroom', build: shroom(0x5b2a86, 0xd0b8ff, 0.6) },
    { pattern: /^shroom1/i, kind: 'shroom', tag: 'Shroom', build: shroom(0xd8322b, 0xffffff, 0.6) },
    { pattern: /^shroom/i, kind: 'shroom', tag: 'Shroom', build: shroom(0xd8322b, 0xffffff, 1.0) },
    // A monster without a label is called by its model's name ("Troll").
    { pattern: /troll|ogre|giant|golem|orc|zombie|skeleton|minotaur/i, kind: 'monster', tag: byModel, build: brute },
    { pattern: /rat|wolf|spider|dragon|snake|bat|boar|bear|beast|monster|goblin|slime|scorpion/i,
      kind: 'monster', tag: byModel, build: beast },
    { pattern: /heal|temple|priest|cleric|shrine/i, kind: 'healer', tag: 'Healer', build: healer },
    { pattern: /hall|castle|guild|keep|fort/i, kind: 'hall', tag: 'Clan hall', build: hall },
    { pattern: /teach|master|sage|trainer|mentor|tutor/i, kind: 'teacher', tag: 'Teacher', build: teacher },
    { pattern: /potion|alchem|herb/i, kind: 'shop', tag: 'Potion shop', build: stall(0x7b3fb0, potions) },
    { pattern: /armou?r|shield/i, kind: 'shop', tag: 'Armour shop', build: stall(0x6f7f8f, shieldProp) },
    { pattern: /smith|forge|weapon|anvil/i, kind: 'shop', tag: 'Weaponsmith', build: stall(0xb2452e, anvil) },
    { pattern: /shop|store|merchant|market|stall|trader|vendor/i, kind: 'shop', tag: 'Shop', build: stall(0xe8a33d, null) },
    { pattern: /tree|oak|pine|fir|birch|palm/i, kind: 'tree', tag: null, build: tree },
    { pattern: /bush|shrub|hedge/i, kind: 'scenery', tag: null, build: bush },
    { pattern: /rock|stone|boulder/i, kind: 'scenery', tag: null, build: rock },
  ];

  const UNKNOWN = { kind: 'unknown', tag: null, build: crate };

  // "troll.rwx" -> "Troll"
  function byModel(model) {
    const word = String(model).replace(/\.[^.]*$/, '').replace(/[_-]+/g, ' ');
    return word.charAt(0).toUpperCase() + word.slice(1);
  }

  function lookup(model) {
    for (const row of TABLE) if (row.pattern.test(model)) return row;
    return UNKNOWN;
  }

  // --- small helpers -------------------------------------------------------
  const materials = new Map();
  function mat(colour, extra) {
    const key = colour + (extra ? JSON.stringify(extra) : '');
    if (!materials.has(key)) materials.set(key, new THREE.MeshLambertMaterial(Object.assign({ color: colour }, extra || {})));
    return materials.get(key);
  }
  function mesh(geometry, colour, x, y, z, extra) {
    const m = new THREE.Mesh(geometry, mat(colour, extra));
    m.position.set(x || 0, y || 0, z || 0);
    return m;
  }
  const box = (w, h, d) => new THREE.BoxBufferGeometry(w, h, d);
  const cyl = (r1, r2, h, n) => new THREE.CylinderBufferGeometry(r1, r2, h, n || 12);
  const ball = (r, n) => new THREE.SphereBufferGeometry(r, n || 14, Math.max(6, (n || 14) >> 1));
  const cone = (r, h, n) => new THREE.ConeBufferGeometry(r, h, n || 12);

  // --- shapes --------------------------------------------------------------
  function shroom(capColour, spotColour, scale) {
    return () => {
      const g = new THREE.Group();
      g.add(mesh(cyl(0.16, 0.22, 0.7), 0xf3ead8, 0, 0.35, 0));
      const cap = mesh(new THREE.SphereBufferGeometry(0.6, 16, 8, 0, Math.PI * 2, 0, Math.PI / 2), capColour, 0, 0.62, 0);
      cap.scale.set(1, 0.75, 1);
      g.add(cap);
      for (let i = 0; i < 5; i++) {
        const a = i * 1.3;
        g.add(mesh(ball(0.09, 6), spotColour, Math.cos(a) * 0.38, 0.9 - (i % 2) * 0.1, Math.sin(a) * 0.38));
      }
      g.scale.setScalar(scale * 0.8);
      return g;
    };
  }

  // A four-legged creature (rats, wolves, spiders...), sized by its name.
  function beast(model) {
    const big = /dragon|bear/i.test(model) ? 2.2 : /wolf|boar/i.test(model) ? 1.2 : 0.75;
    const fur = /rat/i.test(model) ? 0x7a6a5a : /spider/i.test(model) ? 0x2a2a30 : 0x8a5a3a;
    const g = new THREE.Group();
    const body = mesh(ball(0.5), fur, 0, 0.55, 0);
    body.scale.set(1.5, 0.85, 0.9);
    g.add(body);
    g.add(mesh(ball(0.32), fur, 0.78, 0.75, 0));
    g.add(mesh(cone(0.12, 0.3, 8), fur, 1.1, 0.72, 0).rotateZ(-Math.PI / 2));
    for (const side of [-1, 1]) {
      g.add(mesh(ball(0.1, 8), 0xffe04a, 0.98, 0.86, side * 0.15, { emissive: 0x8a1010 }));
      g.add(mesh(ball(0.12, 8), 0xd9a0a0, 0.68, 1.04, side * 0.18));
      for (const front of [-1, 1]) g.add(mesh(cyl(0.07, 0.07, 0.4, 6), fur, front * 0.4, 0.2, side * 0.28));
    }
    const tail = mesh(cyl(0.03, 0.06, 1.1, 6), 0xd9a0a0, -1.1, 0.5, 0);
    tail.rotation.z = 1.2;
    g.add(tail);
    g.scale.setScalar(big);
    return g;
  }

  // A big two-legged monster with a club (trolls, ogres...).
  function brute(model) {
    const skin = /skeleton/i.test(model) ? 0xe8e4d8 : /orc|troll/i.test(model) ? 0x5f8a4a : 0x8a7a5a;
    const g = new THREE.Group();
    for (const side of [-1, 1]) {
      g.add(mesh(cyl(0.22, 0.18, 1.0, 8), skin, 0, 0.5, side * 0.3));
      const arm = mesh(cyl(0.16, 0.14, 1.1, 8), skin, 0, 1.75, side * 0.78);
      arm.rotation.x = side * 0.25;
      g.add(arm);
    }
    const body = mesh(ball(0.75), skin, 0, 1.7, 0);
    body.scale.set(0.85, 1.0, 1.1);
    g.add(body);
    g.add(mesh(ball(0.38), skin, 0.1, 2.65, 0));
    for (const side of [-1, 1]) g.add(mesh(ball(0.07, 6), 0xff3020, 0.42, 2.72, side * 0.14, { emissive: 0x901010 }));
    g.add(mesh(box(0.6, 0.5, 1.1), 0x6b4a2a, 0, 1.05, 0));
    const club = mesh(cyl(0.18, 0.07, 1.4, 8), 0x5a3a1e, 0.35, 1.3, 1.0);
    club.rotation.z = -0.7;
    g.add(club);
    return g;
  }

  function healer() {
    const g = new THREE.Group();
    g.add(mesh(cone(2.0, 3.2, 10), 0xf4f1ea, 0, 1.6, 0));
    g.add(mesh(cyl(0.05, 0.05, 1.2, 6), 0x8a6a4a, 0, 3.6, 0));
    const sign = new THREE.Group();
    sign.add(mesh(box(0.9, 0.9, 0.1), 0xffffff, 0, 0, 0));
    sign.add(mesh(box(0.7, 0.2, 0.12), 0xd42a2a, 0, 0, 0));
    sign.add(mesh(box(0.2, 0.7, 0.12), 0xd42a2a, 0, 0, 0));
    sign.position.set(0, 4.1, 0);
    g.add(sign);
    g.add(mesh(box(0.8, 1.4, 0.1), 0x6a4a2a, 1.45, 0.7, 0).rotateY(Math.PI / 2));
    return g;
  }

  function hall() {
    const g = new THREE.Group();
    g.add(mesh(box(6, 3.2, 4.5), 0xc9b48f, 0, 1.6, 0));
    const roof = mesh(cone(4.6, 2.4, 4), 0x3d5fa8, 0, 4.4, 0);
    roof.rotation.y = Math.PI / 4;
    roof.scale.set(1, 1, 0.78);
    g.add(roof);
    g.add(mesh(box(1.2, 2.0, 0.1), 0x5a3a1e, 0, 1.0, 2.27));
    g.add(mesh(cyl(0.06, 0.06, 3.5, 6), 0x888888, 2.6, 5.0, 0));
    g.add(mesh(box(0.1, 0.8, 1.3), 0x4a86e8, 2.6, 6.3, 0.7));
    return g;
  }

  function teacher() {
    const g = new THREE.Group();
    g.add(mesh(cone(0.55, 1.6, 12), 0x6b3fa0, 0, 0.8, 0));
    g.add(mesh(ball(0.26), 0xf0c8a0, 0, 1.8, 0));
    g.add(mesh(cone(0.3, 0.7, 10), 0x4a2a7a, 0, 2.3, 0));
    g.add(mesh(box(0.5, 1.0, 0.5), 0x7a5a3a, 0.85, 0.5, 0));
    g.add(mesh(box(0.55, 0.08, 0.4), 0xf4e8c8, 0.85, 1.05, 0));
    const staff = mesh(cyl(0.04, 0.04, 2.2, 6), 0x7a5a3a, -0.5, 1.1, 0.35);
    g.add(staff);
    g.add(mesh(ball(0.12, 8), 0x9fe8ff, -0.5, 2.25, 0.35, { emissive: 0x2a6a8a }));
    return g;
  }

  function potions(g) {
    const colours = [0xd42a2a, 0x2a6ad4, 0x3fbf6f, 0xe8a33d];
    colours.forEach((c, i) => g.add(mesh(cyl(0.1, 0.13, 0.35, 8), c, -0.8 + i * 0.5, 1.22, 0.2, { emissive: c & 0x333333 })));
  }
  function shieldProp(g) {
    const s = mesh(cyl(0.45, 0.45, 0.08, 14), 0x9aa6b2, 0, 1.6, 0.55);
    s.rotation.x = Math.PI / 2;
    g.add(s);
    g.add(mesh(ball(0.12, 8), 0xe8c840, 0, 1.6, 0.62));
  }
  function anvil(g) {
    g.add(mesh(box(0.7, 0.35, 0.35), 0x3a3a40, 1.6, 0.5, 0.9));
    g.add(mesh(box(0.3, 0.35, 0.25), 0x3a3a40, 1.6, 0.18, 0.9));
    g.add(mesh(ball(0.3, 8), 0xff7a20, -1.7, 0.3, 0.8, { emissive: 0xb03a00 }));
  }

  // A market stall with a striped awning and, per trade, something on show.
  function stall(awning, prop) {
    return () => {
      const g = new THREE.Group();
      g.add(mesh(box(2.4, 1.0, 1.0), 0x8a6440, 0, 0.5, 0));
      for (const [x, z] of [[-1.15, -0.45], [1.15, -0.45], [-1.15, 0.45], [1.15, 0.45]])
        g.add(mesh(cyl(0.05, 0.05, 2.4, 6), 0x6a4a2a, x, 1.2, z));
      for (let i = 0; i < 5; i++) {
        const stripe = mesh(box(0.54, 0.08, 1.4), i % 2 ? 0xf4f1ea : awning, -1.08 + i * 0.54, 2.45, 0.1);
        stripe.rotation.x = 0.18;
        g.add(stripe);
      }
      if (prop) prop(g);
      return g;
    };
  }

  function tree(model) {
    const g = new THREE.Group();
    g.add(mesh(cyl(0.22, 0.32, 2.4, 8), 0x6b4a2e, 0, 1.2, 0));
    if (/pine|fir/i.test(model)) {
      for (let i = 0; i < 3; i++) g.add(mesh(cone(1.6 - i * 0.4, 1.8, 9), 0x2f6a3a, 0, 2.4 + i * 1.0, 0));
    } else {
      for (const [x, y, z, r] of [[0, 3.4, 0, 1.5], [0.8, 2.9, 0.4, 1.0], [-0.7, 3.0, -0.5, 1.1], [0.2, 4.2, -0.2, 1.0]])
        g.add(mesh(ball(r, 10), 0x3f8a3a, x, y, z));
    }
    return g;
  }
  function bush() {
    const g = new THREE.Group();
    for (const [x, z, r] of [[0, 0, 0.6], [0.5, 0.2, 0.45], [-0.4, 0.3, 0.5]]) g.add(mesh(ball(r, 8), 0x3f7a3a, x, r * 0.8, z));
    return g;
  }
  function rock() {
    const r = mesh(new THREE.DodecahedronBufferGeometry(0.8), 0x8a8a8a, 0, 0.5, 0);
    r.scale.set(1.2, 0.7, 1);
    const g = new THREE.Group();
    g.add(r);
    return g;
  }

  // Anything the table does not know: a wooden crate, labelled by the caller.
  function crate() {
    const g = new THREE.Group();
    g.add(mesh(box(1.2, 1.2, 1.2), C.unknown, 0, 0.6, 0));
    const edges = new THREE.LineSegments(new THREE.EdgesGeometry(box(1.22, 1.22, 1.22)),
      new THREE.LineBasicMaterial({ color: 0x5a4028 }));
    edges.position.y = 0.6;
    g.add(edges);
    return g;
  }

  // The colour of a kind's tag and ground ring, as in the page's legend.
  function colour(kind) { return C[kind] !== undefined ? C[kind] : null; }
  // Whether a tag of this kind is written in white (on a dark colour).
  function lightText(kind) { return !['shop', 'healer'].includes(kind); }
  // The word over a thing that has no label of the world's.
  function tag(row, model) { return typeof row.tag === 'function' ? row.tag(model) : row.tag; }

  // What a click on a thing of this kind does, for the hover box.
  function hint(kind) {
    switch (kind) {
      case 'monster': return 'Click to fight it.';
      case 'shop': return 'Click to buy.';
      case 'healer': return 'Click to be healed.';
      case 'hall': return 'Click to join the clan.';
      case 'teacher': return 'Click to learn a skill.';
      case 'shroom': return 'Click to pick it (shrooms of your clan\'s kind give magic).';
      default: return 'Click to use it.';
    }
  }

  return { lookup, colour, lightText, tag, hint, build: (row, model) => row.build(model) };
})();
