// IMirrorPointMass: the mirror of one lumped mass on a node of the analysis
// model.
#pragma once

#include <boost/shared_ptr.hpp>

#include "mirror/core/export.hpp"
#include "mirror/core/mirror_object.hpp"

namespace Kestrum::Quilm::Mirror {

// A point-mass mirror. The host derives from it and supplies GetMass (empty
// when there is none) and sets the node with SetNode. The analysis model
// hands back no identifier: the mass is simply added to the node's masses.
// Point masses have no meshing order.
//
// Write follows the modified flag like sections do; every Write with the
// flag set adds the mass once more (it does not remove an earlier one).
class QUILM_MIRROR_API IMirrorPointMass : public IMirrorObject {
 public:
  // Node -1 (no node set).
  IMirrorPointMass() = default;
  IMirrorPointMass(const IMirrorPointMass&) = default;
  IMirrorPointMass& operator=(const IMirrorPointMass&) = default;
  ~IMirrorPointMass() override;

  // When modified: asks GetMass; with a mass calls AddMass(node, mass) (node
  // -1 included: the analysis model decides); then clears the modified flag.
  // On an exception the flag stays set.
  void Write(IMirrorModel& model) override;
  // Calls RemoveMasses(node) unless the node is -1: this removes every mass
  // of the node, also those that other point-mass mirrors added. The node and
  // the modified flag stay as they are.
  void Delete(IMirrorModel& model) override;
  // The mass record; empty when there is none.
  virtual boost::shared_ptr<Mass> GetMass() const = 0;

  // Equal when the names are equal (the other's name is asked first) and the
  // masses are both absent or equal. The masses are not asked when the names
  // differ; the nodes are not compared.
  bool operator==(const IMirrorPointMass& other) const;
  bool operator!=(const IMirrorPointMass& other) const { return !(*this == other); }

  // The analysis-model node that carries the mass; -1 for none.
  long GetNode() const noexcept { return node_; }
  // Sets the node and marks the mirror modified.
  void SetNode(long node) noexcept {
    node_ = node;
    SetModified(true);
  }

 private:
  long node_ = -1;
};

}  // namespace Kestrum::Quilm::Mirror
