// The viewer page: template, JSON tables, binary arrays, bundled script.
#include "page_writer.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string_view>

#include "binary_text.hpp"
#include "definitions/element_type.hpp"
#include "viewer_assets.hpp"

namespace quilm_view {

namespace {

// The code point of the UTF-8 sequence at s[i], advancing i past it; a byte
// that starts no valid sequence stands for itself (as windows-1252 would
// show it).
std::uint32_t NextCodePoint(std::string_view s, std::size_t& i) {
  const auto c = static_cast<unsigned char>(s[i]);
  const std::size_t n = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : 0;
  std::uint32_t cp = n == 3 ? c & 7u : n == 2 ? c & 15u : n == 1 ? c & 31u : c;
  bool valid = i + n < s.size();
  for (std::size_t k = 1; valid && k <= n; ++k) {
    const auto d = static_cast<unsigned char>(s[i + k]);
    valid = (d & 0xC0) == 0x80;
    cp = cp << 6 | (d & 63u);
  }
  i += valid ? n + 1 : 1;
  return valid ? cp : c;
}

// Bytes that go into a JSON string as they are: printable ASCII other than
// the quote, the backslash and what could close the <script> element.
constexpr std::array<bool, 256> PlainJsonBytes() {
  std::array<bool, 256> t{};
  for (int c = 0x20; c < 0x7F; ++c) t[c] = c != '"' && c != '\\' && c != '<' && c != '>' && c != '&';
  return t;
}
constexpr std::array<bool, 256> kPlainJson = PlainJsonBytes();

// Appends s as a JSON string literal in ASCII (the page is not UTF-8), safe
// inside a <script> element. Runs of plain bytes are copied whole: the
// tables hold hundreds of thousands of short, plain names.
void AppendJson(std::string& out, std::string_view s) {
  out += '"';
  char buf[16];
  for (std::size_t i = 0; i < s.size();) {
    std::size_t run = i;
    while (run < s.size() && kPlainJson[static_cast<unsigned char>(s[run])]) ++run;
    out.append(s.data() + i, run - i);
    if (run == s.size()) break;
    i = run;
    const std::uint32_t c = NextCodePoint(s, i);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x10000) {  // a surrogate pair
      std::snprintf(buf, sizeof buf, "\\u%04x\\u%04x", 0xD800 + ((c - 0x10000) >> 10),
                    0xDC00 + ((c - 0x10000) & 0x3FF));
      out += buf;
    } else {
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
      out += buf;
    }
  }
  out += '"';
}

void AppendInteger(std::string& out, long long v) {
  char buf[24];
  out.append(buf, static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, v).ptr - buf));
}

// An integer as a JSON object key.
void AppendKey(std::string& out, long long v) {
  out += '"';
  AppendInteger(out, v);
  out += "\":";
}

