// The text panels beside the map. Each is rewritten only when what it shows
// changes, so playing a run does not rebuild the page on every frame.

RV.ACCEL_NAMES = { '-1': 'brake', 0: 'roll', 1: 'accelerate' };
RV.TURN_NAMES = { '-2': 'hard right', '-1': 'right', 0: 'straight', 1: 'left', 2: 'hard left' };

RV.setText = function (el, text) {
  if (el.textContent !== text) el.textContent = text;
};

RV.outcomeText = function (run, growing) {
  if (!run.end && growing) return 'Run ' + run.number + ': being played';
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
    this.info = doc.getElementById('record-info');
  }

  // The record panel: what the header says, and how the game ended (or
  // `status`, while it is played).
  showRecord(record, name, status) {
    const h = record.header;
    const rows = [
      ['file', name],
      ['server', String(h.server)],
      ['mode', String(h.mode) + (h.mode === 'lockstep' ? ', reply timeout ' + RV.intText(h.reply_timeout_ms) + ' ms' : '')],
      ['seed', RV.intText(h.seed)],
      ['map', 'size ' + RV.intText(h.map.size) + ', time limit ' + RV.intText(record.map.timeLimit) + ' ms, ' +
        record.map.objects.length + ' objects, ' + record.map.runs.length + ' runs'],
      ['status', status || (record.footer ? String(record.footer.status) : 'no footer (game killed or still running)')],
    ];
    this.info.replaceChildren();
    for (const [k, v] of rows) {
      const dt = document.createElement('dt');
      dt.textContent = k;
      const dd = document.createElement('dd');
      dd.textContent = v;
      this.info.append(dt, dd);
    }
  }

  // `growing`: the record is still being written.
  showRun(run, growing) {
    RV.setText(this.outcome, RV.outcomeText(run, growing));
    RV.setText(this.details, RV.runDetails(run));
  }

  // Nothing open: what the page shows before a record, and after one that
  // failed to load (none of it may stay on screen).
  clear() {
    RV.setText(this.outcome, 'No record open.');
    for (const el of [this.details, this.telemetry, this.telemetryTime, this.control]) RV.setText(el, '');
    this.info.replaceChildren();
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
