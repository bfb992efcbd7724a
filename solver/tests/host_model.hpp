// A small host for the solver tests: it meshes beams and plates straight
// into the analysis model, as a host's mesher would, and writes everything
// else through derived mirror classes (materials, sections, thicknesses,
// segments, beams, plates, load cases, loads, point masses, rotation loads),
// then flushes the model to its file.
#pragma once

#include <boost/intrusive_ptr.hpp>
#include <boost/shared_ptr.hpp>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "mirror/beams/beam_callbacks.hpp"
#include "mirror/beams/mirror_beam.hpp"
#include "mirror/beams/mirror_segment.hpp"
#include "mirror/core/mirror_model.hpp"
#include "mirror/loads/mirror_load.hpp"
#include "mirror/loads/mirror_load_case.hpp"
#include "mirror/loads/mirror_load_manager.hpp"
#include "mirror/plates/mirror_plate.hpp"
#include "mirror/properties/mirror_material.hpp"
#include "mirror/properties/mirror_point_mass.hpp"
#include "mirror/properties/mirror_section.hpp"
#include "mirror/properties/mirror_thickness.hpp"
#include "solver/ccx_export.hpp"
#include "solver/ccx_runner.hpp"

namespace Kestrum::Quilm::SolverTest {

using namespace Kestrum::Quilm::Mirror;

class HostMaterial : public IMirrorMaterial {
 public:
  explicit HostMaterial(const qlMaterial& m) : material_(new qlMaterial(m)) {}
  boost::shared_ptr<qlMaterial> GetMaterial() const override { return material_; }

 private:
  boost::shared_ptr<qlMaterial> material_;
};

class HostSection : public IMirrorSection {
 public:
  explicit HostSection(const qlSection& s) : section_(new qlSection(s)) {}
  boost::shared_ptr<qlSection> GetSection() const override { return section_; }

 private:
  boost::shared_ptr<qlSection> section_;
};

class HostThickness : public IMirrorThickness {
 public:
  explicit HostThickness(double t) : thickness_(t) {}
  double GetThickness() const override { return thickness_; }

 private:
  double thickness_;
};

class HostSegment : public IMirrorSegment {
 public:
  HostSegment(boost::intrusive_ptr<IMirrorSection> s, boost::intrusive_ptr<IMirrorMaterial> m)
      : section_(std::move(s)), material_(std::move(m)) {}
  boost::intrusive_ptr<IMirrorConcept> GetParentConcept() const override { return {}; }
  ConceptType GetConceptType() const override { return ConceptType(3, 0, 0); }
  boost::intrusive_ptr<IMirrorSection> GetSection(const pos3d&) override { return section_; }
  boost::intrusive_ptr<IMirrorMaterial> GetMaterial(const pos3d&) override { return material_; }

 private:
  boost::intrusive_ptr<IMirrorSection> section_;
  boost::intrusive_ptr<IMirrorMaterial> material_;
};

class ConstantEccentricity : public IEccentricityCallback {
 public:
  explicit ConstantEccentricity(const vec3d& e) : e_(e) {}
  vec3d GetEccentricity(const pos3d&) override { return e_; }
  bool GetConstantEccentricity(vec3d& e) override {
    e = e_;
    return true;
  }

 private:
  vec3d e_;
};

class ConstantLocalSystem : public ILocalSystemCallback {
 public:
  explicit ConstantLocalSystem(const locsys3d& s) : system_(s) {}
  locsys3d GetLocalSystem(const pos3d&) override { return system_; }

 private:
  locsys3d system_;
};

class HostBeam : public IMirrorBeam {
 public:
  boost::intrusive_ptr<IMirrorConcept> GetParentConcept() const override { return {}; }
  ConceptType GetConceptType() const override { return ConceptType(2, 0, 0); }
  boost::shared_ptr<IEccentricityCallback> GetEccentricityCallback() override { return eccentricity; }
  boost::shared_ptr<ILocalSystemCallback> GetLocalSystemCallback() override { return localSystem; }
  boost::intrusive_ptr<IMirrorSegment> GetSegment(unsigned int i) const override { return segments.at(i); }
  unsigned int GetSegmentCount() const override { return static_cast<unsigned int>(segments.size()); }

  std::vector<boost::intrusive_ptr<IMirrorSegment>> segments;
  boost::shared_ptr<IEccentricityCallback> eccentricity;
  boost::shared_ptr<ILocalSystemCallback> localSystem;
};

class HostPlate : public IMirrorPlate {
 public:
  HostPlate(boost::intrusive_ptr<IMirrorThickness> t, boost::intrusive_ptr<IMirrorMaterial> m)
      : thickness_(std::move(t)), material_(std::move(m)) {}
  boost::intrusive_ptr<IMirrorThickness> GetThickness(const pos3d&) override { return thickness_; }
  boost::intrusive_ptr<IMirrorMaterial> GetMaterial(const pos3d&) override { return material_; }

 private:
  boost::intrusive_ptr<IMirrorThickness> thickness_;
  boost::intrusive_ptr<IMirrorMaterial> material_;
};

class HostLoadCase : public IMirrorLoadCase {
 public:
  HostLoadCase(long id, std::string name, const vec3d& gravity)
      : id_(id), name_(std::move(name)), g_(gravity) {}
  std::string GetName() const override { return name_; }
  long GetLoadCase() override { return id_; }
  vec3d GetGravity() override { return g_; }

