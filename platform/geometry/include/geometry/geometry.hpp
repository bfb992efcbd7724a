// Points, vectors, local coordinate systems and lines in double precision.
//
// Conventions every caller relies on:
//  * vec3d(from, to) is the vector to - from.
//  * a.cross(b) is the right-handed product a x b.
//  * locsys3d(x, z) keeps the direction of x and makes z perpendicular to it.
//  * line3d::project gives the foot on the infinite line through both points.
//
// Tolerance: two coordinates are equal when they differ by at most
// kGeometryTolerance * max(1, |a|, |b|), i.e. 1e-9 absolute for coordinates
// up to 1 and 1e-9 relative above that. pos3d::isEqual compares each of the
// three coordinates that way; isZero(v) holds when every component of v is at
// most kGeometryTolerance in magnitude.
#pragma once

#include <cmath>
#include <functional>
#include <iosfwd>
#include <stdexcept>

inline constexpr double kGeometryTolerance = 1e-9;

// Thrown for constructions that have no geometric answer (a zero axis,
// parallel axes, a line through two coincident points).
class GeometryError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

class vec3d;

// A point in space.
class pos3d {
 public:
  double x = 0.0, y = 0.0, z = 0.0;

  constexpr pos3d() = default;
  constexpr pos3d(double px, double py, double pz) : x(px), y(py), z(pz) {}

  // Equality within the geometry tolerance (see the file banner).
  bool isEqual(const pos3d& other) const noexcept;

  // Moves the point by the vector.
  pos3d& operator+=(const vec3d& v) noexcept;

  // Exact, component-wise equality (no tolerance).
  bool operator==(const pos3d& o) const noexcept { return x == o.x && y == o.y && z == o.z; }
  bool operator!=(const pos3d& o) const noexcept { return !(*this == o); }
};

pos3d operator+(const pos3d& a, const pos3d& b) noexcept;
pos3d operator/(const pos3d& a, double divisor) noexcept;
std::ostream& operator<<(std::ostream& os, const pos3d& p);

// A free vector.
class vec3d {
 public:
  double x = 0.0, y = 0.0, z = 0.0;

  constexpr vec3d() = default;
  constexpr vec3d(double vx, double vy, double vz) : x(vx), y(vy), z(vz) {}
  // The vector from `from` to `to` (to - from).
  vec3d(const pos3d& from, const pos3d& to) noexcept
      : x(to.x - from.x), y(to.y - from.y), z(to.z - from.z) {}

  double dot(const vec3d& o) const noexcept { return x * o.x + y * o.y + z * o.z; }
  // Right-handed cross product this x o.
  vec3d cross(const vec3d& o) const noexcept {
    return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
  }
  double length() const noexcept { return std::sqrt(dot(*this)); }
  // Scales the vector to length 1 in place and returns it. A zero vector has
  // no direction and is left as it is (no NaNs are produced).
  vec3d& normalise() noexcept;

  vec3d operator-() const noexcept { return {-x, -y, -z}; }
  vec3d& operator+=(const vec3d& o) noexcept { x += o.x; y += o.y; z += o.z; return *this; }
  vec3d& operator*=(double s) noexcept { x *= s; y *= s; z *= s; return *this; }
  bool operator==(const vec3d& o) const noexcept { return x == o.x && y == o.y && z == o.z; }
  bool operator!=(const vec3d& o) const noexcept { return !(*this == o); }
};

inline vec3d operator+(vec3d a, const vec3d& b) noexcept { return a += b; }
inline vec3d operator-(const vec3d& a, const vec3d& b) noexcept { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline vec3d operator*(vec3d a, double s) noexcept { return a *= s; }
inline vec3d operator*(double s, vec3d a) noexcept { return a *= s; }
std::ostream& operator<<(std::ostream& os, const vec3d& v);

// True when every component is within the geometry tolerance of zero.
bool isZero(const vec3d& v) noexcept;

// A right-handed orthonormal coordinate system given by its x and z axes.
class locsys3d {
 public:
  // The global system: x = (1, 0, 0), y = (0, 1, 0), z = (0, 0, 1).
  locsys3d() noexcept;
  // The system whose x axis has the direction of `xAxis` and whose z axis is
  // `zAxis` made perpendicular to x (Gram-Schmidt); y = z x x.
  // Throws GeometryError when either vector is zero or the two are parallel.
  locsys3d(const vec3d& xAxis, const vec3d& zAxis);

  const vec3d& x() const noexcept { return x_; }
  const vec3d& y() const noexcept { return y_; }
  const vec3d& z() const noexcept { return z_; }

  // Equality of all three axes within the geometry tolerance.
  bool isEqual(const locsys3d& other) const noexcept;

 private:
  vec3d x_, y_, z_;
};

std::ostream& operator<<(std::ostream& os, const locsys3d& s);

// The infinite line through two points.
class line3d {
 public:
  line3d(const pos3d& end1, const pos3d& end2) noexcept : end1_(end1), end2_(end2) {}

  const pos3d& end1() const noexcept { return end1_; }
  const pos3d& end2() const noexcept { return end2_; }

  // Projects p onto the infinite line: `foot` is the foot of the perpendicular
  // from p, `distance` the distance of p from the line and `parameter` the
  // position of the foot along the line (0 at end1, 1 at end2).
  // Throws GeometryError when the two points coincide (the line has no
  // direction) or are not finite.
  void project(const pos3d& p, pos3d& foot, double& distance, double& parameter) const;

 private:
  pos3d end1_, end2_;
};

namespace std {
// Lexicographic order on (x, y, z); exact, without tolerance, so that it is a
// strict weak ordering usable as a map key.
template <>
struct less<pos3d> {
  bool operator()(const pos3d& a, const pos3d& b) const noexcept {
    if (a.x != b.x) return a.x < b.x;
    if (a.y != b.y) return a.y < b.y;
    return a.z < b.z;
  }
};
}  // namespace std
