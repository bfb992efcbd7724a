// Local axes and rigid-offset transformation of a beam.
#include "solver/native/elements/beam_transformation.hpp"

#include <cmath>
#include <stdexcept>

namespace Kestrum::Quilm::Solver::Native {

namespace {

// Below this sine of the angle two directions count as parallel.
constexpr double kParallelSine = 1e-6;

Eigen::Matrix3d Skew(const Eigen::Vector3d& v) {
  Eigen::Matrix3d s;
  s << 0.0, -v.z(), v.y(), v.z(), 0.0, -v.x(), -v.y(), v.x(), 0.0;
  return s;
}

// Unit local z for unit tangent x.
Eigen::Vector3d LocalZ(const Eigen::Vector3d& x, const Eigen::Vector3d& zAxis) {
  Eigen::Vector3d wanted = zAxis;
  if (zAxis.norm() == 0.0)
    wanted = x.cross(Eigen::Vector3d::UnitZ()).norm() > kParallelSine ? Eigen::Vector3d::UnitZ()
                                                                      : Eigen::Vector3d::UnitX();
  const Eigen::Vector3d z = wanted - wanted.dot(x) * x;
  if (!(z.norm() > kParallelSine * wanted.norm()))
    throw std::invalid_argument("beam transformation: local z axis is parallel to the member");
  return z.normalized();
}

// u_end = R (u_node + theta x e), theta_end = R theta_node.
Matrix6 EndBlock(const Eigen::Matrix3d& r, const Eigen::Vector3d& e) {
  Matrix6 block = Matrix6::Zero();
  block.topLeftCorner<3, 3>() = r;
  block.topRightCorner<3, 3>() = -r * Skew(e);
  block.bottomRightCorner<3, 3>() = r;
  return block;
}

}  // namespace

BeamTransformation MakeBeamTransformation(const Eigen::Vector3d& p1, const Eigen::Vector3d& p2,
                                          const Eigen::Vector3d& e1, const Eigen::Vector3d& e2,
                                          const Eigen::Vector3d& zAxis) {
  const Eigen::Vector3d span = (p2 + e2) - (p1 + e1);
  BeamTransformation t;
  t.length = span.norm();
  if (!(t.length > 0.0) || !std::isfinite(t.length))
    throw std::invalid_argument("beam transformation: the member ends coincide");
  const Eigen::Vector3d x = span / t.length, z = LocalZ(x, zAxis);
  t.rotation.row(0) = x;
  t.rotation.row(1) = z.cross(x);
  t.rotation.row(2) = z;
  t.matrix.setZero();
  t.matrix.topLeftCorner<6, 6>() = EndBlock(t.rotation, e1);
  t.matrix.bottomRightCorner<6, 6>() = EndBlock(t.rotation, e2);
  return t;
}

Matrix12 ToGlobal(const BeamTransformation& t, const Matrix12& local) {
  return t.matrix.transpose() * local * t.matrix;
}

Vector12 ToGlobal(const BeamTransformation& t, const Vector12& local) { return t.matrix.transpose() * local; }

Eigen::Vector3d ToLocal(const BeamTransformation& t, const Eigen::Vector3d& global) {
  return t.rotation * global;
}

}  // namespace Kestrum::Quilm::Solver::Native
