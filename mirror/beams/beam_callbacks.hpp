// The host's answers about a beam's eccentricity and orientation, handed to
// IMirrorBeam::Write through two callback objects.
#pragma once

#include "mirror/analysis/analysis.hpp"
#include "mirror/core/export.hpp"

namespace Kestrum::Quilm::Mirror {

// Tells the eccentricity of a beam: the offset of its axis from the line
// through its element nodes, at any point or once for the whole beam.
//
// The host derives from it and supplies both operations. Callbacks are owned
// through boost::shared_ptr, which destroys them through the type they were
// created with; the destructor is therefore not virtual. Never delete a
// callback through a pointer to this interface.
class QUILM_MIRROR_API IEccentricityCallback {
 public:
  IEccentricityCallback() = default;
  IEccentricityCallback(const IEccentricityCallback&) = default;
  IEccentricityCallback& operator=(const IEccentricityCallback&) = default;

  // The eccentricity vector of the beam at `position` (a node of one of its
  // elements).
  virtual vec3d GetEccentricity(const pos3d& position) = 0;
  // True when one eccentricity holds for the whole beam; it is then stored
  // in `eccentricity`. The beam passes (0, 0, 0) in, so an answer of true
  // that leaves the vector alone means no offset.
  virtual bool GetConstantEccentricity(vec3d& eccentricity) = 0;

  ~IEccentricityCallback() = default;
};

// Tells the local coordinate system of a beam at any point; its x axis runs
// along the beam, its z axis fixes the orientation of the cross-section.
//
// Owned through boost::shared_ptr, like IEccentricityCallback (the destructor
// is not virtual).
class QUILM_MIRROR_API ILocalSystemCallback {
 public:
  ILocalSystemCallback() = default;
  ILocalSystemCallback(const ILocalSystemCallback&) = default;
  ILocalSystemCallback& operator=(const ILocalSystemCallback&) = default;

  // The beam's local system at `position` (an element's midpoint, or one of
  // its nodes for three-node beams).
  virtual locsys3d GetLocalSystem(const pos3d& position) = 0;

  ~ILocalSystemCallback() = default;
};

}  // namespace Kestrum::Quilm::Mirror
