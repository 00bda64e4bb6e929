// The run's JSON report as a table of its figures, sorted by any column.
'use strict';

// Rows beyond this are left out of the table (the downloaded report keeps
// them all): a table of half a million rows would stall the page.
const kMaxTableRows = 5000;

function sourceText(source) {
  if (!source) return '';
  if (source.segment !== undefined) return 'segment ' + source.segment;
  if (source.handles) return 'handles ' + source.handles.join(' ') + (source.line ? ', line ' + source.line : '');
  if (source.lines) return 'lines ' + source.lines.join(' ');
  return JSON.stringify(source);
}

// Numbers shown to six significant digits (the report keeps every digit).
function short(value) {
  return typeof value === 'number' ? String(Number(value.toPrecision(6))) : value;
}

function pointText(point) {
  return Array.isArray(point) ? '(' + point.map(short).join(', ') + ')' : point && typeof point === 'object'
    ? '(' + [point.x, point.y].map(short).join(', ') + ')' : '';
}

const kReportColumns = [
  { title: 'Figure', value: (f) => sourceText(f.source), key: (f) => f.source && (f.source.line ?? f.source.segment) },
  { title: 'Layer', value: (f) => f.layer ?? '' },
  { title: 'Status', value: (f) => f.status ?? '' },
  { title: 'Elements before', value: (f) => f.elementsBefore, numeric: true },
  { title: 'after', value: (f) => f.elementsAfter, numeric: true },
  { title: 'Points moved', value: (f) => f.movedPoints, numeric: true },
  { title: 'Largest movement', value: (f) => f.largestMovement ? f.largestMovement.distance : 0, numeric: true },
  { title: 'at', value: (f) => f.largestMovement
      ? 'element ' + f.largestMovement.element + ' ' + f.largestMovement.point + ' ' + pointText(f.largestMovement.now) : '' },
  { title: 'Mean movement', value: (f) => f.meanMovement, numeric: true },
  { title: 'Corners adjusted', value: (f) => (f.corners || []).length, numeric: true },
  { title: 'Arcs', value: (f) => (f.arcs || []).length, numeric: true },
  { title: 'Gaps', value: (f) => (f.gaps || []).length, numeric: true },
  { title: 'Messages', value: (f) => (f.messages || []).join(' / ') },
];

class ReportTable {
  constructor(table, note) {
    this.table = table;
    this.note = note;
    this.figures = [];
    this.sortColumn = -1;
    this.ascending = true;
  }

  show(report) {
    this.figures = report && Array.isArray(report.figures) ? report.figures : [];
    this.sortColumn = -1;
    this.render();
  }

  clear() { this.show(null); }

  sortBy(column) {
    this.ascending = this.sortColumn === column ? !this.ascending : true;
    this.sortColumn = column;
    const { value, key, numeric } = kReportColumns[column];
    const sortValue = key || value;
    const sign = this.ascending ? 1 : -1;
    const order = this.figures.map((figure, index) => ({ v: sortValue(figure), index }));
    order.sort((a, b) => {
      const x = a.v ?? (numeric ? -Infinity : ''), y = b.v ?? (numeric ? -Infinity : '');
      const c = typeof x === 'number' && typeof y === 'number' ? x - y : String(x).localeCompare(String(y), undefined, { numeric: true });
      return c !== 0 ? sign * c : a.index - b.index;
    });
    this.figures = order.map((o) => this.figures[o.index]);
    this.render();
  }

  render() {
    const head = document.createElement('thead');
    const headRow = head.insertRow();
    kReportColumns.forEach((column, i) => {
      const th = document.createElement('th');
      th.scope = 'col';
      th.textContent = column.title;
      th.tabIndex = 0;
      if (i === this.sortColumn) th.setAttribute('aria-sort', this.ascending ? 'ascending' : 'descending');
      th.addEventListener('click', () => this.sortBy(i));
      th.addEventListener('keydown', (e) => { if (e.key === 'Enter' || e.key === ' ') { e.preventDefault(); this.sortBy(i); } });
      headRow.append(th);
    });
    const body = document.createElement('tbody');
    for (const figure of this.figures.slice(0, kMaxTableRows)) {
      const row = body.insertRow();
      for (const column of kReportColumns) {
        const cell = row.insertCell();
        const v = column.value(figure);
        cell.textContent = v === undefined || v === null ? '' : String(short(v));
        if (column.numeric) {
          cell.className = 'num';
          if (typeof v === 'number') cell.title = String(v);
        }
      }
    }
    this.table.replaceChildren(head, body);
    this.note.textContent = this.figures.length > kMaxTableRows
      ? `The first ${kMaxTableRows} of ${this.figures.length} figures; the downloaded report has them all.`
      : this.figures.length ? `${this.figures.length} figures; click a heading to sort.` : '';
  }
}
