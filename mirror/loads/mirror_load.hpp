// IMirrorLoad: the mirror of one load of the host's concept model, turned into
// element loads (initial strain, surface, line) and node point loads of one
// load case of the analysis model.
#pragma once

#include <boost/shared_ptr.hpp>
#include <list>
#include <vector>

#include "mirror/core/export.hpp"
#include "mirror/core/mirror_object.hpp"
#include "mirror/utility/database_set.hpp"

namespace Kestrum::Quilm::Mirror {

// A load mirror. The host derives from it and supplies the elements the load
// acts on, its load case and the analysis-model load record of each element.
// Writing only adds loads; removal is done per load case (IMirrorLoadCase,
// IMirrorLoadManager) or per node (IMirrorLoadManager::DeleteLoadsForNode
// with GetLoadedNodes). The modified flag plays no part.
class QUILM_MIRROR_API IMirrorLoad : public IMirrorObject {
 public:
  using IdSet = Utility::DatabaseSet<long>;

  // Both sets empty, modified flag set.
  IMirrorLoad();
  // Copies the base part and both sets.
  IMirrorLoad(const IMirrorLoad& other);
  // Replaces both sets by copies of the other's; self-assignment changes nothing.
  IMirrorLoad& operator=(const IMirrorLoad& other);
  ~IMirrorLoad() override;

  // Empties the loaded-nodes set, asks GetElements and, when it answers true,
  // writes each listed element's load record into the load case:
  //  * a record of load type 8 as an initial strain,
  //  * a SurfaceLoad or LineLoad as that element load,
  //  * a PointLoad as a point load on every node of the element that lies at
  //    the load's first position, at most once per node within this Write.
  // Element loads are recorded in the loaded-elements set (which accumulates
  // over writes), point-loaded nodes in the loaded-nodes set. Exceptions
  // propagate; loads already added and ids already recorded stay.
  void Write(IMirrorModel& model) override;
  // Does nothing: loads are removed per load case or per node.
  void Delete(IMirrorModel& model) override;

  // Fills `elements` (handed over empty) with the ids of the elements the load
  // acts on, in processing order; returns false when there is nothing to write.
  virtual bool GetElements(std::list<long>& elements) = 0;
  // The id of the load case all of this load's analysis loads go into.
  virtual long GetLoadCase() = 0;
  // The load record for the element; empty for none.
  virtual boost::shared_ptr<Load> GetElementLoad(long element) = 0;

  // The nodes that received a point load in the most recent Write.
  const IdSet& GetLoadedNodes() const noexcept { return loadedNodes_; }
  // The elements that received an element load in any Write since
  // construction (or since the set was replaced by an assignment).
  const IdSet& GetLoadedElements() const noexcept { return loadedElements_; }

 private:
  void WriteElementLoads(IMirrorModel& model, const std::list<long>& elements);
  void WritePointLoad(IMirrorModel& model, long loadCase, long element, const PointLoad& load,
                      std::vector<pos3d>& nodePositions);

  IdSet loadedNodes_;
  IdSet loadedElements_;
};

}  // namespace Kestrum::Quilm::Mirror
