// qlElementType: what kind of finite element an element is.
//
// Shapes: 0 point elements, 1 line elements, 2 surface elements, 3 solids.
// Stored node order: corner (end) nodes first, then mid-side nodes. The
// geometric order walks along a line element from one end to the other, and
// around a surface element's perimeter; GeometricIndex maps between them.
//
// Predefined types:
//   number  1  one-node point element (masses, springs)      shape 0
//   number 15  two-node beam                                  shape 1
//   number 23  three-node beam; stored (end, end, middle)     shape 1
//   number 25  three-node shell (triangle)                    shape 2
//   number 24  four-node shell (quadrilateral)                shape 2
#pragma once

#include <string>
#include <vector>

class qlElementType {
 public:
  enum Shape { Point = 0, Line = 1, Surface = 2, Solid = 3 };

  // The predefined type with this number; throws std::invalid_argument for an
  // unknown number.
  static const qlElementType& FromNumber(int number);
  static const qlElementType& PointElement();    // 1
  static const qlElementType& Beam2();           // 15
  static const qlElementType& Beam3();           // 23
  static const qlElementType& Shell3();          // 25
  static const qlElementType& Shell4();          // 24
  // Every predefined type, ascending by number.
  static const std::vector<const qlElementType*>& All();

  int Number() const noexcept { return number_; }
  int Shape() const noexcept { return shape_; }
  unsigned NodeCount() const noexcept { return nodeCount_; }
  const std::string& Name() const noexcept { return name_; }
  // Stored index of the node at `position` in geometric order.
  // Precondition: position < NodeCount().
  unsigned GeometricIndex(unsigned position) const noexcept { return geometric_[position]; }

  bool operator==(const qlElementType& o) const noexcept { return number_ == o.number_; }
  bool operator!=(const qlElementType& o) const noexcept { return number_ != o.number_; }

 private:
  qlElementType(int number, int shape, unsigned nodeCount, std::string name, std::vector<unsigned> geometric);
  int number_;
  int shape_;
  unsigned nodeCount_;
  std::string name_;
  std::vector<unsigned> geometric_;
};
