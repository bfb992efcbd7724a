// The mesh as three.js objects: one merged geometry per kind of cell
// (surfaces, lines, points), so that a model of a million elements is a
// handful of draw calls. Each vertex belongs to exactly one cell (vertCell)
// so that colours are per cell; picking maps triangles and segments back to
// their cells through triCell and segCell.
import * as THREE from 'three';

export const kSurface = new Set([24, 25]);
export const kLine = new Set([15, 23]);
export const kPoint = new Set([1]);
const kEdgeLimit = 300000;  // beyond this many surfaces their outlines cost more than they show

function countCells(arrays) {
  const type = arrays.elementType;
  const start = arrays.cellStart;
  let surfaceVerts = 0, triangles = 0, segments = 0, points = 0, surfaces = 0, lines = 0;
  for (let c = 0; c < type.length; ++c) {
    const n = start[c + 1] - start[c];
    if (kSurface.has(type[c])) { surfaceVerts += n; triangles += n - 2; ++surfaces; }
    else if (kLine.has(type[c])) { segments += n - 1; ++lines; }
    else if (kPoint.has(type[c])) ++points;
  }
  return { surfaceVerts, triangles, segments, points, surfaces, lines };
}

// Beam end offsets by cell: [first xyz, last xyz] or undefined.
function eccentricityOf(arrays) {
  const map = new Map();
  const cells = arrays.eccCells;
  for (let i = 0; i < cells.length; ++i) map.set(cells[i], i);
  return (cell) => map.get(cell);
}

export class ModelMesh {
  constructor(model) {
    const { arrays } = model;
    this.arrays = arrays;
    const pos = arrays.positions;
    const box = new THREE.Box3();
    for (let i = 0; i < pos.length; i += 3) box.expandByPoint(new THREE.Vector3(pos[i], pos[i + 1], pos[i + 2]));
    if (box.isEmpty()) box.set(new THREE.Vector3(-1, -1, -1), new THREE.Vector3(1, 1, 1));
    this.origin = box.getCenter(new THREE.Vector3());
    this.size = Math.max(box.getSize(new THREE.Vector3()).length(), 1e-6);
    this.group = new THREE.Group();
    this.group.position.copy(this.origin);
    this.eccentricity = eccentricityOf(arrays);
    this.displacement = null;  // while a deformed shape is shown: displacement per point (m)
    this.scale = 0;
    this.counts = countCells(arrays);
    this.cellColour = new Uint8Array(3 * arrays.elementIds.length);
    this.buildSurfaces();
    this.buildLines(true);
    this.buildPoints();
  }

  // Position of a point relative to the origin: as modelled, or displaced by
  // `scale` times its displacement while a deformed shape is shown.
  local(point, out) {
    const p = this.arrays.positions;
    out.set(p[3 * point] - this.origin.x, p[3 * point + 1] - this.origin.y, p[3 * point + 2] - this.origin.z);
    const u = this.displacement;
    if (u) out.set(out.x + this.scale * u[3 * point], out.y + this.scale * u[3 * point + 1], out.z + this.scale * u[3 * point + 2]);
    return out;
  }

  // Shows the shape displaced by `scale` times `displacement` (three values
  // per point), or the model as built for null. Moves every vertex in place.
  // The element lines and shell edges as they are drawn now, before any
  // deformation, in one pale colour: the undeformed shape under a deformed one.
  undeformedLines(colour) {
    const group = new THREE.Group();
    const material = new THREE.LineBasicMaterial({ color: colour });
    for (const source of [this.lines, this.edges]) {
      if (!source) continue;
      const g = new THREE.BufferGeometry();
      g.setAttribute('position', source.geometry.getAttribute('position').clone());
      group.add(new THREE.LineSegments(g, material));
    }
    return group;
  }

