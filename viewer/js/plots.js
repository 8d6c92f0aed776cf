// Speed, turn rate and the controls over the run, with a cursor at the
// current moment. The curves are drawn into an off-screen canvas once per
// run and size; a frame only copies it and adds the cursor. A run that is
// still being played is drawn on a time axis that doubles when the run
// outgrows it, with value ranges that widen with margin, so that each new
// step only adds its own segment: a frame costs the steps that arrived, not
// the length of the run.

RV.PLOT_STRIPS = [
  { label: 'speed', unit: '', value: function (s, i) { return s.v[i]; } },
  { label: 'turn rate', unit: '°/s', value: function (s, i) { return s.w[i]; } },
  { label: 'controls', unit: '', controls: true },
];

RV.PLOT_LEFT = 58;
RV.LIVE_SPAN_MS = 10000; // the first time axis of a growing run

// The time the x axis spans: the run's, or for a growing run the first of
// 10 s, 20 s, 40 s, ... that holds it.
RV.plotSpan = function (run, growing) {
  if (!growing) return Math.max(run.endTime, 1);
  let span = RV.LIVE_SPAN_MS;
  while (span < run.endTime) span *= 2;
  return span;
};

RV.Plots = class {
  constructor(canvas) {
    this.canvas = canvas;
    this.ctx = canvas.getContext('2d');
    this.cache = null;
  }

  // Returns the run time under a CSS x position of the canvas.
  timeAt(x, run) {
    const span = this.cache ? this.cache.span : Math.max(run.endTime, 1);
    return Math.round(Math.min(Math.max((x - RV.PLOT_LEFT) / (this.cssWidth - RV.PLOT_LEFT - 4), 0), 1) * span);
  }

  draw(run, t, dpr, growing) {
    const w = this.canvas.clientWidth;
    const h = this.canvas.clientHeight;
    if (w === 0 || h === 0) return;
    this.cssWidth = w;
    if (this.canvas.width !== Math.round(w * dpr) || this.canvas.height !== Math.round(h * dpr)) {
      this.canvas.width = Math.round(w * dpr);
      this.canvas.height = Math.round(h * dpr);
    }
    const ctx = this.ctx;
    ctx.setTransform(1, 0, 0, 1, 0, 0);
    ctx.clearRect(0, 0, this.canvas.width, this.canvas.height);
    if (!run) {
      this.cache = null;
      return;
    }
    const key = run.number + ':' + w + 'x' + h + '@' + dpr;
    const span = RV.plotSpan(run, growing);
    const c = this.cache;
    if (!c || c.run !== run || c.key !== key || c.span !== span || !this.extend(run)) {
      this.cache = this.render(run, key, span, growing, w, h, dpr);
    }
    ctx.drawImage(this.cache.canvas, 0, 0);
    ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
    const x = RV.PLOT_LEFT + (w - RV.PLOT_LEFT - 4) * Math.min(t / span, 1);
    ctx.strokeStyle = '#e53935';
    ctx.lineWidth = 1.5;
    ctx.beginPath();
    ctx.moveTo(x, 0);
    ctx.lineTo(x, h);
    ctx.stroke();
  }

  render(run, key, span, growing, w, h, dpr) {
    const off = document.createElement('canvas');
    off.width = Math.round(w * dpr);
    off.height = Math.round(h * dpr);
    const ctx = off.getContext('2d');
    ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
    ctx.font = '11px "DejaVu Sans", sans-serif';
    const stripH = h / RV.PLOT_STRIPS.length;
    const plotW = w - RV.PLOT_LEFT - 4;
    const s = run.steps;
    const cache = { run: run, key: key, span: span, canvas: off, ctx: ctx, plotW: plotW, strips: [], steps: s.n, cmds: run.cmds.length };
    RV.PLOT_STRIPS.forEach(function (strip, k) {
      const top = k * stripH + 4;
      const bottom = (k + 1) * stripH - 4;
      ctx.fillStyle = '#f7f7f7';
      ctx.fillRect(RV.PLOT_LEFT, top, plotW, bottom - top);
      let lo, hi, series;
      if (strip.controls) {
        lo = -2.5; hi = 2.5;
        series = [
          { color: '#2e7d32', value: function (i) { return s.accel[i]; } },
          { color: '#6a1b9a', value: function (i) { return s.turn[i]; } },
        ];
      } else {
        lo = Infinity; hi = -Infinity;
        for (let i = 0; i < s.n; i++) {
          const v = strip.value(s, i);
          if (Number.isFinite(v)) { if (v < lo) lo = v; if (v > hi) hi = v; }
        }
        if (!(lo <= hi)) { lo = 0; hi = 1; }
        if (hi - lo < 1e-9) { hi += 1; lo -= strip.label === 'speed' ? 0 : 1; }
        if (growing) {
          // Room for what is still to come, so that it rarely needs a new range.
          const margin = (hi - lo) / 4;
          hi += margin;
          if (lo < 0 || strip.label !== 'speed') lo -= margin;
        }
        series = [{ color: '#1565c0', value: function (i) { return strip.value(s, i); } }];
      }
      const yOf = function (v) { return bottom - (v - lo) / (hi - lo) * (bottom - top); };
      cache.strips.push({ strip: strip, top: top, lo: lo, hi: hi, yOf: yOf, series: series });
      if (lo < 0 && hi > 0) {
        ctx.strokeStyle = '#cccccc';
        ctx.lineWidth = 1;
        ctx.beginPath(); ctx.moveTo(RV.PLOT_LEFT, yOf(0)); ctx.lineTo(RV.PLOT_LEFT + plotW, yOf(0)); ctx.stroke();
      }
      for (const one of series) RV.plotSeries(ctx, s, one, span, plotW, yOf);
      if (strip.controls) RV.plotCommands(ctx, run.cmds, 0, span, plotW, top);
      ctx.fillStyle = '#333';
      ctx.fillText(strip.label, 2, top + 11);
      if (strip.controls) {
        ctx.fillStyle = '#2e7d32'; ctx.fillText('accel', 2, top + 24);
        ctx.fillStyle = '#6a1b9a'; ctx.fillText('turn', 2, top + 37);
        ctx.fillStyle = '#ef6c00'; ctx.fillText('cmds', 2, top + 50);
      } else {
        ctx.fillStyle = '#666';
        ctx.fillText(RV.shortNumber(hi) + strip.unit, 2, top + 24);
        ctx.fillText(RV.shortNumber(lo) + strip.unit, 2, bottom - 2);
      }
    });
    return cache;
  }

  // Draws the steps and commands that arrived since the cache was drawn;
  // returns false when one falls outside its strip's range (the caller
  // then draws the run again).
  extend(run) {
    const c = this.cache;
    const s = run.steps;
    if (c.steps === s.n && c.cmds === run.cmds.length) return true;
    for (const one of c.strips) {
      if (one.strip.controls) continue;
      for (let i = c.steps; i < s.n; i++) {
        const v = one.strip.value(s, i);
        if (Number.isFinite(v) && (v < one.lo || v > one.hi)) return false;
      }
    }
    const xOf = function (t) { return RV.PLOT_LEFT + t / c.span * c.plotW; };
    const ctx = c.ctx;
    ctx.lineWidth = 1.2;
    for (const one of c.strips) {
      for (const series of one.series) {
        ctx.strokeStyle = series.color;
        ctx.beginPath();
        let started = false;
        for (let i = Math.max(c.steps - 1, 0); i < s.n; i++) {
          const v = series.value(i);
          if (!Number.isFinite(v)) continue;
          if (started) ctx.lineTo(xOf(s.t[i]), one.yOf(v));
          else ctx.moveTo(xOf(s.t[i]), one.yOf(v));
          started = true;
        }
        ctx.stroke();
      }
      if (one.strip.controls) RV.plotCommands(ctx, run.cmds, c.cmds, c.span, c.plotW, one.top);
    }
    c.steps = s.n;
    c.cmds = run.cmds.length;
    return true;
  }
};

