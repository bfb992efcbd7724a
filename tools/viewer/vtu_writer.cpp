// The VTU writer: an XML header describing every array by its offset into
// one appended block, then the block itself, each array preceded by its
// byte count as a UInt64.
#include "vtu_writer.hpp"

#include <cstdint>
#include <string>

namespace quilm_view {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the appended block is written in host byte order");

namespace {

const char* VtkTypeName(ValueType t) {
  switch (t) {
    case ValueType::Int8:
      return "Int8";
    case ValueType::UInt8:
      return "UInt8";
    case ValueType::Int32:
      return "Int32";
    case ValueType::UInt32:
      return "UInt32";
    case ValueType::Int64:
      return "Int64";
    case ValueType::Float32:
      return "Float32";
    case ValueType::Float64:
      return "Float64";
  }
  return "";
}

std::string XmlEscaped(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// Lays the arrays out in the appended block in the order they are declared.
class Appended {
 public:
  void Declare(std::ostream& out, const DataArray& a, const char* indent) {
    out << indent << "<DataArray type=\"" << VtkTypeName(a.type) << "\" Name=\"" << XmlEscaped(a.name)
        << "\"";
    if (a.components != 1) out << " NumberOfComponents=\"" << a.components << "\"";
    out << " format=\"appended\" offset=\"" << offset_ << "\"/>\n";
    offset_ += sizeof(std::uint64_t) + a.Bytes();
    arrays_.push_back(a);
  }
  void Write(std::ostream& out) const {
    for (const DataArray& a : arrays_) {
      const std::uint64_t bytes = a.Bytes();
      out.write(reinterpret_cast<const char*>(&bytes), sizeof bytes);
      out.write(static_cast<const char*>(a.data), static_cast<std::streamsize>(bytes));
    }
  }

 private:
  std::uint64_t offset_ = 0;
  std::vector<DataArray> arrays_;
};

// Names as one UInt8 array of NUL-terminated UTF-8 strings, the way VTK
// stores string arrays in binary form.
std::vector<std::uint8_t> PackNames(const std::vector<std::string>& names) {
  std::vector<std::uint8_t> out;
  for (const std::string& s : names) {
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
  }
  return out;
}

}  // namespace

VtuArrays ModelVtuArrays(const ModelArrays& a) {
  VtuArrays v;
  v.pointData = {View("node_id", a.nodeIds), View("node_concept_id", a.nodeConcept),
                 View("support_fixity", a.fixity, 6), View("mass", a.mass, 6)};
  v.cellData = {View("element_id", a.elementIds),
                View("concept_id", a.conceptId),
                View("concept_name_index", a.conceptNameIndex),
                View("section_id", a.sectionId),
                View("material_id", a.materialId),
                View("element_type", a.elementType),
                View("thickness", a.thickness),
                View("local_x", a.localX, 3),
                View("local_y", a.localY, 3),
                View("local_z", a.localZ, 3),
                View("eccentricity_first", a.eccentricityFirst, 3),
                View("eccentricity_last", a.eccentricityLast, 3)};
  return v;
}

void WriteVtu(const ModelArrays& a, const AnalysisFields* analysis, std::ostream& out) {
  VtuArrays arrays = ModelVtuArrays(a);
  if (analysis) {
    arrays.pointData.insert(arrays.pointData.end(), analysis->pointData.begin(), analysis->pointData.end());
    arrays.cellData.insert(arrays.cellData.end(), analysis->cellData.begin(), analysis->cellData.end());
  }
  const std::vector<std::uint8_t> names = PackNames(a.conceptNames);
  Appended block;
  out << "<?xml version=\"1.0\"?>\n"
         "<VTKFile type=\"UnstructuredGrid\" version=\"1.0\" byte_order=\"LittleEndian\" "
         "header_type=\"UInt64\">\n"
         "  <UnstructuredGrid>\n"
         "    <FieldData>\n";
  block.Declare(out, View("concept_names", names), "      ");
  out << "    </FieldData>\n"
      << "    <Piece NumberOfPoints=\"" << a.PointCount() << "\" NumberOfCells=\"" << a.CellCount() << "\">\n"
      << "      <PointData>\n";
  for (const DataArray& d : arrays.pointData) block.Declare(out, d, "        ");
  out << "      </PointData>\n      <CellData>\n";
  for (const DataArray& d : arrays.cellData) block.Declare(out, d, "        ");
  out << "      </CellData>\n      <Points>\n";
  block.Declare(out, View("Points", a.points, 3), "        ");
  out << "      </Points>\n      <Cells>\n";
  block.Declare(out, View("connectivity", a.connectivity), "        ");
  block.Declare(out, View("offsets", a.offsets), "        ");
  block.Declare(out, View("types", a.vtkType), "        ");
  out << "      </Cells>\n    </Piece>\n  </UnstructuredGrid>\n  <AppendedData encoding=\"raw\">\n   _";
  block.Write(out);
  out << "\n  </AppendedData>\n</VTKFile>\n";
}

namespace {

std::string XmlAttribute(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

void WritePvd(const std::vector<std::string>& files, const std::vector<AnalysisFields>& analyses,
              std::ostream& out) {
  out << "<?xml version=\"1.0\"?>\n"
         "<VTKFile type=\"Collection\" version=\"1.0\" byte_order=\"LittleEndian\">\n"
         "  <Collection>\n";
  for (std::size_t i = 0; i < files.size() && i < analyses.size(); ++i)
    out << "    <DataSet timestep=\"" << i + 1 << "\" part=\"0\" file=\"" << XmlAttribute(files[i])
        << "\" name=\"" << XmlAttribute(analyses[i].kind + " " + analyses[i].name) << "\"/>\n";
  out << "  </Collection>\n</VTKFile>\n";
}

}  // namespace quilm_view