  setDeformation(displacement, scale) {
    this.displacement = displacement && scale !== 0 ? displacement : null;
    this.scale = scale;
    this.fillSurfaces(this.surfaces.geometry.getAttribute('position').array,
      this.edges ? this.edges.geometry.getAttribute('position').array : null);
    this.surfaces.geometry.getAttribute('position').needsUpdate = true;
    this.surfaces.geometry.computeVertexNormals();
    this.surfaces.geometry.computeBoundingSphere();
    if (this.edges) {
      this.edges.geometry.getAttribute('position').needsUpdate = true;
      this.edges.geometry.computeBoundingSphere();
    }
    this.buildLines(this.atAxes);
    const points = this.points.geometry.getAttribute('position');
    const v = new THREE.Vector3();
    for (let n = 0; n < this.pointVertCell.length; ++n) {
      const c = this.pointVertCell[n];
      this.local(this.arrays.connectivity[this.arrays.cellStart[c]], v).toArray(points.array, 3 * n);
    }
    points.needsUpdate = true;
    this.points.geometry.computeBoundingSphere();
  }

  buildSurfaces() {
    const { arrays, counts } = this;
    const type = arrays.elementType, start = arrays.cellStart, conn = arrays.connectivity;
    const position = new Float32Array(3 * counts.surfaceVerts);
    const colour = new Uint8Array(3 * counts.surfaceVerts);
    const index = new Uint32Array(3 * counts.triangles);
    this.surfaceVertCell = new Uint32Array(counts.surfaceVerts);
    this.triCell = new Uint32Array(counts.triangles);
    const edge = counts.surfaces <= kEdgeLimit ? new Float32Array(6 * counts.surfaceVerts) : null;
    let nv = 0, nt = 0;
    for (let c = 0; c < type.length; ++c) {
      if (!kSurface.has(type[c])) continue;
      const first = nv, n = start[c + 1] - start[c];
      for (let k = 0; k < n; ++k, ++nv) this.surfaceVertCell[nv] = c;
      for (let k = 1; k + 1 < n; ++k, ++nt) {  // a fan: quads split along their first diagonal
        index.set([first, first + k, first + k + 1], 3 * nt);
        this.triCell[nt] = c;
      }
    }
    this.fillSurfaces(position, edge);
    const g = new THREE.BufferGeometry();
    g.setAttribute('position', new THREE.BufferAttribute(position, 3));
    g.setAttribute('color', new THREE.BufferAttribute(colour, 3, true));
    g.setIndex(new THREE.BufferAttribute(index, 1));
    g.computeVertexNormals();
    g.computeBoundingSphere();
    this.surfaces = new THREE.Mesh(g, new THREE.MeshLambertMaterial({
      vertexColors: true, side: THREE.DoubleSide, polygonOffset: true, polygonOffsetFactor: 1, polygonOffsetUnits: 1,
    }));
    this.group.add(this.surfaces);
    if (edge) {
      const eg = new THREE.BufferGeometry();
      eg.setAttribute('position', new THREE.BufferAttribute(edge, 3));
      this.edges = new THREE.LineSegments(eg, new THREE.LineBasicMaterial({ color: 0x55606a, transparent: true, opacity: 0.45 }));
      this.group.add(this.edges);
    }
  }

  // Surface vertex positions (one run of vertices per cell, as
  // surfaceVertCell lists them) and, when kept, their outline segments.
  fillSurfaces(position, edge) {
    const { cellStart: start, connectivity: conn } = this.arrays;
    const v = new THREE.Vector3();
    let ne = 0;
    for (let nv = 0; nv < this.surfaceVertCell.length;) {
      const c = this.surfaceVertCell[nv], first = nv, n = start[c + 1] - start[c];
      for (let k = 0; k < n; ++k, ++nv) this.local(conn[start[c] + k], v).toArray(position, 3 * nv);
      if (edge) for (let k = 0; k < n; ++k, ne += 6) {
        edge.set(position.subarray(3 * (first + k), 3 * (first + k) + 3), ne);
        edge.set(position.subarray(3 * (first + (k + 1) % n), 3 * (first + (k + 1) % n) + 3), ne + 3);
      }
    }
  }

