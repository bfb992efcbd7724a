// Value records of the analysis model: concept types, masses, entity sets,
// hinges and load records. Units are the model's (SI in the examples).
#pragma once

#include <array>
#include <boost/shared_ptr.hpp>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "geometry/geometry.hpp"

namespace Kestrum::Quilm::AnalysisModel {

using TypeId = long;
using RoleId = long;
using AttributeId = long;

// The classification of a structure concept. Type ids used by the mirror
// library: 1 node concept (joint, support point). Other values are the host's.
class ConceptType {
 public:
  ConceptType(TypeId typeId, RoleId roleId, AttributeId attributeId)
      : type_(typeId), role_(roleId), attribute_(attributeId) {}
  TypeId type() const noexcept { return type_; }
  RoleId role() const noexcept { return role_; }
  AttributeId attribute() const noexcept { return attribute_; }
  bool operator==(const ConceptType& o) const noexcept {
    return type_ == o.type_ && role_ == o.role_ && attribute_ == o.attribute_;
  }

 private:
  TypeId type_;
  RoleId role_;
  AttributeId attribute_;
};

// A lumped mass at a node: translational masses along x, y, z and rotational
// inertias about x, y, z. Several masses on one node add up.
class Mass {
 public:
  Mass() = default;
  // The same translational mass in all three directions, no rotational inertia.
  explicit Mass(double mass) : values_{mass, mass, mass, 0.0, 0.0, 0.0} {}
  Mass(double mx, double my, double mz, double ixx, double iyy, double izz)
      : values_{mx, my, mz, ixx, iyy, izz} {}
  double Translational(int axis) const { return values_.at(axis); }
  double Rotational(int axis) const { return values_.at(3 + axis); }
  const std::array<double, 6>& Values() const noexcept { return values_; }
  bool operator==(const Mass& o) const noexcept { return values_ == o.values_; }
  bool operator!=(const Mass& o) const noexcept { return !(*this == o); }

 private:
  std::array<double, 6> values_{};
};

// A named selection of nodes and elements (ids, ascending, no duplicates).
class EntitySet {
 public:
  void AddNode(long node) { nodes_.insert(node); }
  void AddElement(long element) { elements_.insert(element); }
  const std::set<long>& Nodes() const noexcept { return nodes_; }
  const std::set<long>& Elements() const noexcept { return elements_; }
  bool operator==(const EntitySet& o) const { return nodes_ == o.nodes_ && elements_ == o.elements_; }
  bool operator!=(const EntitySet& o) const { return !(*this == o); }

 private:
  std::set<long> nodes_, elements_;
};

// The fixation of an element end, one factor per degree of freedom in the
// order ux, uy, uz, rx, ry, rz of the element's local system: 1 fully fixed
// (rigidly connected), 0 released, values between are partial fixity.
class Hinge {
 public:
  Hinge() { fixation_.fill(1.0); }
  explicit Hinge(const std::array<double, 6>& fixation) : fixation_(fixation) {}
  double Fixation(int dof) const { return fixation_.at(dof); }
  const std::array<double, 6>& Fixations() const noexcept { return fixation_; }
  bool operator==(const Hinge& o) const noexcept { return fixation_ == o.fixation_; }
  bool operator!=(const Hinge& o) const noexcept { return !(*this == o); }

 private:
  std::array<double, 6> fixation_;
};

// Kinds of load record, as loadType() reports them.
struct LoadType {
  enum Options {
    PointForce = 1,        // PointLoad on a node
    LineForce = 2,         // LineLoad on a line element
    SurfacePressure = 3,   // SurfaceLoad on a surface element
    NodeAcceleration = 4,  // PointLoad used as a node acceleration
    InitialStrain = 8,     // InitialStrainLoad (or any record marked so) on an element
  };
};

// A small dense matrix of doubles, stored by rows.
class ValueMatrix2d {
 public:
  ValueMatrix2d() = default;
  ValueMatrix2d(unsigned rows, unsigned columns) : rows_(rows), columns_(columns), values_(rows * columns) {}
  unsigned Rows() const noexcept { return rows_; }
  unsigned Columns() const noexcept { return columns_; }
  double& operator()(unsigned row, unsigned column) { return values_.at(row * columns_ + column); }
  double operator()(unsigned row, unsigned column) const { return values_.at(row * columns_ + column); }
  bool operator==(const ValueMatrix2d& o) const {
    return rows_ == o.rows_ && columns_ == o.columns_ && values_ == o.values_;
  }

