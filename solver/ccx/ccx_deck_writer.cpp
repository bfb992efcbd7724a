// Writes a ccx input deck from a solver model: one function per card kind
// and, inside a step, per load kind, in the order the deck lists them.
#include "solver/ccx/ccx_deck_writer.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <future>
#include <memory>
#include <string_view>
#include <vector>

#include "solver/ccx/deck_format.hpp"

namespace Kestrum::Quilm::Solver::detail {
namespace {

// A number with the quantity it is, for the error message.
struct Num {
  double value;
  const char* what = "value";
};

// The deck's output: text and numbers are formatted straight into a fixed
// buffer that goes to the stream whenever it fills, so no card and no line is
// ever held as a string of its own. Without a stream, it keeps what is
// written in memory instead, growing as needed: a run of records formatted
// by a thread of its own (see WriteRecords); the buffer is kept from run to
// run, so it grows only over the first few.
class DeckOut {
 public:
  DeckOut(std::ostream& out, AnalysisModel::ProgressMeter& meter)
      : out_(&out), meter_(&meter), buffer_(std::make_unique<char[]>(kSize)), size_(kSize) {}
  DeckOut() = default;
  DeckOut(const DeckOut&) = delete;
  DeckOut& operator=(const DeckOut&) = delete;

  DeckOut& operator<<(std::string_view text) {
    if (text.empty()) return *this;  // perhaps a run that wrote nothing, with no buffer yet
    if (out_ && text.size() > size_ - used_) {
      Flush();
      if (text.size() > size_) {
        Put(text.data(), text.size());
        return *this;
      }
    }
    Room(text.size());
    std::memcpy(buffer_.get() + used_, text.data(), text.size());
    used_ += text.size();
    return *this;
  }
  DeckOut& operator<<(const char* text) { return *this << std::string_view(text); }
  DeckOut& operator<<(const std::string& text) { return *this << std::string_view(text); }
  DeckOut& operator<<(char c) {
    Room(1);
    buffer_[used_++] = c;
    return *this;
  }
  DeckOut& operator<<(long value) {
    Room(kNumberBufferSize);
    char* at = buffer_.get() + used_;
    used_ += static_cast<std::size_t>(std::to_chars(at, at + kNumberBufferSize, value).ptr - at);
    return *this;
  }
  DeckOut& operator<<(int value) { return *this << static_cast<long>(value); }
  DeckOut& operator<<(Num number) {
    Room(kNumberBufferSize);
    char* at = buffer_.get() + used_;
    used_ += static_cast<std::size_t>(FormatNumberTo(at, number.value, number.what) - at);
    return *this;
  }

  // Counts `n` records (nodes, elements, loads) written, for the progress.
  void Count(std::uint64_t n = 1) {
    if (meter_) meter_->Advance(n);
  }

  // What is held in memory (without a stream), and a fresh start.
  std::string_view Text() const { return {buffer_.get(), used_}; }
  void Clear() { used_ = 0; }

  // Threads that format runs of records, and the records in a run (see
  // WriteRecords).
  int threads = 1;
  std::size_t run = kDefaultRun;

  // Sends what is buffered to the stream.
  void Flush() {
    if (!out_ || used_ == 0) return;
    Put(buffer_.get(), used_);
    used_ = 0;
  }

 private:
  static constexpr std::size_t kSize = 1 << 16;

  void Room(std::size_t n) {
    if (size_ - used_ >= n) return;
    if (out_) {
      Flush();
      return;
    }
    const std::size_t size = std::max(2 * size_, used_ + n + kSize);
    auto bigger = std::make_unique<char[]>(size);
    if (used_ > 0) std::memcpy(bigger.get(), buffer_.get(), used_);
    buffer_ = std::move(bigger);
    size_ = size;
  }
  void Put(const char* data, std::size_t n) { out_->write(data, static_cast<std::streamsize>(n)); }

