#include "mirror/loads/mirror_load_case.hpp"

#include "mirror/core/mirror_model.hpp"

namespace Kestrum::Quilm::Mirror {

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
  model.GetXafModel()->Loads().SetLoadCaseName(loadCaseId_, name);
  WriteGravity(model);
}

void IMirrorLoadCase::WriteGravity(IMirrorModel& model) {
  const vec3d gravity = GetGravity();
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
