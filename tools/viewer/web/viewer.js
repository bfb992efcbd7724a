// The viewer page: reads the embedded model, draws it with three.js and
// wires the controls. Its state is mirrored into data attributes of <body>
// for tests and scripts: data-state ("ready" once the first frame is drawn, "error"),
// data-drawn-elements, data-legend-colour/-min/-max/-entries/-units,
// data-picked-kind/-id, data-search-matches, data-first-frame-ms (since the
// page was requested), data-timings (ms: page loaded, decoded, built, drawn)
// data-frame-ms (see #frames), data-antialias, and for stored results
// data-analysis (the shown analysis' number, from 1 as the tools count
// them, empty for none), data-deformed-scale and data-max-displacement (m);
// data-title (the caption over the drawing), data-load-case (the load
// case whose loads are drawn, empty for none) and data-projection
// ("perspective" for iso, "orthographic" for plan and elevations).
// The page's address may carry
// #view=…&colour=…&analysis=N&loads=LOAD_CASE&scale=S&pick=KIND:ID&frames=N;
// a pick (element:ID, node:ID, or a bare element id) shows that record once
// the first frame is drawn; frames=N then turns the view N times by a
// degree, as an orbiting drag would, and gives the median time of those
// frames. A result colour is `result:FIELD:COMPONENT` of the shown analysis
// (see results.js).
import * as THREE from 'three';
import { OrbitControls } from 'three/examples/jsm/controls/OrbitControls.js';
import { readModel } from './data.js';
import { ModelMesh } from './geometry.js';
import { colourCells, colourQuantity, showLegend, highlightCells, escapeHtml } from './colour.js';
import { readAnalyses, displacementOf, quantitiesOf, cellValues, resultLines, autoScale, onPoints, pointRange } from './results.js';
import { buildSupports, buildLoads } from './symbols.js';
import { elementRecord, nodeRecord } from './record.js';

const $ = (id) => document.getElementById(id);
const body = document.body;
const kViews = {
  iso: [1, -1, 0.8], plan: [0, -1e-4, 1], front: [0, -1, 0], back: [0, 1, 0], left: [-1, 0, 0], right: [1, 0, 0],
};
const kTitles = { section: 'Section', material: 'Material', concept: 'Concept', type: 'Element type', thickness: 'Plate thickness' };

