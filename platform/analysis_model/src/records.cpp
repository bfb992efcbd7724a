// Load records: construction, copies, descriptions and equality.
#include "analysis_model/records.hpp"

#include <stdexcept>
#include <typeinfo>

#include "in_place_shared.hpp"
#include "trace_format.hpp"

namespace Kestrum::Quilm::AnalysisModel {

namespace {

using TraceFormat::Arg;
using TraceFormat::Number;

// Adds " as type N" when a record has been marked as another kind, so that a
// description tells both apart.
std::string KindSuffix(const Load& load, LoadType::Options natural) {
  if (load.loadType() == natural) return "";
  return " as type " + std::to_string(static_cast<int>(load.loadType()));
}

bool SameKind(const Load& a, const Load& b) { return typeid(a) == typeid(b) && a.loadType() == b.loadType(); }

vec3d Row(const ValueMatrix2d& m, unsigned row) { return {m(row, 0), m(row, 1), m(row, 2)}; }

}  // namespace

PointLoad::PointLoad(const pos3d& position, const vec3d& force, const vec3d& moment) : PointLoad() {
  AddValue(position, force, moment);
}

void PointLoad::AddValue(const pos3d& position, const vec3d& force, const vec3d& moment) {
  // Two values at one point act together: they add up rather than one
  // silently replacing the other.
  auto [it, added] = values_.try_emplace(position, 2, 3);
  ValueMatrix2d& m = it->second;
  const double f[3] = {force.x, force.y, force.z};
  const double t[3] = {moment.x, moment.y, moment.z};
  for (unsigned c = 0; c < 3; ++c) {
    m(0, c) = added ? f[c] : m(0, c) + f[c];
    m(1, c) = added ? t[c] : m(1, c) + t[c];
  }
}

pos3d PointLoad::Position() const {
  if (values_.empty()) throw std::logic_error("PointLoad holds no position");
  return values_.begin()->first;
}

vec3d PointLoad::Force() const {
  if (values_.empty()) throw std::logic_error("PointLoad holds no position");
  return Row(values_.begin()->second, 0);
}

vec3d PointLoad::Moment() const {
  if (values_.empty()) throw std::logic_error("PointLoad holds no position");
  return Row(values_.begin()->second, 1);
}

boost::shared_ptr<Load> PointLoad::Clone() const { return MakeSharedInPlace<Load, PointLoad>(*this); }

std::string PointLoad::Describe() const {
  std::string text = "PointLoad(";
  bool first = true;
  for (const auto& [position, m] : values_) {
    if (!first) text += "; ";
    first = false;
    text += "at " + Arg(position) + " force " + Arg(Row(m, 0)) + " moment " + Arg(Row(m, 1));
  }
  return text + ")" + KindSuffix(*this, LoadType::PointForce);
}

bool PointLoad::Equals(const Load& other) const {
  return SameKind(*this, other) && values_ == static_cast<const PointLoad&>(other).values_;
}

boost::shared_ptr<Load> LineLoad::Clone() const { return MakeSharedInPlace<Load, LineLoad>(*this); }

std::string LineLoad::Describe() const {
  return "LineLoad(" + Arg(start_) + ", " + Arg(end_) + ")" + KindSuffix(*this, LoadType::LineForce);
}

bool LineLoad::Equals(const Load& other) const {
  if (!SameKind(*this, other)) return false;
  const auto& o = static_cast<const LineLoad&>(other);
  return start_ == o.start_ && end_ == o.end_;
}

boost::shared_ptr<Load> SurfaceLoad::Clone() const { return MakeSharedInPlace<Load, SurfaceLoad>(*this); }

std::string SurfaceLoad::Describe() const {
  return "SurfaceLoad(" + Number(pressure_) + ")" + KindSuffix(*this, LoadType::SurfacePressure);
}

bool SurfaceLoad::Equals(const Load& other) const {
  return SameKind(*this, other) && pressure_ == static_cast<const SurfaceLoad&>(other).pressure_;
}

boost::shared_ptr<Load> InitialStrainLoad::Clone() const {
  return MakeSharedInPlace<Load, InitialStrainLoad>(*this);
}

std::string InitialStrainLoad::Describe() const {
  return "InitialStrainLoad(" + Number(strain_) + ")" + KindSuffix(*this, LoadType::InitialStrain);
}

bool InitialStrainLoad::Equals(const Load& other) const {
  return SameKind(*this, other) && strain_ == static_cast<const InitialStrainLoad&>(other).strain_;
}

}  // namespace Kestrum::Quilm::AnalysisModel
