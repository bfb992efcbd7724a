// The link between a design spectrum and the modes: how far each mode
// responds to a spectrum acting along one direction.
#pragma once

#include <Eigen/Dense>

#include "solver/native/dynamics/design_spectrum.hpp"

namespace Kestrum::Quilm::Solver::Native {

// Peak modal coordinate of each mode, q_k = Gamma_k Sa(T_k) / omega_k² with
// T_k = 2 pi / omega_k and Gamma_k the participation factor of the direction
// (a column of ModalParticipation::factors). The peak response of mode k in
// any quantity is q_k times that quantity computed from the shape phi_k; the
// modes are then combined by CombineModes. Throws std::invalid_argument on
// mismatched sizes or a frequency that is not positive and finite.
Eigen::VectorXd SpectralModalAmplitudes(const Eigen::VectorXd& circularFrequencies,
                                        const Eigen::VectorXd& participationFactors,
                                        const DesignSpectrum& spectrum);

}  // namespace Kestrum::Quilm::Solver::Native
