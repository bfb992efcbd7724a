// The text shown for a picked element or node: ids, names, properties and
// the loads on it, with SI units.
import { loadKindName } from './symbols.js';

const f = (x) => Number(Number(x).toPrecision(6));
const vec = (a, i) => `(${f(a[i])}, ${f(a[i + 1])}, ${f(a[i + 2])})`;

function propertyText(table, id) {
  if (id === 0) return 'none';
  if (id < 0) return `${id} (not written)`;
  const row = table[id];
  return row ? `${id} "${row.name}" ${row.description}` : `${id} (missing)`;
}

function loadsOn(model, isNode, index) {
  const { meta, arrays } = model;
  const lines = [];
  for (const lc of meta.loadCases) {
    for (let i = lc.start; i < lc.start + lc.count; ++i) {
      const k = arrays.loadKind[i];
      if (arrays.loadTarget[i] !== index || (k === 1 || k === 4) !== isNode) continue;
      const v = arrays.loadValues;
      let text;
      if (k === 1) text = `force ${vec(v, 6 * i)} N, moment ${vec(v, 6 * i + 3)} N m`;
      else if (k === 4) text = `${vec(v, 6 * i)} m/s²`;
      else if (k === 2) text = `${vec(v, 6 * i)} to ${vec(v, 6 * i + 3)} N/m`;
      else if (k === 3) text = `${f(v[6 * i])} N/m²`;
      else text = `${f(v[6 * i])}`;
      lines.push(`  case ${lc.id} "${lc.name}": ${loadKindName(k)} ${text}`);
    }
  }
  return lines.length ? lines : ['  none'];
}

export function elementRecord(model, cell) {
  const { meta, arrays } = model;
  const type = arrays.elementType[cell];
  const nodes = [];
  for (let k = arrays.cellStart[cell]; k < arrays.cellStart[cell + 1]; ++k) nodes.push(arrays.nodeIds[arrays.connectivity[k]]);
  const concept = arrays.conceptId[cell];
  const lines = [
    `Element ${arrays.elementIds[cell]}: ${meta.elementTypes[type] || 'type'} (type ${type})`,
    `  nodes      ${nodes.join(', ')}`,
    `  concept    ${concept > 0 ? `${concept} "${meta.concepts[concept] || '?'}"` : 'none recorded in the model'}`,
    `  section    ${propertyText(meta.sections, arrays.sectionId[cell])}`,
    `  material   ${propertyText(meta.materials, arrays.materialId[cell])}`,
  ];
  if (arrays.thickness[cell] > 0) lines.push(`  thickness  ${f(arrays.thickness[cell])} m`);
  for (let i = 0; i < arrays.eccCells.length; ++i) {
    if (arrays.eccCells[i] !== cell) continue;
    lines.push(`  eccentricity first end ${vec(arrays.eccFirst, 3 * i)} m, last end ${vec(arrays.eccLast, 3 * i)} m`);
  }
  lines.push('  loads:', ...loadsOn(model, false, cell));
  return lines.join('\n');
}

export function nodeRecord(model, point) {
  const { meta, arrays } = model;
  const concept = arrays.nodeConcept[point];
  const lines = [
    `Node ${arrays.nodeIds[point]} at ${vec(arrays.positions, 3 * point)} m`,
    `  name       ${meta.nodeNames[point] ? `"${meta.nodeNames[point]}"` : '(none)'}`,
    `  concept    ${concept > 0 ? `${concept} "${meta.concepts[concept] || '?'}"` : 'none'}`,
  ];
  const s = arrays.supportPoints.indexOf(point);
  lines.push(`  support    ${s < 0 ? 'none' : `fixity ux uy uz rx ry rz = ${Array.from(arrays.supportFixity.subarray(6 * s, 6 * s + 6)).join(' ')}`}`);
  const m = arrays.massPoints.indexOf(point);
  if (m >= 0) lines.push(`  mass       ${vec(arrays.massValues, 6 * m)} kg, inertia ${vec(arrays.massValues, 6 * m + 3)} kg m²`);
  lines.push('  loads:', ...loadsOn(model, true, point));
  return lines.join('\n');
}
