// Wires the page together: opening records, the controls, the keyboard,
// the map's pan and zoom, the drawing loop and the URL hash.

(function () {
  const $ = function (id) { return document.getElementById(id); };
  const canvas = $('map');
  const painter = new RV.MapPainter(canvas);
  const plots = new RV.Plots($('plots'));
  const panels = new RV.Panels(document);
  const runList = new RV.RunList($('run-select'), $('result-rows'), $('results-total'),
    function (number) { selectRun(number); });
  const playback = new RV.Playback();
  const transform = new RV.ViewTransform();
  const scrubber = $('scrubber');
  const runSelect = $('run-select');
  const speedSelect = $('speed');
  const playButton = $('play');
  let record = null;
  let fitted = true; // until the user pans or zooms, the map follows the window
  let frameRequested = false;
  let drawing = false;
  let lastHashWrite = 0;
  RV.lastLoad = null;

  function dpr() {
    return window.devicePixelRatio || 1;
  }

  function showMessage(kind, text) {
    const box = $('message');
    box.hidden = !text;
    box.className = kind || '';
    box.textContent = text || '';
  }

  // ---- opening a record ----

  // Limits from the address (?max-size=, ?max-line=); a bad one is reported
  // when a record is opened.
  let limits = RV.DEFAULT_LIMITS;
  let limitsError = null;
  try {
    limits = RV.limitsFromQuery(location.search);
  } catch (e) {
    limitsError = e;
  }

  // Each open gets a number; an older load still reading stops at its next
  // piece of text once a newer one has started.
  let loads = 0;
  let finished = 0; // loads that ended, shown or refused
  const SUPERSEDED = new Error('superseded');

  function setControls(enabled) {
    for (const el of document.querySelectorAll('#bar button, #run-select, #scrubber')) el.disabled = !enabled;
  }

  // Forgets the record on show and empties every panel, the run list and
  // the map: after a failed load nothing of it, or of an earlier record,
  // may stay on screen.
  function clearRecord() {
    record = null;
    $('live').hidden = true;
    playback.pause();
    playback.run = null;
    playback.t = 0;
    runList.clear();
    panels.clear();
    $('file-name').textContent = '';
    RV.setText($('time'), '–');
    scrubber.max = '0';
    scrubber.value = '0';
    setControls(false);
    requestFrame();
  }

  async function open(name, getStream) {
    const load = ++loads;
    RV.lastLoad = null;
    RV.lastRead = 0;
    stopLive();
    clearRecord();
    document.body.dataset.state = 'loading';
    showMessage('warning', 'Loading ' + name + '…');
    const started = performance.now();
    let shown = started;
    try {
      if (limitsError) throw limitsError;
      const reader = new RV.RecordReader(limits);
      const source = await getStream();
      const read = await RV.streamRecordText(source, function (text, bytes) {
        if (load !== loads) throw SUPERSEDED;
        RV.lastRead = bytes;
        reader.pushText(text);
        const now = performance.now();
        if (now - shown > 250) {
          shown = now;
          showMessage('warning', 'Loading ' + name + '… ' + (bytes / 1e6).toFixed(1) + ' MB read');
        }
      }, limits);
      if (load !== loads) return;
      const loaded = reader.end();
      if (read.note) loaded.warnings.unshift(read.note);
      showRecord(loaded, name);
      finished++;
      RV.lastLoad = {
        name: name, bytes: read.fileBytes, textBytes: read.bytes, started: started, ms: performance.now() - started,
      };
    } catch (e) {
      if (load !== loads || e === SUPERSEDED) return;
      failLoad(e, name);
    }
  }

  function failLoad(e, name) {
    clearRecord();
    document.body.dataset.state = 'error';
    const text = e instanceof RV.RecordError ? e.message : 'Could not read ' + name + ': ' + (e && e.message ? e.message : e);
    showMessage('error', text);
    finished++;
  }

  function showRecord(loaded, name) {
    record = loaded;
    $('file-name').textContent = name;
    showMessage(loaded.warnings.length ? 'warning' : null, loaded.warnings.join('\n'));
    panels.showRecord(loaded, name);
    runList.sync(loaded.runs, false);
    const enabled = loaded.runs.length > 0;
    setControls(enabled);
    fitted = true;
    fitMap();
    document.body.dataset.state = 'ready';
    const wanted = RV.readHash(location.hash);
    if (enabled) selectRun(wanted.run || loaded.runs[0].number, wanted.t || 0);
    requestFrame();
  }

  // ---- live mode: a game followed while it is played ----

  let live = null;

  function stopLive() {
    if (live) live.close();
    live = null;
  }

  function openLive(url) {
    const load = ++loads;
    const name = 'live ' + url;
    const started = performance.now();
    RV.lastLoad = null;
    stopLive();
    clearRecord();
    document.body.dataset.state = 'loading';
    if (limitsError) return failLoad(limitsError, name);
    showMessage('warning', 'Connecting to the live game at ' + url + '…');
    const mine = function (f) {
      return function (arg) { if (load === loads) f(arg); };
    };
    live = new RV.LiveView(url, limits, {
      started: mine(function (rec) {
        record = rec;
        $('file-name').textContent = name;
        panels.showRecord(rec, name, 'live: the game is being played');
        fitted = true;
        fitMap();
        document.body.dataset.state = 'live';
        $('live').hidden = false;
        showMessage(null, '');
        requestFrame();
      }),
      changed: mine(requestFrame),
      reset: mine(function () {
        clearRecord();
        document.body.dataset.state = 'loading';
        showMessage('warning', 'The record was replaced by another game: starting again.');
      }),
      status: mine(function (text) { showMessage(text ? 'warning' : null, text); }),
      ended: mine(function (note) { endLive(note, name, started); }),
      failed: mine(function (e) { stopLive(); failLoad(e, name); }),
    }, new URLSearchParams(location.search).has('stamps'));
    RV.liveStamps = live.stamps;
  }

  // Brings the page up to the lines that arrived: new runs listed, the
  // newest moment shown while the page follows it. Runs once per frame.
  function liveFrame() {
    if (!live || !record) return;
    const changed = live.commit();
    if (changed.length === 0 && !live.moved) return;
    live.moved = false;
    runList.sync(record.runs, true);
    const newest = record.runs[record.runs.length - 1];
    if (!newest) return;
    if (!playback.run) setControls(true);
    if (live.following || !playback.run) {
      if (playback.run !== newest) selectRun(newest.number, newest.endTime);
      else playback.seek(newest.endTime);
    }
    if (changed.includes(playback.run)) {
      scrubber.max = String(Math.ceil(playback.run.endTime));
      panels.showRun(playback.run, true);
    }
    updateMoment(false);
    live.stamp(changed);
  }

  // The game ended (or its record stopped growing): the page becomes an
  // ordinary replay, keeping the moment it shows.
  function endLive(note, name, started) {
    liveFrame();
    let done;
    try {
      done = live.end();
    } catch (e) {
      stopLive();
      return failLoad(e, name);
    }
    stopLive();
    if (note) done.warnings.unshift(note);
    record = done;
    $('live').hidden = true;
    panels.showRecord(done, name);
    runList.sync(done.runs, false);
    setControls(done.runs.length > 0);
    document.body.dataset.state = 'ready';
    showMessage(done.warnings.length ? 'warning' : null, done.warnings.join('\n'));
    if (playback.run) {
      scrubber.max = String(Math.ceil(playback.run.endTime));
      panels.showRun(playback.run);
      updateMoment(true);
    }
    finished++;
    RV.lastLoad = { name: name, started: started, ms: performance.now() - started };
  }

  // The user moved in time or to another run: the page stops following the
  // game until "live" is clicked.
  function userMoved() {
    if (live) live.following = false;
  }

  $('live').addEventListener('click', function () {
    if (!live) return;
    live.following = true;
    live.moved = true;
    playback.pause();
    requestFrame();
  });

  function openFile(file) {
    open(file.name, function () { return file.stream(); });
  }

  $('file-input').addEventListener('change', function (e) {
    if (e.target.files.length) openFile(e.target.files[0]);
    e.target.value = '';
  });

  let dragDepth = 0;
  window.addEventListener('dragenter', function (e) { e.preventDefault(); dragDepth++; $('drop-hint').hidden = false; });
  window.addEventListener('dragleave', function () { if (--dragDepth <= 0) { dragDepth = 0; $('drop-hint').hidden = true; } });
  window.addEventListener('dragover', function (e) { e.preventDefault(); });
  window.addEventListener('drop', function (e) {
    e.preventDefault();
    dragDepth = 0;
    $('drop-hint').hidden = true;
    if (e.dataTransfer.files.length) openFile(e.dataTransfer.files[0]);
  });

  // ---- choosing the run and the moment ----

  function selectRun(number, t) {
    const run = record.runs[number - 1];
    if (!run) return selectRun(record.runs[0].number, 0);
    playback.setRun(run);
    playback.seek(t || 0);
    runList.mark(run.number);
    scrubber.max = String(Math.ceil(run.endTime));
    panels.showRun(run, live !== null);
    updateMoment(true);
  }

  // Everything that depends on the current moment, then a redraw.
  function updateMoment(writeHash) {
    const run = playback.run;
    if (!run) return;
    scrubber.value = String(Math.floor(playback.t));
    const end = run.endTime;
    RV.setText($('time'), Math.floor(playback.t) + ' / ' + end + ' ms');
    RV.setText(playButton, playback.playing ? '⏸' : '▶');
    $('live').classList.toggle('behind', live !== null && !live.following);
    const now = performance.now();
    if (writeHash || now - lastHashWrite > 500) {
      lastHashWrite = now;
      RV.writeHash(run.number, playback.t);
    }
    requestFrame();
  }

  runSelect.addEventListener('change', function () { userMoved(); selectRun(Number(runSelect.value), 0); });
  scrubber.addEventListener('input', function () {
    userMoved();
    playback.seek(Number(scrubber.value));
    updateMoment(true);
  });
  for (const speed of RV.SPEEDS) {
    const option = document.createElement('option');
    option.value = String(speed);
    option.textContent = speed + '×';
    speedSelect.append(option);
  }
  speedSelect.value = '1';
  speedSelect.addEventListener('change', function () { playback.speed = Number(speedSelect.value); });

  function togglePlay() {
    userMoved();
    if (playback.playing) playback.pause();
    else playback.play();
    updateMoment(true);
  }
  const actions = {
    'to-start': function () { playback.seek(0); },
    'prev-message': function () { playback.stepMessage(-1); },
    'prev-step': function () { playback.stepPhysics(-1); },
    'next-step': function () { playback.stepPhysics(1); },
    'next-message': function () { playback.stepMessage(1); },
    'to-end': function () { playback.seek(playback.end()); },
  };
  for (const id in actions) {
    $(id).addEventListener('click', function () { userMoved(); playback.pause(); actions[id](); updateMoment(true); });
  }
  playButton.addEventListener('click', togglePlay);

  $('plots').addEventListener('click', function (e) {
    if (!playback.run) return;
    userMoved();
    const rect = e.target.getBoundingClientRect();
    playback.seek(plots.timeAt(e.clientX - rect.left, playback.run));
    updateMoment(true);
  });

  document.addEventListener('keydown', function (e) {
    if (!playback.run || e.ctrlKey || e.metaKey || e.altKey) return;
    if (e.target.tagName === 'SELECT' && (e.key === 'ArrowUp' || e.key === 'ArrowDown')) return;
    let act = null;
    if (e.key === ' ') act = togglePlay;
    else if (e.key === 'ArrowLeft') act = e.shiftKey ? actions['prev-message'] : actions['prev-step'];
    else if (e.key === 'ArrowRight') act = e.shiftKey ? actions['next-message'] : actions['next-step'];
    else if (e.key === 'Home') act = actions['to-start'];
    else if (e.key === 'End') act = actions['to-end'];
    else if (e.key === 'ArrowUp' || e.key === 'ArrowDown') {
      const k = playback.run.number - 1 + (e.key === 'ArrowUp' ? -1 : 1);
      if (k >= 0 && k < record.runs.length) act = function () { selectRun(record.runs[k].number, 0); };
      else act = function () {};
    }
    if (!act) return;
    // Ours, not the focused button's or the range input's own handling.
    e.preventDefault();
    userMoved();
    if (act !== togglePlay) playback.pause();
    act();
    updateMoment(true);
  });

  window.addEventListener('hashchange', function () {
    if (!record) return;
    const wanted = RV.readHash(location.hash);
    if (wanted.run === null) return;
    if (playback.run && wanted.run === playback.run.number && Math.floor(wanted.t) === Math.floor(playback.t)) return;
    userMoved();
    if (!playback.run || wanted.run !== playback.run.number) selectRun(wanted.run, wanted.t || 0);
    else if (wanted.t !== null && Math.floor(wanted.t) !== Math.floor(playback.t)) { playback.seek(wanted.t); updateMoment(false); }
  });

  // ---- map pan and zoom ----

  function fitMap() {
    if (record) transform.fit(RV.mapHalfExtent(record.map));
  }

  function resize() {
    const area = $('map-area');
    transform.resize(area.clientWidth, area.clientHeight);
    canvas.width = Math.max(1, Math.round(area.clientWidth * dpr()));
    canvas.height = Math.max(1, Math.round(area.clientHeight * dpr()));
    if (fitted) fitMap();
    requestFrame();
  }
  new ResizeObserver(resize).observe($('map-area'));

  canvas.addEventListener('wheel', function (e) {
    e.preventDefault();
    const rect = canvas.getBoundingClientRect();
    transform.zoomAt(e.clientX - rect.left, e.clientY - rect.top, Math.exp(-e.deltaY * 0.0015));
    fitted = false;
    requestFrame();
  }, { passive: false });
  let drag = null;
  canvas.addEventListener('pointerdown', function (e) {
    drag = { x: e.clientX, y: e.clientY };
    canvas.setPointerCapture(e.pointerId);
    canvas.classList.add('dragging');
  });
  canvas.addEventListener('pointermove', function (e) {
    if (!drag) return;
    transform.panBy(e.clientX - drag.x, e.clientY - drag.y);
    drag = { x: e.clientX, y: e.clientY };
    fitted = false;
    requestFrame();
  });
  const endDrag = function () { drag = null; canvas.classList.remove('dragging'); };
  canvas.addEventListener('pointerup', endDrag);
  canvas.addEventListener('pointercancel', endDrag);
  canvas.addEventListener('dblclick', function () { fitted = true; fitMap(); requestFrame(); });

  // ---- drawing ----

  function requestFrame() {
    // A frame that is being drawn already shows what asked for it.
    if (frameRequested || drawing) return;
    frameRequested = true;
    requestAnimationFrame(frame);
  }

  function frame(now) {
    frameRequested = false;
    drawing = true;
    try {
      const wasPlaying = playback.playing;
      if (playback.frame(now)) updateMoment(false);
      // Playing on to the newest moment of a live game follows it again.
      if (live && record && wasPlaying && !playback.playing && record.runs[record.runs.length - 1] === playback.run) {
        live.following = true;
      }
      liveFrame();
      draw();
    } finally {
      drawing = false;
    }
    // The load's last stage: the first frame that shows the record.
    if (RV.lastLoad && RV.lastLoad.drawnMs === undefined) RV.lastLoad.drawnMs = performance.now() - RV.lastLoad.started;
    if (playback.playing) requestFrame();
    else RV.setText(playButton, '▶');
  }

  function draw() {
    const run = playback.run;
    const scene = { record: record, run: run, transform: transform, dpr: dpr(), t: playback.t };
    if (run) {
      scene.rover = RV.roverAt(run, playback.t);
      scene.telemetry = playback.currentMessage();
      scene.martians = RV.martiansAt(run, playback.t);
      panels.showMoment(run, playback.t, scene.rover, scene.telemetry);
    }
    painter.draw(scene);
    plots.draw(run, playback.t, dpr(), live !== null && run !== null && !run.end);
  }

  // ---- for the browser tests ----

  RV.testHook = {
    worldToScreen: function (x, y) {
      const rect = canvas.getBoundingClientRect();
      const p = transform.toScreen(x, y);
      return { x: rect.left + p.x, y: rect.top + p.y };
    },
    state: function () {
      return {
        page: document.body.dataset.state,
        runs: record ? record.runs.length : 0,
        run: playback.run ? playback.run.number : null,
        t: playback.t,
        playing: playback.playing,
        message: $('message').hidden ? '' : $('message').textContent,
        load: RV.lastLoad,
        loads: finished,
        read: RV.lastRead,
        live: live ? { following: live.following, lines: live.reader.lines } : null,
      };
    },
    record: function () { return record; },
  };

  // ---- a record named in the URL ----

  const query = new URLSearchParams(location.search);
  const url = query.get('record');
  if (query.get('live')) openLive(query.get('live'));
  else if (url) open(url.split('/').pop() || url, function () { return RV.fetchRecordStream(url); });
  else requestFrame();
})();
