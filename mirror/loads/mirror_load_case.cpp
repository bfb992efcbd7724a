#include "mirror/loads/mirror_load_case.hpp"

#include <cmath>
#include <sstream>

#include "mirror/core/mirror_model.hpp"

namespace Kestrum::Quilm::Mirror {

namespace {

// Refuses a gravity the analysis model would refuse, before anything is
// changed: Write deletes the old gravity before adding the new one, so a
// refusal met only at the add would lose the old gravity.
void CheckGravity(long loadCase, const std::string& name, const vec3d& gravity) {
  if (std::isfinite(gravity.x) && std::isfinite(gravity.y) && std::isfinite(gravity.z)) return;
  std::ostringstream message;
  message << "load case " << loadCase << " \"" << name << "\": gravity (" << gravity.x << ", " << gravity.y << ", "
          << gravity.z << ") is not finite; the load case is left as it was";
  throw AnalysisModel::ModelError(message.str());
}

}  // namespace

IMirrorLoadCase::IMirrorLoadCase() = default;

IMirrorLoadCase::IMirrorLoadCase(const IMirrorLoadCase& other)
    : IMirrorObject(other),
      firstMap_(other.firstMap_),
      secondMap_(other.secondMap_),
      loadCaseId_(other.loadCaseId_) {}

IMirrorLoadCase& IMirrorLoadCase::operator=(const IMirrorLoadCase& other) {
  IMirrorObject::operator=(other);
  if (this != &other) {
    // Both copies are made before anything changes, so a failing allocation
    // leaves this load case as it was.
    Utility::DatabaseMap<long, long> first(other.firstMap_.map);
    Utility::DatabaseMap<long, long> second(other.secondMap_.map);
    firstMap_.map.swap(first);
    secondMap_.map.swap(second);
    firstMap_.value = other.firstMap_.value;
    secondMap_.value = other.secondMap_.value;
    loadCaseId_ = other.loadCaseId_;
  }
  return *this;
}

IMirrorLoadCase::~IMirrorLoadCase() = default;

void IMirrorLoadCase::Write(IMirrorModel& model) {
  // Asked until the host gives an id other than -1, then never again.
  if (loadCaseId_ == -1) loadCaseId_ = GetLoadCase();
  const std::string name = GetName();
  const vec3d gravity = GetGravity();
  CheckGravity(loadCaseId_, name, gravity);
  model.GetXafModel()->Loads().SetLoadCaseName(loadCaseId_, name);
  WriteGravity(model, gravity);
}

void IMirrorLoadCase::WriteGravity(IMirrorModel& model, const vec3d& gravity) {
  // Removed unconditionally so that an earlier gravity load never survives.
  model.GetXafModel()->Loads().DeleteGravityLoad(loadCaseId_);
  if (!isZero(gravity))
    model.GetXafModel()->Loads().AddGravityLoad(loadCaseId_, 0, gravity.x, gravity.y, gravity.z);
}

void IMirrorLoadCase::Delete(IMirrorModel& model) {
  if (loadCaseId_ == -1) return;
  model.GetXafModel()->Loads().DeleteAllLoadsInLoadCase(loadCaseId_);
  model.GetXafModel()->Loads().DeleteLoadCaseName(loadCaseId_);
}

}  // namespace Kestrum::Quilm::Mirror
