// Readable descriptions of model records for the inspector: SI units on
// every physical value, four significant digits, names rather than codes.
#pragma once

#include <string>

#include "analysis_model/xaf_model.hpp"

namespace quilm_inspect {

namespace am = Kestrum::Quilm::AnalysisModel;

// "E 210 GPa, ν 0.3, ρ 7850 kg/m³, α 1.2e-05 1/K, damping 2 %"
std::string DescribeMaterial(const qlMaterial& material);
// "I-profile h 300 mm, b 300 mm, tw 11 mm, tf 19 mm" and the like; a general
// section by its area and second moments.
std::string DescribeSection(const qlSection& section);
// The load record of `entry` with its values and units; a point load on a
// node in N and N·m, a node acceleration in m/s², a line load in N/m, a
// surface load in N/m².
std::string DescribeLoad(const am::LoadEntry& entry);
// "(1.5, 0, 3.6) m"
std::string DescribePosition(const pos3d& p);
// "translational (…) kg, rotational (…) kg·m²"
std::string DescribeMass(const am::Mass& mass);

}  // namespace quilm_inspect
