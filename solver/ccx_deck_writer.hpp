// The second pass of the ccx export: writes the deck's text from a solver
// model, one function per card kind (not installed). It makes no choice of
// its own: every line follows from the solver model, so the same model
// always gives the same bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "solver/solver_model.hpp"

namespace Kestrum::Quilm::Solver::detail {

// Called each time a block of the deck has gone to the stream, with the
// number of bytes written so far.
using DeckProgress = std::function<void(std::uint64_t bytesWritten)>;

// Writes the whole deck to `out` as it goes, through a small buffer: the
// header with `notes`, the model data, then the steps. Throws ExportError for
// a number that cannot be written (the reader has checked those of the
// steps); `out` then holds a partial deck.
void WriteDeck(std::ostream& out, const SolverModel& model, const std::vector<std::string>& notes,
               const DeckProgress& progress = {});

}  // namespace Kestrum::Quilm::Solver::detail
