// The shapes the view draws that are not models of the world's objects:
// the grass, the tags over things, the rings and shadows under them, and the
// avatars' figures. Sizes are in metres.
'use strict';

const KelvaShapes = (() => {
  function cellTexture() {
    const c = document.createElement('canvas');
    c.width = c.height = 256;
    const g = c.getContext('2d');
    g.fillStyle = '#5f8f45';
    g.fillRect(0, 0, 256, 256);
    // A little unevenness, always the same, so the grass does not look painted.
    let seed = 7;
    const rnd = () => ((seed = (seed * 16807) % 2147483647) / 2147483647);
    for (let i = 0; i < 1400; i++) {
      g.fillStyle = rnd() < 0.5 ? 'rgba(40,80,30,0.18)' : 'rgba(150,190,100,0.16)';
      g.fillRect(rnd() * 256, rnd() * 256, 2 + rnd() * 3, 2 + rnd() * 3);
    }
    g.strokeStyle = 'rgba(30,55,25,0.55)';
    g.lineWidth = 3;
    g.strokeRect(0, 0, 256, 256);
    const t = new THREE.CanvasTexture(c);
    t.wrapS = t.wrapT = THREE.RepeatWrapping;
    t.repeat.set(80, 80);
    t.anisotropy = 4;
    return t;
  }

  // A name tag or object tag: text drawn on a canvas, always facing the camera.
  function label(text, background, foreground, height) {
    const c = document.createElement('canvas');
    const g = c.getContext('2d');
    const px = 44;
    g.font = 'bold ' + px + 'px "DejaVu Sans", Arial, sans-serif';
    const w = Math.ceil(g.measureText(text).width) + px;
    c.width = w;
    c.height = px * 1.6;
    g.font = 'bold ' + px + 'px "DejaVu Sans", Arial, sans-serif';
    g.fillStyle = background;
    roundRect(g, 0, 0, c.width, c.height, px * 0.6);
    g.fill();
    g.fillStyle = foreground;
    g.textBaseline = 'middle';
    g.fillText(text, px / 2, c.height / 2 + 2);
    const tex = new THREE.CanvasTexture(c);
    tex.minFilter = THREE.LinearFilter;
    const s = new THREE.Sprite(new THREE.SpriteMaterial({ map: tex, depthTest: false, transparent: true }));
    const h = height || 0.55;
    s.userData.base = [h * c.width / c.height, h];   // its size before the view scales its tags
    s.scale.set(s.userData.base[0], h, 1);
    s.renderOrder = 10;
    return s;
  }
  function roundRect(g, x, y, w, h, r) {
    g.beginPath();
    g.moveTo(x + r, y);
    g.arcTo(x + w, y, x + w, y + h, r);
    g.arcTo(x + w, y + h, x, y + h, r);
    g.arcTo(x, y + h, x, y, r);
    g.arcTo(x, y, x + w, y, r);
    g.closePath();
  }
  const css = (hex) => '#' + hex.toString(16).padStart(6, '0');

  function shadowDisc(radius) {
    const d = new THREE.Mesh(new THREE.CircleBufferGeometry(radius, 20),
      new THREE.MeshBasicMaterial({ color: 0x000000, transparent: true, opacity: 0.22, depthWrite: false }));
    d.rotation.x = -Math.PI / 2;
    d.position.y = 0.02;
    return d;
  }
  function ring(radius, colour) {
    const r = new THREE.Mesh(new THREE.RingBufferGeometry(radius * 0.86, radius, 32),
      new THREE.MeshBasicMaterial({ color: colour, transparent: true, opacity: 0.85, depthWrite: false }));
    r.rotation.x = -Math.PI / 2;
    r.position.y = 0.03;
    return r;
  }

  function nameColour(name) {
    let h = 0;
    for (let i = 0; i < name.length; i++) h = (h * 31 + name.charCodeAt(i)) >>> 0;
    return new THREE.Color().setHSL((h % 360) / 360, 0.55, 0.5).getHex();
  }

  function figure(colour, bot) {
    const g = new THREE.Group();
    const m = (c) => new THREE.MeshLambertMaterial({ color: c });
    for (const side of [-1, 1]) {
      const leg = new THREE.Mesh(new THREE.CylinderBufferGeometry(0.11, 0.1, 0.85, 8), m(0x2f3a4a));
      leg.position.set(side * 0.14, 0.43, 0);
      g.add(leg);
      const arm = new THREE.Mesh(new THREE.CylinderBufferGeometry(0.08, 0.07, 0.7, 8), m(colour));
      arm.position.set(side * 0.38, 1.15, 0);
      arm.rotation.z = side * 0.15;
      g.add(arm);
    }
    const body = new THREE.Mesh(new THREE.CylinderBufferGeometry(0.3, 0.26, 0.75, 12), m(colour));
    body.position.y = 1.2;
    g.add(body);
    const head = new THREE.Mesh(new THREE.SphereBufferGeometry(0.22, 14, 10), m(0xf0c8a0));
    head.position.y = 1.8;
    g.add(head);
    const nose = new THREE.Mesh(new THREE.SphereBufferGeometry(0.05, 6, 4), m(0xe0a880));
    nose.position.set(0, 1.8, 0.22);
    g.add(nose);
    if (bot) {
      const halo = new THREE.Mesh(new THREE.TorusBufferGeometry(0.22, 0.04, 8, 24),
        new THREE.MeshBasicMaterial({ color: 0xf2c230 }));
      halo.rotation.x = Math.PI / 2;
      halo.position.y = 2.2;
      g.add(halo);
    }
    return g;
  }

  return { cellTexture, label, css, shadowDisc, ring, nameColour, figure };
})();
