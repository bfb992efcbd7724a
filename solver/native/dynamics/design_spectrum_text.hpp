// Reading design spectra from small text files, in one of two forms:
//
//   # period (s)  acceleration (m/s²)        ag=3.0 S=1.2 TB=0.15 TC=0.5
//   0.0   3.6                                TD=2.0 damping=0.05   # 5 %
//   0.15  9.0
//
// '#' starts a comment that runs to the end of the line; blank lines are
// ignored. Errors are std::invalid_argument naming the 1-based line.
#pragma once

#include <string>

#include "solver/native/dynamics/design_spectrum.hpp"

namespace Kestrum::Quilm::Solver::Native {

// The table form: one "period acceleration" pair per line, separated by
// blanks, tabs or a comma, periods strictly increasing (DesignSpectrum::
// FromTable holds Sa constant beyond both ends).
DesignSpectrum ParseSpectrumTable(const std::string& text);

// The parameter form: key=value entries separated by blanks, on one or more
// lines, blanks around '=' allowed. Keys, case-insensitive: ag, S, TB, TC,
// TD, damping. ag, TB, TC and TD are required; S defaults to 1 and damping to
// 0.05. Unknown or repeated keys are errors. The values are validated by
// ValidateSpectrumParameters.
ElasticSpectrumParameters ParseSpectrumParameters(const std::string& text);

// Either form, told apart by the presence of '=' outside comments: the
// content of a spectrum file or a parameter string as typed by a user.
DesignSpectrum ParseSpectrum(const std::string& text);

}  // namespace Kestrum::Quilm::Solver::Native
