// The drawing as the page shows it before a run (figures from the module's
// description, y up, on a canvas so that a drawing of a million entities
// still draws), and the run's picture (the SVG vekhost writes), both zoomed
// with the wheel and panned by dragging.
'use strict';

// Pixels the pointer may move and still click; how near an end must be to
// snap to it; how near a figure's line must be to pick it.
const kClickSlackPx = 4;
const kSnapPx = 10;
const kHitPx = 5;
// Wheel zoom per notch, and the margin around a fitted drawing.
const kZoomStep = 1.2;
const kFitMargin = 0.05;

// The box a path's data covers: its points, and the parts of each arc
// that reach further (an arc's extreme points on the axes within its sweep).
function pathBounds(d) {
  const tokens = d.match(/[MLAZmlaz]|-?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?/g) || [];
  const box = [Infinity, Infinity, -Infinity, -Infinity];
  const add = (x, y) => {
    box[0] = Math.min(box[0], x); box[1] = Math.min(box[1], y);
    box[2] = Math.max(box[2], x); box[3] = Math.max(box[3], y);
  };
  let i = 0, command = 'M', x = 0, y = 0;
  const number = () => parseFloat(tokens[i++]);
  while (i < tokens.length) {
    if (/[A-Za-z]/.test(tokens[i])) command = tokens[i++].toUpperCase();
    if (command === 'Z') continue;
    if (command === 'A') {
      const r = number(); number(); number();
      const large = number(), sweep = number(), nx = number(), ny = number();
      arcExtremes(x, y, nx, ny, r, large, sweep).forEach(([px, py]) => add(px, py));
      x = nx; y = ny;
    } else {
      x = number(); y = number();
    }
    add(x, y);
  }
  return box;
}

// The points of the axes' directions an SVG arc passes through.
function arcExtremes(x1, y1, x2, y2, r, large, sweep) {
  const half = Math.hypot(x2 - x1, y2 - y1) / 2;
  if (!(r > 0) || half === 0) return [];
  const radius = Math.max(r, half);
  const along = Math.sqrt(Math.max(radius * radius - half * half, 0));
  const mx = (x1 + x2) / 2, my = (y1 + y2) / 2;
  const ux = (x2 - x1) / (2 * half), uy = (y2 - y1) / (2 * half);
  // Centre on the left of the chord when exactly one of the flags is set
  // (SVG's rule, in a y-up frame sweep 1 turns counterclockwise).
  const side = large === sweep ? -1 : 1;
  const cx = mx - side * uy * along, cy = my + side * ux * along;
  const start = Math.atan2(y1 - cy, x1 - cx);
  let span = Math.atan2(y2 - cy, x2 - cx) - start;
  if (sweep) { while (span < 0) span += 2 * Math.PI; } else { while (span > 0) span -= 2 * Math.PI; }
  const points = [];
  for (let k = 0; k < 4; ++k) {
    const angle = k * Math.PI / 2;
    let offset = angle - start;
    if (sweep) { offset = ((offset % (2 * Math.PI)) + 2 * Math.PI) % (2 * Math.PI); }
    else { offset = -((((start - angle) % (2 * Math.PI)) + 2 * Math.PI) % (2 * Math.PI)); }
    if (Math.abs(offset) <= Math.abs(span)) points.push([cx + radius * Math.cos(angle), cy + radius * Math.sin(angle)]);
  }
  return points;
}

// A drawing's figures as the worker hands them over, in columns: ids,
// paths (SVG path data), layerOf (index into layers), and the end points of
// figure i at xy[2k], xy[2k + 1] for k from endStart[i] to endStart[i + 1].
class FigureTable {
  constructor(table) {
    Object.assign(this, table);
    this.length = table.ids.length;
  }

  static empty() {
    return new FigureTable({ ids: [], paths: [], layers: [], layerOf: new Uint32Array(0),
                             xy: new Float64Array(0), endStart: new Uint32Array(1) });
  }

  layer(i) { return this.layers[this.layerOf[i]]; }
  end(i, k) { const at = 2 * (this.endStart[i] + k); return [this.xy[at], this.xy[at + 1]]; }
}

