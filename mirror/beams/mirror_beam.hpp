// IMirrorBeam: the mirror of one beam concept. A beam keeps neither segments
// nor elements: it asks the host for its segments by index, sets the
// eccentricity and local system of their elements, and lets each segment
// write its section and material.
#pragma once

#include <boost/intrusive_ptr.hpp>
#include <boost/shared_ptr.hpp>
#include <list>

#include "mirror/analysis/analysis.hpp"
#include "mirror/beams/beam_callbacks.hpp"
#include "mirror/beams/mirror_segment.hpp"
#include "mirror/core/export.hpp"
#include "mirror/core/mirror_object.hpp"

namespace Kestrum::Quilm::Mirror {

// A beam. The host derives from it and supplies its segments
// (GetSegmentCount, GetSegment), its eccentricity and local-system callbacks
// and the concept operations GetParentConcept and GetConceptType.
//
// Two aspect flags, eccentricity and local system, say what of the beam
// itself must be written; both are set at construction, together with the
// general modified flag. Write clears all three only after it has completed,
// so a failure from the host or the analysis model is retried by the next
// Write. Write never registers concepts (the host calls WriteConcept).
class QUILM_MIRROR_API IMirrorBeam : public IMirrorConcept {
 public:
  // Both aspect flags set.
  IMirrorBeam() = default;
  // Copies the concept part and both flags.
  IMirrorBeam(const IMirrorBeam&) = default;
  IMirrorBeam& operator=(const IMirrorBeam&) = default;
  // Writes nothing to the analysis model.
  ~IMirrorBeam() override;

  // Asks for the eccentricity callback if its flag is set, then for the
  // local-system callback if its flag is set; adds one constant eccentricity
  // when the eccentricity callback reports one; then, segment by segment in
  // index order: when an aspect flag is set, sets each element's
  // eccentricity and then its local system (ascending ids), and then calls
  // the segment's Write. Finally clears the general modified flag and both
  // aspect flags. Throws std::logic_error if the host gives a null segment.
  void Write(IMirrorModel& model) override;
  // Deletes every segment in index order (each removes its elements). No
  // flag changes; eccentricity and transformation records stay in the model.
  void Delete(IMirrorModel& model) override;

  // The beam's eccentricity callback, or empty when it has none. Asked only
  // while the eccentricity flag is set.
  virtual boost::shared_ptr<IEccentricityCallback> GetEccentricityCallback() = 0;
  // The beam's local-system callback, or empty when it has none. Asked only
  // while the local-system flag is set.
  virtual boost::shared_ptr<ILocalSystemCallback> GetLocalSystemCallback() = 0;
  // The segment at `index` (0 to GetSegmentCount() - 1), never null there.
  virtual boost::intrusive_ptr<IMirrorSegment> GetSegment(unsigned int index) const = 0;
  // The number of segments; it must stay steady while the beam writes,
  // deletes or lists its elements (it is asked before every segment).
  virtual unsigned int GetSegmentCount() const = 0;
  // The element ids of all segments: segment by segment in index order,
  // ascending within a segment; an id held by two segments occurs twice.
  // Built afresh on each call; uses no analysis model.
  virtual std::list<long> GetElements() const;

  void SetEccentricityModified(bool modified) noexcept { eccentricityModified_ = modified; }
  bool IsEccentricityModified() const noexcept { return eccentricityModified_; }
  void SetLocalSystemModified(bool modified) noexcept { localSystemModified_ = modified; }
  bool IsLocalSystemModified() const noexcept { return localSystemModified_; }

  // True when the eccentricity or the local-system flag is set.
  bool ArePropertiesUpdated() const noexcept { return eccentricityModified_ || localSystemModified_; }
  // Sets the general modified flag and both aspect flags to `value`; the
  // segments' flags are not touched.
  void ClearUpdateFlags(bool value) noexcept;

 private:
  // With the eccentricity flag set: gives the element eccentricity 0 when
  // there is no callback, else the beam's constant eccentricity
  // `eccentricityId` when it is not -1, else one new eccentricity record per
  // node from the callback, asked at the node's position.
  void SetElementEccentricity(long elementId, boost::shared_ptr<IEccentricityCallback> callback,
                              long eccentricityId, IMirrorModel& model);
  // With the local-system flag set: gives the element transformation 0 when
  // there is no callback; else one new transformation per node for a
  // three-node beam (type 23), or one for the whole element from the local
  // system at its midpoint, storing the system's z axis; then reverses the
  // element when its first-to-last node direction runs against the local x
  // axis. Throws std::invalid_argument for an element without nodes.
  void SetElementLocalSystem(long elementId, boost::shared_ptr<ILocalSystemCallback> callback,
                             IMirrorModel& model);

  // The segment at `index`, checked against null.
  boost::intrusive_ptr<IMirrorSegment> SegmentAt(unsigned int index) const;

  bool eccentricityModified_ = true;
  bool localSystemModified_ = true;
};

}  // namespace Kestrum::Quilm::Mirror