  std::ostream* out_ = nullptr;
  AnalysisModel::ProgressMeter* meter_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  std::size_t size_ = 0, used_ = 0;
};

// Writes records 0..count-1, each by `emit(sink, i)`, which returns whether
// the record is there (it writes nothing for one that is absent), and counts
// those there for the progress. With two threads, runs of records are
// formatted in pairs, the second run by a thread of its own, and written in
// their order: the same bytes, in about half the time on two cores.
template <typename Emit>
void WriteRecords(DeckOut& out, std::size_t count, const Emit& emit) {
  const std::size_t run = std::max<std::size_t>(out.run, 1);
  auto emitRange = [&emit](DeckOut& sink, std::size_t begin, std::size_t end) {
    std::uint64_t written = 0;
    for (std::size_t i = begin; i < end; ++i) written += emit(sink, i) ? 1 : 0;
    return written;
  };
  if (out.threads < 2 || count < 2 * run) {
    out.Count(emitRange(out, 0, count));
    return;
  }
  DeckOut first, second;
  for (std::size_t begin = 0; begin < count; begin += 2 * run) {
    const std::size_t middle = std::min(begin + run, count), end = std::min(begin + 2 * run, count);
    // The future waits for its thread when it goes, also when this one
    // throws, so nothing it refers to goes before it.
    auto other = std::async(std::launch::async, [&] {
      second.Clear();
      return emitRange(second, middle, end);
    });
    first.Clear();
    const std::uint64_t written = emitRange(first, begin, middle);
    const std::uint64_t otherWritten = other.get();
    out << first.Text() << second.Text();
    out.Count(written + otherWritten);
  }
}

// Ids as comma-separated data lines of at most kMaxEntriesPerLine entries.
template <typename Id>
void WriteIdLines(DeckOut& out, const Id* ids, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    out << static_cast<long>(ids[i]);
    const bool lineEnd = i + 1 == count || (i + 1) % kMaxEntriesPerLine == 0;
    out << (lineEnd ? std::string_view("\n") : std::string_view(", "));
  }
}
void WriteIdLines(DeckOut& out, const std::vector<long>& ids) { WriteIdLines(out, ids.data(), ids.size()); }

// A direction as the deck writes it: "x, y, z".
void WriteVector(DeckOut& out, const vec3d& v) { out << Num{v.x} << ", " << Num{v.y} << ", " << Num{v.z}; }

void WriteHeader(DeckOut& out, const SolverModel& model, const std::vector<std::string>& notes) {
  out << "** Written from the analysis model " << CommentText(model.source) << "\n";
  for (const auto& note : notes) out << "** Note: " << CommentText(note) << "\n";
}

// Every node (NALL), then NMODEL: the nodes whose results are printed.
void WriteNodes(DeckOut& out, const SolverModel& model) {
  out << "*NODE, NSET=NALL\n";
  auto writeNode = [](DeckOut& sink, long id, const pos3d& p) {
    sink << id << ", " << Num{p.x, "a coordinate"} << ", " << Num{p.y, "a coordinate"} << ", "
         << Num{p.z, "a coordinate"} << "\n";
  };
  const NodeBlock& nodes = model.nodes;
  WriteRecords(out, nodes.positions.size(), [&](DeckOut& sink, std::size_t i) {
    if (!nodes.Has(i)) return false;
    writeNode(sink, nodes.firstId + static_cast<long>(i), nodes.positions[i]);
    return true;
  });
  const long firstGenerated = model.generatedNodes.firstId;
  WriteRecords(out, model.generatedNodes.Count(), [&](DeckOut& sink, std::size_t i) {
    const long id = firstGenerated + static_cast<long>(i);
    writeNode(sink, id, model.PositionOf(id));
    return true;
  });
  out << "*NSET, NSET=NMODEL\n";
  WriteIdLines(out, model.printedNodes);
}

void WriteElements(DeckOut& out, const SolverModel& model) {
  for (const ElementGroup& group : model.elementGroups) {
    out << "*ELEMENT, TYPE=" << group.type << ", ELSET=" << CheckSetName(group.name) << "\n";
    WriteRecords(out, group.rows.Count(), [&group](DeckOut& sink, std::size_t i) {
      WriteIdLines(sink, group.rows.Row(i), group.rows.Width());
      return true;
    });
  }
}

// MASS elements with their *MASS card, one element set per mass value.
void WriteMassElements(DeckOut& out, const SolverModel& model) {
  int massSet = 0;
  for (const MassGroup& group : model.massGroups) {
    const std::string name = "PM" + std::to_string(++massSet);
    out << "*ELEMENT, TYPE=MASS, ELSET=" << name << "\n";
    long element = group.firstElement;
    for (long node : group.nodes) out << element++ << ", " << node << "\n";
    out << "*MASS, ELSET=" << name << "\n" << Num{group.mass, "a point mass"} << "\n";
  }
}

// The elements' materials, then the stiff arms' (without lateral contraction).
void WriteMaterials(DeckOut& out, const SolverModel& model) {
  for (const auto& [id, m] : model.materials) {
    out << "*MATERIAL, NAME=M" << id << "\n*ELASTIC\n"
        << Num{m.YoungsModulus(), "a Young's modulus"} << ", " << Num{m.PoissonsRatio(), "a Poisson's ratio"}
        << "\n";
    if (m.Density() > 0.0) out << "*DENSITY\n" << Num{m.Density(), "a density"} << "\n";
  }
  if (model.armModulus) {
    out << "*MATERIAL, NAME=MARM\n*ELASTIC\n" << Num{*model.armModulus, "the arm stiffness"} << ", 0\n";
  }
}

void WriteSectionCard(DeckOut& out, const std::string& set, const SectionCard& card) {
  if (card.kind == SectionCard::Kind::Spring) {
    out << "*SPRING, ELSET=" << set << "\n"
        << card.dof << ", " << card.dof << "\n"
        << FormatReal(card.stiffness, "a spring stiffness") << "\n";
    return;
  }
  if (card.kind == SectionCard::Kind::Shell) {
    out << "*SHELL SECTION, ELSET=" << set << ", MATERIAL=" << card.material << "\n"
        << Num{card.thickness, "a plate thickness"} << "\n";
    return;
  }
  out << "*BEAM SECTION, ELSET=" << set << ", MATERIAL=" << card.material << ", SECTION=" << card.sectionType
      << "\n"
      << card.dimensions << "\n";
  WriteVector(out, card.axis);
  out << "\n";
}

void WriteSections(DeckOut& out, const SolverModel& model) {
  for (const ElementGroup& group : model.elementGroups) WriteSectionCard(out, group.name, group.section);
}

// The set that gravity acts on.
void WriteGravitySet(DeckOut& out, const SolverModel& model) {
  if (model.gravityElements.empty()) return;
  out << "*ELSET, ELSET=GRAVITY\n";
  WriteIdLines(out, model.gravityElements);
}

void WriteModelSets(DeckOut& out, const SolverModel& model) {
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

// The sets that the output requests of element results and buckling
// shapes print: EOUT (elements whose stresses are printed) and NBUCKLE (the
// printed nodes again, so that the buckling step's shapes are told apart
// from its preloading's displacements).
void WriteOutputSets(DeckOut& out, const SolverModel& model) {
  if (model.elementResults && !model.stressElements.empty()) {
    out << "*ELSET, ELSET=EOUT\n";
    WriteIdLines(out, model.stressElements);
  }
  if (model.buckling) out << "*NSET, NSET=NBUCKLE\nNMODEL\n";
}

void WriteBoundaries(DeckOut& out, const SolverModel& model) {
  if (model.boundaries.empty()) return;
  out << "*BOUNDARY\n";
  for (const auto& [node, dofs] : model.boundaries) {
    for (int dof : dofs) out << node << ", " << dof << ", " << dof << "\n";
  }
}

// ---- loads of a static step --------------------------------------------------

// Every non-zero component of the sums, by node and dof.
void WriteNodalLoads(DeckOut& out, const StepLoads& loads) {
  out << "*CLOAD, OP=NEW\n";
  loads.nodal.ForEachSum([&out](long node, const Dofs& dofs) {
    for (int k = 0; k < 6; ++k) {
      if (dofs[k] == 0.0) continue;
      out << node << ", " << k + 1 << ", " << Num{dofs[k], "a nodal load"} << "\n";
    }
  });
  out.Count(loads.nodalCount);
}

void WritePressures(DeckOut& out, const std::vector<Pressure>& pressures) {
  for (const Pressure& pressure : pressures) {
    out << pressure.element << ", P, " << Num{pressure.value, "a pressure"} << "\n";
  }
  out.Count(pressures.size());
}

void WriteGravity(DeckOut& out, const Gravity& gravity) {
  out << "GRAVITY, GRAV, " << Num{gravity.magnitude, "a gravity"} << ", ";
  WriteVector(out, gravity.direction);
  out << "\n";
}

// The step's own loads, or when it holds none and `reload` is given, its
// loads read again.
void WriteStepLoads(DeckOut& out, const StaticStep& step, const StepLoadsSource& reload) {
  const bool again = reload && !step.loadsHeld;
  const StepLoads reloaded = again ? reload(step) : StepLoads();
  const StepLoads& loads = again ? reloaded : step.loads;
  WriteNodalLoads(out, loads);
  out << "*DLOAD, OP=NEW\n";
  WritePressures(out, loads.pressures);
  if (step.gravity) WriteGravity(out, *step.gravity);
}

// What element results are recovered from: the stresses of EOUT and the
// displacements of the expanded elements (in the .frd file, which also gets
// the reactions and stresses for the solver's own viewer).
void WriteElementOutput(DeckOut& out, const SolverModel& model) {
  if (!model.elementResults) return;
  if (!model.stressElements.empty()) out << "*EL PRINT, ELSET=EOUT\nS\n";
  out << "*NODE FILE, OUTPUT=3D\nU, RF\n*EL FILE, OUTPUT=3D\nS\n";
}

void WriteStaticStep(DeckOut& out, const SolverModel& model, const StaticStep& step,
                     const StepLoadsSource& reload) {
  if (step.loadCase == 0) {
    out << "** Combination " << CommentText(step.name) << "\n";
  } else {
    out << "** Load case " << step.loadCase << (step.name.empty() ? "" : " " + CommentText(step.name))
        << "\n";
  }
  out << "*STEP\n*STATIC\n";
  WriteStepLoads(out, step, reload);
  out << "*NODE PRINT, NSET=NMODEL\nU, RF\n";
  WriteElementOutput(out, model);
  out << "*END STEP\n";
}

void WriteFrequencyStep(DeckOut& out, const SolverModel& model) {
  out << "** Eigenfrequencies\n*STEP\n*FREQUENCY\n" << model.frequencyCount << "\n";
  if (model.elementResults) {
    out << "*NODE PRINT, NSET=NMODEL\nU\n";
    if (!model.stressElements.empty()) out << "*EL PRINT, ELSET=EOUT\nS\n";
    out << "*NODE FILE, OUTPUT=3D\nU\n";
  }
  out << "*END STEP\n";
}

void WriteBucklingStep(DeckOut& out, const SolverModel& model, const StaticStep& step,
                       const StepLoadsSource& reload) {
  out << "** Buckling of load case " << step.loadCase << "\n*STEP\n*BUCKLE\n" << model.bucklingModes << "\n";
  WriteStepLoads(out, step, reload);
  out << "*NODE PRINT, NSET=NBUCKLE\nU\n";
  if (model.elementResults) {
    // The solver carries a step's output requests into the next step until
    // that step makes its own: the earlier steps' element stresses would be
    // printed for the buckling step's preloading and its shapes, so they
    // are asked for here with no output.
    if (!model.stressElements.empty()) out << "*EL PRINT, ELSET=EOUT, FREQUENCY=0\nS\n";
    out << "*NODE FILE, OUTPUT=3D\nU\n*EL FILE, FREQUENCY=0\nS\n";
  }
  out << "*END STEP\n";
}

// The records the progress counts: nodes, element rows and step loads.
std::uint64_t RecordCount(const SolverModel& model) {
  std::uint64_t n = model.nodes.Count() + model.generatedNodes.Count();
  for (const ElementGroup& group : model.elementGroups) n += group.RowCount();
  for (const StaticStep& step : model.steps) n += step.loadCount;
  return n;
}

}  // namespace

void WriteDeck(std::ostream& stream, const SolverModel& model, const std::vector<std::string>& notes,
               const AnalysisModel::ProgressCallback& progress, const StepLoadsSource& reload, int threads,
               std::size_t run) {
  AnalysisModel::ProgressMeter meter(progress, "write deck", RecordCount(model));
  DeckOut out(stream, meter);
  out.threads = threads;
  out.run = run;
  WriteHeader(out, model, notes);
  WriteNodes(out, model);
  WriteElements(out, model);
  WriteMassElements(out, model);
  WriteMaterials(out, model);
  WriteSections(out, model);
  WriteGravitySet(out, model);
  WriteModelSets(out, model);
  WriteOutputSets(out, model);
  WriteBoundaries(out, model);
  for (const StaticStep& step : model.steps) WriteStaticStep(out, model, step, reload);
  if (model.frequencyCount > 0) WriteFrequencyStep(out, model);
  if (model.buckling) WriteBucklingStep(out, model, *model.buckling, reload);
  out.Flush();
  meter.Finish();
}

}  // namespace Kestrum::Quilm::Solver::detail
