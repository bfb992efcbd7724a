#include "mirror/core/mirror_model.hpp"

#include <cctype>

namespace Kestrum::Quilm::Mirror {

std::string IMirrorModel::MangleName(std::string name, bool longNames, const std::string& prefix,
                                     unsigned int number) const {
  const std::string::size_type limit = longNames ? 64 : 8;
  if (!longNames) {
    // Through unsigned char: a UTF-8 byte above 127 must not reach toupper as
    // a negative value. Such bytes are left as they are.
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (name.size() <= limit) return name;
  return prefix + qlTextFormatter::format_impl(number, qlScriptContext());
}

pos3d IMirrorModel::GetNodePos(long node) {
  boost::shared_ptr<XafModel> xaf = GetXafModel();
  return xaf->GetConnectivityManager().GetNodeById(node).GetPos();
}

void IMirrorModel::Flush() {
  boost::shared_ptr<XafModel> xaf = GetXafModel();
  xaf->Flush();
}

XafArchive& IMirrorModel::GetArchive() {
  boost::shared_ptr<XafModel> xaf = GetXafModel();
  return xaf->GetArchive();
}

void IMirrorModel::GetElementPositions(long element, std::vector<pos3d>& positions) {
  boost::shared_ptr<XafModel> xaf = GetXafModel();
  xaf->GetConnectivityManager().GetElementNodes(element, positions, Element::Geometric);
}

void IMirrorModel::GetEccentricElementPositions(long element, std::vector<pos3d>& positions) {
  boost::shared_ptr<XafModel> xaf = GetXafModel();
  XafConnectivityManager& connectivity = xaf->GetConnectivityManager();
  connectivity.GetElementNodes(element, positions, Element::Stored);
  const Element record = connectivity.GetElementById(element);
  // Checked before any position moves, so a failure leaves `positions` as
  // the connectivity manager filled it.
  if (positions.size() < record.NodeCount())
    throw AnalysisModel::ModelError("GetEccentricElementPositions: element " + std::to_string(element) +
                                    " has " + std::to_string(record.NodeCount()) + " nodes but only " +
                                    std::to_string(positions.size()) + " positions were given");
  for (unsigned i = 0; i < record.NodeCount(); ++i) {
    const boost::shared_ptr<XafElement> xafElement = xaf->Elements().GetElement(element);
    const long eccentricity = xafElement->GetNodeEccentricity(record.GetNodeIndex(i, Element::Geometric));
    if (eccentricity > 0)
      positions[i] += xaf->Eccentricities().GetEccentricity(eccentricity)->GetEccentricity();
  }
}

void IMirrorModel::Warning(const std::string&, qlMetaObject*, const std::string&, const std::string&) const {}

TestMirrorModel::TestMirrorModel(const std::string& fileName) : model_(new XafModel(fileName, 1, 1, true)) {
  GetArchive().SetArchiveMode(true);
}

TestMirrorModel::~TestMirrorModel() = default;

boost::shared_ptr<XafModel> TestMirrorModel::GetXafModel() { return model_; }

}  // namespace Kestrum::Quilm::Mirror
