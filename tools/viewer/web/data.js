// The model embedded in the page: the JSON tables and the binary block of
// typed arrays that page_writer.cpp lays out.

function decodeBase64(text) {
  if (Uint8Array.fromBase64) return Uint8Array.fromBase64(text.trim());
  const binary = atob(text.trim());
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
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
  const bytes = decodeBase64(dataElement.textContent);
  dataElement.remove();  // the text is as large as the arrays: let it go
  const arrays = {};
  for (const a of meta.arrays) {
    const Type = kTypes[a.type];
    if (a.offset + a.count * Type.BYTES_PER_ELEMENT > bytes.byteLength) throw new Error(`array ${a.name} runs past the data`);
    arrays[a.name] = new Type(bytes.buffer, bytes.byteOffset + a.offset, a.count);
  }
  return { meta, arrays };
}
