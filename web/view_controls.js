// How the player steers the camera: it follows the player's avatar from
// behind and above, turned by `yaw` around it and `zoom` times as far away.
// A mouse drags it round (left button) and its wheel zooms; a finger drags
// it round and two fingers pinch to zoom; a press that hardly moved is a
// tap or a click, handed to `onTap` (use the thing, or walk there). Keys
// and the view's buttons call `turn` and `zoomBy`.
'use strict';

const KelvaViewControls = (() => {
  const TAP_SLOP_PX = 8;          // a press that moves less is a tap, not a drag
  const TURN_PER_PX = 0.008;      // radians a pixel of dragging turns the camera
  const MIN_ZOOM = 0.35, MAX_ZOOM = 3;
  const STEEP_FROM = 1.3;         // a fit beyond this also looks down more steeply

  function create(surface, onTap, onChange) {
    // fit: how much further away a narrow view stands, to keep the things
    // beside the player in sight (set by the view as its shape changes); it
    // also looks down more steeply, so that what lies behind the player does
    // not fill the foreground.
    const c = { yaw: 0, zoom: 1, fit: STEEP_FROM };
    const pointers = new Map();   // pointerId -> {x, y, startX, startY}
    let dragged = false, pinchFrom = 0, zoomAtPinch = 1;

    c.turn = (radians) => {
      c.yaw = Math.atan2(Math.sin(c.yaw + radians), Math.cos(c.yaw + radians));
      onChange();
    };
    c.zoomBy = (factor) => {
      c.zoom = Math.max(MIN_ZOOM, Math.min(MAX_ZOOM, c.zoom * factor));
      onChange();
    };
    // Where the camera stands relative to the player, for an offset behind
    // and above the player when the camera looks north (yaw 0).
    c.offset = (base, out) => {
      const far = Math.hypot(base.y, base.z) * c.zoom * c.fit;
      const pitch = Math.atan2(base.y, base.z) + Math.max(0, Math.min(0.4, (c.fit - STEEP_FROM) * 1.5));
      const back = far * Math.cos(pitch);
      return out.set(back * Math.sin(c.yaw), far * Math.sin(pitch), back * Math.cos(c.yaw));
    };
    // A walk of (dx, dz) on screen (dz < 0: away from the camera) in world axes.
    c.toWorld = (dx, dz) => [dx * Math.cos(c.yaw) + dz * Math.sin(c.yaw), -dx * Math.sin(c.yaw) + dz * Math.cos(c.yaw)];

    const spread = () => {
      const [a, b] = [...pointers.values()];
      return Math.hypot(a.x - b.x, a.y - b.y);
    };
    surface.addEventListener('pointerdown', (e) => {
      if (e.pointerType === 'mouse' && e.button !== 0) return;
      e.preventDefault();   // the input line keeps the keyboard
      surface.setPointerCapture(e.pointerId);
      pointers.set(e.pointerId, { x: e.clientX, y: e.clientY, startX: e.clientX, startY: e.clientY });
      if (pointers.size === 1) dragged = false;
      if (pointers.size === 2) { dragged = true; pinchFrom = spread(); zoomAtPinch = c.zoom; }
    });
    surface.addEventListener('pointermove', (e) => {
      const p = pointers.get(e.pointerId);
      if (!p) return;
      const dx = e.clientX - p.x;
      p.x = e.clientX;
      p.y = e.clientY;
      if (pointers.size === 2) {
        if (pinchFrom > 0) {
          c.zoom = Math.max(MIN_ZOOM, Math.min(MAX_ZOOM, zoomAtPinch * pinchFrom / Math.max(1, spread())));
          onChange();
        }
        return;
      }
      if (!dragged && Math.hypot(e.clientX - p.startX, e.clientY - p.startY) > TAP_SLOP_PX) dragged = true;
      if (dragged) c.turn(-dx * TURN_PER_PX);
    });
    const release = (e, cancelled) => {
      const p = pointers.get(e.pointerId);
      if (!p) return;
      pointers.delete(e.pointerId);
      if (!cancelled && !dragged && pointers.size === 0) onTap(e);
    };
    surface.addEventListener('pointerup', (e) => release(e, false));
    surface.addEventListener('pointercancel', (e) => release(e, true));
    surface.addEventListener('wheel', (e) => {
      e.preventDefault();
      c.zoomBy(e.deltaY > 0 ? 1.1 : 1 / 1.1);
    }, { passive: false });
    // The page scrolls nothing and zooms nothing under a finger on the view.
    surface.style.touchAction = 'none';
    return c;
  }

  return { create };
})();
