// Reads a record's text (docs/record-format.md) into the model the viewer
// draws: the header's map, and per run its steps, telemetry, Martians,
// events, commands and result. A record that cannot be shown raises
// RV.RecordError with a message for the page; one that can be shown in part
// (a game that was killed, a gzip stream without trailer) comes back with
// warnings.

RV.RecordError = class extends Error {};

RV.readRecord = function (text) {
  if (text.length === 0) throw new RV.RecordError('The file is empty: it is not a game record.');
  const lines = text.split('\n');
  const warnings = [];
  // Every line ends with a newline; what follows the last one is a line the
  // server had not finished writing.
  const partial = lines.pop();
  if (partial.length > 0) {
    warnings.push('The last line is incomplete (' + partial.length + ' bytes) and was ignored.');
  }
  if (lines.length === 0) {
    throw new RV.RecordError('The file holds no complete line: it is not a game record, or it was cut off at the start.');
  }
  const header = RV.readHeader(lines[0]);
  const record = {
    header: header,
    map: RV.readMap(header.map),
    runs: [],
    footer: null,
    warnings: warnings,
  };
  const builder = new RV.RunBuilder(record);
  for (let n = 1; n < lines.length; n++) {
    const line = lines[n];
    if (line.length === 0) throw new RV.RecordError('Line ' + (n + 1) + ' is empty: this is not a well-formed record.');
    let item;
    try {
      item = RV.parseJsonLine(line);
    } catch (e) {
      throw new RV.RecordError('Line ' + (n + 1) + ' is not valid JSON (' + e.message + '): the record is damaged.');
    }
    if (item === null || typeof item !== 'object' || typeof item.type !== 'string') {
      throw new RV.RecordError('Line ' + (n + 1) + ' has no "type": the record is damaged.');
    }
    try {
      builder.add(item);
    } catch (e) {
      throw new RV.RecordError('Line ' + (n + 1) + ' (' + item.type + ') cannot be read: ' + e.message);
    }
  }
  builder.finish();
  RV.checkCompleteness(record);
  return record;
};

RV.readHeader = function (line) {
  let header;
  try {
    header = RV.parseJsonLine(line);
  } catch (e) {
    throw new RV.RecordError('This is not a game record: the first line is not JSON (' + e.message + ').');
  }
  if (!header || header.type !== 'header' || header.format !== 'rover-record') {
    throw new RV.RecordError('This is not a game record: its first line is not a "rover-record" header.');
  }
  if (header.version !== 1) {
    throw new RV.RecordError('Unsupported record version ' + RV.intText(header.version) +
      ': this viewer reads version 1 of the rover-record format.');
  }
  if (!header.map || typeof header.map !== 'object') {
    throw new RV.RecordError('The record header has no map.');
  }
  return header;
};

RV.readMap = function (m) {
  const objects = (m.objects || []).map(function (o, id) {
    return { id: id, kind: o.kind, x: RV.real(o.x), y: RV.real(o.y), r: RV.real(o.r) };
  });
  const params = function (p) {
    const out = {};
    for (const k of ['max_speed', 'accel', 'brake', 'turn', 'hard_turn', 'rot_accel', 'front_view', 'rear_view']) {
      out[k] = RV.real(p ? p[k] : undefined);
    }
    return out;
  };
  return {
    size: RV.real(m.size),
    timeLimit: m.time_limit_ms,
    vehicle: params(m.vehicle_params),
    martian: params(m.martian_params),
    objects: objects,
    runs: (m.runs || []).map(function (r) {
      return {
        vehicle: { x: RV.real(r.vehicle.x), y: RV.real(r.vehicle.y), heading: RV.real(r.vehicle.heading) },
        enemies: (r.enemies || []).map(function (e) {
          return { index: Number(e.index), x: RV.real(e.x), y: RV.real(e.y), heading: RV.real(e.heading), speed: RV.real(e.speed) };
        }),
      };
    }),
  };
};

RV.checkCompleteness = function (record) {
  const footer = record.footer;
  const last = record.runs[record.runs.length - 1];
  if (last && !last.end) {
    record.warnings.push('Run ' + last.number + ' has no result: the record stops in the middle of it.');
  }
  if (!footer) {
    record.warnings.unshift('This record is truncated: it has no footer, so the game was killed or is still running. ' +
      'It holds ' + record.runs.filter(function (r) { return r.end; }).length + ' complete run(s).');
    return;
  }
  if (footer.status === 'failed') {
    record.warnings.unshift('The game failed: ' + (footer.line || footer.message || 'no reason recorded') + '.');
  } else if (footer.status === 'quit') {
    record.warnings.push('The game was ended from the server window (q).');
  }
  const ended = record.runs.filter(function (r) { return r.end; }).length;
  if (footer.runs !== undefined && BigInt(footer.runs) !== BigInt(ended)) {
    record.warnings.push('The footer counts ' + RV.intText(footer.runs) + ' runs but the record holds ' + ended + ' results.');
  }
};
