// Stored results in the page: the analyses (load cases, combinations, modes,
// buckling shapes) with their point and cell fields, the quantities a user
// can colour by, and the lines a picked node or element shows.
//
// Field layouts, as quilm-view writes them (values per point or per cell):
//   displacement   ux uy uz (m)            rotation  rx ry rz (rad)
//   reaction       Fx Fy Fz Mx My Mz (N, N m) at supported nodes
//   section_force  N Vy Vz T My Mz at the first end, then at the last end
//   von_mises      top, middle, bottom of a shell at its centre (Pa)
// A field's `units` names one unit, or one per component separated by spaces.
// Values that do not apply (section forces of a shell, stresses of a beam)
// are NaN: such cells are drawn grey and their records leave the field out.

import { formatValue } from './colour.js';

const kLayouts = {
  displacement: { labels: ['ux', 'uy', 'uz'], magnitude: '|u|' },
  rotation: { labels: ['rx', 'ry', 'rz'], magnitude: '|r|' },
  reaction: { labels: ['Fx', 'Fy', 'Fz', 'Mx', 'My', 'Mz'] },
  section_force: { labels: ['N', 'Vy', 'Vz', 'T', 'My', 'Mz'], ends: 2 },
  von_mises: { labels: ['top', 'middle', 'bottom'], largest: 'largest' },
};


function layoutOf(field, components) {
  const known = kLayouts[field.name];
  if (known && known.labels.length * (known.ends || 1) === components) return known;
  return { labels: Array.from({ length: components }, (_, k) => `${k + 1}`) };
}

function unitOf(field, component) {
  const units = (field.units || '').split(' ').filter(Boolean);
  return units.length > 1 ? units[component] || '' : units[0] || '';
}

// The analyses with each field's values and layout resolved.
export function readAnalyses(model) {
  const { meta, arrays } = model;
  const components = new Map(meta.arrays.map((a) => [a.name, a.components]));
  return meta.analyses.map((analysis) => ({
    name: analysis.name,
    kind: analysis.kind,
    fields: analysis.fields.map((field) => {
      const n = components.get(field.array) || 1;
      const title = field.name === 'von_mises' ? 'von Mises' : field.name.replace(/_/g, ' ');
      return { ...field, title, values: arrays[field.array], components: n, layout: layoutOf(field, n) };
    }),
  }));
}

// Displacements (three per point) of an analysis, or null.
export function displacementOf(analysis) {
  const field = analysis && analysis.fields.find((x) => x.name === 'displacement' && x.on === 'points');
  return field && field.components === 3 ? field.values : null;
}

// What the colour menu offers for an analysis: [{ key, label, units }].
export function quantitiesOf(analysis) {
  const out = [];
  analysis.fields.forEach((field, i) => {
    const { labels, magnitude, largest } = field.layout;
    const add = (key, label, units) => out.push({ key: `${i}:${key}`, label: `${field.title} ${label}`, name: field.name, units });
    if (magnitude) add('m', magnitude, unitOf(field, 0));
    if (largest) add('l', largest, unitOf(field, 0));
    labels.forEach((label, k) => add(k, label, unitOf(field, k)));
  });
  return out;
}

// The value of quantity `key` at one point or cell of its field.
function valueAt(field, key, index) {
  const [, which] = key.split(':');
  const v = field.values, n = field.components, base = index * n;
  if (which === 'm') return Math.hypot(v[base], v[base + 1], v[base + 2]);
  if (which === 'l') {
    let m = 0;
    for (let k = 0; k < n; ++k) m = Math.max(m, Math.abs(v[base + k]));
    return m;
  }
  const k = Number(which), ends = field.layout.ends || 1, per = n / ends;
  // A beam end quantity: the end where it is larger, with its sign.
  let best = v[base + k];
  for (let e = 1; e < ends; ++e) if (Math.abs(v[base + e * per + k]) > Math.abs(best)) best = v[base + e * per + k];
  return best;
}

// Whether quantity `key` of an analysis is a node (point) quantity.
export function onPoints(analysis, key) {
  return analysis.fields[Number(key.split(':')[0])].on === 'points';
}

// The extremes of a node quantity over every node with a value: the legend's
// range, which the cells (means of their nodes) never reach.
export function pointRange(analysis, key) {
  const field = analysis.fields[Number(key.split(':')[0])];
  let min = Infinity, max = -Infinity;
  for (let p = 0; p < field.values.length / field.components; ++p) {
    const v = valueAt(field, key, p);
    if (Number.isNaN(v)) continue;
    min = Math.min(min, v);
    max = Math.max(max, v);
  }
  return { min, max };
}

// One value per cell for colouring: a cell field's own value, or the mean of
// a point field over the cell's nodes.
export function cellValues(model, analysis, key) {
  const field = analysis.fields[Number(key.split(':')[0])];
  const { cellStart: start, connectivity: conn, elementIds } = model.arrays;
  const out = new Float32Array(elementIds.length);
  for (let c = 0; c < out.length; ++c) {
    if (field.on === 'cells') {
      out[c] = valueAt(field, key, c);
      continue;
    }
    let sum = 0;
    for (let k = start[c]; k < start[c + 1]; ++k) sum += valueAt(field, key, conn[k]);
    out[c] = sum / Math.max(1, start[c + 1] - start[c]);
  }
  return out;
}

function fieldLines(field, index) {
  const { labels, ends } = field.layout;
  const v = field.values, n = field.components, per = n / (ends || 1);
  const part = (from) => labels.map((label, k) => `${label} ${formatValue(v[index * n + from + k], unitOf(field, k))}`).join(', ');
  if (!ends) return [`    ${field.title}: ${part(0)}`];
  return Array.from({ length: ends }, (_, e) => `    ${field.title} ${e === 0 ? 'first end' : 'last end'}: ${part(e * per)}`);
}

// Result lines of a picked node or element in an analysis.
export function resultLines(analysis, on, index, isSupported) {
  if (!analysis) return [];
  const lines = [`  results of ${analysis.kind} "${analysis.name}":`];
  for (const field of analysis.fields) {
    if (field.on !== on || (field.name === 'reaction' && !isSupported)) continue;
    if (field.values.subarray(index * field.components, (index + 1) * field.components).every(Number.isNaN)) continue;
    lines.push(...fieldLines(field, index));
  }
  return lines.length > 1 ? lines : [];
}

// The scale at which the largest displacement is drawn as 5 % of the model's size.
export function autoScale(displacement, modelSize) {
  let max = 0;
  for (let i = 0; i < displacement.length; i += 3) {
    max = Math.max(max, Math.hypot(displacement[i], displacement[i + 1], displacement[i + 2]));
  }
  return { max, scale: max > 0 ? Number((0.05 * modelSize / max).toPrecision(2)) : 1 };
}
