// The record's header and map (docs/record-format.md), and what the page
// says about a record that ends early. A record that cannot be shown raises
// RV.RecordError with a message for the page; one that can be shown in part
// (a game that was killed, a gzip stream without trailer) gets warnings.

RV.RecordError = class extends Error {};

// The first line, parsed: a version 1 header with a map.
RV.readHeader = function (header) {
  if (!header || header.type !== 'header' || header.format !== 'rover-record') {
    throw new RV.RecordError('This is not a game record: its first line is not a "rover-record" header.');
  }
  if (header.version !== 1) {
    throw new RV.RecordError('Unsupported record version ' + RV.shortText(RV.intText(header.version)) +
      ': this viewer reads version 1 of the rover-record format.');
  }
  if (!header.map || typeof header.map !== 'object') {
    throw new RV.RecordError('The record header has no map.');
  }
  try {
    return RV.readMap(header.map);
  } catch (e) {
    if (!(e instanceof RV.LineError)) throw e;
    throw new RV.RecordError('The record header\'s map cannot be read: ' + e.message + '.');
  }
};

RV.MOTION_PARAMS = ['max_speed', 'accel', 'brake', 'turn', 'hard_turn', 'rot_accel', 'front_view', 'rear_view'];

RV.readMap = function (m) {
  const f = RV.field;
  const params = function (name) {
    const p = f.object(m, name);
    const out = {};
    for (const k of RV.MOTION_PARAMS) out[k] = f.real(p, k);
    return out;
  };
  return {
    size: f.real(m, 'size'),
    timeLimit: f.integer(m, 'time_limit_ms'),
    vehicle: params('vehicle_params'),
    martian: params('martian_params'),
    objects: f.objects(m, 'objects').map(function (o, id) {
      return { id: id, kind: f.string(o, 'kind'), x: f.real(o, 'x'), y: f.real(o, 'y'), r: f.real(o, 'r') };
    }),
    runs: f.objects(m, 'runs').map(function (r) {
      const v = f.object(r, 'vehicle');
      return {
        vehicle: { x: f.real(v, 'x'), y: f.real(v, 'y'), heading: f.real(v, 'heading') },
        enemies: f.objects(r, 'enemies').map(function (e) {
          return { index: Number(f.count(e, 'index')), x: f.real(e, 'x'), y: f.real(e, 'y'),
            heading: f.real(e, 'heading'), speed: f.real(e, 'speed') };
        }),
      };
    }),
  };
};

// What the page says about how the record ends: no footer (the game was
// killed or is still running), a run without result, a failed game.
RV.completenessWarnings = function (record) {
  const warnings = [];
  const footer = record.footer;
  const last = record.runs[record.runs.length - 1];
  const ended = record.runs.filter(function (r) { return r.end; }).length;
  if (!footer) {
    warnings.push('This record is truncated: it has no footer, so the game was killed or is still running. ' +
      'It holds ' + ended + ' complete run(s).');
  } else if (footer.status === 'failed') {
    warnings.push('The game failed: ' + (footer.line || footer.message || 'no reason recorded') + '.');
  }
  if (last && !last.end) {
    warnings.push('Run ' + last.number + ' has no result: the record stops in the middle of it.');
  }
  if (footer && footer.status === 'quit') warnings.push('The game was ended from the server window (q).');
  if (footer && BigInt(footer.runs) !== BigInt(ended)) {
    warnings.push('The footer counts ' + RV.intText(footer.runs) + ' runs but the record holds ' + ended + ' results.');
  }
  return warnings;
};