 private:
  long id_;
  std::string name_;
  vec3d g_;
};

// A load on a list of elements; `record` gives each element's load record.
class HostLoad : public IMirrorLoad {
 public:
  HostLoad(long loadCase, std::vector<long> elements,
           std::function<boost::shared_ptr<AnalysisModel::Load>(long)> record)
      : loadCase_(loadCase), elements_(std::move(elements)), record_(std::move(record)) {}
  bool GetElements(std::list<long>& elements) override {
    elements.assign(elements_.begin(), elements_.end());
    return true;
  }
  long GetLoadCase() override { return loadCase_; }
  boost::shared_ptr<AnalysisModel::Load> GetElementLoad(long element) override { return record_(element); }

 private:
  long loadCase_;
  std::vector<long> elements_;
  std::function<boost::shared_ptr<AnalysisModel::Load>(long)> record_;
};

class HostPointMass : public IMirrorPointMass {
 public:
  explicit HostPointMass(const AnalysisModel::Mass& m) : mass_(new AnalysisModel::Mass(m)) {}
  boost::shared_ptr<AnalysisModel::Mass> GetMass() const override { return mass_; }

 private:
  boost::shared_ptr<AnalysisModel::Mass> mass_;
};

class HostLoadManager : public IMirrorLoadManager {
 public:
  explicit HostLoadManager(IMirrorModel& model) : model_(model) {}
  IMirrorModel& GetModel() override { return model_; }

 private:
  IMirrorModel& model_;
};

// One beam as meshed: its node ids from start to end and its element ids.
struct MeshedBeam {
  std::vector<long> nodes;
  std::vector<long> elements;
  long FirstNode() const { return nodes.front(); }
  long LastNode() const { return nodes.back(); }
};

// One segment of a straight beam: its length share, section and element count.
struct SegmentSpec {
  double length;
  boost::intrusive_ptr<IMirrorSection> section;
  int elements;
};

// The host model of one test: a fresh model file, removed afterwards.
class HostModel {
 public:
  HostModel();
  ~HostModel();
  HostModel(const HostModel&) = delete;
  HostModel& operator=(const HostModel&) = delete;

  long Node(const pos3d& p);
  boost::intrusive_ptr<HostMaterial> Material(double e, double nu, double density);
  boost::intrusive_ptr<HostSection> Section(const qlSection& s);
  boost::intrusive_ptr<HostThickness> Thickness(double t);

  // A straight beam from `start` along `direction` (unit) made of the given
  // segments of two-node elements, each segment written through a segment
  // mirror, the beam through a beam mirror with the given local z axis
  // (none: no local-system callback) and eccentricity (none: no callback).
  // `reversed` lists element indices whose nodes are meshed end to start.
  MeshedBeam Beam(const pos3d& start, const vec3d& direction, const std::vector<SegmentSpec>& segments,
                  boost::intrusive_ptr<IMirrorMaterial> material, std::optional<vec3d> localZ,
                  std::optional<vec3d> eccentricity = std::nullopt, const std::vector<int>& reversed = {});

  // A square plate [0, a] x [0, a] at z = 0 of n x n four-node shells,
  // written through a plate mirror. Node ids by grid position: nodes[i][j]
  // at (j a / n, i a / n).
  std::vector<std::vector<long>> Plate(double a, int n, boost::intrusive_ptr<IMirrorThickness> t,
                                       boost::intrusive_ptr<IMirrorMaterial> m, std::vector<long>& elements);

  // A support: fixes the given degrees of freedom (1 fixed, 0 free).
  void Fix(long node, const std::array<double, 6>& dofs = {1, 1, 1, 1, 1, 1});
  void LoadCase(long id, const std::string& name, const vec3d& gravity = {});
  // A point load at `node`, written through a load on `element` (which must
  // hold the node).
  void PointLoad(long loadCase, long element, long node, const vec3d& force, const vec3d& moment = {});
  // The same load record on every listed element.
  void ElementLoad(long loadCase, const std::vector<long>& elements,
                   const boost::shared_ptr<AnalysisModel::Load>& record);
  void PointMass(long node, double mass);
  void RotationLoad(long loadCase, const pos3d& axisStart, const pos3d& axisEnd, double omega, double alpha);

  // Flushes, opens the model file read-only as a separate reader would,
  // exports it and solves it.
  Solver::SolveResults Solve(const Solver::ExportOptions& options = {});
  // Flushes and exports only.
  Solver::CcxDeck Export(const Solver::ExportOptions& options = {});

  // Beam() meshes three-node elements (stored end, end, middle) when set.
  bool threeNodeBeams = false;
  // Plate() meshes each square as two three-node shells when set.
  bool triangularShells = false;

  const std::string file;
  TestMirrorModel model;
  boost::shared_ptr<AnalysisModel::XafModel> xaf;

 private:
  // Keeps every mirror alive for the test's duration, as a host would.
  std::vector<boost::intrusive_ptr<IMirrorObject>> mirrors_;
};

// True when the solver can be run here.
bool SolverAvailable();

}  // namespace Kestrum::Quilm::SolverTest
