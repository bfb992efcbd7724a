// Colouring cells by a property, and the legend that explains it. Ids get
// distinct colours from a fixed sequence (the same id keeps its colour
// between pages of one model); quantities a ramp between their extremes.

const kNone = [0.62, 0.65, 0.68];  // cells without the property

function categoryColour(i) {
  // Golden-angle hues, alternating lightness so neighbours in the sequence differ.
  const h = (i * 0.618033988749895) % 1, l = i % 2 ? 0.42 : 0.56, s = 0.68;
  const k = (n) => (n + h * 12) % 12;
  const f = (n) => l - s * Math.min(l, 1 - l) * Math.max(-1, Math.min(k(n) - 3, 9 - k(n), 1));
  return [f(0), f(8), f(4)];
}

function rampColour(t) {
  // Blue - cyan - green - yellow - red.
  const stops = [[0.17, 0.31, 0.85], [0.1, 0.7, 0.85], [0.2, 0.72, 0.3], [0.95, 0.8, 0.15], [0.85, 0.15, 0.1]];
  const x = Math.min(Math.max(t, 0), 1) * (stops.length - 1), i = Math.min(Math.floor(x), stops.length - 2), u = x - i;
  return stops[i].map((a, k) => a + (stops[i + 1][k] - a) * u);
}

// Category modes: the cell's key and the key's label.
function categories(mode, meta, arrays) {
  const name = (table, id) => (table[id] ? `${id} ${table[id].name || table[id]}` : `${id} (missing)`);
  switch (mode) {
    case 'section': return { key: arrays.sectionId, label: (id) => name(meta.sections, id) };
    case 'material': return { key: arrays.materialId, label: (id) => name(meta.materials, id) };
    case 'concept': return { key: arrays.conceptId, label: (id) => name(meta.concepts, id) };
    case 'type': return { key: arrays.elementType, label: (id) => `${id} ${meta.elementTypes[id] || ''}` };
  }
  return null;
}

function fill(out, cell, rgb) {
  out[3 * cell] = Math.round(255 * rgb[0]);
  out[3 * cell + 1] = Math.round(255 * rgb[1]);
  out[3 * cell + 2] = Math.round(255 * rgb[2]);
}

// Fills cellColour for `mode` and returns the legend:
// { mode, kind: 'categories' | 'ramp', entries: [{label, rgb}], min, max, units }.
export function colourCells(mode, meta, arrays, cellColour) {
  const n = arrays.elementIds.length;
  const cat = categories(mode, meta, arrays);
  if (cat) {
    const ids = [...new Set(cat.key)].sort((a, b) => a - b);
    const rgbOf = new Map(ids.map((id) => [id, id > 0 ? categoryColour(id) : kNone]));
    for (let c = 0; c < n; ++c) fill(cellColour, c, rgbOf.get(cat.key[c]));
    const entries = ids.map((id) => ({ label: id > 0 ? cat.label(id) : id === 0 ? 'none' : `${id} not written`, rgb: rgbOf.get(id) }));
    return { mode, kind: 'categories', entries, min: ids.length ? ids[0] : 0, max: ids.length ? ids[ids.length - 1] : 0, units: '' };
  }
  // Plate thickness: a quantity, with cells without a thickness left grey.
  return colourQuantity(mode, arrays.thickness, 'm', cellColour, (v) => v > 0);
}

// A ramp over `values` (one per cell) between their extremes; cells that
// `has` rejects are grey. Returns the legend as colourCells does.
export function colourQuantity(mode, values, units, cellColour, has = () => true) {
  const n = values.length;
  let min = Infinity, max = -Infinity;
  for (let c = 0; c < n; ++c) if (has(values[c])) {
    min = Math.min(min, values[c]);
    max = Math.max(max, values[c]);
  }
  if (!(min <= max)) min = max = 0;
  const span = max > min ? max - min : 1;
  for (let c = 0; c < n; ++c) fill(cellColour, c, has(values[c]) ? rampColour((values[c] - min) / span) : kNone);
  return { mode, kind: 'ramp', entries: [], min, max, units };
}

const css = (rgb) => `rgb(${rgb.map((x) => Math.round(255 * x)).join(',')})`;

export function showLegend(element, legend, title) {
  const maxRows = 40;
  let html = `<b>${title}</b>`;
  if (legend.kind === 'ramp') {
    const ramp = [0, 0.25, 0.5, 0.75, 1].map((t) => `${css(rampColour(t))} ${100 * t}%`).join(',');
    const [scale, prefix] = siPrefix(Math.max(Math.abs(legend.min), Math.abs(legend.max)), legend.units);
    const fmt = (x) => `${Number((x / scale).toPrecision(4))} ${prefix}${legend.units}`;
    html += `<div class="ramp" style="background:linear-gradient(to right,${ramp})"></div>` +
      `<div class="ends"><span>${fmt(legend.min)}</span><span>${fmt(legend.max)}</span></div>`;
  } else {
    for (const e of legend.entries.slice(0, maxRows)) {
      html += `<div class="row"><span class="swatch" style="background:${css(e.rgb)}"></span>${escapeHtml(e.label)}</div>`;
    }
    if (legend.entries.length > maxRows) html += `<div>… ${legend.entries.length - maxRows} more</div>`;
  }
  element.innerHTML = html;
}

// A decimal prefix that shows `largest` with one to three digits before the
// point (0.00145 m as 1.45 mm, 2.5e7 Pa as 25 MPa); none without a unit, and
// lengths stay in metres from 1 m up.
function siPrefix(largest, units) {
  if (!units || !(largest > 0)) return [1, ''];
  const prefixes = [[1e9, 'G'], [1e6, 'M'], [1e3, 'k'], [1, ''], [1e-3, 'm'], [1e-6, 'µ'], [1e-9, 'n']];
  for (const [scale, prefix] of prefixes) {
    if (largest >= scale) return units === 'm' && scale > 1 ? [1, ''] : [scale, prefix];
  }
  return [1e-9, 'n'];
}

export function escapeHtml(s) {
  return String(s).replace(/[&<>"]/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' })[c]);
}

// Search highlight: matching cells bright, the rest pale.
export function highlightCells(match, cellColour) {
  for (let c = 0; c < match.length; ++c) {
    if (match[c]) fill(cellColour, c, [0.9, 0.1, 0.55]);
    else fill(cellColour, c, [0.83, 0.85, 0.87]);
  }
}