// One path of the given figures' data.
function joinedPath(figures, indices) {
  const parts = [];
  for (const i of indices) parts.push(figures.paths[i]);
  return new Path2D(parts.join(' '));
}

class DrawingView {
  constructor(canvas) {
    this.canvas = canvas;
    this.context = canvas.getContext('2d');
    this.figures = FigureTable.empty();
    this.paths = new Map();
    this.selected = new Set();
    this.reference = null;
    this.snap = null;
    this.box = null;
    this.mode = 'pan';         // 'pan', 'click', 'box' or 'ref'
    this.scale = 1; this.ox = 0; this.oy = 0;
    this.onPick = () => {};    // (Set of figure indices)
    this.onReference = () => {};  // (x, y)
    this.listen();
    new ResizeObserver(() => this.resize()).observe(canvas);
  }

  // Figures keep their path data as text: a path object and a bounding box
  // are made only for the figures a click or a box asks about, so that a
  // drawing of half a million figures costs one path for the whole.
  setDrawing(description) {
    this.figures = description.figures;
    this.boxes = null;
    this.paths = new Map();
    this.all = new Path2D(this.figures.paths.join(' '));
    this.bounds = description.bounds;
    this.selected = new Set();
    this.selectedPath = null;
    this.fit();
  }

  clear() {
    this.figures = FigureTable.empty();
    this.all = null; this.boxes = null; this.paths = new Map(); this.selected = new Set(); this.selectedPath = null;
    this.draw();
  }

  setSelected(indices) {
    this.selected = indices;
    this.selectedPath = indices.size ? joinedPath(this.figures, indices) : null;
    this.draw();
  }

  boxOf(index) {
    if (!this.boxes) {
      this.boxes = new Float64Array(4 * this.figures.length);
      this.figures.paths.forEach((d, i) => this.boxes.set(pathBounds(d), 4 * i));
    }
    return this.boxes.subarray(4 * index, 4 * index + 4);
  }

  pathOf(index) {
    if (!this.paths.has(index)) this.paths.set(index, new Path2D(this.figures.paths[index]));
    return this.paths.get(index);
  }

  setReference(x, y) {
    this.reference = Number.isFinite(x) && Number.isFinite(y) ? [x, y] : null;
    this.draw();
  }

  resize() {
    const ratio = window.devicePixelRatio || 1;
    const { width, height } = this.canvas.getBoundingClientRect();
    const had = this.canvas.width > 0;
    this.canvas.width = Math.max(1, Math.round(width * ratio));
    this.canvas.height = Math.max(1, Math.round(height * ratio));
    if (had && this.figures.length) this.draw(); else this.fit();
  }

  fit() {
    const { width, height } = this.canvas.getBoundingClientRect();
    const b = this.bounds && this.bounds.every(Number.isFinite) ? this.bounds : [0, 0, 1, 1];
    const w = Math.max(b[2] - b[0], 1e-9), h = Math.max(b[3] - b[1], 1e-9);
    this.scale = Math.min(width / w, height / h) * (1 - 2 * kFitMargin) || 1;
    this.ox = width / 2 - this.scale * (b[0] + b[2]) / 2;
    this.oy = height / 2 + this.scale * (b[1] + b[3]) / 2;
    this.draw();
  }

  toDrawing(px, py) { return [(px - this.ox) / this.scale, (this.oy - py) / this.scale]; }
  toScreen(x, y) { return [this.ox + this.scale * x, this.oy - this.scale * y]; }

  draw() {
    if (this.pending) return;
    this.pending = requestAnimationFrame(() => { this.pending = 0; this.paint(); });
  }

  paint() {
    const c = this.context, ratio = window.devicePixelRatio || 1;
    c.setTransform(1, 0, 0, 1, 0, 0);
    c.clearRect(0, 0, this.canvas.width, this.canvas.height);
    const toView = () => c.setTransform(ratio * this.scale, 0, 0, -ratio * this.scale, ratio * this.ox, ratio * this.oy);
    if (this.all) {
      toView();
      c.lineWidth = 1 / this.scale;
      c.strokeStyle = '#c8ccd4';
      c.stroke(this.all);
      if (this.selectedPath) {
        c.lineWidth = 2 / this.scale;
        c.strokeStyle = '#00c0ff';
        c.stroke(this.selectedPath);
      }
    }
    c.setTransform(ratio, 0, 0, ratio, 0, 0);
    c.lineWidth = 1.5;
    if (this.reference) this.cross(this.reference, '#ff9a1f', 8);
    if (this.snap) this.square(this.snap, '#ffe14d');
    if (this.box) {
      c.strokeStyle = '#ffe14d';
      c.setLineDash([4, 3]);
      c.strokeRect(this.box[0], this.box[1], this.box[2] - this.box[0], this.box[3] - this.box[1]);
      c.setLineDash([]);
    }
  }

