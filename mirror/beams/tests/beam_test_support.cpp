#include "mirror/beams/tests/beam_test_support.hpp"

#include <sstream>

#include "tests/support/scratch_file.hpp"

namespace Kestrum::Quilm::Mirror::Testing {

std::string Text(const pos3d& p) {
  std::ostringstream out;
  out << '(' << p.x << ", " << p.y << ", " << p.z << ')';
  return out.str();
}

boost::intrusive_ptr<IMirrorSection> TestSegment::GetSection(const pos3d& position) {
  if (log_) log_->Record("Host.GetSection" + Text(position));
  return sectionAt ? sectionAt(position) : section;
}

boost::intrusive_ptr<IMirrorMaterial> TestSegment::GetMaterial(const pos3d& position) {
  if (log_) log_->Record("Host.GetMaterial" + Text(position));
  return material;
}

vec3d TestEccentricityCallback::GetEccentricity(const pos3d& position) {
  if (log_) log_->Record("Host.GetEccentricity" + Text(position));
  return eccentricityAt ? eccentricityAt(position) : vec3d(0.0, 0.0, position.x);
}

bool TestEccentricityCallback::GetConstantEccentricity(vec3d& eccentricity) {
  if (log_) log_->Record("Host.GetConstantEccentricity");
  if (isConstant && fillsVector) eccentricity = constant;
  return isConstant;
}

locsys3d TestLocalSystemCallback::GetLocalSystem(const pos3d& position) {
  if (log_) log_->Record("Host.GetLocalSystem" + Text(position));
  return systemAt ? systemAt(position) : locsys3d();
}

boost::shared_ptr<IEccentricityCallback> TestBeam::GetEccentricityCallback() {
  if (log_) log_->Record("Host.GetEccentricityCallback");
  return eccentricity;
}

boost::shared_ptr<ILocalSystemCallback> TestBeam::GetLocalSystemCallback() {
  if (log_) log_->Record("Host.GetLocalSystemCallback");
  return localSystem;
}

boost::intrusive_ptr<IMirrorSegment> TestBeam::GetSegment(unsigned int index) const {
  if (log_) log_->Record("Host.GetSegment(" + std::to_string(index) + ")");
  return segments.at(index);
}

BeamModel::BeamModel() : model(Quilm::Testing::ScratchFilePath("beams")), xaf(model.GetXafModel()) {
  // The property rows the tests' section and material mirrors refer to.
  for (long id : {11L, 12L}) xaf->Sections().AddSection(qlSection::Rectangle(0.3, 0.2), "R300", id);
  xaf->Materials().AddMaterial(qlMaterial(210e9, 0.3, 7850.0), "S235", 21);
}

BeamModel::~BeamModel() { xaf->SetTraceSink(nullptr); }

long BeamModel::Node(double x, double y, double z) { return xaf->Nodes().AddNode(pos3d(x, y, z)); }

long BeamModel::Beam2(const pos3d& a, const pos3d& b) {
  const long na = Node(a.x, a.y, a.z);
  const long nb = Node(b.x, b.y, b.z);
  return xaf->Elements().AddElement(qlElementType::Beam2(), {na, nb});
}

long BeamModel::Beam3(const pos3d& a, const pos3d& b, const pos3d& middle) {
  const long na = Node(a.x, a.y, a.z);
  const long nb = Node(b.x, b.y, b.z);
  const long nm = Node(middle.x, middle.y, middle.z);
  return xaf->Elements().AddElement(qlElementType::Beam3(), {na, nb, nm});
}

TwoSegmentBeam::TwoSegmentBeam(const vec3d& localX, bool constantEccentricity) {
  for (int k = 1; k <= 3; ++k) fx.Beam2(pos3d(k - 1, 0, 0), pos3d(k, 0, 0));
  for (auto& s : {s0, s1}) {
    s->SetLog(&fx.log);
    s->section = section;
    s->material = material;
  }
  s0->AddElement(1);
  s0->AddElement(2);
  s1->AddElement(3);
  beam->segments = {s0, s1};
  eccentricity->isConstant = constantEccentricity;
  eccentricity->constant = vec3d(0, 0, 0.5);
  localSystem->systemAt = [localX](const pos3d&) { return locsys3d(localX, vec3d(0, 0, 1)); };
  beam->eccentricity = eccentricity;
  beam->localSystem = localSystem;
}

}  // namespace Kestrum::Quilm::Mirror::Testing
