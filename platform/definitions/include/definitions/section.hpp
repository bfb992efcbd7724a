// qlSection: a beam cross-section with its section properties.
//
// Axes: the section lies in the beam's local y-z plane. The height h runs
// along local z, the width b along local y. Iy is the second moment about
// the local y axis (bending in the x-z plane; the strong axis of an upright
// I-profile), Iz about the local z axis. It is the torsion constant, Asy and
// Asz the shear areas for shear along y and along z.
//
// The factories compute the properties (formulas in section.cpp: exact area
// and second moments; exact torsion for pipes and solid rectangles,
// thin-walled theory for I-profiles and boxes) and throw
// std::invalid_argument for dimensions that describe no section (non-positive
// or non-finite values, walls thicker than the section allows).
#pragma once

#include <string>

struct qlSectionProperties {
  double area = 0.0;
  double iy = 0.0;
  double iz = 0.0;
  double it = 0.0;
  double shearAreaY = 0.0;
  double shearAreaZ = 0.0;
};

class qlSection {
 public:
  enum class Kind { Pipe, IProfile, Box, Rectangle, General };

  // Circular hollow section of outer diameter d and wall thickness t (t <= d/2;
  // t == d/2 gives a solid round bar).
  static qlSection Pipe(double outerDiameter, double wallThickness);
  // Doubly symmetric I/H profile: height h, flange width b, web thickness tw,
  // flange thickness tf (2 tf < h, tw <= b).
  static qlSection IProfile(double height, double width, double webThickness, double flangeThickness);
  // Rectangular hollow section: height h, width b, web (side wall) thickness
  // tw, flange (top and bottom) thickness tf.
  static qlSection Box(double height, double width, double webThickness, double flangeThickness);
  // Solid rectangle of height h and width b.
  static qlSection Rectangle(double height, double width);
  // A section given by its properties alone.
  static qlSection General(const qlSectionProperties& properties);

  Kind GetKind() const noexcept { return kind_; }
  // The defining dimensions, in the order of the factory's arguments
  // (unused ones are 0; all 0 for a general section).
  double Dimension(int index) const;
  const qlSectionProperties& Properties() const noexcept { return props_; }

  // Equality test: same kind, same dimensions and same properties.
  bool IsEqual(const qlSection& other) const noexcept;
  // Ordering test: by kind, then dimensions, then properties; a strict weak
  // ordering consistent with IsEqual.
  bool IsBefore(const qlSection& other) const noexcept;

  bool operator==(const qlSection& o) const noexcept { return IsEqual(o); }
  bool operator!=(const qlSection& o) const noexcept { return !IsEqual(o); }
  bool operator<(const qlSection& o) const noexcept { return IsBefore(o); }

  // A short text such as "Pipe(0.3, 0.01)".
  std::string Describe() const;

 private:
  qlSection(Kind kind, double d0, double d1, double d2, double d3, const qlSectionProperties& props);
  Kind kind_;
  double dims_[4];
  qlSectionProperties props_;
};
