// Test-only assembly of shell elements: a node list, quadrilaterals and
// triangles with one section, nodal loads, prescribed dofs, and a direct
// sparse solve. Six dofs per node (ux, uy, uz, rx, ry, rz), dof 6 n + k.
#pragma once

#include <Eigen/Core>
#include <Eigen/SparseCholesky>
#include <array>
#include <functional>
#include <map>
#include <stdexcept>
#include <vector>

#include "solver/native/elements/shell_quad4.hpp"
#include "solver/native/elements/shell_tri3.hpp"

namespace Kestrum::Quilm::Solver::Native::ShellTesting {

struct ShellTestModel {
  ShellSection section;
  std::vector<Eigen::Vector3d> nodes;
  std::vector<std::array<int, 4>> quads;
  std::vector<std::array<int, 3>> triangles;
  std::map<int, double> prescribed;  // dof -> value
  Eigen::VectorXd loads;             // filled lazily to 6 * nodes.size()

  int Dofs() const { return 6 * static_cast<int>(nodes.size()); }
  void Fix(int node, std::initializer_list<int> dofs) {
    for (int d : dofs) prescribed[6 * node + d] = 0.0;
  }
  void Prescribe(int node, int dof, double value) { prescribed[6 * node + dof] = value; }
  void AddForce(int node, int dof, double value) {
    if (loads.size() != Dofs()) loads = Eigen::VectorXd::Zero(Dofs());
    loads(6 * node + dof) += value;
  }

  ShellQuad4 Quad(int e) const {
    const auto& q = quads[e];
    return ShellQuad4({nodes[q[0]], nodes[q[1]], nodes[q[2]], nodes[q[3]]}, section);
  }
  ShellTri3 Triangle(int e) const {
    const auto& t = triangles[e];
    return ShellTri3({nodes[t[0]], nodes[t[1]], nodes[t[2]]}, section);
  }

  // Gathers element dofs from a model vector.
  template <std::size_t N>
  static Eigen::Matrix<double, 6 * N, 1> Gather(const std::array<int, N>& element, const Eigen::VectorXd& u) {
    Eigen::Matrix<double, 6 * N, 1> ue;
    for (std::size_t i = 0; i < N; ++i) ue.template segment<6>(6 * i) = u.segment<6>(6 * element[i]);
    return ue;
  }

  // Adds the element load vectors of `load(element)` to the model loads.
  void AddElementLoads(const std::function<ShellQuad4::Vector(const ShellQuad4&)>& quadLoad,
                       const std::function<ShellTri3::Vector(const ShellTri3&)>& triangleLoad) {
    if (loads.size() != Dofs()) loads = Eigen::VectorXd::Zero(Dofs());
    for (std::size_t e = 0; e < quads.size(); ++e) Scatter(quads[e], quadLoad(Quad(e)));
    for (std::size_t e = 0; e < triangles.size(); ++e) Scatter(triangles[e], triangleLoad(Triangle(e)));
  }

  // Displacements of all dofs, prescribed ones included.
  Eigen::VectorXd Solve() const {
    std::vector<int> equation(Dofs(), -1);
    int free = 0;
    for (int d = 0; d < Dofs(); ++d)
      if (!prescribed.count(d)) equation[d] = free++;
    Eigen::VectorXd known = Eigen::VectorXd::Zero(Dofs());
    for (const auto& [dof, value] : prescribed) known(dof) = value;
    Eigen::VectorXd rhs = Eigen::VectorXd::Zero(free);
    if (loads.size() == Dofs())
      for (int d = 0; d < Dofs(); ++d)
        if (equation[d] >= 0) rhs(equation[d]) = loads(d);
    std::vector<Eigen::Triplet<double>> triplets;
    auto add = [&](const auto& element, const auto& k) {
      for (int a = 0; a < k.rows(); ++a) {
        const int ra = 6 * element[a / 6] + a % 6;
        for (int b = 0; b < k.cols(); ++b) {
          const int cb = 6 * element[b / 6] + b % 6;
          if (equation[ra] < 0) continue;
          if (equation[cb] >= 0) triplets.emplace_back(equation[ra], equation[cb], k(a, b));
          else rhs(equation[ra]) -= k(a, b) * known(cb);
        }
      }
    };
    for (std::size_t e = 0; e < quads.size(); ++e) add(quads[e], Quad(e).Stiffness());
    for (std::size_t e = 0; e < triangles.size(); ++e) add(triangles[e], Triangle(e).Stiffness());
    Eigen::SparseMatrix<double> k(free, free);
    k.setFromTriplets(triplets.begin(), triplets.end());
    Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>> solver(k);
    if (solver.info() != Eigen::Success) throw std::runtime_error("test model: singular stiffness");
    const Eigen::VectorXd x = solver.solve(rhs);
    Eigen::VectorXd u = known;
    for (int d = 0; d < Dofs(); ++d)
      if (equation[d] >= 0) u(d) = x(equation[d]);
    return u;
  }

 private:
  template <std::size_t N, typename V>
  void Scatter(const std::array<int, N>& element, const V& f) {
    for (std::size_t i = 0; i < N; ++i) loads.segment<6>(6 * element[i]) += f.template segment<6>(6 * i);
  }
};

// A structured (nx + 1) x (ny + 1) grid of nodes placed by `place(s, r)`,
// s = i / nx and r = j / ny in [0, 1]; node (i, j) is j (nx + 1) + i. Quads
// (i,j) (i+1,j) (i+1,j+1) (i,j+1), or each split along (i,j)-(i+1,j+1).
inline ShellTestModel GridModel(int nx, int ny, const std::function<Eigen::Vector3d(double, double)>& place,
                                const ShellSection& section, bool triangles) {
  ShellTestModel model;
  model.section = section;
  for (int j = 0; j <= ny; ++j)
    for (int i = 0; i <= nx; ++i) model.nodes.push_back(place(double(i) / nx, double(j) / ny));
  auto id = [nx](int i, int j) { return j * (nx + 1) + i; };
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i) {
      const int a = id(i, j), b = id(i + 1, j), c = id(i + 1, j + 1), d = id(i, j + 1);
      if (triangles) {
        model.triangles.push_back({a, b, c});
        model.triangles.push_back({a, c, d});
      } else {
        model.quads.push_back({a, b, c, d});
      }
    }
  }
  return model;
}

// Applies `action(node)` to the grid nodes (i, j) for which `select(i, j)`.
inline void ForGridNodes(int nx, int ny, const std::function<bool(int, int)>& select,
                         const std::function<void(int)>& action) {
  for (int j = 0; j <= ny; ++j)
    for (int i = 0; i <= nx; ++i)
      if (select(i, j)) action(j * (nx + 1) + i);
}

}  // namespace Kestrum::Quilm::Solver::Native::ShellTesting