 private:
  unsigned rows_ = 0, columns_ = 0;
  std::vector<double> values_;
};

// Base of the load records. Records are values: the model stores a copy.
class Load {
 public:
  virtual ~Load() = default;
  LoadType::Options loadType() const noexcept { return type_; }
  // Marks the record as another kind (for instance an initial strain carried
  // by a surface record); the record class itself does not change.
  void SetLoadType(LoadType::Options type) noexcept { type_ = type; }
  virtual boost::shared_ptr<Load> Clone() const = 0;
  // A one-line description used by the call trace and the inspector.
  virtual std::string Describe() const = 0;
  virtual bool Equals(const Load& other) const = 0;

 protected:
  explicit Load(LoadType::Options type) : type_(type) {}
  Load(const Load&) = default;
  Load& operator=(const Load&) = default;

 private:
  LoadType::Options type_;
};

// A concentrated force and moment (global axes), or a node acceleration,
// keyed by the position where it acts. The first (smallest) position is the
// load's point; a record may hold several positions, or none.
class PointLoad : public Load {
 public:
  using Values = std::map<pos3d, ValueMatrix2d>;  // each matrix: row 0 force, row 1 moment
  PointLoad() : Load(LoadType::PointForce) {}
  PointLoad(const pos3d& position, const vec3d& force, const vec3d& moment);
  void AddValue(const pos3d& position, const vec3d& force, const vec3d& moment);
  const Values& GetValues() const noexcept { return values_; }
  bool HasPosition() const noexcept { return !values_.empty(); }
  // The load's point, force and moment: those of the first entry.
  // Throw std::logic_error when the record holds no position.
  pos3d Position() const;
  vec3d Force() const;
  vec3d Moment() const;
  boost::shared_ptr<Load> Clone() const override;
  std::string Describe() const override;
  bool Equals(const Load& other) const override;

 private:
  Values values_;
};

// A distributed force per length on a line element in global axes, varying
// linearly from `start` at the element's first node to `end` at its last
// (geometric node order).
class LineLoad : public Load {
 public:
  LineLoad(const vec3d& start, const vec3d& end) : Load(LoadType::LineForce), start_(start), end_(end) {}
  explicit LineLoad(const vec3d& uniform) : LineLoad(uniform, uniform) {}
  const vec3d& Start() const noexcept { return start_; }
  const vec3d& End() const noexcept { return end_; }
  boost::shared_ptr<Load> Clone() const override;
  std::string Describe() const override;
  bool Equals(const Load& other) const override;

 private:
  vec3d start_, end_;
};

// A pressure on a surface element, positive along the element normal given
// by its node order (right-hand rule).
class SurfaceLoad : public Load {
 public:
  explicit SurfaceLoad(double pressure) : Load(LoadType::SurfacePressure), pressure_(pressure) {}
  double Pressure() const noexcept { return pressure_; }
  boost::shared_ptr<Load> Clone() const override;
  std::string Describe() const override;
  bool Equals(const Load& other) const override;

 private:
  double pressure_;
};

// An initial (imposed) axial strain of an element, for instance from a
// temperature change or a pretension.
class InitialStrainLoad : public Load {
 public:
  explicit InitialStrainLoad(double strain) : Load(LoadType::InitialStrain), strain_(strain) {}
  double Strain() const noexcept { return strain_; }
  boost::shared_ptr<Load> Clone() const override;
  std::string Describe() const override;
  bool Equals(const Load& other) const override;

 private:
  double strain_;
};

}  // namespace Kestrum::Quilm::AnalysisModel
