// Construction of the flat shell element's local frame.
#include "solver/native/elements/shell_frame.hpp"

#include <Eigen/Geometry>
#include <algorithm>
#include <stdexcept>

namespace Kestrum::Quilm::Solver::Native {

namespace {

template <int N>
Eigen::Vector3d MeanOf(const std::array<Eigen::Vector3d, N>& corners) {
  Eigen::Vector3d sum = Eigen::Vector3d::Zero();
  for (const auto& p : corners) {
    if (!p.allFinite()) throw std::invalid_argument("shell element: corner coordinates must be finite");
    sum += p;
  }
  return sum / N;
}

// Frame from an unnormalised normal and the first edge; `size` is a length of
// the element against which degeneracy is judged.
ShellFrame FrameFrom(const Eigen::Vector3d& normal, const Eigen::Vector3d& firstEdge,
                     const Eigen::Vector3d& origin, double size) {
  const double tolerance = 1e-10 * size;
  if (!(normal.norm() > tolerance * size))
    throw std::invalid_argument("shell element: corners are collinear or coincident (no normal)");
  const Eigen::Vector3d z = normal.normalized();
  const Eigen::Vector3d inPlane = firstEdge - firstEdge.dot(z) * z;
  if (!(inPlane.norm() > tolerance))
    throw std::invalid_argument("shell element: first edge has no length in the element plane");
  const Eigen::Vector3d x = inPlane.normalized();
  ShellFrame frame;
  frame.axes.row(0) = x.transpose();
  frame.axes.row(1) = z.cross(x).transpose();
  frame.axes.row(2) = z.transpose();
  frame.origin = origin;
  return frame;
}

}  // namespace

ShellFrame QuadShellFrame(const std::array<Eigen::Vector3d, 4>& p) {
  const Eigen::Vector3d origin = MeanOf<4>(p);
  const Eigen::Vector3d d1 = p[2] - p[0];
  const Eigen::Vector3d d2 = p[3] - p[1];
  return FrameFrom(d1.cross(d2), p[1] - p[0], origin, std::max(d1.norm(), d2.norm()));
}

ShellFrame TriangleShellFrame(const std::array<Eigen::Vector3d, 3>& p) {
  const Eigen::Vector3d origin = MeanOf<3>(p);
  const Eigen::Vector3d e1 = p[1] - p[0];
  const Eigen::Vector3d e2 = p[2] - p[0];
  return FrameFrom(e1.cross(e2), e1, origin, std::max(e1.norm(), e2.norm()));
}

}  // namespace Kestrum::Quilm::Solver::Native
