// Sorts the record's lines into runs, in the order the server wrote them.
// Per-step values go into one array per column (V8 keeps numbers in them
// unboxed): a five-minute run has 30000 steps and the view looks them up by
// binary search on every frame. Appending costs the same at any length of
// the record, and the drawing code reads the same arrays, so a record that
// is still being written is read the same way as a whole one.

RV.ACCEL_STATES = { b: -1, '-': 0, a: 1 };
RV.TURN_STATES = { R: -2, r: -1, '-': 0, l: 1, L: 2 };

RV.LINE_TYPES = new Set(['header', 'msg', 'run_start', 'martians', 'sense', 'step', 'event', 'recv', 'reply',
  'late', 'discard', 'cmd', 'run_end', 'footer']);

RV.RunBuilder = class {
  constructor(record) {
    this.record = record;
    this.current = null;
    this.pendingSense = null;
    this.pendingMartians = null;
    this.dirty = new Set();
    record.initMessage = null;
  }

  newRun(number) {
    const start = this.record.map.runs[number - 1];
    const run = {
      number: number,
      start: start.vehicle,
      enemies: start.enemies,
      steps: { n: 0, t: [], x: [], y: [], h: [], v: [], w: [], accel: [], turn: [], c: [] },
      telemetry: [],
      telemetryT: [],
      martianT: [],
      cmdT: [],
      recvT: [],
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
    this.current = run;
    return run;
  }

  // The run a line belongs to. Runs are numbered from 1 in the order they
  // are played, each opened by its run_start; a line of an earlier run, a
  // skipped number or a run the map does not have cannot be in a record.
  runOf(item) {
    const number = Number(RV.field.count(item, 'run'));
    const current = this.current ? this.current.number : 0;
    if (number === current && this.current) return this.current;
    if (number < current) throw new RV.LineError('goes back to run ' + number + ' during run ' + current);
    if (number !== current + 1 || item.type !== 'run_start') {
      throw new RV.LineError('starts run ' + number + (item.type === 'run_start' ? '' : ' without a run_start line') +
        ' after run ' + current);
    }
    if (number > this.record.map.runs.length) {
      throw new RV.LineError('starts run ' + number + ' but the map has ' + this.record.map.runs.length + ' runs');
    }
    return this.newRun(number);
  }

  add(item) {
    const type = item.type;
    if (!RV.LINE_TYPES.has(type)) throw new RV.LineError('is of an unknown type');
    if (type === 'footer') {
      RV.field.string(item, 'status');
      for (const name of ['runs', 'messages', 'steps']) RV.field.count(item, name);
      this.record.footer = item;
      return;
    }
    if (type === 'header') throw new RV.LineError('is a second header');
    if (RV.field.count(item, 'run') === 0 && !this.current) {
      // Before the first run: the I message.
      if (type === 'msg' && RV.field.string(item, 'text')[0] === 'I') this.record.initMessage = item.text;
      return;
    }
    const run = this.runOf(item);
    const t = Number(RV.field.count(item, 't'));
    if (t > run.endTime) run.endTime = t;
    this.dirty.add(run);
    switch (type) {
      case 'step': {
        const s = run.steps;
        const control = RV.field.string(item, 'c');
        const x = RV.field.real(item, 'x');
        const y = RV.field.real(item, 'y');
        const h = RV.field.real(item, 'h');
        const v = RV.field.real(item, 'v');
        const w = RV.field.real(item, 'w');
        s.t.push(t);
        s.x.push(x);
        s.y.push(y);
        s.h.push(h);
        s.v.push(v);
        s.w.push(w);
        s.accel.push(RV.ACCEL_STATES[control[0]] || 0);
        s.turn.push(RV.TURN_STATES[control[1]] || 0);
        s.c.push(control);
        s.n++;
        break;
      }
      case 'msg': {
        const text = RV.field.string(item, 'text');
        run.messages.push({ t: t, text: text });
        if (text[0] === 'T') {
          run.telemetry.push({ t: t, text: text, sense: this.pendingSense, martians: this.pendingMartians });
          run.telemetryT.push(t);
          this.pendingSense = null;
          this.pendingMartians = null;
        }
        break;
      }
      case 'sense':
        this.pendingSense = {
          objects: RV.field.integers(item, 'objects'),
          martians: RV.field.integers(item, 'martians'),
          occludedObjects: RV.field.integers(item, 'occluded_objects'),
          occludedMartians: RV.field.integers(item, 'occluded_martians'),
        };
        break;
      case 'martians': {
        const list = item.m;
        if (!Array.isArray(list)) throw new RV.LineError('m is not a list');
        const flat = new Float64Array(list.length * 5);
        list.forEach(function (m, k) {
          if (!Array.isArray(m) || m.length !== 5) throw new RV.LineError('m[' + k + '] is not [index, x, y, heading, speed]');
          flat[k * 5] = Number(RV.field.count(m, 0));
          for (let j = 1; j < 5; j++) flat[k * 5 + j] = RV.field.real(m, j);
        });
        run.martianTicks.push({ t: t, m: flat });
        run.martianT.push(t);
        this.pendingMartians = flat;
        break;
      }
      case 'event':
        run.events.push({
          t: t, kind: RV.field.string(item, 'kind'), with: item.with, id: item.id, martian: item.martian,
          x: RV.field.real(item, 'x'), y: RV.field.real(item, 'y'),
        });
        break;
      case 'cmd':
        run.cmds.push({ t: t, cmds: RV.field.strings(item, 'cmds') });
        run.cmdT.push(t);
        break;
      case 'recv':
        run.recvs.push({
          t: t, at: RV.field.string(item, 'at'), eof: item.eof === true,
          bytes: item.eof === true ? null : RV.field.string(item, 'bytes'),
        });
        run.recvT.push(t);
        break;
      case 'reply':
      case 'late':
      case 'discard':
        run.replies.push({ t: t, kind: type, n: RV.field.count(item, 'n') });
        break;
      case 'run_end': {
        if (item.bounces === null || typeof item.bounces !== 'object') throw new RV.LineError('bounces is not an object');
        run.end = {
          t: t,
          outcome: RV.field.string(item, 'outcome'),
          code: Number(RV.field.integer(item, 'code')),
          score: RV.field.integer(item, 'score'),
          runMs: RV.field.integer(item, 'run_ms'),
          bounces: { wall: RV.field.count(item.bounces, 'wall'), boulder: RV.field.count(item.bounces, 'boulder') },
          commands: RV.field.count(item, 'commands'),
          lateReplies: RV.field.count(item, 'late_replies'),
        };
        break;
      }
      default:
        // run_start opened the run above.
        break;
    }
  }

  // The runs that changed since the last call.
  commit() {
    const changed = Array.from(this.dirty);
    this.dirty.clear();
    return changed;
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
