// A small host for the solver tests: it meshes beams and plates straight
// into the analysis model, as a host's mesher would, and writes everything
// else through derived mirror classes (materials, sections, thicknesses,
// segments, beams, plates, load cases, loads, point masses, rotation loads),
// then flushes the model to its file.
#pragma once

#include <boost/intrusive_ptr.hpp>
#include <boost/shared_ptr.hpp>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "mirror/core/mirror_model.hpp"
#include "solver/ccx/ccx_export.hpp"
#include "solver/ccx/ccx_runner.hpp"
#include "tests/support/host_mirrors.hpp"
#include "tests/support/scratch_file.hpp"

namespace Kestrum::Quilm::Solver::Testing {

using namespace Kestrum::Quilm::Mirror;

// The host mirror doubles with fixed answers.
using namespace Quilm::Testing;

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

// The host model of one test: a fresh model file, removed with its side
// files afterwards.
class HostModel {
 public:
  HostModel();
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
  // Plate() lifts its node at (x, y) to this height when set (a curved shell).
  std::function<double(double, double)> plateHeight;
  // Node() returns the node already at a position when set, so that beams
  // and plates join there.
  bool shareNodes = false;

  // Declared first: removed last, after the model has closed its file.
  const Quilm::Testing::ScratchFile scratch{"solver"};
  const std::string file;
  TestMirrorModel model;
  boost::shared_ptr<AnalysisModel::XafModel> xaf;

 private:
  // Keeps every mirror alive for the test's duration, as a host would.
  std::vector<boost::intrusive_ptr<IMirrorObject>> mirrors_;
  std::map<std::tuple<double, double, double>, long> sharedNodes_;
};

// True when the solver can be run here.
bool SolverAvailable();

}  // namespace Kestrum::Quilm::Solver::Testing
