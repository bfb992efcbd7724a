// Local coordinate system of a flat shell element and the rotation of node
// degrees of freedom between it and the global system.
//
// z is the element normal given by the node order: for a quadrilateral the
// normalised cross product of its diagonals (p2 - p0) x (p3 - p1), for a
// triangle (p1 - p0) x (p2 - p0); x runs along the first edge p0 -> p1 made
// perpendicular to z; y = z x x. Seen from +z the corners run anticlockwise.
#pragma once

#include <Eigen/Core>
#include <array>

namespace Kestrum::Quilm::Solver::Native {

struct ShellFrame {
  Eigen::Matrix3d axes;    // rows: the local x, y and z unit vectors in global coordinates
  Eigen::Vector3d origin;  // mean of the corners; the mean plane passes through it

  Eigen::Vector3d ToLocal(const Eigen::Vector3d& globalVector) const { return axes * globalVector; }
  Eigen::Vector3d ToGlobal(const Eigen::Vector3d& localVector) const {
    return axes.transpose() * localVector;
  }
  Eigen::Vector3d Normal() const { return axes.row(2).transpose(); }
};

// Throw std::invalid_argument for non-finite corners, a vanishing diagonal
// cross product (or triangle area) or a first edge parallel to the normal.
ShellFrame QuadShellFrame(const std::array<Eigen::Vector3d, 4>& corners);
ShellFrame TriangleShellFrame(const std::array<Eigen::Vector3d, 3>& corners);

// Corners projected on the frame's x-y plane: row i holds (x_i, y_i).
template <int N>
Eigen::Matrix<double, N, 2> PlanarCoordinates(const ShellFrame& frame,
                                              const std::array<Eigen::Vector3d, N>& corners) {
  Eigen::Matrix<double, N, 2> xy;
  for (int i = 0; i < N; ++i) {
    const Eigen::Vector3d local = frame.ToLocal(corners[i] - frame.origin);
    xy(i, 0) = local.x();
    xy(i, 1) = local.y();
  }
  return xy;
}

// Block-diagonal rotation taking the six dofs per node (ux, uy, uz, rx, ry,
// rz) of N nodes from global to local components.
template <int N>
Eigen::Matrix<double, 6 * N, 6 * N> GlobalToLocalDofs(const ShellFrame& frame) {
  Eigen::Matrix<double, 6 * N, 6 * N> t = Eigen::Matrix<double, 6 * N, 6 * N>::Zero();
  for (int block = 0; block < 2 * N; ++block) t.template block<3, 3>(3 * block, 3 * block) = frame.axes;
  return t;
}

// The same rotation applied block by block, without forming the matrix:
// an element's results and stiffness are rotated for every element and load
// case, and the dense products cost twenty times the block-wise ones.
template <int N>
Eigen::Matrix<double, 6 * N, 1> RotateDofsToLocal(const ShellFrame& frame,
                                                  const Eigen::Matrix<double, 6 * N, 1>& global) {
  Eigen::Matrix<double, 6 * N, 1> local;
  for (int block = 0; block < 2 * N; ++block)
    local.template segment<3>(3 * block) = frame.axes * global.template segment<3>(3 * block);
  return local;
}

// T^T K T for T = GlobalToLocalDofs<N>(frame): a local matrix in global dofs.
template <int N>
Eigen::Matrix<double, 6 * N, 6 * N> RotateMatrixToGlobal(const ShellFrame& frame,
                                                         const Eigen::Matrix<double, 6 * N, 6 * N>& local) {
  Eigen::Matrix<double, 6 * N, 6 * N> global;
  for (int i = 0; i < 2 * N; ++i)
    for (int j = 0; j < 2 * N; ++j)
      global.template block<3, 3>(3 * i, 3 * j) =
          frame.axes.transpose() * local.template block<3, 3>(3 * i, 3 * j) * frame.axes;
  return global;
}

}  // namespace Kestrum::Quilm::Solver::Native
