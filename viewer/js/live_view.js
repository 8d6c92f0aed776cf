// The live mode's state: the record as it grows, read line by line by the
// same checks as a file, whether the page follows the newest moment, and,
// for the latency benchmark (?stamps), when each telemetry message was
// first drawn. The page (app.js) is told what happened through `page`:
// started(record), changed(), reset(), status(text), ended(note), failed(error).

RV.LiveView = class {
  constructor(url, limits, page, stamps) {
    this.page = page;
    this.limits = limits;
    this.reader = new RV.RecordReader(limits);
    this.following = true;
    // [run, t, wall-clock ms] for each T message, stamped in the animation
    // frame that draws it; null unless asked for.
    this.stamps = stamps ? [] : null;
    this.stamped = new Map(); // run -> telemetry messages stamped
    this.feed = new RV.LiveFeed(url, {
      lines: (list) => this.take(list),
      reset: () => {
        this.reader = new RV.RecordReader(limits);
        this.stamped.clear();
        page.reset();
      },
      waiting: () => page.status('Waiting for the game to start: its record holds no line yet.'),
      end: () => page.ended(null),
      stale: (seconds) => page.ended('The record has not grown for ' + seconds + ' s and has no footer: the game ' +
        'was probably killed. It is shown as it stands.'),
      fault: (text) => page.failed(new RV.RecordError('The live view stopped: ' + text + '.')),
      // A stream refused after the footer came (204) ends as the footer's
      // own end event would.
      closed: () => (this.reader.record && this.reader.record.footer ? page.ended(null)
        : page.failed(new RV.RecordError('The live stream ' + url + ' could not be opened, or it was closed.'))),
      connection: (text) => page.status(text),
    });
  }

  take(list) {
    const before = this.reader.record;
    try {
      for (const line of list) this.reader.addLine(line);
    } catch (e) {
      this.close();
      this.page.failed(e);
      return;
    }
    if (!before && this.reader.record) this.page.started(this.reader.record);
    this.page.changed();
  }

  // The runs that changed since the last frame.
  commit() {
    return this.reader.builder ? this.reader.builder.commit() : [];
  }

  // Called in the animation frame that draws the runs that changed.
  stamp(changed) {
    if (!this.stamps) return;
    const at = performance.timeOrigin + performance.now();
    for (const run of changed) {
      const from = this.stamped.get(run) || 0;
      for (let k = from; k < run.telemetry.length; k++) this.stamps.push([run.number, run.telemetry[k].t, at]);
      this.stamped.set(run, run.telemetry.length);
    }
  }

  // The record as it stands when the stream ended, with its warnings.
  end() {
    return this.reader.end();
  }

  close() {
    this.feed.close();
  }
};