void AppendNumber(std::string& out, double v) {
  if (!std::isfinite(v)) {
    out += "null";
    return;
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.9g", v);
  out += buf;
}

std::string Json(std::string_view s) {
  std::string out;
  AppendJson(out, s);
  return out;
}

std::string Number(double v) {
  std::string out;
  AppendNumber(out, v);
  return out;
}

const char* TypeName(ValueType t) {
  switch (t) {
    case ValueType::Int8:
      return "Int8";
    case ValueType::UInt8:
      return "Uint8";
    case ValueType::Int32:
      return "Int32";
    case ValueType::UInt32:
      return "Uint32";
    case ValueType::Int64:
      return "BigInt64";
    case ValueType::Float32:
      return "Float32";
    case ValueType::Float64:
      return "Float64";
  }
  return "";
}

std::size_t Aligned(std::size_t n) { return (n + 7) & ~std::size_t{7}; }

std::size_t DataBytes(const PageArrays& page) {
  std::size_t n = 0;
  for (const DataArray& d : page.arrays) n = Aligned(n + d.Bytes());
  return n;
}

// The large tables (hundreds of thousands of concepts, tens of thousands of
// node names) are built in one string: per-row stream inserts cost several
// times the rows' bytes.
void WriteTable(std::ostream& out, const char* key, const NamedTable& table, bool withDetails) {
  std::string text = ",";
  text.reserve(table.Size() * (withDetails ? 96 : 32));
  AppendJson(text, key);
  text += ":{";
  for (std::size_t i = 0; i < table.Size(); ++i) {
    const NamedRow& row = table.rows[i];
    if (i) text += ',';
    AppendKey(text, table.ids[i]);
    if (withDetails) {
      text += "{\"name\":";
      AppendJson(text, row.name);
      text += ",\"description\":";
      AppendJson(text, row.description);
      text += ",\"thickness\":";
      AppendNumber(text, row.thickness);
      text += '}';
    } else {
      AppendJson(text, row.name);
    }
  }
  text += '}';
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void WriteNodeNames(std::ostream& out, const std::vector<std::string>& names) {
  std::string text = ",\"nodeNames\":{";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].empty()) continue;
    if (text.back() != '{') text += ',';
    AppendKey(text, static_cast<long long>(i));
    AppendJson(text, names[i]);
  }
  text += '}';
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void WriteMeta(std::ostream& out, const ModelArrays& a, const std::vector<AnalysisFields>& analyses,
               const PageSettings& settings, const PageArrays& page) {
  out << "{\"modelFile\":" << Json(a.modelFile) << ",\"points\":" << a.PointCount()
      << ",\"cells\":" << a.CellCount() << ",\"view\":" << Json(settings.view)
      << ",\"colour\":" << Json(settings.colour) << ",\"picture\":" << (settings.picture ? "true" : "false")
      << ",\"analysis\":";
  if (settings.analysis >= 0 && static_cast<std::size_t>(settings.analysis) < analyses.size())
    out << settings.analysis;
  else
    out << "null";
  out << ",\"loadCase\":" << settings.loadCase << ",\"scale\":";
  if (settings.scale >= 0)
    out << Number(settings.scale);
  else
    out << "null";
  WriteTable(out, "sections", a.sections, true);
  WriteTable(out, "materials", a.materials, true);
  WriteTable(out, "concepts", a.concepts, false);
  out << ",\"elementTypes\":{";
  bool first = true;
  for (const qlElementType* t : qlElementType::All()) {
    out << (first ? "" : ",") << Json(std::to_string(t->Number())) << ":" << Json(t->Name());
    first = false;
  }
  out << "}";
  WriteNodeNames(out, a.nodeNames);
  out << ",\"loadCases\":[";
  for (std::size_t i = 0; i < a.loadCases.size(); ++i) {
    const LoadCaseArrays& lc = a.loadCases[i];
    out << (i ? "," : "") << "{\"id\":" << lc.id << ",\"name\":" << Json(lc.name) << ",\"start\":" << lc.start
        << ",\"count\":" << lc.count << ",\"skipped\":" << lc.skipped << ",\"gravity\":";
    if (lc.hasGravity)
      out << "[" << Number(lc.gravity[0]) << "," << Number(lc.gravity[1]) << "," << Number(lc.gravity[2])
          << "]";
    else
      out << "null";
    out << "}";
  }
  out << "],\"sets\":[";
  std::size_t cells = 0, points = 0;
  first = true;
  for (const auto& [name, members] : a.setCells) {
    const std::size_t pointCount = a.setPoints.at(name).size();
    out << (first ? "" : ",") << "{\"name\":" << Json(name) << ",\"cellStart\":" << cells
        << ",\"cellCount\":" << members.size() << ",\"pointStart\":" << points
        << ",\"pointCount\":" << pointCount << "}";
    cells += members.size();
    points += pointCount;
    first = false;
  }
  out << "],\"analyses\":[";
  for (std::size_t i = 0; i < analyses.size(); ++i) {
    const AnalysisFields& r = analyses[i];
    out << (i ? "," : "") << "{\"name\":" << Json(r.name) << ",\"kind\":" << Json(r.kind)
        << ",\"number\":" << r.number << ",\"stale\":" << (r.stale ? "true" : "false") << ",\"fields\":[";
    const std::size_t n = r.pointData.size() + r.cellData.size();
    for (std::size_t f = 0; f < n; ++f) {
      const bool onPoints = f < r.pointData.size();
      const DataArray& d = onPoints ? r.pointData[f] : r.cellData[f - r.pointData.size()];
      out << (f ? "," : "") << "{\"name\":" << Json(d.name)
          << ",\"on\":" << (onPoints ? "\"points\"" : "\"cells\"")
          << ",\"array\":" << Json("analysis." + std::to_string(i) + "." + d.name)
          << ",\"units\":" << Json(f < r.units.size() ? r.units[f] : "") << "}";
    }
    out << "]}";
  }
  out << "],\"dataBytes\":" << DataBytes(page) << ",\"arrays\":[";
  std::size_t offset = 0;
  for (std::size_t i = 0; i < page.arrays.size(); ++i) {
    const DataArray& d = page.arrays[i];
    out << (i ? "," : "") << "{\"name\":" << Json(d.name) << ",\"type\":\"" << TypeName(d.type)
        << "\",\"components\":" << d.components << ",\"offset\":" << offset << ",\"count\":" << d.count
        << "}";
    offset = Aligned(offset + d.Bytes());
  }
  out << "]}";
}

