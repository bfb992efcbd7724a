// The factorisation on MUMPS (dmumps_c, sequential build). The matrix goes in
// as the assembled, centralised upper triangle with 1-based row and column
// numbers (IRN, JCN), which the instance keeps: the solver reads them again
// at each factorisation and at each refined solve.
#include "solver/native/linear/mumps_factorisation.hpp"

#include <dmumps_c.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "solver/native/linear/factor_folder.hpp"
#include "solver/native/linear/memory_budget.hpp"
#include "solver/native/linear/mumps_errors.hpp"

namespace Kestrum::Quilm::Solver::Native {
namespace {

// The communicator value that asks the solver for its own (sequential) one.
constexpr MUMPS_INT kUseCommWorld = -987654;

// The solver's orderings by their ICNTL(7) code.
MUMPS_INT OrderingCode(Ordering ordering) {
  switch (ordering) {
    case Ordering::Metis:
      return 5;
    case Ordering::Scotch:
      return 3;
    case Ordering::Pord:
      return 4;
    case Ordering::Amd:
      return 0;
    default:
      return 7;  // the solver's choice
  }
}

Ordering OrderingOfCode(MUMPS_INT code) {
  switch (code) {
    case 5:
      return Ordering::Metis;
    case 3:
      return Ordering::Scotch;
    case 4:
      return Ordering::Pord;
    case 0:
      return Ordering::Amd;
    default:
      return Ordering::Other;  // AMF, QAMD, or one given by the caller
  }
}

// A count reported in an INFOG entry, negative for millions.
std::int64_t Count(MUMPS_INT reported) {
  return reported < 0 ? -1000000LL * reported : static_cast<std::int64_t>(reported);
}

}  // namespace

struct MumpsFactorisation::Instance {
  DMUMPS_STRUC_C id{};
  FactorisationOptions options;
  std::vector<MUMPS_INT> rows;     // IRN: 1-based row of each stored entry
  std::vector<MUMPS_INT> columns;  // JCN: 1-based column of each stored entry
  bool analysed = false;
  bool factorised = false;
  AnalysisEstimate estimate;
  std::int64_t negativePivots = 0;
  std::vector<Equation> nullPivots;
  FactorStorageReport storage;
  std::unique_ptr<FactorFolder> folder;  // out of core only
  MUMPS_INT baseRelaxation = 0;          // ICNTL(14) as the analysis had it

  explicit Instance(const FactorisationOptions& chosen);
  ~Instance();
  // The solver's parameters, numbered as in its documentation (from 1).
  MUMPS_INT& Icntl(int i) { return id.icntl[i - 1]; }
  double& Cntl(int i) { return id.cntl[i - 1]; }
  MUMPS_INT Infog(int i) const { return id.infog[i - 1]; }
  double Rinfog(int i) const { return id.rinfog[i - 1]; }

