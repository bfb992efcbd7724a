// Test-only assembly of shell elements: nodes, quadrilaterals and triangles
// of one section, nodal loads, prescribed dofs and a direct sparse solve.
// Six dofs per node (ux, uy, uz, rx, ry, rz): dof 6 node + k.
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

inline constexpr std::initializer_list<int> kAllDofs = {0, 1, 2, 3, 4, 5};

struct ShellTestModel {
  ShellSection section;
  std::vector<Eigen::Vector3d> nodes;
  std::vector<std::array<int, 4>> quads;
  std::vector<std::array<int, 3>> triangles;
  std::map<int, double> prescribed;  // dof -> value
  Eigen::VectorXd loads;             // sized on first use
  int nx = 0, ny = 0;                // grid models: node (i, j) is j (nx + 1) + i

  int Dofs() const { return 6 * static_cast<int>(nodes.size()); }
  int GridNode(int i, int j) const { return j * (nx + 1) + i; }
  void Fix(int node, std::initializer_list<int> dofs) {
    for (int d : dofs) prescribed[6 * node + d] = 0.0;
  }
  // Fixes `dofs` at the grid nodes (i, j) for which at(i, j).
  void FixGrid(const std::function<bool(int, int)>& at, std::initializer_list<int> dofs) {
    for (int j = 0; j <= ny; ++j)
      for (int i = 0; i <= nx; ++i)
        if (at(i, j)) Fix(GridNode(i, j), dofs);
  }
  void AddForce(int node, int dof, double value) {
    if (loads.size() != Dofs()) loads = Eigen::VectorXd::Zero(Dofs());
    loads(6 * node + dof) += value;
  }
  template <std::size_t N>
  static std::array<Eigen::Vector3d, N> Corners(const std::vector<Eigen::Vector3d>& nodes,
                                                const std::array<int, N>& e) {
    std::array<Eigen::Vector3d, N> p;
    for (std::size_t i = 0; i < N; ++i) p[i] = nodes[e[i]];
    return p;
  }
  ShellQuad4 Quad(int e) const { return ShellQuad4(Corners(nodes, quads[e]), section); }
  ShellTri3 Triangle(int e) const { return ShellTri3(Corners(nodes, triangles[e]), section); }

  // Adds the element load vectors to the model loads.
  void AddElementLoads(const std::function<ShellQuad4::Vector(const ShellQuad4&)>& quadLoad,
                       const std::function<ShellTri3::Vector(const ShellTri3&)>& triangleLoad) {
    for (std::size_t e = 0; e < quads.size(); ++e) Scatter(quads[e], quadLoad(Quad(e)));
    for (std::size_t e = 0; e < triangles.size(); ++e) Scatter(triangles[e], triangleLoad(Triangle(e)));
  }

  // Calls visit(results, frame) for every element, quads first.
  void VisitResults(const Eigen::VectorXd& u,
                    const std::function<void(const ShellElementResults&, const ShellFrame&)>& visit) const {
    for (std::size_t e = 0; e < quads.size(); ++e)
      visit(Quad(e).Results(Gather(quads[e], u)), Quad(e).Frame());
    for (std::size_t e = 0; e < triangles.size(); ++e)
      visit(Triangle(e).Results(Gather(triangles[e], u)), Triangle(e).Frame());
  }

  // Displacements of all dofs, prescribed ones included.
  Eigen::VectorXd Solve() const {
    std::vector<int> equation(Dofs(), -1);
    int free = 0;
    for (int d = 0; d < Dofs(); ++d)
      if (!prescribed.count(d)) equation[d] = free++;
    Eigen::VectorXd u = Eigen::VectorXd::Zero(Dofs()), rhs = Eigen::VectorXd::Zero(free);
    for (const auto& [dof, value] : prescribed) u(dof) = value;
    for (int d = 0; d < loads.size(); ++d)
      if (equation[d] >= 0) rhs(equation[d]) = loads(d);
    std::vector<Eigen::Triplet<double>> triplets;
    auto add = [&](const auto& element, const auto& k) {
      for (int a = 0; a < k.rows(); ++a) {
        const int row = equation[6 * element[a / 6] + a % 6];
        for (int b = 0; b < k.cols() && row >= 0; ++b) {
          const int dof = 6 * element[b / 6] + b % 6;
          if (equation[dof] >= 0)
            triplets.emplace_back(row, equation[dof], k(a, b));
          else
            rhs(row) -= k(a, b) * u(dof);
        }
      }
    };
    for (std::size_t e = 0; e < quads.size(); ++e) add(quads[e], Quad(e).Stiffness());
    for (std::size_t e = 0; e < triangles.size(); ++e) add(triangles[e], Triangle(e).Stiffness());
    Eigen::SparseMatrix<double> k(free, free);
    k.setFromTriplets(triplets.begin(), triplets.end());
    const Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>> solver(k);
    if (solver.info() != Eigen::Success) throw std::runtime_error("test model: singular stiffness");
    const Eigen::VectorXd x = solver.solve(rhs);
    for (int d = 0; d < Dofs(); ++d)
      if (equation[d] >= 0) u(d) = x(equation[d]);
    return u;
  }

  template <std::size_t N>
  static Eigen::Matrix<double, 6 * N, 1> Gather(const std::array<int, N>& element, const Eigen::VectorXd& u) {
    Eigen::Matrix<double, 6 * N, 1> ue;
    for (std::size_t i = 0; i < N; ++i) ue.template segment<6>(6 * i) = u.segment<6>(6 * element[i]);
    return ue;
  }

 private:
  template <std::size_t N, typename V>
  void Scatter(const std::array<int, N>& element, const V& f) {
    if (loads.size() != Dofs()) loads = Eigen::VectorXd::Zero(Dofs());
    for (std::size_t i = 0; i < N; ++i) loads.segment<6>(6 * element[i]) += f.template segment<6>(6 * i);
  }
};

// An nx x ny grid of nodes at place(i / nx, j / ny): quads (i,j) (i+1,j)
// (i+1,j+1) (i,j+1), or each of them cut along (i,j)-(i+1,j+1).
inline ShellTestModel GridModel(int nx, int ny, const std::function<Eigen::Vector3d(double, double)>& place,
                                const ShellSection& section, bool triangles) {
  ShellTestModel m;
  m.section = section;
  m.nx = nx;
  m.ny = ny;
  for (int j = 0; j <= ny; ++j)
    for (int i = 0; i <= nx; ++i) m.nodes.push_back(place(double(i) / nx, double(j) / ny));
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i) {
      const int a = m.GridNode(i, j), b = m.GridNode(i + 1, j), c = m.GridNode(i + 1, j + 1),
                d = m.GridNode(i, j + 1);
      if (triangles)
        m.triangles.insert(m.triangles.end(), {{a, b, c}, {a, c, d}});
      else
        m.quads.push_back({a, b, c, d});
    }
  }
  return m;
}

}  // namespace Kestrum::Quilm::Solver::Native::ShellTesting
