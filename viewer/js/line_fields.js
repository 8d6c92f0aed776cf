// Checked reads of a record line's members. A record may come from a
// stranger: a member of the wrong type is an impossible line, reported with
// its name, never a NaN or an exception deep inside the drawing code.

RV.LineError = class extends Error {};

// Hostile text in a message: short, whatever its length.
RV.shortText = function (text) {
  const s = String(text);
  return s.length > 40 ? s.slice(0, 40) + '…' : s;
};

RV.isInteger = function (v) {
  return typeof v === 'bigint' || Number.isInteger(v);
};

RV.field = {
  integer(item, name) {
    const v = item[name];
    if (!RV.isInteger(v)) throw new RV.LineError(name + ' is not an integer');
    return v;
  },
  count(item, name) {
    const v = RV.field.integer(item, name);
    if (v < 0) throw new RV.LineError(name + ' is negative');
    return v;
  },
  string(item, name) {
    const v = item[name];
    if (typeof v !== 'string') throw new RV.LineError(name + ' is not a string');
    return v;
  },
  // A real: a number, or one of the strings the record writes for the
  // non-finite values; anything else is a fault.
  real(item, name) {
    const v = item[name];
    if (typeof v === 'number') return v;
    const r = RV.real(v);
    if (typeof v === 'bigint' || (typeof v === 'string' && (v === 'nan' || !Number.isNaN(r)))) return r;
    throw new RV.LineError(name + ' is not a number');
  },
  integers(item, name) {
    const v = item[name];
    if (!Array.isArray(v) || !v.every(RV.isInteger)) throw new RV.LineError(name + ' is not a list of ids');
    return v;
  },
  object(item, name) {
    const v = item[name];
    if (v === null || typeof v !== 'object' || Array.isArray(v)) throw new RV.LineError(name + ' is not an object');
    return v;
  },
  objects(item, name) {
    const v = item[name];
    if (!Array.isArray(v)) throw new RV.LineError(name + ' is not a list');
    v.forEach(function (o, k) { RV.field.object(v, k); });
    return v;
  },
  strings(item, name) {
    const v = item[name];
    if (!Array.isArray(v) || !v.every(function (s) { return typeof s === 'string'; })) {
      throw new RV.LineError(name + ' is not a list of strings');
    }
    return v;
  },
};
