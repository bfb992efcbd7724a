// Helpers shared by the property mirrors: the byte-wise name order, the
// comparison of optional definitions and access to the analysis model.
// Internal to the library: not exported, and not meant for hosts.
#pragma once

#include <algorithm>
#include <boost/shared_ptr.hpp>
#include <stdexcept>
#include <string>

#include "mirror/core/mirror_model.hpp"

namespace Kestrum::Quilm::Mirror::PropertySupport {

// True when `a` comes before `b` comparing bytes as unsigned values, a proper
// prefix first. Spelled out rather than left to std::string's operator< so
// that names with bytes above 127 (UTF-8) sort the same on every platform.
inline bool NameBefore(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  });
}

// The meshing order of two unnamed properties by their definitions: an
// absent definition on this side sorts last, a present one before an absent
// one, and two present ones answer their own ordering test.
template <class Definition>
bool DefinitionBefore(const boost::shared_ptr<Definition>& mine,
                      const boost::shared_ptr<Definition>& theirs) {
  if (!mine) return false;
  if (!theirs) return true;
  return mine->IsBefore(*theirs);
}

// Two optional definitions are equal when both are absent, or both present
// and equal by `equal(mine, theirs)`.
template <class Definition, class Equal>
bool DefinitionsEqual(const boost::shared_ptr<Definition>& mine, const boost::shared_ptr<Definition>& theirs,
                      Equal equal) {
  if (!mine || !theirs) return !mine && !theirs;
  return equal(*mine, *theirs);
}

// MeshBefore takes its other operand by pointer; a null one is a caller's
// fault that would otherwise crash inside the comparison.
template <class Mirror>
void RequireOther(const Mirror* other, const char* operation) {
  if (other == nullptr) throw std::invalid_argument(std::string(operation) + ": the other operand is null");
}

// The analysis model for one step. A model that hands out none is reported
// as an error instead of being dereferenced.
inline boost::shared_ptr<XafModel> ObtainXafModel(IMirrorModel& model) {
  boost::shared_ptr<XafModel> xaf = model.GetXafModel();
  if (!xaf) throw std::logic_error("IMirrorModel::GetXafModel gave no analysis model");
  return xaf;
}

}  // namespace Kestrum::Quilm::Mirror::PropertySupport
