// Checks of caller values; see value_checks.hpp.
#include "value_checks.hpp"

#include <cmath>

#include "trace_format.hpp"

namespace Kestrum::Quilm::AnalysisModel {

bool AllFinite(const double* values, std::size_t count) noexcept {
  for (std::size_t i = 0; i < count; ++i)
    if (!std::isfinite(values[i])) return false;
  return true;
}

void CheckMassValues(const Mass& mass) {
  for (double v : mass.Values())
    if (!std::isfinite(v) || v < 0.0)
      throw ModelError("mass " + TraceFormat::Arg(mass) + " is negative or not finite");
}

void CheckFixityFactors(const char* what, const Hinge& fixation) {
  for (double f : fixation.Fixations())
    if (!(f >= 0.0 && f <= 1.0))  // also false for NaN
      throw ModelError(std::string(what) + " fixation " + TraceFormat::Arg(fixation) +
                       " is not finite or lies outside [0, 1]");
}

namespace {

bool FiniteValues(const Load& load) {
  if (const auto* p = dynamic_cast<const PointLoad*>(&load)) {
    for (const auto& [at, m] : p->GetValues()) {
      if (!std::isfinite(at.x) || !std::isfinite(at.y) || !std::isfinite(at.z)) return false;
      for (unsigned r = 0; r < m.Rows(); ++r)
        for (unsigned c = 0; c < m.Columns(); ++c)
          if (!std::isfinite(m(r, c))) return false;
    }
    return true;
  }
  if (const auto* l = dynamic_cast<const LineLoad*>(&load)) {
    const double v[6] = {l->Start().x, l->Start().y, l->Start().z, l->End().x, l->End().y, l->End().z};
    return AllFinite(v, 6);
  }
  if (const auto* s = dynamic_cast<const SurfaceLoad*>(&load)) return std::isfinite(s->Pressure());
  if (const auto* i = dynamic_cast<const InitialStrainLoad*>(&load)) return std::isfinite(i->Strain());
  return true;
}

}  // namespace

void CheckLoadValues(const Load& load) {
  if (!FiniteValues(load)) throw ModelError("load " + load.Describe() + " has a value that is not finite");
  // An empty point load would act on nothing, a host's slip that a solve
  // would never show.
  if (const auto* p = dynamic_cast<const PointLoad*>(&load); p && p->GetValues().empty())
    throw ModelError("point load " + load.Describe() + " has no values");
}

void CheckGravity(double x, double y, double z) {
  const double v[3] = {x, y, z};
  if (!AllFinite(v, 3)) throw ModelError("gravity " + TraceFormat::Arg(vec3d(x, y, z)) + " is not finite");
}

void CheckLoadFitsElement(LoadKind kind, long element, const qlElementType& type) {
  const char* refused = nullptr;
  if (kind == LoadKind::Line && type.Shape() == qlElementType::Surface)
    refused = "a line load cannot act on surface element ";
  else if (kind == LoadKind::Surface && type.Shape() == qlElementType::Line)
    refused = "a surface load cannot act on line element ";
  if (refused) throw ModelError(refused + std::to_string(element) + " (" + type.Name() + ")");
}

void CheckPreviousId(const char* table, long id) {
  if (id < -1)
    throw ModelError(std::string(table) + " id " + std::to_string(id) +
                     " is neither -1 or 0 (new) nor an id of the table");
}

}  // namespace Kestrum::Quilm::AnalysisModel
