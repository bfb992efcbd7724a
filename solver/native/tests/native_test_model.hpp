// A small analysis model written straight through the model's own API, for
// the native solver's tests: beams in a line, supports, loads.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "analysis_model/xaf_model.hpp"
#include "tests/support/scratch_file.hpp"

namespace Kestrum::Quilm::Solver::Testing {

namespace am = AnalysisModel;

class NativeTestModel {
 public:
  NativeTestModel() : file_("native"), model_(file_.Path(), 1, 1, true) {}
  am::XafModel& Model() { return model_; }

  long Node(double x, double y, double z) { return model_.Nodes().AddNode(pos3d(x, y, z)); }
  long Material(double e, double nu, double rho) {
    return model_.Materials().AddMaterial(qlMaterial(e, nu, rho), "M", -1);
  }
  long Section(const qlSection& s) { return model_.Sections().AddSection(s, "S", -1); }
  long Thickness(double t) { return model_.Sections().AddThickness(t, "T", -1); }

  long Beam(long a, long b, long section, long material, const vec3d& zAxis = {}) {
    const long e = model_.Elements().AddElement(qlElementType::Beam2(), {a, b});
    auto element = model_.Elements().GetElement(e);
    element->SetSection(section);
    element->SetMaterial(material);
    if (zAxis.length() > 0) element->SetTransformation(model_.Transformations().AddTransformation(zAxis, -1));
    return e;
  }
  // A straight beam of n two-node elements from `a` to `b`: its node ids.
  std::vector<long> Line(const pos3d& a, const pos3d& b, int n, long section, long material,
                         std::vector<long>* elements = nullptr, const vec3d& zAxis = {}) {
    std::vector<long> nodes;
    for (int i = 0; i <= n; ++i) {
      const double s = double(i) / n;
      nodes.push_back(Node(a.x + s * (b.x - a.x), a.y + s * (b.y - a.y), a.z + s * (b.z - a.z)));
      if (i > 0) {
        const long e = Beam(nodes[nodes.size() - 2], nodes.back(), section, material, zAxis);
        if (elements) elements->push_back(e);
      }
    }
    return nodes;
  }
  // A flat square of n x n four-node shells of side `side` from the origin
  // in the x-y plane: node[i][j] at (side j/n, side i/n, 0); the shells, row
  // by row, into `shells` when given.
  std::vector<std::vector<long>> ShellGrid(double side, int n, long material, long thickness,
                                           std::vector<long>* shells = nullptr) {
    std::vector<std::vector<long>> node(n + 1, std::vector<long>(n + 1));
    for (int i = 0; i <= n; ++i)
      for (int j = 0; j <= n; ++j) node[i][j] = Node(side * j / n, side * i / n, 0);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        const long e = model_.Elements().AddElement(
            qlElementType::Shell4(), {node[i][j], node[i][j + 1], node[i + 1][j + 1], node[i + 1][j]});
        model_.Elements().GetElement(e)->SetSection(thickness);
        model_.Elements().GetElement(e)->SetMaterial(material);
        if (shells) shells->push_back(e);
      }
    return node;
  }
  void Fix(long node, const std::array<double, 6>& f = {1, 1, 1, 1, 1, 1}) {
    model_.NodeProperties().SetBoundaryCondition(node, am::Hinge(f));
  }
  void Force(long lc, long node, const vec3d& force, const vec3d& moment = {}) {
    model_.Loads().AddPointLoad(lc, node, am::PointLoad(model_.GetConnectivityManager().GetNodeById(node).GetPos(),
                                                        force, moment));
  }

 private:
  Quilm::Testing::ScratchFile file_;
  am::XafModel model_;
};

}  // namespace Kestrum::Quilm::Solver::Testing
