// The current moment of the chosen run, and moving it: play at a speed,
// seek, step by physics step or by telemetry message.

RV.SPEEDS = [0.25, 0.5, 1, 2, 4, 8, 16];

RV.Playback = class {
  constructor() {
    this.run = null;
    this.t = 0;
    // Index of the telemetry message on show. Kept apart from the time
    // because a bounce's extra T can share its stamp with a periodic one.
    this.message = -1;
    this.playing = false;
    this.speed = 1;
    this.lastFrame = null;
  }

  setRun(run) {
    this.run = run;
    this.playing = false;
    this.seek(0);
  }

  end() {
    return this.run ? this.run.endTime : 0;
  }

  seek(t) {
    if (!this.run) return;
    this.t = Math.min(Math.max(Number.isFinite(t) ? t : 0, 0), this.end());
    this.message = RV.lastAtOrBefore(this.run.telemetryT, this.t);
  }

  play() {
    if (!this.run) return;
    if (this.t >= this.end()) this.seek(0);
    this.playing = true;
    this.lastFrame = null;
  }

  pause() {
    this.playing = false;
  }

  // Advances the clock by the wall time since the previous frame; returns
  // whether the moment changed.
  frame(now) {
    if (!this.playing) return false;
    if (this.lastFrame === null) {
      this.lastFrame = now;
      return false;
    }
    // A long stall (a hidden tab) should not jump the replay ahead.
    const elapsed = Math.min(now - this.lastFrame, 250);
    this.lastFrame = now;
    this.seek(this.t + elapsed * this.speed);
    if (this.t >= this.end()) this.pause();
    return true;
  }

  stepPhysics(direction) {
    if (!this.run) return;
    const times = this.run.steps.t;
    const i = RV.lastAtOrBefore(times, this.t);
    if (direction > 0) {
      if (i + 1 < times.length) this.seek(times[i + 1]);
      else this.seek(this.end());
    } else {
      // The step strictly before the current moment.
      const j = i >= 0 && times[i] === this.t ? i - 1 : i;
      this.seek(j >= 0 ? times[j] : 0);
    }
  }

  stepMessage(direction) {
    if (!this.run) return;
    const list = this.run.telemetry;
    const k = this.message + (direction > 0 ? 1 : -1);
    if (k < 0 || k >= list.length) return;
    this.t = list[k].t;
    this.message = k;
  }

  currentMessage() {
    return this.run && this.message >= 0 ? this.run.telemetry[this.message] : null;
  }
};
