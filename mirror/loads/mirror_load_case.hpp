// IMirrorLoadCase: the mirror of one load case: its name and its gravity load
// in the analysis model's load manager.
#pragma once

#include <string>

#include "mirror/core/export.hpp"
#include "mirror/core/mirror_object.hpp"
#include "mirror/utility/database_set.hpp"

namespace Kestrum::Quilm::Mirror {

// A load-case mirror. The host derives from it and supplies the id the load
// case gets when first written, its name (GetName) and its gravity vector.
// Write and Delete do their whole work on every call; the modified flag plays
// no part.
class QUILM_MIRROR_API IMirrorLoadCase : public IMirrorObject {
 public:
  // A persistent map kept with the load case for the host's own use, with a
  // value beside it. The library only constructs, copies and destroys it.
  struct AuxiliaryMap {
    Utility::DatabaseMap<long, long> map;
    long value = 0;
  };

  // Both auxiliary maps empty (values 0), load case id -1.
  IMirrorLoadCase();
  // Copies the base part, both auxiliary maps with their values and the id.
  IMirrorLoadCase(const IMirrorLoadCase& other);
  // As the copy constructor; self-assignment leaves the maps unchanged.
  IMirrorLoadCase& operator=(const IMirrorLoadCase& other);
  // Releases the second, then the first auxiliary map.
  ~IMirrorLoadCase() override;

  // On the first call (id -1) takes the id from GetLoadCase and keeps it.
  // Names the load case with GetName as given, then replaces its gravity load:
  // DeleteGravityLoad always, AddGravityLoad(id, 0, x, y, z) unless the
  // vector is zero. A gravity that is not finite is refused with ModelError
  // before any call that changes the model, so the old name and gravity stay.
  // Other exceptions propagate; calls already made keep their effect.
  void Write(IMirrorModel& model) override;
  // Unless never written: removes every load of the load case (whoever wrote
  // it) and then its name. The id is kept, so a later Write restores the load
  // case under the same id.
  void Delete(IMirrorModel& model) override;

  // The id to give the load case when it is written for the first time.
  virtual long GetLoadCase() = 0;
  // The gravity acceleration of the load case; a zero vector means none.
  virtual vec3d GetGravity() = 0;

  // The id under which the analysis model knows the load case; -1 until written.
  long GetLoadCaseId() const noexcept { return loadCaseId_; }

  // The host's auxiliary maps.
  AuxiliaryMap& GetFirstAuxiliaryMap() noexcept { return firstMap_; }
  const AuxiliaryMap& GetFirstAuxiliaryMap() const noexcept { return firstMap_; }
  AuxiliaryMap& GetSecondAuxiliaryMap() noexcept { return secondMap_; }
  const AuxiliaryMap& GetSecondAuxiliaryMap() const noexcept { return secondMap_; }

 private:
  void WriteGravity(IMirrorModel& model, const vec3d& gravity);

  AuxiliaryMap firstMap_;
  AuxiliaryMap secondMap_;
  long loadCaseId_ = -1;
};

}  // namespace Kestrum::Quilm::Mirror
