// Sorts the record's lines into runs, in the order the server wrote them.
// Per-step values go into typed arrays: a five-minute run has 30000 steps
// and the view looks them up by binary search on every frame.

RV.ACCEL_STATES = { b: -1, '-': 0, a: 1 };
RV.TURN_STATES = { R: -2, r: -1, '-': 0, l: 1, L: 2 };

RV.RunBuilder = class {
  constructor(record) {
    this.record = record;
    this.current = null;
    this.pendingSense = null;
    this.pendingMartians = null;
    record.initMessage = null;
  }

  run(item) {
    const number = Number(item.run);
    if (!(number >= 1)) throw new Error('a run line with run number ' + RV.intText(item.run));
    if (this.current && this.current.number === number) return this.current;
    const found = this.record.runs.find(function (r) { return r.number === number; });
    if (found) return (this.current = found);
    const start = this.record.map.runs[number - 1];
    const run = {
      number: number,
      start: start ? start.vehicle : { x: 0, y: 0, heading: 0 },
      enemies: start ? start.enemies : [],
      stepT: [], stepX: [], stepY: [], stepH: [], stepV: [], stepW: [], stepC: [],
      telemetry: [],
      messages: [],
      martianTicks: [],
      events: [],
      cmds: [],
      recvs: [],
      replies: [],
      end: null,
      endTime: 0,
    };
    this.record.runs.push(run);
    return (this.current = run);
  }

  add(item) {
    const type = item.type;
    if (type === 'footer') {
      this.record.footer = item;
      return;
    }
    if (type === 'header') throw new Error('a second header');
    if (type === 'msg' && Number(item.run) === 0) {
      if (typeof item.text === 'string' && item.text[0] === 'I') this.record.initMessage = item.text;
      return;
    }
    if (item.run === undefined || Number(item.run) === 0) return;
    const run = this.run(item);
    const t = Number(item.t);
    if (!(t >= 0)) throw new Error('a bad stamp ' + RV.intText(item.t));
    if (t > run.endTime) run.endTime = t;
    switch (type) {
      case 'step':
        run.stepT.push(t);
        run.stepX.push(RV.real(item.x));
        run.stepY.push(RV.real(item.y));
        run.stepH.push(RV.real(item.h));
        run.stepV.push(RV.real(item.v));
        run.stepW.push(RV.real(item.w));
        run.stepC.push(String(item.c));
        break;
      case 'msg': {
        const text = String(item.text);
        run.messages.push({ t: t, text: text });
        if (text[0] === 'T') {
          run.telemetry.push({ t: t, text: text, sense: this.pendingSense, martians: this.pendingMartians });
          this.pendingSense = null;
          this.pendingMartians = null;
        }
        break;
      }
      case 'sense':
        this.pendingSense = {
          objects: item.objects || [], martians: item.martians || [],
          occludedObjects: item.occluded_objects || [], occludedMartians: item.occluded_martians || [],
        };
        break;
      case 'martians': {
        const list = item.m || [];
        const flat = new Float64Array(list.length * 5);
        list.forEach(function (m, k) {
          flat[k * 5] = Number(m[0]);
          for (let j = 1; j < 5; j++) flat[k * 5 + j] = RV.real(m[j]);
        });
        run.martianTicks.push({ t: t, m: flat });
        this.pendingMartians = flat;
        break;
      }
      case 'event':
        run.events.push({
          t: t, kind: item.kind, with: item.with, id: item.id, martian: item.martian,
          x: RV.real(item.x), y: RV.real(item.y),
        });
        break;
      case 'cmd':
        run.cmds.push({ t: t, cmds: item.cmds || [] });
        break;
      case 'recv':
        run.recvs.push({ t: t, at: item.at, bytes: item.bytes, eof: item.eof === true });
        break;
      case 'reply':
      case 'late':
      case 'discard':
        run.replies.push({ t: t, kind: type, n: item.n });
        break;
      case 'run_end':
        run.end = {
          t: t,
          outcome: String(item.outcome),
          code: Number(item.code),
          score: item.score,
          runMs: item.run_ms,
          bounces: item.bounces || {},
          commands: item.commands,
          lateReplies: item.late_replies,
        };
        break;
      default:
        // run_start and line types this viewer does not draw.
        break;
    }
  }

  finish() {
    for (const run of this.record.runs) {
      const n = run.stepT.length;
      run.steps = {
        n: n,
        t: Float64Array.from(run.stepT),
        x: Float64Array.from(run.stepX),
        y: Float64Array.from(run.stepY),
        h: Float64Array.from(run.stepH),
        v: Float64Array.from(run.stepV),
        w: Float64Array.from(run.stepW),
        accel: Int8Array.from(run.stepC, function (c) { return RV.ACCEL_STATES[c[0]] || 0; }),
        turn: Int8Array.from(run.stepC, function (c) { return RV.TURN_STATES[c[1]] || 0; }),
        c: run.stepC,
      };
      delete run.stepT; delete run.stepX; delete run.stepY; delete run.stepH;
      delete run.stepV; delete run.stepW; delete run.stepC;
      run.telemetryT = Float64Array.from(run.telemetry, function (m) { return m.t; });
      run.martianT = Float64Array.from(run.martianTicks, function (m) { return m.t; });
      run.cmdT = Float64Array.from(run.cmds, function (c) { return c.t; });
      run.recvT = Float64Array.from(run.recvs, function (r) { return r.t; });
    }
  }
};

// Index of the last element of the sorted array `a` that is <= t, or -1.
RV.lastAtOrBefore = function (a, t) {
  let lo = 0;
  let hi = a.length;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (a[mid] <= t) lo = mid + 1;
    else hi = mid;
  }
  return lo - 1;
};

// The rover's pose at run time t: the last step at or before t, or the
// start pose before the first step.
RV.roverAt = function (run, t) {
  const s = run.steps;
  const i = RV.lastAtOrBefore(s.t, t);
  if (i < 0) return { i: -1, x: run.start.x, y: run.start.y, h: run.start.heading, v: 0, w: 0, c: '--' };
  return { i: i, x: s.x[i], y: s.y[i], h: s.h[i], v: s.v[i], w: s.w[i], c: s.c[i] };
};

// The live Martians at run time t, moved linearly between telemetry ticks
// so that they glide instead of jumping every 100 ms.
RV.martiansAt = function (run, t) {
  const k = RV.lastAtOrBefore(run.martianT, t);
  if (k < 0) return [];
  const a = run.martianTicks[k];
  const b = run.martianTicks[k + 1];
  const out = [];
  const f = b ? (t - a.t) / (b.t - a.t) : 0;
  for (let j = 0; j < a.m.length; j += 5) {
    const m = { index: a.m[j], x: a.m[j + 1], y: a.m[j + 2], h: a.m[j + 3], v: a.m[j + 4] };
    if (b && f > 0) {
      const at = RV.findMartianInTick(b.m, m.index);
      if (at >= 0) {
        m.x += (b.m[at + 1] - m.x) * f;
        m.y += (b.m[at + 2] - m.y) * f;
        let dh = b.m[at + 3] - m.h;
        dh -= 360 * Math.round(dh / 360);
        m.h += dh * f;
      }
    }
    out.push(m);
  }
  return out;
};

RV.findMartianInTick = function (flat, index) {
  for (let j = 0; j < flat.length; j += 5) if (flat[j] === index) return j;
  return -1;
};