  cross(point, colour, size) {
    const c = this.context, [x, y] = this.toScreen(point[0], point[1]);
    c.strokeStyle = colour;
    c.beginPath();
    c.moveTo(x - size, y); c.lineTo(x + size, y); c.moveTo(x, y - size); c.lineTo(x, y + size);
    c.arc(x, y, size / 2, 0, 2 * Math.PI);
    c.stroke();
  }

  square(point, colour) {
    const c = this.context, [x, y] = this.toScreen(point[0], point[1]);
    c.strokeStyle = colour;
    c.strokeRect(x - 5, y - 5, 10, 10);
  }

  // The figure end nearest the pointer within the snapping distance, else
  // the pointer's own point.
  snapped(px, py) {
    let best = null, bestDistance = kSnapPx;
    const xy = this.figures.xy;
    for (let k = 0; k < xy.length; k += 2) {
      const [sx, sy] = this.toScreen(xy[k], xy[k + 1]);
      const distance = Math.hypot(sx - px, sy - py);
      if (distance <= bestDistance) { best = [xy[k], xy[k + 1]]; bestDistance = distance; }
    }
    return best;
  }

  // The figure whose line passes under the pointer, the topmost (last) one.
  figureAt(px, py) {
    const [x, y] = this.toDrawing(px, py), slack = kHitPx / this.scale;
    const c = this.context, ratio = window.devicePixelRatio || 1;
    c.save();
    c.setTransform(ratio * this.scale, 0, 0, -ratio * this.scale, ratio * this.ox, ratio * this.oy);
    c.lineWidth = 2 * slack;
    // Round ends: a click on a figure's end point is on it.
    c.lineCap = 'round';
    let found = -1;
    for (let i = this.figures.length - 1; i >= 0 && found < 0; --i) {
      const b = this.boxOf(i);
      if (x < b[0] - slack || x > b[2] + slack || y < b[1] - slack || y > b[3] + slack) continue;
      if (c.isPointInStroke(this.pathOf(i), px * ratio, py * ratio)) found = i;
    }
    c.restore();
    return found;
  }

  // The figures wholly inside the box drawn, as a window selection picks.
  figuresInBox(box) {
    const [x0, y1] = this.toDrawing(Math.min(box[0], box[2]), Math.min(box[1], box[3]));
    const [x1, y0] = this.toDrawing(Math.max(box[0], box[2]), Math.max(box[1], box[3]));
    const inside = new Set();
    for (let i = 0; i < this.figures.length; ++i) {
      const b = this.boxOf(i);
      if (b[0] >= x0 && b[2] <= x1 && b[1] >= y0 && b[3] <= y1) inside.add(i);
    }
    return inside;
  }

  zoomAt(px, py, factor) {
    const [x, y] = this.toDrawing(px, py);
    this.scale *= factor;
    this.ox = px - this.scale * x;
    this.oy = py + this.scale * y;
    this.draw();
  }

