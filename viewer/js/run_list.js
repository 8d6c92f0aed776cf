// The runs as the page lists them: the run menu and the results list with
// its total. A record of 25,000 short runs lists 25,000 of each, so the
// lists grow by appending what is new (one fragment per call), the rows sit
// in chunks that the browser lays out only when they are scrolled into view,
// one click handler serves all rows, and marking the current run touches
// two rows, not all of them.

RV.ROWS_PER_CHUNK = 100;
RV.ROW_HEIGHT = 18; // px, as style.css sets it
RV.ROWS_BOX_HEIGHT = 270; // px, the list's max-height in style.css

RV.RunList = class {
  constructor(select, rowsBox, totalCell, onChoose) {
    this.select = select;
    this.rowsBox = rowsBox;
    this.totalCell = totalCell;
    rowsBox.addEventListener('click', function (e) {
      const row = e.target.closest('.row');
      if (row && row.dataset.run) onChoose(Number(row.dataset.run));
    });
    this.clear();
  }

  clear() {
    this.select.replaceChildren();
    this.rowsBox.replaceChildren();
    this.options = [];
    this.rows = [];
    this.chunk = null;
    this.unended = []; // listed runs whose result may still come
    this.total = 0n;
    this.current = null;
    RV.setText(this.totalCell, '–');
  }

  // Lists the runs not listed yet and updates those whose result arrived;
  // `growing`: the record is still being written, so a run without result
  // is being played.
  sync(runs, growing) {
    this.growing = growing;
    const still = [];
    for (const k of this.unended) {
      this.fill(k, runs[k]);
      if (!runs[k].end) still.push(k);
    }
    this.unended = still;
    if (runs.length > this.rows.length) {
      const options = document.createDocumentFragment();
      for (let k = this.rows.length; k < runs.length; k++) {
        if (k % RV.ROWS_PER_CHUNK === 0) {
          this.chunk = document.createElement('div');
          this.chunk.className = 'chunk';
          this.rowsBox.append(this.chunk);
        }
        const option = document.createElement('option');
        option.value = String(runs[k].number);
        const row = document.createElement('div');
        row.className = 'row';
        row.setAttribute('role', 'row');
        row.dataset.run = String(runs[k].number);
        for (let c = 0; c < 5; c++) {
          const cell = document.createElement('span');
          cell.setAttribute('role', 'cell');
          row.append(cell);
        }
        this.options.push(option);
        this.rows.push(row);
        options.append(option);
        this.chunk.append(row);
        this.fill(k, runs[k]);
        if (!runs[k].end) this.unended.push(k);
      }
      this.select.append(options);
    }
    const complete = this.unended.length === 0 && runs.length > 0;
    RV.setText(this.totalCell, complete ? RV.intText(this.total) : '–');
  }

  fill(k, run) {
    const e = run.end;
    const none = this.growing ? 'playing' : 'no result';
    RV.setText(this.options[k], run.number + ' · ' + (e ? e.outcome : none));
    const cells = this.rows[k].children;
    cells[0].textContent = String(run.number);
    cells[1].textContent = e ? e.outcome : none;
    cells[2].textContent = e ? RV.intText(e.score) : '–';
    cells[3].textContent = e ? RV.intText(e.runMs) : '–';
    cells[4].textContent = e ? RV.intText(BigInt(e.bounces.wall) + BigInt(e.bounces.boulder)) : '–';
    if (e) this.total += BigInt(e.score);
  }

  // Highlights the run on show, scrolls its row into the list's view and
  // selects it in the menu.
  mark(number) {
    const k = number - 1;
    if (this.current !== null) this.rows[this.current].classList.remove('current');
    this.current = this.rows[k] ? k : null;
    this.select.value = String(number);
    if (this.current === null) return;
    this.rows[k].classList.add('current');
    // Only a list taller than its box scrolls; asking a short one for its
    // layout would cost a layout of the whole page before its first frame.
    if (this.rows.length * RV.ROW_HEIGHT <= RV.ROWS_BOX_HEIGHT) return;
    const box = this.rowsBox;
    const top = k * RV.ROW_HEIGHT;
    if (top < box.scrollTop || top + RV.ROW_HEIGHT > box.scrollTop + box.clientHeight) {
      box.scrollTop = Math.max(0, top - box.clientHeight / 2);
    }
  }
};
