// Dof names and section checks of the beam element kernel.
#include "solver/native/elements/beam_types.hpp"

#include <cmath>
#include <stdexcept>

namespace Kestrum::Quilm::Solver::Native {

std::string BeamDofName(int dof) {
  static const char* const kNames[6] = {"ux", "uy", "uz", "rx", "ry", "rz"};
  return std::string(dof < kEndOffset ? "start " : "end ") + kNames[dof % kEndOffset];
}

namespace {
void RequirePositive(double value, const char* name) {
  if (!(value > 0.0) || !std::isfinite(value))
    throw std::invalid_argument(std::string("beam section: ") + name + " must be positive and finite");
}
}  // namespace

void ValidateSection(const BeamSectionProperties& s) {
  RequirePositive(s.E, "E");
  RequirePositive(s.G, "G");
  RequirePositive(s.A, "A");
  RequirePositive(s.Iy, "Iy");
  RequirePositive(s.Iz, "Iz");
  RequirePositive(s.It, "It");
  if (!(s.Asy >= 0.0) || !(s.Asz >= 0.0) || !std::isfinite(s.Asy) || !std::isfinite(s.Asz))
    throw std::invalid_argument(
        "beam section: shear areas must be finite and not negative (0: rigid in shear)");
}

}  // namespace Kestrum::Quilm::Solver::Native
