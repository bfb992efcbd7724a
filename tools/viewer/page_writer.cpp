// The viewer page: template, JSON tables, base64 arrays, bundled script.
#include "page_writer.hpp"

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "binary_text.hpp"
#include "definitions/element_type.hpp"
#include "viewer_assets.hpp"

namespace quilm_view {

namespace {

// The code points of UTF-8 text; a byte that starts no valid sequence
// stands for itself (as windows-1252 would show it).
std::vector<std::uint32_t> CodePoints(const std::string& s) {
  std::vector<std::uint32_t> out;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const int n = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : 0;
    std::uint32_t cp = n == 3 ? c & 7u : n == 2 ? c & 15u : n == 1 ? c & 31u : c;
    bool valid = i + n < s.size() + (n ? 0 : 1);
    for (int k = 1; valid && k <= n; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      valid = (d & 0xC0) == 0x80;
      cp = cp << 6 | (d & 63u);
    }
    out.push_back(valid ? cp : c);
    i += valid ? n + 1 : 1;
  }
  return out;
}

// A JSON string literal in ASCII (the page is not UTF-8), safe inside a
// <script> element.
std::string Json(const std::string& s) {
  std::string out = "\"";
  char buf[16];
  for (std::uint32_t c : CodePoints(s)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == '<' || c == '>' || c == '&' || (c >= 0x7F && c < 0x10000)) {
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
      out += buf;
    } else if (c >= 0x10000) {  // a surrogate pair
      std::snprintf(buf, sizeof buf, "\\u%04x\\u%04x", 0xD800 + ((c - 0x10000) >> 10),
                    0xDC00 + ((c - 0x10000) & 0x3FF));
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Number(double v) {
  if (!std::isfinite(v)) return "null";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.9g", v);
  return buf;
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

void WriteTable(std::ostream& out, const char* key, const std::map<long, NamedRow>& rows, bool withDetails) {
  out << "," << Json(key) << ":{";
  bool first = true;
  for (const auto& [id, row] : rows) {
    out << (first ? "" : ",") << Json(std::to_string(id)) << ":";
    if (withDetails)
      out << "{\"name\":" << Json(row.name) << ",\"description\":" << Json(row.description)
          << ",\"thickness\":" << Number(row.thickness) << "}";
    else
      out << Json(row.name);
    first = false;
  }
  out << "}";
}

void WriteMeta(std::ostream& out, const ModelArrays& a, const std::vector<AnalysisFields>& analyses,
               const PageSettings& settings, const PageArrays& page) {
  out << "{\"modelFile\":" << Json(a.modelFile) << ",\"points\":" << a.PointCount()
      << ",\"cells\":" << a.CellCount() << ",\"view\":" << Json(settings.view)
      << ",\"colour\":" << Json(settings.colour) << ",\"picture\":" << (settings.picture ? "true" : "false");
  WriteTable(out, "sections", a.sections, true);
  WriteTable(out, "materials", a.materials, true);
  WriteTable(out, "concepts", a.concepts, false);
  out << ",\"elementTypes\":{";
  bool first = true;
  for (const qlElementType* t : qlElementType::All()) {
    out << (first ? "" : ",") << Json(std::to_string(t->Number())) << ":" << Json(t->Name());
    first = false;
  }
  out << "},\"nodeNames\":{";
  first = true;
  for (std::size_t i = 0; i < a.nodeNames.size(); ++i) {
    if (a.nodeNames[i].empty()) continue;
    out << (first ? "" : ",") << Json(std::to_string(i)) << ":" << Json(a.nodeNames[i]);
    first = false;
  }
  out << "},\"loadCases\":[";
  std::size_t start = 0;
  for (std::size_t i = 0; i < a.loadCases.size(); ++i) {
    const LoadCaseArrays& lc = a.loadCases[i];
    out << (i ? "," : "") << "{\"id\":" << lc.id << ",\"name\":" << Json(lc.name) << ",\"start\":" << start
        << ",\"count\":" << lc.loads.size() << ",\"skipped\":" << lc.skipped << ",\"gravity\":";
    if (lc.hasGravity)
      out << "[" << Number(lc.gravity[0]) << "," << Number(lc.gravity[1]) << "," << Number(lc.gravity[2])
          << "]";
    else
      out << "null";
    out << "}";
    start += lc.loads.size();
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
    out << (i ? "," : "") << "{\"name\":" << Json(r.name) << ",\"kind\":" << Json(r.kind) << ",\"fields\":[";
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
  for (std::uint32_t c : CodePoints(name)) {
    if (c == '<' || c == '&' || c >= 0x7F)
      out += "&#" + std::to_string(c) + ";";
    else
      out += static_cast<char>(c);
  }
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
  std::vector<std::uint32_t> supports, massPoints;
  std::vector<float> fixity, mass;
  for (std::size_t i = 0; i < a.PointCount(); ++i) {
    bool supported = false, massed = false;
    for (int k = 0; k < 6; ++k) {
      supported |= a.fixity[6 * i + k] != 0.0;
      massed |= a.mass[6 * i + k] != 0.0;
    }
    if (supported) {
      supports.push_back(static_cast<std::uint32_t>(i));
      fixity.insert(fixity.end(), a.fixity.begin() + 6 * i, a.fixity.begin() + 6 * i + 6);
    }
    if (massed) {
      massPoints.push_back(static_cast<std::uint32_t>(i));
      mass.insert(mass.end(), a.mass.begin() + 6 * i, a.mass.begin() + 6 * i + 6);
    }
  }
  indices("supportPoints", std::move(supports));
  floats("supportFixity", std::move(fixity), 6);
  indices("massPoints", std::move(massPoints));
  floats("massValues", std::move(mass), 6);

  p.arrays.push_back(View("elementIds", a.elementIds));
  p.arrays.push_back(View("elementType", a.elementType));
  p.arrays.push_back(View("cellEnd", a.offsets));
  p.arrays.push_back(View("connectivity", a.connectivity));
  p.arrays.push_back(View("sectionId", a.sectionId));
  p.arrays.push_back(View("materialId", a.materialId));
  p.arrays.push_back(View("conceptId", a.conceptId));

  std::vector<std::uint32_t> eccCells;
  std::vector<float> first, last;
  for (std::size_t c = 0; c < a.CellCount(); ++c) {
    const double* f = &a.eccentricityFirst[3 * c];
    const double* l = &a.eccentricityLast[3 * c];
    if (f[0] == 0 && f[1] == 0 && f[2] == 0 && l[0] == 0 && l[1] == 0 && l[2] == 0) continue;
    eccCells.push_back(static_cast<std::uint32_t>(c));
    first.insert(first.end(), f, f + 3);
    last.insert(last.end(), l, l + 3);
  }
  indices("eccCells", std::move(eccCells));
  floats("eccFirst", std::move(first), 3);
  floats("eccLast", std::move(last), 3);

  std::vector<std::uint8_t> kinds;
  std::vector<std::uint32_t> targets;
  std::vector<float> values;
  for (const LoadCaseArrays& lc : a.loadCases)
    for (const LoadItem& l : lc.loads) {
      kinds.push_back(l.kind);
      targets.push_back(l.target);
      values.insert(values.end(), l.values, l.values + 6);
    }
  p.bytes.push_back(std::move(kinds));
  p.arrays.push_back(View("loadKind", p.bytes.back()));
  indices("loadTarget", std::move(targets));
  floats("loadValues", std::move(values), 6);

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
