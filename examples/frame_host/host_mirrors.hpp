// The example host's mirror classes: one class derived from each abstract
// mirror class of the library, answering the library's questions from the
// concept model. The host creates one object per concept or property, holds
// it through boost::intrusive_ptr and marks it when its concept changes.
#pragma once

#include <boost/intrusive_ptr.hpp>
#include <boost/shared_ptr.hpp>
#include <cstddef>
#include <string>
#include <vector>

#include "concept_model.hpp"
#include "mesher.hpp"
#include "mirror/mirror.hpp"

namespace frame_host {

namespace mirror = Kestrum::Quilm::Mirror;

// Structure-concept types of this host (type ids of the analysis model's
// concept table; 1 is taken by joints and support points).
enum ConceptTypeId : long { kStructureType = 10, kBeamType = 11, kSegmentType = 12, kFixedBaseType = 13, kDeckType = 14 };
// Roles of beams within kBeamType.
enum BeamRole : long { kColumnRole = 1, kGirderRole = 2, kBraceRole = 3 };

class HostMaterial;
class HostSection;
class HostThickness;

// The property mirrors by concept index, shared by the segments and plates
// that hand them out.
struct PropertyMirrors {
  std::vector<boost::intrusive_ptr<HostMaterial>> materials;
  std::vector<boost::intrusive_ptr<HostSection>> sections;
  std::vector<boost::intrusive_ptr<HostThickness>> thicknesses;
};

// ---- properties ---------------------------------------------------------

class HostMaterial final : public mirror::IMirrorMaterial {
 public:
  HostMaterial(const ConceptModel& concept, std::size_t index) : concept_(&concept), index_(index) {}
  std::string GetName() const override { return concept_->materials.at(index_).name; }
  boost::shared_ptr<qlMaterial> GetMaterial() const override;

 private:
  const ConceptModel* concept_;
  std::size_t index_;
};

class HostSection final : public mirror::IMirrorSection {
 public:
  HostSection(const ConceptModel& concept, std::size_t index) : concept_(&concept), index_(index) {}
  std::string GetName() const override { return concept_->sections.at(index_).name; }
  boost::shared_ptr<qlSection> GetSection() const override;

 private:
  const ConceptModel* concept_;
  std::size_t index_;
};

class HostThickness final : public mirror::IMirrorThickness {
 public:
  HostThickness(const ConceptModel& concept, std::size_t index) : concept_(&concept), index_(index) {}
  std::string GetName() const override { return concept_->thicknesses.at(index_).name; }
  double GetThickness() const override { return concept_->thicknesses.at(index_).thickness; }

 private:
  const ConceptModel* concept_;
  std::size_t index_;
};

// ---- concepts -------------------------------------------------------------

// The whole structure: the root of the concept tree (beams hang below it).
// It has no analysis-model content of its own.
class HostStructure final : public mirror::IMirrorConcept {
 public:
  explicit HostStructure(std::string name) : name_(std::move(name)) {}
  std::string GetName() const override { return name_; }
  void Write(mirror::IMirrorModel&) override {}
  void Delete(mirror::IMirrorModel&) override {}
  boost::intrusive_ptr<mirror::IMirrorConcept> GetParentConcept() const override { return nullptr; }
  mirror::ConceptType GetConceptType() const override { return {kStructureType, 0, 0}; }

 private:
  std::string name_;
};

// A deck as a concept of the structure. The plate mirror writes the deck's
// elements but is no concept itself; this one is registered beside it and
// records the plate's elements as its members, so that results are
// summarised per deck as they are per beam.
class HostDeck final : public mirror::IMirrorConcept {
 public:
  HostDeck(std::string name, boost::intrusive_ptr<HostStructure> structure)
      : name_(std::move(name)), structure_(std::move(structure)) {}
  std::string GetName() const override { return name_; }
  void Write(mirror::IMirrorModel&) override {}
  void Delete(mirror::IMirrorModel&) override {}
  boost::intrusive_ptr<mirror::IMirrorConcept> GetParentConcept() const override { return structure_; }
  mirror::ConceptType GetConceptType() const override { return {kDeckType, 0, 0}; }

 private:
  std::string name_;
  boost::intrusive_ptr<HostStructure> structure_;
};

class HostBeam;

// One segment of a beam: its section and material come from its concept.
class HostSegment final : public mirror::IMirrorSegment {
 public:
  HostSegment(const ConceptModel& concept, const PropertyMirrors& properties, std::size_t beam,
              std::size_t segment, const HostBeam& parent)
      : concept_(&concept), properties_(&properties), beam_(beam), segment_(segment), parent_(&parent) {}

