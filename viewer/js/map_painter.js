// Draws one moment of a run on the map canvas.

// The rover alone is drawn in this colour, so that a test can find it by
// its pixels; nothing else on the map may use it.
RV.ROVER_COLOR = '#ff00ff';

RV.COLORS = {
  outside: '#1e2228',
  terrain: '#dcc7a4',
  wall: '#8a7355',
  homeFill: '#8fd18f', homeEdge: '#2e7d32',
  craterFill: '#5b4636', craterEdge: '#3b2a1e',
  boulderFill: '#9a9a9a', boulderEdge: '#4f4f4f',
  seen: '#ffd600',
  occluded: '#2962ff',
  trail: '#1565c0',
  viewFill: 'rgba(255, 255, 255, 0.35)', viewEdge: 'rgba(30, 30, 30, 0.55)',
  martian: '#d32f2f',
  bounce: '#ff6d00',
  end: '#111111',
};

RV.TRAIL_CHUNK = 512;

// The half side to show: the terrain, or where things are when the map's
// size is not a usable number.
RV.mapHalfExtent = function (map) {
  if (Number.isFinite(map.size) && map.size > 0) return map.size / 2;
  let half = 0;
  const grow = function (x, y, r) {
    const e = Math.max(Math.abs(x), Math.abs(y)) + (r || 0);
    if (Number.isFinite(e)) half = Math.max(half, e);
  };
  map.objects.forEach(function (o) { grow(o.x, o.y, o.r); });
  map.runs.forEach(function (r) { grow(r.vehicle.x, r.vehicle.y, 0); });
  return half > 0 ? half * 1.1 : 50;
};

// The rover's view: an ellipse with the rover at a focus, reaching front_view
// ahead and rear_view behind. Computed in the server's order of operations
// (its makeViewEllipse, then the rover's position plus its direction times
// the offset), so that both give the same doubles for the same numbers.
RV.viewEllipse = function (rover, params) {
  const offset = (params.front_view - params.rear_view) / 2;
  const major = (params.front_view + params.rear_view) / 2;
  const angle = Math.PI * rover.h / 180;
  return {
    x: rover.x + Math.cos(angle) * offset, y: rover.y + Math.sin(angle) * offset,
    major: major, minor: Math.sqrt(major * major - offset * offset), angle: angle,
  };
};

