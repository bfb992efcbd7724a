// The solver model: the analysis model as the ccx deck will hold it, after
// every choice of the export has been made (not installed). The export reads
// the analysis model into it (ccx_export_*.cpp) and the deck writer
// (ccx_deck_writer.hpp) turns it into text without looking back at the
// analysis model, so the writer only formats and the reader only decides.
//
// Everything is plain data in the order the deck lists it; the numbers are
// kept as numbers, except the strings the section mapping already produced.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "definitions/material.hpp"
#include "geometry/geometry.hpp"

namespace Kestrum::Quilm::Solver::detail {

// The section card of an element group.
struct SectionCard {
  enum class Kind { Beam, Shell, Spring };
  Kind kind = Kind::Beam;
  std::string material;     // the material's name: M<id>, or MARM for the stiff arms
  std::string sectionType;  // beams: RECT, PIPE or BOX
  std::string dimensions;   // beams: the data line of dimensions
  vec3d axis;               // beams: the section's first axis
  double thickness = 0.0;   // shells
  double stiffness = 0.0;   // springs: force per length
};

// One *ELEMENT block with its own element set and section card.
struct ElementGroup {
  std::string name;
  std::string type;
  SectionCard section;
  std::vector<std::vector<long>> rows;  // element id, then its nodes
};

// MASS elements of one mass value, one per node, numbered consecutively.
struct MassGroup {
  double mass = 0.0;
  std::vector<long> nodes;
  long firstElement = 0;
};

// A named set of the analysis model, as written: S<id>.
struct ModelSet {
  long id = 0;
  std::string name;            // the model's name for it, shown in a comment
  std::vector<long> nodes;     // ascending
  std::vector<long> elements;  // ascending, solver elements included
};

// One nodal force or moment component (*CLOAD); dof 1..6.
struct NodalLoad {
  long node;
  int dof;
  double value;
};

// A pressure on one solver shell element (*DLOAD P).
struct Pressure {
  long element;
  double value;
};

// Gravity on the dense elements (*DLOAD GRAV): magnitude and unit direction.
struct Gravity {
  double magnitude;
  vec3d direction;
};

// The static step of one load case.
struct StaticStep {
  long loadCase = 0;
  std::string name;  // "" for an unnamed case
  std::vector<NodalLoad> nodalLoads;
  std::vector<Pressure> pressures;
  std::optional<Gravity> gravity;
};

struct SolverModel {
  std::string source;  // the analysis model's file name
  // Nodes in the order written: the model's kept nodes, then generated ones.
  std::vector<std::pair<long, pos3d>> nodes;
  std::vector<long> printedNodes;  // NMODEL, ascending
  // Beams, then shells, then stiff arms.
  std::vector<ElementGroup> elementGroups;
  std::vector<MassGroup> massGroups;
  std::map<long, qlMaterial> materials;  // by material id
  std::optional<double> armModulus;      // set when the deck has stiff arms
  std::vector<long> gravityElements;     // ascending: elements whose material has a density
  std::vector<ModelSet> modelSets;
  std::map<long, std::vector<int>> boundaries;  // node -> fixed dofs (1..6), ascending
  std::vector<StaticStep> steps;
  int frequencyCount = 0;  // 0: no frequency step
};

}  // namespace Kestrum::Quilm::Solver::detail