function start() {
  const started = performance.now();
  const model = readModel(document);
  const decoded = performance.now();
  const { meta } = model;
  const hash = new URLSearchParams(location.hash.slice(1));
  $('title').textContent = meta.modelFile.replace(/^.*\//, '');
  if (meta.picture) body.classList.add('picture');
  const container = $('view');
  const antialias = meta.picture || !softwareGl();
  body.dataset.antialias = antialias;
  const renderer = new THREE.WebGLRenderer({ antialias, preserveDrawingBuffer: true });
  renderer.setPixelRatio(window.devicePixelRatio || 1);
  renderer.setSize(container.clientWidth, container.clientHeight);
  renderer.setClearColor(0xf4f6f8);
  container.appendChild(renderer.domElement);

  const scene = new THREE.Scene();
  // Iso in perspective, which reads as depth; plan and elevations through an
  // orthographic camera, as an engineer's drawings are (parallel lines stay
  // parallel, equal members look equal). The light rides with the camera in use.
  const perspective = new THREE.PerspectiveCamera(35, container.clientWidth / container.clientHeight, 0.01, 1000);
  const orthographic = new THREE.OrthographicCamera(-1, 1, 1, -1, 0.01, 1000);
  let camera = perspective;
  scene.add(new THREE.AmbientLight(0xffffff, 1.6));
  const light = new THREE.DirectionalLight(0xffffff, 1.6);
  for (const c of [perspective, orthographic]) {
    c.up.set(0, 0, 1);
    scene.add(c);
  }
  camera.add(light);

  const mesh = new ModelMesh(model);
  scene.add(mesh.group);
  // The undeformed model in pale lines under a deformed shape.
  const ghost = mesh.undeformedLines(0xb4bcc4);
  ghost.visible = false;
  mesh.group.add(ghost);
  const built = performance.now();
  const supports = buildSupports(mesh);
  let loads = null;
  const controls = new OrbitControls(camera, renderer.domElement);
  controls.screenSpacePanning = true;

  // Renders wait until the page is set up, so that the first frame is drawn
  // once rather than once per setting (a large model takes seconds a frame).
  let live = false;
  const render = () => { if (live) renderer.render(scene, camera); };
  controls.addEventListener('change', render);

  const aspect = () => container.clientWidth / container.clientHeight;
  // The orthographic frustum: `halfHeight` of the model above and below the
  // centre, as wide as the window's shape asks.
  function frame(halfHeight) {
    orthographic.top = halfHeight;
    orthographic.bottom = -halfHeight;
    orthographic.right = halfHeight * aspect();
    orthographic.left = -orthographic.right;
  }
  function fit(direction) {
    const sphere = new THREE.Sphere(mesh.origin.clone(), 0.5 * mesh.size);
    const dir = new THREE.Vector3(...(direction || camera.position.clone().sub(controls.target).toArray())).normalize();
    let distance = sphere.radius / Math.sin(THREE.MathUtils.degToRad(perspective.fov / 2)) /
      Math.min(1, perspective.aspect) * 1.05;
    if (camera === orthographic) {
      frame(sphere.radius * 1.05 / Math.min(1, aspect()));
      orthographic.zoom = 1;
      distance = 3 * sphere.radius;  // outside the model; the frustum sets the size
    }
    camera.position.copy(sphere.center).addScaledVector(dir, distance);
    camera.near = distance / 1000;
    camera.far = distance * 10;
    camera.updateProjectionMatrix();
    controls.target.copy(sphere.center);
    controls.update();
    render();
  }
  function useCamera(next) {
    if (next === camera) return;
    camera.remove(light);
    next.add(light);
    camera = next;
    controls.object = camera;
  }
  function setView(name) {
    body.dataset.view = name;
    useCamera(name === 'iso' || !kViews[name] ? perspective : orthographic);
    body.dataset.projection = camera === orthographic ? 'orthographic' : 'perspective';
    fit(kViews[name] || kViews.iso);
  }

  // ---- stored results: the shown analysis, its deformed shape and colours
  const analyses = readAnalyses(model);
  let analysis = null, animation = null;
  function resultQuantity(mode) {
    if (!analysis || !mode.startsWith('result:')) return null;
    return quantitiesOf(analysis).find((q) => `result:${q.key}` === mode) || null;
  }
  function setAnalysis(index, scale) {
    stopAnimation();
    analysis = analyses[index] || null;
    $('analysis').value = analysis ? String(index) : '';
    const group = $('result-colours');
    group.textContent = '';
    for (const q of analysis ? quantitiesOf(analysis) : []) {
      const option = document.createElement('option');
      option.value = `result:${q.key}`;
      option.textContent = q.label;
      group.appendChild(option);
    }
    group.hidden = !analysis;
    const u = displacementOf(analysis);
    const auto = u ? autoScale(u, mesh.size) : { max: 0, scale: 0 };
    const s = u ? (Number.isFinite(scale) && scale >= 0 ? scale : auto.scale) : 0;
    $('scale').value = s;
    $('scale').disabled = !u;
    $('animate').hidden = !(u && /mode|buckling/.test(analysis.kind));
    Object.assign(body.dataset, {
      analysis: analysis ? String(index + 1) : '', deformedScale: s, maxDisplacement: auto.max,
    });
    mesh.setDeformation(u, s);
    ghost.visible = Boolean(u && s > 0);
    showCaption();
    if (colourMode && colourMode.startsWith('result:') && !resultQuantity(colourMode)) setColour('section');
    else if (colourMode && (kTitles[colourMode] || resultQuantity(colourMode))) setColour(colourMode);
  }
  function setScale(s) {
    if (!(s >= 0)) return;
    body.dataset.deformedScale = s;
    mesh.setDeformation(displacementOf(analysis), s);
    ghost.visible = Boolean(displacementOf(analysis) && s > 0);
    showCaption();
    render();
  }

  // The caption over the drawing, in the page and in pictures: the model,
  // the analysis with its frequency or load factor, the scale, the loads.
  function showCaption() {
    const parts = [meta.modelFile.replace(/^.*\//, '')];
    if (analysis) {
      parts.push(`${analysis.kind} ${analysis.name}`);
      if (displacementOf(analysis)) parts.push(`deformed ×${Number(Number($('scale').value).toPrecision(3))}`);
    }
    if (loadCase) parts.push(`loads of load case ${loadCase.id} ${loadCase.name}`.trim());
    $('caption').textContent = body.dataset.title = parts.join(' · ');
  }
  // A mode swings between its two signs, one period in 1.6 seconds.
  function stopAnimation() {
    if (animation) cancelAnimationFrame(animation);
    animation = null;
    $('animate').textContent = 'animate';
  }
  function animate() {
    if (animation) {
      stopAnimation();
      return setScale(Number($('scale').value));
    }
    $('animate').textContent = 'stop';
    const begin = performance.now(), amplitude = Number($('scale').value);
    const step = (now) => {
      mesh.setDeformation(displacementOf(analysis), amplitude * Math.sin(2 * Math.PI * (now - begin) / 1600));
      render();
      animation = requestAnimationFrame(step);
    };
    animation = requestAnimationFrame(step);
  }

  let legend = null, colourMode = null;
  function setColour(mode) {
    colourMode = mode;
    $('colour').value = mode;
    const quantity = resultQuantity(mode);
    const atNodes = quantity && onPoints(analysis, quantity.key);
    legend = quantity
      ? colourQuantity(mode, cellValues(model, analysis, quantity.key), quantity.units, mesh.cellColour,
        (v) => !Number.isNaN(v), atNodes ? pointRange(analysis, quantity.key) : null)
      : colourCells(mode, meta, model.arrays, mesh.cellColour);
    mesh.applyColours();
    const note = !quantity ? (mode === 'thickness' ? 'per element' : '')
      : atNodes ? 'node values; elements drawn with the mean of their nodes' : 'element values';
    showLegend($('legend'), legend, quantity ? quantity.label : kTitles[mode] || mode, note);
    Object.assign(body.dataset, {
      legendColour: mode, legendMin: legend.min, legendMax: legend.max,
      legendEntries: legend.kind === 'ramp' ? 0 : legend.entries.length, legendUnits: legend.units,
    });
    render();
  }

  // ---- picking: elements through the ray, nodes near the picked element
  const raycaster = new THREE.Raycaster();
  function pickAt(clientX, clientY) {
    const rect = renderer.domElement.getBoundingClientRect();
    const ndc = new THREE.Vector2(((clientX - rect.left) / rect.width) * 2 - 1, -((clientY - rect.top) / rect.height) * 2 + 1);
    raycaster.setFromCamera(ndc, camera);
    const worldPerPixel = camera === orthographic
      ? (orthographic.top - orthographic.bottom) / orthographic.zoom / rect.height
      : 2 * camera.position.distanceTo(controls.target) * Math.tan(THREE.MathUtils.degToRad(camera.fov / 2)) / rect.height;
    raycaster.params.Line.threshold = 4 * worldPerPixel;
    raycaster.params.Points.threshold = 4 * worldPerPixel;
    const hits = raycaster.intersectObjects([mesh.surfaces, mesh.lines, mesh.points, supports], false);
    if (!hits.length) return showPick(null);
    const hit = hits[0];
    if (hit.object === supports) return showPick('node', model.arrays.supportPoints[hit.instanceId]);
    const cell = hit.object === mesh.surfaces ? mesh.triCell[hit.faceIndex]
      : hit.object === mesh.lines ? mesh.segCell[hit.index / 2] : mesh.pointVertCell[hit.index];
    // A click within a few pixels of one of the element's nodes means the node.
    const { cellStart: s, connectivity: conn } = model.arrays;
    const screen = new THREE.Vector3();
    for (let k = s[cell]; k < s[cell + 1]; ++k) {
      mesh.local(conn[k], screen).add(mesh.origin).project(camera);
      const x = rect.left + (screen.x + 1) / 2 * rect.width, y = rect.top + (1 - screen.y) / 2 * rect.height;
      if (Math.hypot(x - clientX, y - clientY) < 6) return showPick('node', conn[k]);
    }
    return showPick('element', cell);
  }
  function showPick(kind, index) {
    if (!kind) {
      $('record').textContent = '';
      Object.assign(body.dataset, { pickedKind: 'none', pickedId: '' });
      return;
    }
    const id = kind === 'node' ? model.arrays.nodeIds[index] : model.arrays.elementIds[index];
    const supported = kind === 'node' && model.arrays.supportPoints.indexOf(index) >= 0;
    $('record').textContent = [kind === 'node' ? nodeRecord(model, index) : elementRecord(model, index),
      ...resultLines(analysis, kind === 'node' ? 'points' : 'cells', index, supported)].join('\n');
    Object.assign(body.dataset, { pickedKind: kind, pickedId: id });
  }
  // A pick from the address: "element:ID", "node:ID" or a bare element id,
  // shown by its id (not by a click, which may land on a node nearby).
  function pickById(text) {
    const [kind, id] = /^(element|node):/.test(text) ? text.split(':') : ['element', text];
    const ids = kind === 'node' ? model.arrays.nodeIds : model.arrays.elementIds;
    const index = binarySearch(ids, Number(id));
    return index < 0 ? showPick(null) : showPick(kind, index);
  }
  let down = null;
  renderer.domElement.addEventListener('pointerdown', (e) => { down = [e.clientX, e.clientY]; });
  renderer.domElement.addEventListener('pointerup', (e) => {
    if (down && Math.hypot(e.clientX - down[0], e.clientY - down[1]) < 4) pickAt(e.clientX, e.clientY);
    down = null;
  });

  // ---- search over concept, set and node names
  function search(text) {
    const q = text.trim().toLowerCase();
    if (!q) {
      $('found').textContent = '';
      body.dataset.searchMatches = '';
      return setColour(colourMode);
    }
    const a = model.arrays, n = a.elementIds.length;
    const conceptHit = new Set(Object.entries(meta.concepts).filter(([, name]) => name.toLowerCase().includes(q)).map(([id]) => +id));
    const match = new Uint8Array(n);
    let cells = 0, nodes = 0;
    for (let c = 0; c < n; ++c) if (conceptHit.has(a.conceptId[c])) match[c] = 1;
    for (const set of meta.sets) {
      if (!set.name.toLowerCase().includes(q)) continue;
      for (let i = set.cellStart; i < set.cellStart + set.cellCount; ++i) match[a.setCells[i]] = 1;
      nodes += set.pointCount;
    }
    for (let p = 0; p < a.nodeIds.length; ++p) {
      const name = meta.nodeNames[p];
      if (conceptHit.has(a.nodeConcept[p]) || (name && name.toLowerCase().includes(q))) ++nodes;
    }
    for (let c = 0; c < n; ++c) cells += match[c];
    highlightCells(match, mesh.cellColour);
    mesh.applyColours();
    $('found').textContent = `${cells} elements, ${nodes} nodes`;
    body.dataset.searchMatches = cells;
    render();
  }

  // ---- controls of the bar
  for (const lc of meta.loadCases) {
    const option = document.createElement('option');
    option.value = lc.id;
    option.textContent = `${lc.id} ${lc.name}`;
    $('loadcase').appendChild(option);
  }
  let loadCase = null;
  function showLoads(id) {
    if (loads) { mesh.group.remove(loads); loads.geometry.dispose(); loads = null; }
    loadCase = meta.loadCases.find((l) => String(l.id) === String(id)) || null;
    $('loadcase').value = loadCase ? String(loadCase.id) : '';
    body.dataset.loadCase = loadCase ? String(loadCase.id) : '';
    let status = '';
    if (loadCase) {
      loads = buildLoads(mesh, loadCase);
      if (loadCase.gravity) status = `gravity (${loadCase.gravity.map((x) => Number(x.toPrecision(4))).join(', ')}) m/s²`;
      if (loadCase.skipped) status += ` · ${loadCase.skipped} loads on removed elements or nodes not drawn`;
    }
    setStatus(status);
    showCaption();
    render();
  }
  $('loadcase').addEventListener('change', (e) => showLoads(e.target.value));
  $('colour').addEventListener('change', (e) => { $('search').value = ''; search(''); setColour(e.target.value); });
  analyses.forEach((a, i) => {
    const option = document.createElement('option');
    option.value = String(i);
    option.textContent = `${i + 1}: ${a.kind} ${a.name}`;
    $('analysis').appendChild(option);
  });
  $('analysis').addEventListener('change', (e) => { setAnalysis(e.target.value === '' ? -1 : Number(e.target.value)); render(); });
  $('scale').addEventListener('input', (e) => { stopAnimation(); setScale(Number(e.target.value)); });
  $('animate').addEventListener('click', animate);
  for (const b of document.querySelectorAll('[data-view]')) b.addEventListener('click', () => setView(b.dataset.view));
  $('fit').addEventListener('click', () => fit(null));
  $('supports').addEventListener('change', (e) => { supports.visible = e.target.checked; render(); });
  $('eccentric').addEventListener('change', (e) => { mesh.buildLines(e.target.checked); render(); });
  $('search').addEventListener('input', (e) => search(e.target.value));
  window.addEventListener('resize', () => {
    renderer.setSize(container.clientWidth, container.clientHeight);
    perspective.aspect = aspect();
    perspective.updateProjectionMatrix();
    frame(orthographic.top);
    orthographic.updateProjectionMatrix();
    render();
  });

  function setStatus(extra) {
    $('status').textContent = `${meta.points} nodes, ${meta.cells} elements` +
      (meta.analyses.length ? '' : ' · no stored results') + (extra ? ` · ${extra}` : '');
  }

  body.dataset.drawnElements = mesh.drawnCells();
  colourMode = meta.colour;
  // The address counts analyses from 1, as the tools do; the page's own meta from 0.
  const shown = hash.has('analysis') ? Number(hash.get('analysis')) - 1 : meta.analysis;
  setAnalysis(Number.isInteger(shown) ? shown : -1, hash.has('scale') ? Number(hash.get('scale')) : meta.scale);
  showLoads(hash.has('loads') ? hash.get('loads') : meta.loadCase || '');
  // A colour is a property, a result quantity's key, or a result field's
  // name (its first quantity: "displacement" colours by |u|, "section_force" by N).
  const resolve = (c) => {
    if (!c) return null;
    if (kTitles[c] || resultQuantity(c)) return c;
    const q = analysis && quantitiesOf(analysis).find((x) => x.name === c);
    return q ? `result:${q.key}` : null;
  };
  setColour(resolve(hash.get('colour')) || resolve(meta.colour) || 'section');
  setView(kViews[hash.get('view')] ? hash.get('view') : meta.view);
  const pick = hash.get('pick');
  if (pick) pickById(pick);
  live = true;
  render();
  waitForFrame();  // the first frame is drawn, not just queued
  const drawn = performance.now();
  body.dataset.firstFrameMs = Math.round(drawn);
  // Where the first frame's time went: loading the page, decoding, building, drawing.
  body.dataset.timings = [started, decoded - started, built - decoded, drawn - built].map(Math.round).join(' ');
  const frames = Math.min(Number(hash.get('frames')) || 0, 1000);
  if (frames > 0) body.dataset.frameMs = timeTurns(frames);
  body.dataset.state = 'ready';

  // Reading a pixel back waits until the frame is drawn; Chromium's finish()
  // may return as soon as the commands are sent.
  function waitForFrame() {
    const gl = renderer.getContext();
    gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, new Uint8Array(4));
  }

  // Frames as an orbit drags them: only the camera moves; each is drawn
  // before the clock is read.
  function timeTurns(n) {
    const up = new THREE.Vector3(0, 0, 1), step = THREE.MathUtils.degToRad(1), times = [];
    for (let i = 0; i < n; ++i) {
      const t0 = performance.now();
      camera.position.sub(controls.target).applyAxisAngle(up, step).add(controls.target);
      camera.lookAt(controls.target);
      render();
      waitForFrame();
      times.push(performance.now() - t0);
    }
    controls.update();
    times.sort((a, b) => a - b);
    return times[n >> 1].toFixed(1);
  }
}

// Whether WebGL runs on the processor (no GPU: headless, remote desktops).
// Multisampling there triples the time of a frame, so the interactive page
// goes without it; pictures, drawn once, keep it.
function softwareGl() {
  const gl = document.createElement('canvas').getContext('webgl2');
  const info = gl && gl.getExtension('WEBGL_debug_renderer_info');
  const name = info ? String(gl.getParameter(info.UNMASKED_RENDERER_WEBGL)) : '';
  if (gl) gl.getExtension('WEBGL_lose_context')?.loseContext();
  return /swiftshader|llvmpipe|softpipe|software/i.test(name);
}

function binarySearch(sorted, value) {
  let lo = 0, hi = sorted.length - 1;
  while (lo <= hi) {
    const mid = (lo + hi) >> 1;
    if (sorted[mid] === value) return mid;
    if (sorted[mid] < value) lo = mid + 1; else hi = mid - 1;
  }
  return -1;
}

try {
  start();
} catch (error) {
  body.dataset.state = 'error';
  body.dataset.error = String(error && error.message || error);
  $('status').innerHTML = `<b>cannot show the model:</b> ${escapeHtml(body.dataset.error)}`;
  throw error;
}