// One series as a min/max envelope per pixel column: a long run has far
// more steps than the plot has pixels.
RV.plotSeries = function (ctx, s, series, span, plotW, yOf) {
  ctx.strokeStyle = series.color;
  ctx.lineWidth = 1.2;
  ctx.beginPath();
  let column = -1;
  let lo = 0;
  let hi = 0;
  const flush = function () {
    const x = RV.PLOT_LEFT + column + 0.5;
    ctx.lineTo(x, yOf(lo));
    if (hi !== lo) ctx.lineTo(x, yOf(hi));
  };
  for (let i = 0; i < s.n; i++) {
    const v = series.value(i);
    if (!Number.isFinite(v)) continue;
    const c = Math.min(Math.floor(s.t[i] / span * plotW), plotW - 1);
    if (c !== column) {
      if (column >= 0) flush();
      else ctx.moveTo(RV.PLOT_LEFT + c + 0.5, yOf(v));
      column = c; lo = v; hi = v;
    } else {
      if (v < lo) lo = v;
      if (v > hi) hi = v;
    }
  }
  if (column >= 0) flush();
  ctx.stroke();
};

// A tick at the top of the controls strip for every input poll that
// applied commands, from the `from`th on.
RV.plotCommands = function (ctx, cmds, from, span, plotW, top) {
  ctx.strokeStyle = '#ef6c00';
  ctx.lineWidth = 1;
  ctx.beginPath();
  for (let k = from; k < cmds.length; k++) {
    const x = RV.PLOT_LEFT + cmds[k].t / span * plotW;
    ctx.moveTo(x, top);
    ctx.lineTo(x, top + 6);
  }
  ctx.stroke();
};

RV.shortNumber = function (v) {
  if (!Number.isFinite(v)) return String(v);
  return Math.abs(v) >= 100 ? v.toFixed(0) : v.toFixed(1);
};
