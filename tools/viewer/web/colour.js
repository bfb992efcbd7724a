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

// A ramp over `values` (one per cell) between their extremes, or over
// `range` ({min, max}) when given (a node quantity's true extremes: a cell
// shows the mean of its nodes, which never reaches them); cells that `has`
// rejects are grey. Returns the legend as colourCells does.
export function colourQuantity(mode, values, units, cellColour, has = () => true, range = null) {
  const n = values.length;
  let min = Infinity, max = -Infinity;
  for (let c = 0; c < n; ++c) if (has(values[c])) {
    min = Math.min(min, values[c]);
    max = Math.max(max, values[c]);
  }
  if (range && range.min <= range.max) ({ min, max } = range);
  if (!(min <= max)) min = max = 0;
  const span = max > min ? max - min : 1;
  for (let c = 0; c < n; ++c) fill(cellColour, c, has(values[c]) ? rampColour((values[c] - min) / span) : kNone);
  return { mode, kind: 'ramp', entries: [], min, max, units };
}

const css = (rgb) => `rgb(${rgb.map((x) => Math.round(255 * x)).join(',')})`;

// `note`: a line under the title (what the values are: at nodes, per element).
export function showLegend(element, legend, title, note = '') {
  const maxRows = 40;
  let html = `<b>${escapeHtml(title)}</b>` + (note ? `<div class="note">${escapeHtml(note)}</div>` : '');
  if (legend.kind === 'ramp') {
    const ramp = [0, 0.25, 0.5, 0.75, 1].map((t) => `${css(rampColour(t))} ${100 * t}%`).join(',');
    html += `<div class="ramp" style="background:linear-gradient(to right,${ramp})"></div>` +
      `<div class="ends"><span>${formatValue(legend.min, legend.units)}</span>` +
      `<span>${formatValue(legend.max, legend.units)}</span></div>`;
  } else {
    for (const e of legend.entries.slice(0, maxRows)) {
      html += `<div class="row"><span class="swatch" style="background:${css(e.rgb)}"></span>${escapeHtml(e.label)}</div>`;
    }
    if (legend.entries.length > maxRows) html += `<div>… ${legend.entries.length - maxRows} more</div>`;
  }
  element.innerHTML = html;
}

// The unit each SI unit is shown in, whatever the size of the value, as the
// tools' summaries show it: lengths in mm, rotations in mrad, forces in kN,
// moments in kN·m, stresses in MPa. Values without a unit (normalised mode
// and buckling shapes) stay bare.
const kEngineering = {
  m: [1e3, 'mm'], rad: [1e3, 'mrad'], N: [1e-3, 'kN'], 'N m': [1e-3, 'kN·m'], 'N·m': [1e-3, 'kN·m'],
  Pa: [1e-6, 'MPa'], 'N/m': [1e-3, 'kN/m'], 'N m/m': [1e-3, 'kN·m/m'],
};

// `si` (a value in the SI unit `units`) in its engineering unit, four digits.
export function formatValue(si, units) {
  const [factor, unit] = kEngineering[units] || [1, units || ''];
  return `${Number((si * factor).toPrecision(4))}${unit ? ` ${unit}` : ''}`;
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