  std::string GetName() const override { return Definition().name; }
  boost::intrusive_ptr<mirror::IMirrorConcept> GetParentConcept() const override;
  mirror::ConceptType GetConceptType() const override { return {kSegmentType, 0, 0}; }
  boost::intrusive_ptr<mirror::IMirrorSection> GetSection(const pos3d& position) override;
  boost::intrusive_ptr<mirror::IMirrorMaterial> GetMaterial(const pos3d& position) override;

  const SegmentDef& Definition() const { return concept_->beams.at(beam_).segments.at(segment_); }

 private:
  const ConceptModel* concept_;
  const PropertyMirrors* properties_;
  std::size_t beam_, segment_;
  const HostBeam* parent_;  // not owned: the beam owns this segment
};

// The host's eccentricity of one beam, from its concept.
class HostEccentricityCallback final : public mirror::IEccentricityCallback {
 public:
  HostEccentricityCallback(const ConceptModel& concept, std::size_t beam) : concept_(&concept), beam_(beam) {}
  vec3d GetEccentricity(const pos3d& position) override;
  bool GetConstantEccentricity(vec3d& eccentricity) override;

 private:
  const ConceptModel* concept_;
  std::size_t beam_;
};

// The host's local system of one beam, from its concept.
class HostLocalSystemCallback final : public mirror::ILocalSystemCallback {
 public:
  HostLocalSystemCallback(const ConceptModel& concept, std::size_t beam) : concept_(&concept), beam_(beam) {}
  locsys3d GetLocalSystem(const pos3d& position) override;

 private:
  const ConceptModel* concept_;
  std::size_t beam_;
};

// A column, girder or brace: owns its segments and hands out callbacks that
// read its eccentricity and local system from the concept model.
class HostBeam final : public mirror::IMirrorBeam {
 public:
  HostBeam(const ConceptModel& concept, std::size_t beam, boost::intrusive_ptr<HostStructure> structure)
      : concept_(&concept), beam_(beam), structure_(std::move(structure)) {}

  std::string GetName() const override { return Definition().name; }
  boost::intrusive_ptr<mirror::IMirrorConcept> GetParentConcept() const override { return structure_; }
  mirror::ConceptType GetConceptType() const override;
  boost::shared_ptr<mirror::IEccentricityCallback> GetEccentricityCallback() override;
  boost::shared_ptr<mirror::ILocalSystemCallback> GetLocalSystemCallback() override;
  boost::intrusive_ptr<mirror::IMirrorSegment> GetSegment(unsigned int index) const override {
    return segments_.at(index);
  }
  unsigned int GetSegmentCount() const override { return static_cast<unsigned>(segments_.size()); }

  void AddSegment(boost::intrusive_ptr<HostSegment> segment) { segments_.push_back(std::move(segment)); }
  HostSegment& Segment(std::size_t index) const { return *segments_.at(index); }
  const BeamDef& Definition() const { return concept_->beams.at(beam_); }
  std::size_t Index() const { return beam_; }

 private:
  const ConceptModel* concept_;
  std::size_t beam_;
  boost::intrusive_ptr<HostStructure> structure_;
  std::vector<boost::intrusive_ptr<HostSegment>> segments_;
};

// A deck slab: its thickness and material come from its concept.
class HostPlate final : public mirror::IMirrorPlate {
 public:
  HostPlate(const ConceptModel& concept, const PropertyMirrors& properties, std::size_t deck)
      : concept_(&concept), properties_(&properties), deck_(deck) {}
  std::string GetName() const override { return concept_->decks.at(deck_).name; }
  boost::intrusive_ptr<mirror::IMirrorThickness> GetThickness(const pos3d& position) override;
  boost::intrusive_ptr<mirror::IMirrorMaterial> GetMaterial(const pos3d& position) override;

 private:
  const ConceptModel* concept_;
  const PropertyMirrors* properties_;
  std::size_t deck_;
};

// Joints and support points carry the node name the host gives them (already
// fitted to the node-name rule of the model, see FrameHost).
class HostJoint final : public mirror::IMirrorJoint {
 public:
  explicit HostJoint(std::string nodeName) : name_(std::move(nodeName)) {}
  std::string GetName() const override { return name_; }

 private:
  std::string name_;
};

class HostSupportPoint final : public mirror::IMirrorSupportPoint {
 public:
  explicit HostSupportPoint(std::string nodeName) : name_(std::move(nodeName)) {}
  std::string GetName() const override { return name_; }

