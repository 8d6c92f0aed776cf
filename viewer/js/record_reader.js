// Reads a record's text, in pieces of any size, into the model the viewer
// draws: the header's map, and per run its steps, telemetry, Martians,
// events, commands and result. Each complete line is read as it arrives;
// the first line that cannot be in a record stops the reading with an
// RV.RecordError naming it, and nothing read before it is shown.

// A line this long may nest deeply; shorter ones cannot pass the limit
// (every level costs two characters), so most lines skip the scan.
RV.nestingDepthOver = function (text, limit) {
  if (text.length <= 2 * limit) return false;
  let depth = 0;
  for (let i = 0; i < text.length; i++) {
    const c = text.charCodeAt(i);
    if (c === 34) {
      // A string: brackets inside it do not count.
      for (i++; i < text.length; i++) {
        const d = text.charCodeAt(i);
        if (d === 92) i++;
        else if (d === 34) break;
      }
    } else if (c === 91 || c === 123) {
      if (++depth > limit) return true;
    } else if (c === 93 || c === 125) {
      depth--;
    }
  }
  return false;
};

RV.RecordReader = class {
  constructor(limits) {
    this.limits = limits;
    this.lines = 0;
    this.size = 0; // characters of the complete lines, with their newlines
    this.partial = '';
    this.record = null;
    this.builder = null;
  }

  fail(number, what) {
    return new RV.RecordError('Line ' + number + ' ' + what + ': the record is damaged, and the viewer stopped reading there.');
  }

  // Text as it comes: complete lines are read at once, the rest is kept
  // until its newline arrives.
  pushText(text) {
    let start = 0;
    for (;;) {
      const newline = text.indexOf('\n', start);
      if (newline < 0) break;
      let line = text.slice(start, newline);
      if (this.partial.length > 0) {
        line = this.partial + line;
        this.partial = '';
      }
      this.addLine(line);
      start = newline + 1;
    }
    if (start < text.length) {
      this.partial += text.slice(start);
      this.checkLength(this.partial.length, this.lines + 1);
    }
  }

  checkLength(length, number) {
    if (length > this.limits.maxLine) {
      throw this.fail(number, 'is longer than the limit of ' + RV.sizeText(this.limits.maxLine) +
        ' (raise it with ?max-line= in the page address)');
    }
  }

  // One complete line, without its newline. The limits hold here too for
  // lines that come one by one (the live view), where characters stand in
  // for bytes.
  addLine(line) {
    const number = ++this.lines;
    this.checkLength(line.length, number);
    this.size += line.length + 1;
    if (this.size > this.limits.maxBytes) throw RV.tooLarge(this.limits, '');
    if (line.length === 0) throw this.fail(number, 'is empty');
    if (this.record && this.record.footer) throw this.fail(number, 'follows the footer');
    if (RV.nestingDepthOver(line, this.limits.maxDepth)) {
      throw this.fail(number, 'is nested deeper than ' + this.limits.maxDepth + ' levels');
    }
    let item;
    try {
      item = RV.parseJsonLine(line);
    } catch (e) {
      if (number === 1) throw new RV.RecordError('This is not a game record: the first line is not JSON (' + e.message + ').');
      throw this.fail(number, 'is not valid JSON (' + e.message + ')');
    }
    if (number === 1) {
      const map = RV.readHeader(item);
      this.record = { header: item, map: map, runs: [], footer: null, warnings: [] };
      this.builder = new RV.RunBuilder(this.record);
      return;
    }
    if (item === null || typeof item !== 'object' || typeof item.type !== 'string') {
      throw this.fail(number, 'has no "type"');
    }
    try {
      this.builder.add(item);
    } catch (e) {
      if (!(e instanceof RV.LineError)) throw e;
      throw this.fail(number, '(' + RV.shortText(item.type) + ') ' + e.message);
    }
  }

  // The end of the text. What follows the last newline is a line the
  // server had not finished writing: it is left out.
  end() {
    if (this.lines === 0) {
      if (this.partial.length === 0) throw new RV.RecordError('The file is empty: it is not a game record.');
      throw new RV.RecordError('The file holds no complete line: it is not a game record, or it was cut off at the start.');
    }
    this.builder.commit();
    const record = this.record;
    record.warnings = RV.completenessWarnings(record);
    if (this.partial.length > 0) {
      record.warnings.push('The last line is incomplete (' + this.partial.length + ' bytes) and was ignored.');
    }
    if (record.runs.length === 0) record.warnings.unshift('The record holds no run.');
    return record;
  }
};
