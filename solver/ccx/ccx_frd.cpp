// Reader of the solver's .frd text format: fixed columns, a record key in
// the first columns (-1 a row, -2 its continuation, -3 a block's end, -4 a
// result block's name, -5 its components), numbers in 12-character fields.
#include "solver/ccx/ccx_frd.hpp"

#include <cstdlib>
#include <string>

#include "solver/ccx/ccx_results.hpp"

namespace Kestrum::Quilm::Solver::detail {
namespace {

enum class Block { None, Nodes, Elements, Displacements, OtherResults };

bool Starts(const std::string& line, const char* key) { return line.rfind(key, 0) == 0; }

long Id(const std::string& line, std::size_t width) {
  const std::string field = line.substr(3, width);
  char* end = nullptr;
  const long id = std::strtol(field.c_str(), &end, 10);
  if (end == field.c_str()) throw SolverError("cannot read the .frd line: " + line);
  return id;
}

// Three 12-character numbers after the id.
vec3d Values(const std::string& line, std::size_t width) {
  const std::size_t at = 3 + width;
  if (line.size() < at + 36) throw SolverError("short .frd line: " + line);
  double v[3];
  for (std::size_t k = 0; k < 3; ++k) v[k] = ParseSolverNumber(line.substr(at + 12 * k, 12));
  return {v[0], v[1], v[2]};
}

// The number format of a block header ("    2C  count  format"): 0 gives
// five-digit ids, 1 ten-digit ids.
std::size_t IdWidth(const std::string& line) {
  const auto last = line.find_last_not_of(' ');
  return last != std::string::npos && line[last] == '0' ? 5 : 10;
}

}  // namespace

FrdResults ReadFrd(std::istream& in) {
  FrdResults frd;
  Block block = Block::None;
  std::size_t width = 10;
  std::vector<long>* element = nullptr;
  for (std::string line; std::getline(in, line);) {
    if (Starts(line, "    2C")) {
      block = Block::Nodes;
      width = IdWidth(line);
    } else if (Starts(line, "    3C")) {
      block = Block::Elements;
    } else if (Starts(line, " -4")) {
      const bool displacements = line.find("DISP") != std::string::npos;
      block = displacements ? Block::Displacements : Block::OtherResults;
      if (displacements) frd.displacementBlocks.emplace_back();
    } else if (Starts(line, " -3")) {
      block = Block::None;
    } else if (Starts(line, " -1")) {
      switch (block) {
        case Block::Nodes: {
          const vec3d p = Values(line, width);
          frd.nodes[Id(line, width)] = pos3d(p.x, p.y, p.z);
          break;
        }
        case Block::Elements:
          element = &frd.elements[Id(line, width)];
          element->clear();
          break;
        case Block::Displacements:
          frd.displacementBlocks.back()[Id(line, width)] = Values(line, width);
          break;
        default:
          break;
      }
    } else if (Starts(line, " -2") && block == Block::Elements && element) {
      for (std::size_t at = 3; at + width <= line.size(); at += width) {
        const std::string field = line.substr(at, width);
        if (field.find_first_not_of(' ') != std::string::npos)
          element->push_back(std::strtol(field.c_str(), nullptr, 10));
      }
    }
  }
  return frd;
}

}  // namespace Kestrum::Quilm::Solver::detail
