// A record as tools/live streams it while the game is played
// (EventSource): batches of lines, then each new line; named events for a
// record replaced under its path (reset), its end (end), a record that
// stopped growing (stale) and one that cannot be followed (fault). The
// browser reconnects by itself after a lost connection and tools/live
// resumes after the last event, so lines come once each, in order.
//
// One stream per page: browsers open at most 6 HTTP/1.1 connections to an
// address, and each open stream holds one.

RV.LiveFeed = class {
  // on: { lines(list), reset(), end(), stale(seconds), fault(text), closed(), waiting(), connection(text) };
  // closed: the browser gave up on the stream (an address that is not a
  // stream, or 204 after the end);
  // each runs inside a try, so that nothing a stream brings escapes as an
  // uncaught error.
  constructor(url, on) {
    this.on = on;
    this.source = new EventSource(url);
    const guard = (name, f) => (e) => {
      if (this.source === null) return;
      try {
        f(e);
      } catch (error) {
        this.close();
        on.fault(name + ': ' + (error && error.message ? error.message : error));
      }
    };
    this.source.addEventListener('message', guard('lines', (e) => on.lines(e.data.split('\n'))));
    this.source.addEventListener('reset', guard('reset', () => on.reset()));
    this.source.addEventListener('waiting', guard('waiting', () => on.waiting()));
    this.source.addEventListener('end', guard('end', () => { this.close(); on.end(); }));
    this.source.addEventListener('stale', guard('stale', (e) => { this.close(); on.stale(Number(e.data)); }));
    this.source.addEventListener('fault', guard('fault', (e) => { this.close(); on.fault(e.data); }));
    this.source.addEventListener('open', guard('open', () => on.connection('')));
    this.source.addEventListener('error', guard('error', () => {
      // CONNECTING: the browser tries again by itself. CLOSED: it gave up
      // (the address is wrong, or the stream is over).
      if (this.source.readyState === EventSource.CLOSED) {
        this.close();
        on.closed();
      } else {
        on.connection('The connection to the live stream was lost; trying again…');
      }
    }));
  }

  close() {
    if (this.source) this.source.close();
    this.source = null;
  }
};
