// The model embedded in the page: the JSON tables and the binary block of
// typed arrays that page_writer.cpp lays out.

// The page is read as windows-1252, in which each byte is one character;
// binary_text.cpp shifted every byte by 42 and escaped NUL, CR, '<' and '='
// as '=' and the value plus 64.
function decodeBinaryText(text, size) {
  const byteOf = new Uint8Array(65536);
  const all = Uint8Array.from({ length: 256 }, (_, i) => i);
  const chars = new TextDecoder('windows-1252').decode(all);
  for (let i = 0; i < 256; ++i) byteOf[chars.charCodeAt(i)] = i;
  const bytes = new Uint8Array(size);
  let n = 0;
  for (let i = 0; i < text.length && n < size; ++i) {
    const c = text.charCodeAt(i);
    bytes[n++] = (c === 0x3d ? byteOf[text.charCodeAt(++i)] - 106 : byteOf[c] - 42) & 255;
  }
  if (n !== size) throw new Error(`the model data holds ${n} of ${size} bytes`);
  return bytes;
}

const kTypes = {
  Int8: Int8Array, Uint8: Uint8Array, Int32: Int32Array, Uint32: Uint32Array,
  Float32: Float32Array, Float64: Float64Array, BigInt64: BigInt64Array,
};

// Returns { meta, arrays }: arrays by name as typed arrays over one buffer.
export function readModel(doc) {
  const metaElement = doc.getElementById('quilm-meta');
  const dataElement = doc.getElementById('quilm-data');
  const meta = JSON.parse(metaElement.textContent);
  const bytes = decodeBinaryText(dataElement.textContent, meta.dataBytes);
  dataElement.remove();  // the text is as large as the arrays: let it go
  const arrays = {};
  for (const a of meta.arrays) {
    const Type = kTypes[a.type];
    if (a.offset + a.count * Type.BYTES_PER_ELEMENT > bytes.byteLength) throw new Error(`array ${a.name} runs past the data`);
    arrays[a.name] = new Type(bytes.buffer, bytes.byteOffset + a.offset, a.count);
  }
  // Derived arrays: where each cell's points start, and plate thickness from the section table.
  const end = arrays.cellEnd, cells = end.length;
  arrays.cellStart = new Uint32Array(cells + 1);
  arrays.cellStart.set(end, 1);
  const thicknessOf = new Map(Object.entries(meta.sections).map(([id, row]) => [Number(id), row.thickness]));
  arrays.thickness = new Float32Array(cells);
  for (let c = 0; c < cells; ++c) arrays.thickness[c] = thicknessOf.get(arrays.sectionId[c]) || 0;
  return { meta, arrays };
}