  void Run(MUMPS_INT job, const char* phase);
  void Configure();
  void TakePattern(const SymmetricSparseMatrix& matrix);
  void CheckPattern(const SymmetricSparseMatrix& matrix) const;
  void PlanStorage();
  void FactoriseWithRetries();
  void ReadPivots();
  void RefuseSingular() const;
  SolveReport SolveBlock(double* block, int columns, bool refine);
  SolveReport SolveRefined(double* block, int columns);
};

MumpsFactorisation::Instance::Instance(const FactorisationOptions& chosen) : options(chosen) {
  id.job = -1;
  id.par = 1;  // the host process works too: there is only one
  // 1: positive definite, no pivoting; 2: general symmetric, with pivoting.
  id.sym = options.kind == MatrixKind::PositiveDefinite ? 1 : 2;
  id.comm_fortran = kUseCommWorld;
  dmumps_c(&id);
  if (Infog(1) < 0) Mumps::ThrowError(Infog(1), Infog(2), "start");
  Configure();
}

// Ending the instance removes its factor files; the folder goes after.
MumpsFactorisation::Instance::~Instance() {
  id.job = -2;
  dmumps_c(&id);
}

void MumpsFactorisation::Instance::Configure() {
  // Silence: no error, diagnostic or statistics output; errors come back as
  // exceptions.
  Icntl(1) = 0;
  Icntl(2) = 0;
  Icntl(3) = 0;
  Icntl(4) = 0;
  Icntl(7) = OrderingCode(options.ordering);
  // The root of the tree is factorised by the solver itself, which is what
  // counts null and negative pivots there.
  Icntl(13) = 1;
  // Null pivot detection (effective with pivoting only), relative to the
  // matrix as scaled by the solver's default scaling.
  Icntl(24) = options.detectNullPivots ? 1 : 0;
  Cntl(3) = options.nullPivotThreshold;
  baseRelaxation = Icntl(14);
}

// In memory or out of core, from the analysis's estimates grown by the
// relaxation a retry asked for (ICNTL(14), a percentage of the estimate);
// refused before any factorising when neither fits.
void MumpsFactorisation::Instance::PlanStorage() {
  const double growth = (100.0 + Icntl(14)) / (100.0 + baseRelaxation);
  const auto grown = [growth](std::int64_t megabytes) { return static_cast<std::int64_t>(std::ceil(growth * megabytes)); };
  bool limitSet = false;
  storage.limitMegabytes = MemoryLimit(options.memory, AvailableMegabytes(), limitSet);
  storage.outOfCore = ChooseOutOfCore(grown(estimate.peakMegabytes), grown(estimate.outOfCorePeakMegabytes),
                                      options.memory.storage, storage.limitMegabytes, limitSet);
  Icntl(22) = storage.outOfCore ? 1 : 0;
  if (!storage.outOfCore || folder) return;
  folder = std::make_unique<FactorFolder>(OutOfCoreParent(options.memory));
  if (folder->Path().size() >= sizeof id.ooc_tmpdir)
    throw LinearSolverError("out-of-core folder " + folder->Path() + ": the path is too long for the solver");
  std::strcpy(id.ooc_tmpdir, folder->Path().c_str());
  std::strcpy(id.ooc_prefix, "factor");
}

void MumpsFactorisation::Instance::Run(MUMPS_INT job, const char* phase) {
  id.job = job;
  dmumps_c(&id);
  if (Infog(1) < 0) Mumps::ThrowError(Infog(1), Infog(2), phase);
}

// IRN and JCN from the compressed rows: the solver wants one pair per entry.
void MumpsFactorisation::Instance::TakePattern(const SymmetricSparseMatrix& matrix) {
  const auto& rowStart = matrix.RowStart();
  rows.assign(matrix.Columns().size(), 0);
  columns.assign(matrix.Columns().size(), 0);
  for (Equation row = 0; row < matrix.Order(); ++row) {
    for (std::int64_t k = rowStart[row]; k < rowStart[row + 1]; ++k) {
      rows[k] = row + 1;
      columns[k] = matrix.Columns()[k] + 1;
    }
  }
  id.n = matrix.Order();
  id.nnz = matrix.StoredEntries();
  id.irn = rows.data();
  id.jcn = columns.data();
}

void MumpsFactorisation::Instance::CheckPattern(const SymmetricSparseMatrix& matrix) const {
  bool same = matrix.Order() == id.n && matrix.StoredEntries() == id.nnz;
  const auto& rowStart = matrix.RowStart();
  for (Equation row = 0; same && row < matrix.Order(); ++row) {
    for (std::int64_t k = rowStart[row]; same && k < rowStart[row + 1]; ++k) {
      same = rows[k] == row + 1 && columns[k] == matrix.Columns()[k] + 1;
    }
  }
  if (!same) throw std::invalid_argument("factorisation: the matrix does not have the pattern analysed");
}

// A work area found too small (the estimate is a guess when pivoting delays
// eliminations) is retried with a doubled relaxation of the estimate.
void MumpsFactorisation::Instance::FactoriseWithRetries() {
  constexpr int kRetries = 3;
  for (int attempt = 0;; ++attempt) {
    PlanStorage();
    id.job = 2;
    dmumps_c(&id);
    if (Infog(1) >= 0) return;
    if (attempt == kRetries || !Mumps::IsWorkAreaTooSmall(Infog(1))) {
      Mumps::ThrowError(Infog(1), Infog(2), "factorisation");
    }
    Icntl(14) = std::max<MUMPS_INT>(2 * Icntl(14), 20);
  }
}

void MumpsFactorisation::Instance::ReadPivots() {
  negativePivots = Infog(12);
  const MUMPS_INT nulls = Infog(28);
  nullPivots.assign(id.pivnul_list, id.pivnul_list + nulls);
  for (Equation& equation : nullPivots) --equation;  // 1-based in the solver
  std::sort(nullPivots.begin(), nullPivots.end());
}

// A singular matrix gets no solution: null pivots, or negative pivots where
// the matrix should have none (round-off decides the sign of a null pivot
// the threshold missed).
void MumpsFactorisation::Instance::RefuseSingular() const {
  if (!nullPivots.empty()) {
    throw SingularMatrixError("the matrix is singular: " + std::to_string(nullPivots.size()) +
                                  " equation(s) without stiffness (the structure is a mechanism)",
                              nullPivots);
  }
  if (negativePivots > 0 && options.kind != MatrixKind::Indefinite) {
    throw SingularMatrixError(
        "the matrix is not positive definite: " + std::to_string(negativePivots) +
            " negative pivot(s) (the structure is a mechanism, or has a negative stiffness)",
        {});
  }
}

SolveReport MumpsFactorisation::Instance::SolveBlock(double* block, int count, bool refine) {
  id.rhs = block;
  id.nrhs = count;
  id.lrhs = id.n;
  Icntl(20) = 0;                // dense right-hand sides
  Icntl(21) = 0;                // solution in place of them
  Icntl(10) = refine ? -1 : 0;  // a fixed single step of iterative refinement
  Icntl(11) = refine ? 2 : 0;   // backward errors, without condition numbers
  Run(3, "solve");
  SolveReport report;
  if (refine) report.backwardError = Rinfog(7) + Rinfog(8);
  return report;
}

// The solver refines and measures the error of one right-hand side per
// call only: refined solves go one column at a time.
SolveReport MumpsFactorisation::Instance::SolveRefined(double* block, int count) {
  SolveReport worst;
  worst.backwardError = 0.0;
  for (int column = 0; column < count; ++column) {
    const SolveReport one = SolveBlock(block + static_cast<std::size_t>(column) * id.n, 1, true);
    worst.backwardError = std::max(worst.backwardError, one.backwardError);
  }
  return worst;
}

MumpsFactorisation::MumpsFactorisation(const FactorisationOptions& options)
    : instance_(std::make_unique<Instance>(options)) {}

MumpsFactorisation::~MumpsFactorisation() = default;
MumpsFactorisation::MumpsFactorisation(MumpsFactorisation&&) noexcept = default;
MumpsFactorisation& MumpsFactorisation::operator=(MumpsFactorisation&&) noexcept = default;

void MumpsFactorisation::Analyse(const SymmetricSparseMatrix& matrix) {
  Instance& self = *instance_;
  self.analysed = self.factorised = false;
  if (matrix.Order() == 0) throw std::invalid_argument("factorisation: the matrix has no equations");
  self.TakePattern(matrix);
  self.id.a = const_cast<double*>(matrix.Values().data());  // read only
  self.Run(1, "analysis");
  self.estimate.peakMegabytes = self.Infog(16);
  self.estimate.totalMegabytes = self.Infog(17);
  self.estimate.outOfCorePeakMegabytes = self.Infog(26);
  self.estimate.outOfCoreTotalMegabytes = self.Infog(27);
  self.estimate.factorEntries = Count(self.Infog(3));
  self.estimate.ordering = OrderingOfCode(self.Infog(7));
  self.analysed = true;
}

void MumpsFactorisation::Factorise(const SymmetricSparseMatrix& matrix) {
  Instance& self = *instance_;
  if (!self.analysed) Analyse(matrix);
  self.CheckPattern(matrix);
  self.factorised = false;
  self.nullPivots.clear();
  self.id.a = const_cast<double*>(matrix.Values().data());  // read only
  self.FactoriseWithRetries();
  self.ReadPivots();
  self.storage.diskMegabytes = self.storage.outOfCore ? self.folder->Megabytes() : 0;
  self.factorised = true;
}

SolveReport MumpsFactorisation::Solve(double* block, int columns, const SolveOptions& options) {
  Instance& self = *instance_;
  if (!self.factorised) throw std::logic_error("factorisation: solve before a factorisation");
  self.RefuseSingular();
  if (columns <= 0) return {};
  return options.refine ? self.SolveRefined(block, columns) : self.SolveBlock(block, columns, false);
}

AnalysisEstimate MumpsFactorisation::Estimate() const { return instance_->estimate; }
FactorStorageReport MumpsFactorisation::Storage() const { return instance_->storage; }
std::int64_t MumpsFactorisation::NegativePivots() const { return instance_->negativePivots; }
const std::vector<Equation>& MumpsFactorisation::NullPivots() const { return instance_->nullPivots; }

}  // namespace Kestrum::Quilm::Solver::Native
