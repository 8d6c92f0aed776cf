// The text panels beside the map. Each is rewritten only when what it shows
// changes, so playing a run does not rebuild the page on every frame.

RV.ACCEL_NAMES = { '-1': 'brake', 0: 'roll', 1: 'accelerate' };
RV.TURN_NAMES = { '-2': 'hard right', '-1': 'right', 0: 'straight', 1: 'left', 2: 'hard left' };

RV.setText = function (el, text) {
  if (el.textContent !== text) el.textContent = text;
};

RV.outcomeText = function (run) {
  if (!run.end) return 'Run ' + run.number + ': no result (the record stops during this run)';
  return 'Run ' + run.number + ': ' + run.end.outcome + '; score ' + RV.intText(run.end.score);
};

RV.runDetails = function (run) {
  if (!run.end) return '';
  const b = run.end.bounces;
  return 'run time ' + RV.intText(run.end.runMs) + ' ms · bounces: ' + RV.intText(b.wall) + ' wall, ' +
    RV.intText(b.boulder) + ' boulder · ' + RV.intText(run.end.commands) + ' commands · ' +
    RV.intText(run.end.lateReplies) + ' late replies';
};

RV.Panels = class {
  constructor(doc) {
    this.outcome = doc.getElementById('outcome');
    this.details = doc.getElementById('outcome-details');
    this.telemetry = doc.getElementById('telemetry');
    this.telemetryTime = doc.getElementById('telemetry-time');
    this.control = doc.getElementById('control-state');
    this.results = doc.getElementById('results');
    this.info = doc.getElementById('record-info');
  }

  showRecord(record, name, selectRun) {
    const h = record.header;
    const rows = [
      ['file', name],
      ['server', String(h.server)],
      ['mode', String(h.mode) + (h.mode === 'lockstep' ? ', reply timeout ' + RV.intText(h.reply_timeout_ms) + ' ms' : '')],
      ['seed', RV.intText(h.seed)],
      ['map', 'size ' + RV.intText(h.map.size) + ', time limit ' + RV.intText(record.map.timeLimit) + ' ms, ' +
        record.map.objects.length + ' objects, ' + record.map.runs.length + ' runs'],
      ['status', record.footer ? String(record.footer.status) : 'no footer (game killed or still running)'],
    ];
    this.info.replaceChildren();
    for (const [k, v] of rows) {
      const dt = document.createElement('dt');
      dt.textContent = k;
      const dd = document.createElement('dd');
      dd.textContent = v;
      this.info.append(dt, dd);
    }
    const body = this.results.tBodies[0];
    body.replaceChildren();
    let total = 0n;
    let allScored = true;
    for (const run of record.runs) {
      const tr = document.createElement('tr');
      tr.dataset.run = String(run.number);
      const e = run.end;
      const cells = [String(run.number), e ? e.outcome : 'no result', e ? RV.intText(e.score) : '–',
        e ? RV.intText(e.runMs) : '–', e ? RV.intText(BigInt(e.bounces.wall || 0) + BigInt(e.bounces.boulder || 0)) : '–'];
      for (const c of cells) {
        const td = document.createElement('td');
        td.textContent = c;
        tr.append(td);
      }
      tr.addEventListener('click', function () { selectRun(run.number); });
      body.append(tr);
      if (e) total += BigInt(e.score);
      else allScored = false;
    }
    RV.setText(this.results.tFoot.rows[0].cells[1], allScored && record.runs.length ? RV.intText(total) : '–');
  }

  showRun(run) {
    RV.setText(this.outcome, RV.outcomeText(run));
    RV.setText(this.details, RV.runDetails(run));
    for (const tr of this.results.tBodies[0].rows) {
      tr.classList.toggle('current', tr.dataset.run === String(run.number));
    }
  }

  showMoment(run, t, rover, message) {
    RV.setText(this.telemetry, message ? message.text : '(no telemetry yet)');
    RV.setText(this.telemetryTime, message ? 'sent at ' + message.t + ' ms' : '');
    const accel = RV.ACCEL_STATES[rover.c[0]];
    const turn = RV.TURN_STATES[rover.c[1]];
    const c = RV.lastAtOrBefore(run.cmdT, t);
    const lines = [
      'control ' + rover.c + ': ' + (RV.ACCEL_NAMES[accel] || '?') + ', ' + (RV.TURN_NAMES[turn] || '?'),
      'speed ' + rover.v.toFixed(3) + ', turn rate ' + rover.w.toFixed(1) + ' °/s, heading ' + rover.h.toFixed(1) + '°',
      c >= 0 ? 'last commands applied at ' + run.cmds[c].t + ' ms: ' + run.cmds[c].cmds.join(' ') : 'no commands applied yet',
      RV.receivedText(run, t),
    ];
    RV.setText(this.control, lines.join('\n'));
  }
};

// The client's last input, as escaped text: any byte may arrive.
RV.receivedText = function (run, t) {
  const k = RV.lastAtOrBefore(run.recvT, t);
  if (k < 0) return 'nothing received yet';
  const r = run.recvs[k];
  const what = r.eof ? 'end of stream' : JSON.stringify(r.bytes);
  return 'last input (' + r.at + ') at ' + r.t + ' ms: ' + what;
};