  listen() {
    const canvas = this.canvas;
    const local = (event) => {
      const rect = canvas.getBoundingClientRect();
      return [event.clientX - rect.left, event.clientY - rect.top];
    };
    let down = null;
    canvas.addEventListener('wheel', (event) => {
      event.preventDefault();
      const [px, py] = local(event);
      this.zoomAt(px, py, event.deltaY < 0 ? kZoomStep : 1 / kZoomStep);
    }, { passive: false });
    canvas.addEventListener('dblclick', () => this.fit());
    canvas.addEventListener('pointerdown', (event) => {
      const [px, py] = local(event);
      down = { px, py, ox: this.ox, oy: this.oy, moved: false,
               boxing: this.mode === 'box' && event.button === 0 && !event.shiftKey };
      canvas.setPointerCapture(event.pointerId);
    });
    canvas.addEventListener('pointermove', (event) => {
      const [px, py] = local(event);
      if (this.mode === 'ref' && !down) {
        this.snap = this.snapped(px, py);
        this.draw();
      }
      if (!down) return;
      if (Math.hypot(px - down.px, py - down.py) > kClickSlackPx) down.moved = true;
      if (!down.moved) return;
      if (down.boxing) {
        this.box = [down.px, down.py, px, py];
      } else {
        this.ox = down.ox + px - down.px;
        this.oy = down.oy + py - down.py;
      }
      this.draw();
    });
    canvas.addEventListener('pointerup', (event) => {
      const [px, py] = local(event);
      const was = down;
      down = null;
      if (!was) return;
      if (was.boxing && was.moved) {
        const picked = this.figuresInBox(this.box);
        this.box = null;
        this.onPick(picked);
      } else if (!was.moved) {
        this.clicked(px, py, event);
      }
      this.draw();
    });
  }

  clicked(px, py, event) {
    if (this.mode === 'ref') {
      const end = this.snapped(px, py);
      const [x, y] = end || this.toDrawing(px, py);
      this.snap = null;
      this.onReference(x, y, Boolean(end));
    } else if (this.mode === 'click' || this.mode === 'box') {
      const index = this.figureAt(px, py);
      if (index < 0) return;
      const picked = new Set(this.selected);
      if (picked.has(index)) picked.delete(index); else picked.add(index);
      this.onPick(picked);
    }
  }
}

// An SVG shown whole and then zoomed about the pointer and panned through
// its viewBox.
class PictureView {
  constructor(container) {
    this.container = container;
    this.svg = null;
  }

  show(svgText) {
    const document = new DOMParser().parseFromString(svgText, 'image/svg+xml');
    const root = document.documentElement;
    this.container.replaceChildren();
    if (root.nodeName !== 'svg') return false;
    const svg = window.document.importNode(root, true);
    svg.id = 'picture';
    svg.removeAttribute('width');
    svg.removeAttribute('height');
    this.container.append(svg);
    this.svg = svg;
    this.whole = svg.viewBox.baseVal ? [svg.viewBox.baseVal.x, svg.viewBox.baseVal.y,
                                        svg.viewBox.baseVal.width, svg.viewBox.baseVal.height] : null;
    this.listen(svg);
    return true;
  }

  clear() { this.container.replaceChildren(); this.svg = null; }

  setBox(box) { this.svg.setAttribute('viewBox', box.join(' ')); }

  box() {
    const v = this.svg.viewBox.baseVal;
    return [v.x, v.y, v.width, v.height];
  }

  // The pointer in the picture's own units; with preserveAspectRatio's
  // default the picture is centred and scaled to fit.
  pictureUnits(event) {
    const point = this.svg.createSVGPoint();
    point.x = event.clientX; point.y = event.clientY;
    return point.matrixTransform(this.svg.getScreenCTM().inverse());
  }

  listen(svg) {
    svg.addEventListener('wheel', (event) => {
      event.preventDefault();
      const p = this.pictureUnits(event);
      const factor = event.deltaY < 0 ? 1 / kZoomStep : kZoomStep;
      const [x, y, w, h] = this.box();
      this.setBox([p.x - (p.x - x) * factor, p.y - (p.y - y) * factor, w * factor, h * factor]);
    }, { passive: false });
    svg.addEventListener('dblclick', () => this.whole && this.setBox(this.whole));
    let down = null;
    svg.addEventListener('pointerdown', (event) => {
      down = { start: this.pictureUnits(event), box: this.box() };
      svg.setPointerCapture(event.pointerId);
      svg.style.cursor = 'grabbing';
    });
    svg.addEventListener('pointermove', (event) => {
      if (!down) return;
      const p = this.pictureUnits(event);
      const [x, y, w, h] = this.box();
      this.setBox([x - (p.x - down.start.x), y - (p.y - down.start.y), w, h]);
    });
    const up = () => { down = null; svg.style.cursor = ''; };
    svg.addEventListener('pointerup', up);
    svg.addEventListener('pointercancel', up);
  }
}