void WriteData(std::ostream& out, const PageArrays& page) {
  BinaryTextStream encoder(out);
  static const unsigned char kZeros[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  for (const DataArray& d : page.arrays) {
    encoder.Write(d.data, d.Bytes());
    encoder.Write(kZeros, Aligned(encoder.Size()) - encoder.Size());
  }
  encoder.Finish();
}

std::string Title(const ModelArrays& a) {
  const std::size_t slash = a.modelFile.find_last_of('/');
  std::string name = slash == std::string::npos ? a.modelFile : a.modelFile.substr(slash + 1);
  std::string out;
  for (std::size_t i = 0; i < name.size();) {
    const std::uint32_t c = NextCodePoint(name, i);
    if (c == '<' || c == '&' || c >= 0x7F)
      out += "&#" + std::to_string(c) + ";";
    else
      out += static_cast<char>(c);
  }
  return out;
}

// The tuples of `values` at `picked` (ascending indices), as floats.
std::vector<float> Picked(const std::vector<double>& values, const std::vector<std::uint32_t>& picked,
                          int components) {
  std::vector<float> out;
  out.reserve(picked.size() * components);
  for (std::uint32_t i : picked)
    for (int k = 0; k < components; ++k) out.push_back(static_cast<float>(values[i * components + k]));
  return out;
}

}  // namespace

PageArrays MakePageArrays(const ModelArrays& a, const std::vector<AnalysisFields>& analyses) {
  PageArrays p;
  auto floats = [&p](std::string name, std::vector<float> v, int components) {
    p.floats.push_back(std::move(v));
    p.arrays.push_back(View(std::move(name), p.floats.back(), components));
  };
  auto indices = [&p](std::string name, std::vector<std::uint32_t> v) {
    p.indices.push_back(std::move(v));
    p.arrays.push_back(View(std::move(name), p.indices.back()));
  };
  // Positions as floats: half the size, and precise to well under a
  // millimetre for structures of a few kilometres.
  floats("positions", std::vector<float>(a.points.begin(), a.points.end()), 3);
  p.arrays.push_back(View("nodeIds", a.nodeIds));
  p.arrays.push_back(View("nodeConcept", a.nodeConcept));
  p.arrays.push_back(View("supportPoints", a.supportPoints));
  floats("supportFixity", Picked(a.fixity, a.supportPoints, 6), 6);
  p.arrays.push_back(View("massPoints", a.massPoints));
  floats("massValues", Picked(a.mass, a.massPoints, 6), 6);

  p.arrays.push_back(View("elementIds", a.elementIds));
  p.arrays.push_back(View("elementType", a.elementType));
  p.arrays.push_back(View("cellEnd", a.offsets));
  p.arrays.push_back(View("connectivity", a.connectivity));
  p.arrays.push_back(View("sectionId", a.sectionId));
  p.arrays.push_back(View("materialId", a.materialId));
  p.arrays.push_back(View("conceptId", a.conceptId));

  p.arrays.push_back(View("eccCells", a.eccentricCells));
  floats("eccFirst", Picked(a.eccentricityFirst, a.eccentricCells, 3), 3);
  floats("eccLast", Picked(a.eccentricityLast, a.eccentricCells, 3), 3);

  p.arrays.push_back(View("loadKind", a.loadKind));
  p.arrays.push_back(View("loadTarget", a.loadTarget));
  p.arrays.push_back(View("loadValues", a.loadValues, 6));

  std::vector<std::uint32_t> setCells, setPoints;
  for (const auto& [name, members] : a.setCells) {
    setCells.insert(setCells.end(), members.begin(), members.end());
    const auto& points = a.setPoints.at(name);
    setPoints.insert(setPoints.end(), points.begin(), points.end());
  }
  indices("setCells", std::move(setCells));
  indices("setPoints", std::move(setPoints));

  for (std::size_t i = 0; i < analyses.size(); ++i) {
    const std::string prefix = "analysis." + std::to_string(i) + ".";
    for (const auto* list : {&analyses[i].pointData, &analyses[i].cellData})
      for (DataArray d : *list) {
        d.name = prefix + d.name;
        p.arrays.push_back(d);
      }
  }
  return p;
}

void WritePage(const ModelArrays& a, const std::vector<AnalysisFields>& analyses,
               const PageSettings& settings, std::ostream& out) {
  if (ViewerScript().empty())
    throw std::runtime_error(
        "this quilm-view was built without its page script: fetch three.js (npm ci --prefix "
        "tools/viewer/web) and "
        "rebuild");
  const PageArrays page = MakePageArrays(a, analyses);
  std::string_view rest = PageTemplate();
  // Each mark is replaced in order; the template holds each exactly once.
  for (const char* mark : {"@TITLE@", "@META@", "@DATA@", "@SCRIPT@"}) {
    const std::size_t at = rest.find(mark);
    if (at == std::string_view::npos) throw std::logic_error(std::string("page template lacks ") + mark);
    out.write(rest.data(), static_cast<std::streamsize>(at));
    rest.remove_prefix(at + std::char_traits<char>::length(mark));
    const std::string m = mark;
    if (m == "@TITLE@")
      out << Title(a);
    else if (m == "@META@")
      WriteMeta(out, a, analyses, settings, page);
    else if (m == "@DATA@")
      WriteData(out, page);
    else
      out << ViewerScript();
  }
  out.write(rest.data(), static_cast<std::streamsize>(rest.size()));
}

}  // namespace quilm_view