  // Beams as line segments, on their eccentric axes when `atAxes` is set.
  buildLines(atAxes) {
    this.atAxes = atAxes;
    const { arrays, counts } = this;
    const type = arrays.elementType, start = arrays.cellStart, conn = arrays.connectivity;
    const position = new Float32Array(6 * counts.segments);
    const colour = this.lines ? this.lines.geometry.getAttribute('color').array : new Uint8Array(6 * counts.segments);
    this.segCell = new Uint32Array(counts.segments);
    this.lineVertCell = new Uint32Array(2 * counts.segments);
    const a = new THREE.Vector3(), b = new THREE.Vector3(), m = new THREE.Vector3();
    const ea = new THREE.Vector3(), eb = new THREE.Vector3();
    let ns = 0;
    const put = (p, q, c) => {
      p.toArray(position, 6 * ns);
      q.toArray(position, 6 * ns + 3);
      this.segCell[ns] = c;
      this.lineVertCell[2 * ns] = this.lineVertCell[2 * ns + 1] = c;
      ++ns;
    };
    for (let c = 0; c < type.length; ++c) {
      if (!kLine.has(type[c])) continue;
      const s = start[c];
      this.local(conn[s], a);
      this.local(conn[s + 1], b);
      const e = atAxes ? this.eccentricity(c) : undefined;
      if (e !== undefined) {
        ea.fromArray(arrays.eccFirst, 3 * e);
        eb.fromArray(arrays.eccLast, 3 * e);
        a.add(ea);
        b.add(eb);
      }
      if (start[c + 1] - s === 3) {  // end, end, middle
        this.local(conn[s + 2], m);
        if (e !== undefined) m.add(ea.add(eb).multiplyScalar(0.5));
        put(a, m, c);
        put(m, b, c);
      } else {
        put(a, b, c);
      }
    }
    if (this.lines) {
      this.lines.geometry.getAttribute('position').array.set(position);
      this.lines.geometry.getAttribute('position').needsUpdate = true;
      this.lines.geometry.computeBoundingSphere();
      return;
    }
    const g = new THREE.BufferGeometry();
    g.setAttribute('position', new THREE.BufferAttribute(position, 3));
    g.setAttribute('color', new THREE.BufferAttribute(colour, 3, true));
    g.computeBoundingSphere();
    this.lines = new THREE.LineSegments(g, new THREE.LineBasicMaterial({ vertexColors: true }));
    this.group.add(this.lines);
  }

  buildPoints() {
    const { arrays, counts } = this;
    const type = arrays.elementType, start = arrays.cellStart, conn = arrays.connectivity;
    const position = new Float32Array(3 * counts.points);
    this.pointVertCell = new Uint32Array(counts.points);
    const v = new THREE.Vector3();
    let n = 0;
    for (let c = 0; c < type.length; ++c) {
      if (!kPoint.has(type[c])) continue;
      this.local(conn[start[c]], v).toArray(position, 3 * n);
      this.pointVertCell[n++] = c;
    }
    const g = new THREE.BufferGeometry();
    g.setAttribute('position', new THREE.BufferAttribute(position, 3));
    g.setAttribute('color', new THREE.BufferAttribute(new Uint8Array(3 * counts.points), 3, true));
    this.points = new THREE.Points(g, new THREE.PointsMaterial({ vertexColors: true, size: 6, sizeAttenuation: false }));
    this.group.add(this.points);
  }

  drawnCells() {
    return this.counts.surfaces + this.counts.lines + this.counts.points;
  }

  // Copies cellColour into every vertex colour attribute.
  applyColours() {
    for (const [object, vertCell] of [[this.surfaces, this.surfaceVertCell], [this.lines, this.lineVertCell],
      [this.points, this.pointVertCell]]) {
      const attribute = object.geometry.getAttribute('color');
      const out = attribute.array, cc = this.cellColour;
      for (let v = 0; v < vertCell.length; ++v) {
        const c = 3 * vertCell[v];
        out[3 * v] = cc[c]; out[3 * v + 1] = cc[c + 1]; out[3 * v + 2] = cc[c + 2];
      }
      attribute.needsUpdate = true;
    }
  }

  // The cell's centre in world coordinates.
  cellCentre(cell, out) {
    const { cellStart: start, connectivity: conn } = this.arrays;
    const v = new THREE.Vector3();
    out.set(0, 0, 0);
    for (let k = start[cell]; k < start[cell + 1]; ++k) out.add(this.local(conn[k], v));
    return out.multiplyScalar(1 / Math.max(1, start[cell + 1] - start[cell])).add(this.origin);
  }
}
