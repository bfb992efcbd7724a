// Writes a ccx input deck from a solver model: one function per card kind
// and, inside a step, per load kind, in the order the deck lists them.
#include "solver/ccx_deck_writer.hpp"

#include "solver/deck_format.hpp"

namespace Kestrum::Quilm::Solver::detail {
namespace {

// A direction as the deck writes it: "x, y, z".
void WriteVector(std::ostream& out, const vec3d& v) {
  out << FormatNumber(v.x) << ", " << FormatNumber(v.y) << ", " << FormatNumber(v.z);
}

void WriteHeader(std::ostream& out, const SolverModel& model, const std::vector<std::string>& notes) {
  out << "** Written from the analysis model " << CommentText(model.source) << "\n";
  for (const auto& note : notes) out << "** Note: " << CommentText(note) << "\n";
}

// Every node (NALL), then NMODEL: the nodes whose results are printed.
void WriteNodes(std::ostream& out, const SolverModel& model) {
  out << "*NODE, NSET=NALL\n";
  for (const auto& [id, p] : model.nodes) {
    out << id << ", " << FormatNumber(p.x, "a coordinate") << ", " << FormatNumber(p.y, "a coordinate")
        << ", " << FormatNumber(p.z, "a coordinate") << "\n";
  }
  out << "*NSET, NSET=NMODEL\n";
  WriteIdLines(out, model.printedNodes);
}

void WriteElements(std::ostream& out, const SolverModel& model) {
  for (const ElementGroup& group : model.elementGroups) {
    out << "*ELEMENT, TYPE=" << group.type << ", ELSET=" << CheckSetName(group.name) << "\n";
    for (const auto& row : group.rows) WriteIdLines(out, row);
  }
}

// MASS elements with their *MASS card, one element set per mass value.
void WriteMassElements(std::ostream& out, const SolverModel& model) {
  int massSet = 0;
  for (const MassGroup& group : model.massGroups) {
    const std::string name = "PM" + std::to_string(++massSet);
    out << "*ELEMENT, TYPE=MASS, ELSET=" << name << "\n";
    long element = group.firstElement;
    for (long node : group.nodes) out << element++ << ", " << node << "\n";
    out << "*MASS, ELSET=" << name << "\n" << FormatNumber(group.mass, "a point mass") << "\n";
  }
}

// The elements' materials, then the stiff arms' (without lateral contraction).
void WriteMaterials(std::ostream& out, const SolverModel& model) {
  for (const auto& [id, m] : model.materials) {
    out << "*MATERIAL, NAME=M" << id << "\n*ELASTIC\n"
        << FormatNumber(m.YoungsModulus(), "a Young's modulus") << ", "
        << FormatNumber(m.PoissonsRatio(), "a Poisson's ratio") << "\n";
    if (m.Density() > 0.0) out << "*DENSITY\n" << FormatNumber(m.Density(), "a density") << "\n";
  }
  if (model.armModulus) {
    out << "*MATERIAL, NAME=MARM\n*ELASTIC\n"
        << FormatNumber(*model.armModulus, "the arm stiffness") << ", 0\n";
  }
}

void WriteSectionCard(std::ostream& out, const std::string& set, const SectionCard& card) {
  if (card.kind == SectionCard::Kind::Spring) {
    out << "*SPRING, ELSET=" << set << "\n" << FormatNumber(card.stiffness, "a spring stiffness") << "\n";
    return;
  }
  if (card.kind == SectionCard::Kind::Shell) {
    out << "*SHELL SECTION, ELSET=" << set << ", MATERIAL=" << card.material << "\n"
        << FormatNumber(card.thickness, "a plate thickness") << "\n";
    return;
  }
  out << "*BEAM SECTION, ELSET=" << set << ", MATERIAL=" << card.material << ", SECTION=" << card.sectionType
      << "\n"
      << card.dimensions << "\n";
  WriteVector(out, card.axis);
  out << "\n";
}

void WriteSections(std::ostream& out, const SolverModel& model) {
  for (const ElementGroup& group : model.elementGroups) WriteSectionCard(out, group.name, group.section);
}

// The set that gravity acts on.
void WriteGravitySet(std::ostream& out, const SolverModel& model) {
  if (model.gravityElements.empty()) return;
  out << "*ELSET, ELSET=GRAVITY\n";
  WriteIdLines(out, model.gravityElements);
}

void WriteModelSets(std::ostream& out, const SolverModel& model) {
  for (const ModelSet& set : model.modelSets) {
    const std::string name = "S" + std::to_string(set.id);
    out << "** Set " << set.id << " " << CommentText(set.name) << "\n";
    if (!set.nodes.empty()) {
      out << "*NSET, NSET=" << name << "\n";
      WriteIdLines(out, set.nodes);
    }
    if (!set.elements.empty()) {
      out << "*ELSET, ELSET=" << name << "\n";
      WriteIdLines(out, set.elements);
    }
  }
}

void WriteBoundaries(std::ostream& out, const SolverModel& model) {
  if (model.boundaries.empty()) return;
  out << "*BOUNDARY\n";
  for (const auto& [node, dofs] : model.boundaries) {
    for (int dof : dofs) out << node << ", " << dof << ", " << dof << "\n";
  }
}

// ---- loads of a static step --------------------------------------------------

void WriteNodalLoads(std::ostream& out, const std::vector<NodalLoad>& loads) {
  out << "*CLOAD, OP=NEW\n";
  for (const NodalLoad& load : loads) {
    out << load.node << ", " << load.dof << ", " << FormatNumber(load.value, "a nodal load") << "\n";
  }
}

void WritePressures(std::ostream& out, const std::vector<Pressure>& pressures) {
  for (const Pressure& pressure : pressures) {
    out << pressure.element << ", P, " << FormatNumber(pressure.value, "a pressure") << "\n";
  }
}

void WriteGravity(std::ostream& out, const Gravity& gravity) {
  out << "GRAVITY, GRAV, " << FormatNumber(gravity.magnitude, "a gravity") << ", ";
  WriteVector(out, gravity.direction);
  out << "\n";
}

void WriteStaticStep(std::ostream& out, const StaticStep& step) {
  out << "** Load case " << step.loadCase << (step.name.empty() ? "" : " " + CommentText(step.name)) << "\n";
  out << "*STEP\n*STATIC\n";
  WriteNodalLoads(out, step.nodalLoads);
  out << "*DLOAD, OP=NEW\n";
  WritePressures(out, step.pressures);
  if (step.gravity) WriteGravity(out, *step.gravity);
  out << "*NODE PRINT, NSET=NMODEL\nU, RF\n*END STEP\n";
}

void WriteFrequencyStep(std::ostream& out, int frequencyCount) {
  out << "** Eigenfrequencies\n*STEP\n*FREQUENCY\n" << frequencyCount << "\n*END STEP\n";
}

}  // namespace

void WriteDeck(std::ostream& out, const SolverModel& model, const std::vector<std::string>& notes) {
  WriteHeader(out, model, notes);
  WriteNodes(out, model);
  WriteElements(out, model);
  WriteMassElements(out, model);
  WriteMaterials(out, model);
  WriteSections(out, model);
  WriteGravitySet(out, model);
  WriteModelSets(out, model);
  WriteBoundaries(out, model);
  for (const StaticStep& step : model.steps) WriteStaticStep(out, step);
  if (model.frequencyCount > 0) WriteFrequencyStep(out, model.frequencyCount);
}

}  // namespace Kestrum::Quilm::Solver::detail
