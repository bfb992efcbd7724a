// Supports and loads drawn as symbols: one instanced pyramid per supported
// node, and the loads of one load case as arrows in a single line geometry.
import * as THREE from 'three';

// Pyramids under supported nodes: dark red fully fixed, orange with free
// rotations (pinned), yellow otherwise (partly or elastically fixed).
export function buildSupports(mesh) {
  const { supportPoints: points, supportFixity: fixity } = mesh.arrays;
  const size = 0.025 * mesh.size;
  const cone = new THREE.ConeGeometry(0.6 * size, size, 4);
  cone.rotateX(Math.PI / 2);               // point along +Z
  cone.translate(0, 0, -0.5 * size);       // apex at the node
  const symbols = new THREE.InstancedMesh(cone, new THREE.MeshLambertMaterial(), Math.max(points.length, 1));
  symbols.count = points.length;
  const m = new THREE.Matrix4(), p = new THREE.Vector3(), colour = new THREE.Color();
  for (let i = 0; i < points.length; ++i) {
    mesh.local(points[i], p);
    symbols.setMatrixAt(i, m.makeTranslation(p.x, p.y, p.z));
    const f = fixity.subarray(6 * i, 6 * i + 6);
    const translations = f[0] === 1 && f[1] === 1 && f[2] === 1;
    const rotations = f[3] === 1 && f[4] === 1 && f[5] === 1;
    colour.set(translations && rotations ? 0x8b1a1a : translations ? 0xe07b00 : 0xe0c000);
    symbols.setColorAt(i, colour);
  }
  symbols.computeBoundingSphere();
  mesh.group.add(symbols);
  return symbols;
}

const kKinds = { 1: 'point force', 2: 'line load', 3: 'pressure', 4: 'node acceleration', 8: 'initial strain' };
export const loadKindName = (k) => kKinds[k] || 'load';

// Arrows of load case `lc` (an entry of meta.loadCases): each kind scaled to
// its own largest value, pointing at where the load acts.
export function buildLoads(mesh, lc) {
  const { loadKind: kinds, loadTarget: targets, loadValues: values } = mesh.arrays;
  const length = 0.08 * mesh.size;
  const largest = {};
  const vector = (i, out) => {
    const k = kinds[i], v = values.subarray(6 * i, 6 * i + 6);
    if (k === 2) return out.set((v[0] + v[3]) / 2, (v[1] + v[4]) / 2, (v[2] + v[5]) / 2);
    // A pressure acts along the element normal (right-hand rule over its
    // nodes) when positive: a deck load of -3 kN/m² on an upward normal
    // pushes down, and is drawn above the deck.
    if (k === 3) return normalOf(mesh, targets[i], out).multiplyScalar(v[0]);
    if (k === 8) return out.set(0, 0, 0);
    return out.set(v[0], v[1], v[2]);
  };
  const v = new THREE.Vector3();
  for (let i = lc.start; i < lc.start + lc.count; ++i) {
    largest[kinds[i]] = Math.max(largest[kinds[i]] || 0, vector(i, v).length());
  }
  const position = [], colour = [];
  const tip = new THREE.Vector3(), tail = new THREE.Vector3(), side = new THREE.Vector3(), head = new THREE.Vector3();
  const rgb = { 1: [0.8, 0.1, 0.1], 2: [0.1, 0.35, 0.85], 3: [0.1, 0.55, 0.25], 4: [0.55, 0.2, 0.7] };
  for (let i = lc.start; i < lc.start + lc.count; ++i) {
    const k = kinds[i];
    const magnitude = vector(i, v).length();
    if (!(magnitude > 0) || !largest[k]) continue;
    if (k === 1 || k === 4) mesh.local(targets[i], tip);
    else mesh.cellCentre(targets[i], tip).sub(mesh.origin);
    const l = length * (0.25 + 0.75 * magnitude / largest[k]);
    v.normalize();
    tail.copy(tip).addScaledVector(v, -l);
    side.set(v.y, -v.x, 0);
    if (side.lengthSq() < 1e-6) side.set(1, 0, 0);
    side.normalize();
    const segments = [tail, tip];
    for (const s of [1, -1]) {
      head.copy(tip).addScaledVector(v, -0.25 * l).addScaledVector(side, 0.1 * l * s);
      segments.push(tip.clone(), head.clone());
    }
    for (const p of segments) { position.push(p.x, p.y, p.z); colour.push(...rgb[k]); }
  }
  const g = new THREE.BufferGeometry();
  g.setAttribute('position', new THREE.Float32BufferAttribute(position, 3));
  g.setAttribute('color', new THREE.Float32BufferAttribute(colour, 3));
  const arrows = new THREE.LineSegments(g, new THREE.LineBasicMaterial({ vertexColors: true }));
  mesh.group.add(arrows);
  return arrows;
}

// Unit normal of a surface cell by its node order (right-hand rule).
function normalOf(mesh, cell, out) {
  const { cellStart: start, connectivity: conn } = mesh.arrays;
  const a = mesh.local(conn[start[cell]], new THREE.Vector3());
  const b = mesh.local(conn[start[cell] + 1], new THREE.Vector3());
  const c = mesh.local(conn[start[cell + 1] - 1], new THREE.Vector3());
  return out.crossVectors(b.sub(a), c.sub(a)).normalize();
}