RV.MapPainter = class {
  constructor(canvas) {
    this.canvas = canvas;
    this.ctx = canvas.getContext('2d');
    this.trailCache = new WeakMap();
  }

  // scene: { record, run, t, rover, telemetry, martians, transform, dpr }
  draw(scene) {
    const ctx = this.ctx;
    const tf = scene.transform;
    const dpr = scene.dpr;
    const px = 1 / tf.scale; // one CSS pixel in world units
    ctx.setTransform(1, 0, 0, 1, 0, 0);
    ctx.fillStyle = RV.COLORS.outside;
    ctx.fillRect(0, 0, this.canvas.width, this.canvas.height);
    if (!scene.record) return;
    const map = scene.record.map;
    tf.applyTo(ctx, dpr);
    ctx.lineJoin = 'round';
    ctx.lineCap = 'round';

    if (Number.isFinite(map.size) && map.size > 0) {
      const h = map.size / 2;
      ctx.fillStyle = RV.COLORS.terrain;
      ctx.fillRect(-h, -h, 2 * h, 2 * h);
      const b = h - 0.5;
      if (b > 0) {
        ctx.setLineDash([6 * px, 4 * px]);
        ctx.strokeStyle = RV.COLORS.wall;
        ctx.lineWidth = px;
        ctx.strokeRect(-b, -b, 2 * b, 2 * b);
        ctx.setLineDash([]);
      }
    }
    // The view goes under the objects so that what it covers stays clear.
    if (scene.run) this.drawViewEllipse(scene.rover, map.vehicle, px);
    this.drawObjects(map.objects, px);
    if (!scene.run) return;
    const sense = scene.telemetry ? scene.telemetry.sense : null;
    if (sense) this.drawSensedObjects(map.objects, sense, px);
    this.drawTrail(scene.run, scene.rover.i, px);
    this.drawMarkers(scene.run, scene.t, px);
    this.drawMartians(scene.martians, sense, map.martian, px);
    this.drawRover(scene.rover, px);
    ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
    this.drawEndLabel(scene.run, scene.t, tf);
  }

  circle(x, y, r, px) {
    this.ctx.beginPath();
    this.ctx.arc(x, y, Math.max(r, 1.5 * px), 0, 2 * Math.PI);
  }

  drawObjects(objects, px) {
    const ctx = this.ctx;
    ctx.lineWidth = px;
    for (const o of objects) {
      if (!Number.isFinite(o.x) || !Number.isFinite(o.y) || !Number.isFinite(o.r)) continue;
      this.circle(o.x, o.y, o.r, px);
      if (o.kind === 'home') { ctx.fillStyle = RV.COLORS.homeFill; ctx.strokeStyle = RV.COLORS.homeEdge; }
      else if (o.kind === 'crater') { ctx.fillStyle = RV.COLORS.craterFill; ctx.strokeStyle = RV.COLORS.craterEdge; }
      else { ctx.fillStyle = RV.COLORS.boulderFill; ctx.strokeStyle = RV.COLORS.boulderEdge; }
      ctx.fill();
      ctx.stroke();
    }
  }

  // Seen objects get a bright ring; those inside the view but hidden behind
  // a boulder get a dashed blue one.
  drawSensedObjects(objects, sense, px) {
    const ctx = this.ctx;
    ctx.lineWidth = 3 * px;
    ctx.strokeStyle = RV.COLORS.seen;
    for (const id of sense.objects) {
      const o = objects[id];
      if (o) { this.circle(o.x, o.y, o.r + 1.5 * px, px); ctx.stroke(); }
    }
    ctx.lineWidth = 2 * px;
    ctx.strokeStyle = RV.COLORS.occluded;
    ctx.setLineDash([4 * px, 3 * px]);
    for (const id of sense.occludedObjects) {
      const o = objects[id];
      if (o) { this.circle(o.x, o.y, o.r + 1.5 * px, px); ctx.stroke(); }
    }
    ctx.setLineDash([]);
  }

  // The trail is kept as cached paths of RV.TRAIL_CHUNK steps; only the
  // last, growing piece is built on each frame.
  drawTrail(run, upTo, px) {
    if (upTo < 0) return;
    const ctx = this.ctx;
    const s = run.steps;
    let chunks = this.trailCache.get(run);
    if (!chunks) { chunks = []; this.trailCache.set(run, chunks); }
    ctx.strokeStyle = RV.COLORS.trail;
    ctx.lineWidth = 2 * px;
    const full = Math.floor(upTo / RV.TRAIL_CHUNK);
    for (let k = 0; k < full; k++) {
      if (!chunks[k]) {
        const path = new Path2D();
        const from = k * RV.TRAIL_CHUNK;
        if (k === 0) path.moveTo(run.start.x, run.start.y);
        else path.moveTo(s.x[from - 1], s.y[from - 1]);
        for (let i = from; i < from + RV.TRAIL_CHUNK; i++) path.lineTo(s.x[i], s.y[i]);
        chunks[k] = path;
      }
      ctx.stroke(chunks[k]);
    }
    const from = full * RV.TRAIL_CHUNK;
    ctx.beginPath();
    if (from === 0) ctx.moveTo(run.start.x, run.start.y);
    else ctx.moveTo(s.x[from - 1], s.y[from - 1]);
    for (let i = from; i <= upTo; i++) ctx.lineTo(s.x[i], s.y[i]);
    ctx.stroke();
  }

  // Bounces are orange rings with a cross; those still to come are faint.
  drawMarkers(run, t, px) {
    const ctx = this.ctx;
    ctx.lineWidth = 2 * px;
    for (const e of run.events) {
      if (!Number.isFinite(e.x) || !Number.isFinite(e.y)) continue;
      ctx.globalAlpha = e.t <= t ? 1 : 0.35;
      if (e.kind === 'bounce') {
        ctx.strokeStyle = RV.COLORS.bounce;
        this.circle(e.x, e.y, 6 * px, px);
        ctx.moveTo(e.x - 4 * px, e.y - 4 * px); ctx.lineTo(e.x + 4 * px, e.y + 4 * px);
        ctx.moveTo(e.x - 4 * px, e.y + 4 * px); ctx.lineTo(e.x + 4 * px, e.y - 4 * px);
        ctx.stroke();
      } else if (e.kind === 'martian_lost') {
        ctx.strokeStyle = RV.COLORS.martian;
        ctx.beginPath();
        ctx.moveTo(e.x - 4 * px, e.y - 4 * px); ctx.lineTo(e.x + 4 * px, e.y + 4 * px);
        ctx.moveTo(e.x - 4 * px, e.y + 4 * px); ctx.lineTo(e.x + 4 * px, e.y - 4 * px);
        ctx.stroke();
      }
    }
    ctx.globalAlpha = 1;
    const end = RV.runEndPlace(run);
    if (end) {
      ctx.globalAlpha = run.end && end.t <= t ? 1 : 0.35;
      ctx.strokeStyle = RV.COLORS.end;
      ctx.lineWidth = 2 * px;
      ctx.beginPath();
      ctx.rect(end.x - 7 * px, end.y - 7 * px, 14 * px, 14 * px);
      ctx.stroke();
      ctx.globalAlpha = 1;
    }
  }

  drawMartians(martians, sense, params, px) {
    const ctx = this.ctx;
    const seen = new Set(sense ? sense.martians : []);
    const hidden = new Set(sense ? sense.occludedMartians : []);
    const r = Math.max(0.4, 4 * px);
    for (const m of martians) {
      const hr = m.h * Math.PI / 180;
      ctx.fillStyle = RV.COLORS.martian;
      this.circle(m.x, m.y, r, px);
      ctx.fill();
      ctx.strokeStyle = '#000';
      ctx.lineWidth = 1.5 * px;
      ctx.beginPath();
      ctx.moveTo(m.x, m.y);
      ctx.lineTo(m.x + Math.cos(hr) * r * 1.8, m.y + Math.sin(hr) * r * 1.8);
      ctx.stroke();
      if (seen.has(m.index) || hidden.has(m.index)) {
        ctx.strokeStyle = seen.has(m.index) ? RV.COLORS.seen : RV.COLORS.occluded;
        ctx.lineWidth = (seen.has(m.index) ? 3 : 2) * px;
        if (!seen.has(m.index)) ctx.setLineDash([4 * px, 3 * px]);
        this.circle(m.x, m.y, r + 3 * px, px);
        ctx.stroke();
        ctx.setLineDash([]);
      }
    }
  }

  drawViewEllipse(rover, params, px) {
    if (!(params.front_view >= 0 && params.rear_view >= 0)) return;
    const view = RV.viewEllipse(rover, params);
    if (!Number.isFinite(view.x + view.y + view.major + view.minor)) return;
    const ctx = this.ctx;
    ctx.beginPath();
    ctx.ellipse(view.x, view.y, Math.max(view.major, px), Math.max(view.minor, px), view.angle, 0, 2 * Math.PI);
    ctx.fillStyle = RV.COLORS.viewFill;
    ctx.fill();
    ctx.strokeStyle = RV.COLORS.viewEdge;
    ctx.lineWidth = px;
    ctx.stroke();
  }

  // An arrowhead along the heading, at least 18 pixels long whatever the
  // zoom; the rover's position is well inside it.
  drawRover(rover, px) {
    const ctx = this.ctx;
    const len = Math.max(1.6, 18 * px);
    const hr = rover.h * Math.PI / 180;
    const c = Math.cos(hr);
    const s = Math.sin(hr);
    const at = function (a, b) { return [rover.x + c * a - s * b, rover.y + s * a + c * b]; };
    const nose = at(0.6 * len, 0);
    const left = at(-0.4 * len, 0.4 * len);
    const back = at(-0.2 * len, 0);
    const right = at(-0.4 * len, -0.4 * len);
    ctx.beginPath();
    ctx.moveTo(nose[0], nose[1]);
    ctx.lineTo(left[0], left[1]);
    ctx.lineTo(back[0], back[1]);
    ctx.lineTo(right[0], right[1]);
    ctx.closePath();
    ctx.fillStyle = RV.ROVER_COLOR;
    ctx.fill();
  }

  drawEndLabel(run, t, tf) {
    const end = RV.runEndPlace(run);
    if (!end || !run.end || t < end.t) return;
    const p = tf.toScreen(end.x, end.y);
    const ctx = this.ctx;
    ctx.font = '12px "DejaVu Sans", sans-serif';
    ctx.fillStyle = RV.COLORS.end;
    const label = run.end.outcome + ' at ' + end.t + ' ms';
    // Kept inside the canvas: to the left of the marker near the right edge.
    const width = ctx.measureText(label).width;
    const x = p.x + 10 + width > tf.width ? p.x - 10 - width : p.x + 10;
    ctx.fillText(label, x, p.y - 10);
  }
};

// Where the run ended: its ending event, or the last step.
RV.runEndPlace = function (run) {
  for (let k = run.events.length - 1; k >= 0; k--) {
    const e = run.events[k];
    if (e.kind === 'crater' || e.kind === 'killed' || e.kind === 'home') return { x: e.x, y: e.y, t: e.t };
  }
  const n = run.steps.n;
  if (n === 0) return null;
  return { x: run.steps.x[n - 1], y: run.steps.y[n - 1], t: run.end ? run.end.t : run.steps.t[n - 1] };
};