 private:
  std::string name_;
};

// The fixed base under a support point. The host fixes the node through the
// analysis model's node properties; deleting the concept releases it.
class HostFixedBase final : public mirror::IMirrorBoundaryCondition {
 public:
  explicit HostFixedBase(boost::intrusive_ptr<HostSupportPoint> support) : support_(std::move(support)) {}
  std::string GetName() const override { return "Fixed base " + support_->GetName(); }
  void Delete(mirror::IMirrorModel& model) override;
  boost::intrusive_ptr<mirror::IMirrorConcept> GetParentConcept() const override { return support_; }
  mirror::ConceptType GetConceptType() const override { return {kFixedBaseType, 0, 0}; }
  // Fixes all six degrees of freedom of the support's node.
  void Apply(mirror::IMirrorModel& model) const;

 private:
  boost::intrusive_ptr<HostSupportPoint> support_;
};

// ---- named set and point masses ------------------------------------------------

// The bracing set: the elements of every brace still in the model.
class HostBracingSet final : public mirror::IMirrorSet {
 public:
  HostBracingSet(const ConceptModel& concept, const std::vector<boost::intrusive_ptr<HostBeam>>& beams)
      : concept_(&concept), beams_(&beams) {}
  std::string GetName() const override { return concept_->bracingSetName; }
  boost::shared_ptr<mirror::EntitySet> GetEntitySet() const override;

 private:
  const ConceptModel* concept_;
  const std::vector<boost::intrusive_ptr<HostBeam>>* beams_;
};

class HostPointMass final : public mirror::IMirrorPointMass {
 public:
  HostPointMass(const ConceptModel& concept, std::size_t equipment)
      : concept_(&concept), equipment_(equipment) {}
  std::string GetName() const override { return concept_->equipment.at(equipment_).name; }
  boost::shared_ptr<mirror::Mass> GetMass() const override;

 private:
  const ConceptModel* concept_;
  std::size_t equipment_;
};

// ---- load cases and loads -----------------------------------------------------

class HostLoadCase final : public mirror::IMirrorLoadCase {
 public:
  HostLoadCase(const ConceptModel& concept, LoadCaseKind kind) : concept_(&concept), kind_(kind) {}
  std::string GetName() const override { return concept_->LoadCase(kind_).name; }
  long GetLoadCase() override { return concept_->LoadCase(kind_).id; }
  vec3d GetGravity() override { return concept_->LoadCase(kind_).gravity; }

 private:
  const ConceptModel* concept_;
  LoadCaseKind kind_;
};

// The imposed pressure on every shell of one deck.
class HostDeckPressureLoad final : public mirror::IMirrorLoad {
 public:
  HostDeckPressureLoad(const ConceptModel& concept, boost::intrusive_ptr<HostPlate> deck)
      : concept_(&concept), deck_(std::move(deck)) {}
  bool GetElements(std::list<long>& elements) override;
  long GetLoadCase() override { return concept_->LoadCase(LoadCaseKind::DeckPressure).id; }
  boost::shared_ptr<mirror::Load> GetElementLoad(long element) override;

 private:
  const ConceptModel* concept_;
  boost::intrusive_ptr<HostPlate> deck_;
};

// Wind as a uniform line load along +x on every element of one column.
class HostWindLoad final : public mirror::IMirrorLoad {
 public:
  HostWindLoad(const ConceptModel& concept, boost::intrusive_ptr<HostBeam> column)
      : concept_(&concept), column_(std::move(column)) {}
  bool GetElements(std::list<long>& elements) override;
  long GetLoadCase() override { return concept_->LoadCase(LoadCaseKind::Wind).id; }
  boost::shared_ptr<mirror::Load> GetElementLoad(long element) override;

 private:
  const ConceptModel* concept_;
  boost::intrusive_ptr<HostBeam> column_;
};

// The weight of one item of equipment as a point load on the roof node it
// stands on, handed over through the roof shells around that node.
class HostEquipmentLoad final : public mirror::IMirrorLoad {
 public:
  HostEquipmentLoad(const ConceptModel& concept, const Mesh& mesh, std::size_t equipment)
      : concept_(&concept), mesh_(&mesh), equipment_(equipment) {}
  bool GetElements(std::list<long>& elements) override;
  long GetLoadCase() override { return concept_->LoadCase(LoadCaseKind::Equipment).id; }
  boost::shared_ptr<mirror::Load> GetElementLoad(long element) override;

 private:
  const ConceptModel* concept_;
  const Mesh* mesh_;
  std::size_t equipment_;
};

// The host's load manager works on the host's one model.
class HostLoadManager final : public mirror::IMirrorLoadManager {
 public:
  explicit HostLoadManager(mirror::IMirrorModel& model) : model_(&model) {}
  mirror::IMirrorModel& GetModel() override { return *model_; }

 private:
  mirror::IMirrorModel* model_;
};

}  // namespace frame_host
