// IMirrorMaterial: the mirror of one material of the concept model in the
// analysis model's material table; XanMirrorMaterial: a material that already
// exists in an analysis model, read back from it on every request.
#pragma once

#include <boost/intrusive_ptr.hpp>
#include <boost/shared_ptr.hpp>
#include <string>

#include "mirror/core/export.hpp"
#include "mirror/core/mirror_object.hpp"

namespace Kestrum::Quilm::Mirror {

// A material mirror. The host derives from it and supplies GetMaterial (the
// definition, empty when there is none) and, if it wants, GetName.
//
// Write adds the material on every call: the modified flag plays no part in
// it and is never changed by this class. The identifier is -1 until the first
// Write that finds a definition; Delete never resets it, so a later Write
// hands the same identifier back to the analysis model.
class QUILM_MIRROR_API IMirrorMaterial : public IMirrorObject {
 public:
  // Identifier -1 (no material held).
  IMirrorMaterial() = default;
  // Identifier `id`, for a material that the analysis model already holds.
  explicit IMirrorMaterial(long id) : id_(id) {}
  IMirrorMaterial(const IMirrorMaterial&) = default;
  IMirrorMaterial& operator=(const IMirrorMaterial&) = default;
  ~IMirrorMaterial() override;

  // Asks GetMaterial; when there is a definition, asks GetName and calls
  // AddMaterial(definition, name, identifier) and keeps the id returned.
  // Without a definition nothing reaches the analysis model. On an exception
  // the identifier keeps its previous value.
  void Write(IMirrorModel& model) override;
  // Calls DeleteMaterial(identifier) unless the identifier is -1. The
  // identifier and the modified flag stay as they are.
  void Delete(IMirrorModel& model) override;
  // The material's definition; empty when there is none. Held by the library
  // for one operation only.
  virtual boost::shared_ptr<qlMaterial> GetMaterial() const = 0;
  // The meshing order: this name, then the other's, compared byte-wise as
  // unsigned values (a proper prefix first); equal non-empty names are
  // equivalent; two unnamed materials fall back to the definitions'
  // ordering test (an absent definition sorts last). `other` must not be null
  // (std::invalid_argument).
  virtual bool MeshBefore(const IMirrorMaterial* other) const;
  // Default for derived materials: false.
  virtual bool IsAnisotrop() const;
  // Default for derived materials: an empty pointer, whatever the direction.
  virtual boost::intrusive_ptr<IMirrorMaterial> GetAnisotropMaterial(const vec3d& direction) const;

  // The identifier in the analysis model's material table; -1 for none.
  long GetId() const noexcept { return id_; }
  // Sets the identifier; the modified flag stays untouched.
  void SetId(long id) noexcept { id_ = id; }

 private:
  long id_ = -1;
};

// A material known by its identifier in an analysis model. GetName and
// GetMaterial look the material up in the model on every call (nothing is
// cached) and answer "" and an empty pointer when the model lacks it.
//
// Not owned: `model` must outlive this object. Copyable by construction
// only (the model reference cannot be re-seated).
class QUILM_MIRROR_API XanMirrorMaterial : public IMirrorMaterial {
 public:
  XanMirrorMaterial(IMirrorModel& model, long id) : IMirrorMaterial(id), model_(&model) {}
  XanMirrorMaterial(const XanMirrorMaterial&) = default;
  XanMirrorMaterial& operator=(const XanMirrorMaterial&) = delete;
  ~XanMirrorMaterial() override;

  // The name of the model's material with this identifier, or "".
  std::string GetName() const override;
  // The definition of the model's material with this identifier, or empty.
  boost::shared_ptr<qlMaterial> GetMaterial() const override;

 private:
  IMirrorModel* model_;
};

}  // namespace Kestrum::Quilm::Mirror
