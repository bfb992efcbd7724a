// The predefined element types. They live in function-local statics so that
// other libraries' static initialisers may use them safely.
#include "definitions/element_type.hpp"

#include <stdexcept>
#include <string>
#include <utility>

qlElementType::qlElementType(int number, int shape, unsigned nodeCount, std::string name,
                             std::vector<unsigned> geometric)
    : number_(number),
      shape_(shape),
      nodeCount_(nodeCount),
      name_(std::move(name)),
      geometric_(std::move(geometric)) {}

const qlElementType& qlElementType::PointElement() {
  static const qlElementType type(1, Point, 1, "one-node point element", {0});
  return type;
}

const qlElementType& qlElementType::Beam2() {
  static const qlElementType type(15, Line, 2, "two-node beam", {0, 1});
  return type;
}

const qlElementType& qlElementType::Beam3() {
  // Stored (end, end, middle); walking along the beam visits end, middle, end.
  static const qlElementType type(23, Line, 3, "three-node beam", {0, 2, 1});
  return type;
}

const qlElementType& qlElementType::Shell4() {
  static const qlElementType type(24, Surface, 4, "four-node shell", {0, 1, 2, 3});
  return type;
}

const qlElementType& qlElementType::Shell3() {
  static const qlElementType type(25, Surface, 3, "three-node shell", {0, 1, 2});
  return type;
}

const std::vector<const qlElementType*>& qlElementType::All() {
  static const std::vector<const qlElementType*> all = {&PointElement(), &Beam2(), &Beam3(), &Shell4(),
                                                        &Shell3()};
  return all;
}

const qlElementType& qlElementType::FromNumber(int number) {
  for (const qlElementType* type : All())
    if (type->Number() == number) return *type;
  throw std::invalid_argument("qlElementType: no element type with number " + std::to_string(number));
}
