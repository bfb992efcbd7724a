#include "geometry/geometry.hpp"

#include <algorithm>
#include <ostream>

namespace {

bool nearlyEqual(double a, double b) noexcept {
  const double scale = std::max({1.0, std::fabs(a), std::fabs(b)});
  return std::fabs(a - b) <= kGeometryTolerance * scale;
}

bool isFinite(const pos3d& p) noexcept {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

bool isFinite(const vec3d& v) noexcept {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool isEqualVec(const vec3d& a, const vec3d& b) noexcept {
  return nearlyEqual(a.x, b.x) && nearlyEqual(a.y, b.y) && nearlyEqual(a.z, b.z);
}

}  // namespace

bool pos3d::isEqual(const pos3d& o) const noexcept {
  return nearlyEqual(x, o.x) && nearlyEqual(y, o.y) && nearlyEqual(z, o.z);
}

pos3d& pos3d::operator+=(const vec3d& v) noexcept {
  x += v.x;
  y += v.y;
  z += v.z;
  return *this;
}

pos3d operator+(const pos3d& a, const pos3d& b) noexcept { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

pos3d operator/(const pos3d& a, double d) noexcept { return {a.x / d, a.y / d, a.z / d}; }

std::ostream& operator<<(std::ostream& os, const pos3d& p) {
  return os << '(' << p.x << ", " << p.y << ", " << p.z << ')';
}

vec3d& vec3d::normalise() noexcept {
  const double len = length();
  if (len > 0.0 && std::isfinite(len)) *this *= 1.0 / len;
  return *this;
}

std::ostream& operator<<(std::ostream& os, const vec3d& v) {
  return os << '(' << v.x << ", " << v.y << ", " << v.z << ')';
}

bool isZero(const vec3d& v) noexcept {
  return std::fabs(v.x) <= kGeometryTolerance && std::fabs(v.y) <= kGeometryTolerance &&
         std::fabs(v.z) <= kGeometryTolerance;
}

locsys3d::locsys3d() noexcept : x_(1, 0, 0), y_(0, 1, 0), z_(0, 0, 1) {}

locsys3d::locsys3d(const vec3d& xAxis, const vec3d& zAxis) {
  if (!isFinite(xAxis) || !isFinite(zAxis))
    throw GeometryError("locsys3d: axis components must be finite");
  const double xLen = xAxis.length();
  if (!(xLen > 0.0)) throw GeometryError("locsys3d: the x axis is the zero vector");
  if (!(zAxis.length() > 0.0)) throw GeometryError("locsys3d: the z axis is the zero vector");
  x_ = xAxis * (1.0 / xLen);
  vec3d z = zAxis - x_ * zAxis.dot(x_);
  const double zLen = z.length();
  // Relative test: z must keep a perpendicular part that is not rounding noise.
  if (!(zLen > kGeometryTolerance * zAxis.length()))
    throw GeometryError("locsys3d: the x and z axes are parallel");
  z_ = z * (1.0 / zLen);
  y_ = z_.cross(x_);
}

bool locsys3d::isEqual(const locsys3d& o) const noexcept {
  return isEqualVec(x_, o.x_) && isEqualVec(y_, o.y_) && isEqualVec(z_, o.z_);
}

std::ostream& operator<<(std::ostream& os, const locsys3d& s) {
  return os << "[x=" << s.x() << ", y=" << s.y() << ", z=" << s.z() << ']';
}

void line3d::project(const pos3d& p, pos3d& foot, double& distance, double& parameter) const {
  if (!isFinite(end1_) || !isFinite(end2_))
    throw GeometryError("line3d::project: the line's points must be finite");
  const vec3d dir(end1_, end2_);
  const double dirLen2 = dir.dot(dir);
  if (!(dirLen2 > 0.0)) throw GeometryError("line3d::project: the line's two points coincide");
  parameter = vec3d(end1_, p).dot(dir) / dirLen2;
  foot = end1_;
  foot += dir * parameter;
  distance = vec3d(foot, p).length();
}
