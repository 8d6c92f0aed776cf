// Speed, turn rate and the controls over the run, with a cursor at the
// current moment. The curves are drawn once per run and size into an
// off-screen canvas; a frame only copies it and adds the cursor.

RV.PLOT_STRIPS = [
  { label: 'speed', unit: '', value: function (s, i) { return s.v[i]; } },
  { label: 'turn rate', unit: '°/s', value: function (s, i) { return s.w[i]; } },
  { label: 'controls', unit: '', controls: true },
];

RV.Plots = class {
  constructor(canvas) {
    this.canvas = canvas;
    this.ctx = canvas.getContext('2d');
    this.cache = null;
    this.key = null;
  }

  // Returns the run time under a CSS x position of the canvas.
  timeAt(x, run) {
    const span = Math.max(run.endTime, 1);
    return Math.round(Math.min(Math.max((x - RV.PLOT_LEFT) / (this.cssWidth - RV.PLOT_LEFT - 4), 0), 1) * span);
  }

  draw(run, t, dpr) {
    const w = this.canvas.clientWidth;
    const h = this.canvas.clientHeight;
    if (w === 0 || h === 0) return;
    this.cssWidth = w;
    if (this.canvas.width !== Math.round(w * dpr) || this.canvas.height !== Math.round(h * dpr)) {
      this.canvas.width = Math.round(w * dpr);
      this.canvas.height = Math.round(h * dpr);
    }
    const key = run ? run.number + ':' + w + 'x' + h + '@' + dpr : null;
    if (key !== this.key) {
      this.key = key;
      this.cache = run ? this.render(run, w, h, dpr) : null;
    }
    const ctx = this.ctx;
    ctx.setTransform(1, 0, 0, 1, 0, 0);
    ctx.clearRect(0, 0, this.canvas.width, this.canvas.height);
    if (!this.cache) return;
    ctx.drawImage(this.cache, 0, 0);
    ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
    const x = RV.PLOT_LEFT + (w - RV.PLOT_LEFT - 4) * Math.min(t / Math.max(run.endTime, 1), 1);
    ctx.strokeStyle = '#e53935';
    ctx.lineWidth = 1.5;
    ctx.beginPath();
    ctx.moveTo(x, 0);
    ctx.lineTo(x, h);
    ctx.stroke();
  }

  render(run, w, h, dpr) {
    const off = document.createElement('canvas');
    off.width = Math.round(w * dpr);
    off.height = Math.round(h * dpr);
    const ctx = off.getContext('2d');
    ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
    ctx.font = '11px "DejaVu Sans", sans-serif';
    const stripH = h / RV.PLOT_STRIPS.length;
    const plotW = w - RV.PLOT_LEFT - 4;
    const span = Math.max(run.endTime, 1);
    const s = run.steps;
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
        series = [{ color: '#1565c0', value: function (i) { return strip.value(s, i); } }];
      }
      const yOf = function (v) { return bottom - (v - lo) / (hi - lo) * (bottom - top); };
      if (lo < 0 && hi > 0) {
        ctx.strokeStyle = '#cccccc';
        ctx.lineWidth = 1;
        ctx.beginPath(); ctx.moveTo(RV.PLOT_LEFT, yOf(0)); ctx.lineTo(RV.PLOT_LEFT + plotW, yOf(0)); ctx.stroke();
      }
      for (const series1 of series) RV.plotSeries(ctx, s, series1, span, plotW, yOf);
      if (strip.controls) {
        // A tick at the top for every input poll that applied commands.
        ctx.strokeStyle = '#ef6c00';
        ctx.beginPath();
        for (const c of run.cmds) {
          const x = RV.PLOT_LEFT + c.t / span * plotW;
          ctx.moveTo(x, top); ctx.lineTo(x, top + 6);
        }
        ctx.stroke();
      }
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
    return off;
  }
};

RV.PLOT_LEFT = 58;

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

RV.shortNumber = function (v) {
  if (!Number.isFinite(v)) return String(v);
  return Math.abs(v) >= 100 ? v.toFixed(0) : v.toFixed(1);
};
