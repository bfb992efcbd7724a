// Checks of the values callers hand to the managers: masses, fixity factors
// and load values. Each throws ModelError naming the value before anything
// in the model changes, so that a refused call leaves the model as it was.
// Internal to the library.
#pragma once

#include "analysis_model/xaf_model.hpp"

namespace Kestrum::Quilm::AnalysisModel {

// Masses and inertias must be finite and not negative.
void CheckMassValues(const Mass& mass);
// Fixity factors (hinges, boundary conditions) must lie in [0, 1]; `what`
// names the record in the message.
void CheckFixityFactors(const char* what, const Hinge& fixation);
// Every value of a load record (positions, forces, moments, pressures,
// strains) must be finite, and a point load must hold a value. Records of
// other classes are not looked into.
void CheckLoadValues(const Load& load);
// A gravity acceleration must be finite.
void CheckGravity(double x, double y, double z);
// A line load goes on a line element, a surface load on a surface element.
void CheckLoadFitsElement(LoadKind kind, long element, const qlElementType& type);
// Ids handed to an add as the previous id: -1 or 0 ask for a new id, a
// positive id names a row; any other id is refused.
void CheckPreviousId(const char* table, long id);

// True when every value is finite.
bool AllFinite(const double* values, std::size_t count) noexcept;

}  // namespace Kestrum::Quilm::AnalysisModel
