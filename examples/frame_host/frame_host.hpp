// FrameHost: the example host application's model session. It owns the
// concept model, the analysis model (through TestMirrorModel), the mesh and
// one mirror object per concept and property, and writes them in the order
// the library expects: properties, then beams and plates, then concepts,
// then load cases and loads.
#pragma once

#include <boost/intrusive_ptr.hpp>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "concept_model.hpp"
#include "host_mirrors.hpp"
#include "mesher.hpp"

namespace frame_host {

class FrameHost {
 public:
  // Opens (or starts) the analysis model in `fileName` and lays out the
  // concept model. Progress of long steps goes to `progress` (may be null).
  FrameHost(const FrameSize& size, const std::string& fileName, std::ostream* progress = nullptr);
  ~FrameHost();
  FrameHost(const FrameHost&) = delete;
  FrameHost& operator=(const FrameHost&) = delete;

  // Meshes the concept model into the analysis model and creates the mirror
  // objects with their elements and nodes.
  void BuildMesh();
  // The first write of everything, in dependency order.
  void WriteAll();
  // Hands the changes to the model file.
  void Flush() { model_.Flush(); }

  // The node name of a joint or support point: its concept name fitted to
  // eight upper-case characters by the model's name rule (prefix J or S and
  // the point's number when it is too long).
  std::string NodeName(const std::string& conceptName, const char* prefix, unsigned number) const;

  ConceptModel& Concept() { return concept_; }
  const ConceptModel& Concept() const { return concept_; }
  const Mesh& GetMesh() const { return mesh_; }
  mirror::TestMirrorModel& Model() { return model_; }
  std::ostream* ProgressStream() const { return progress_; }

  PropertyMirrors& Properties() { return properties_; }
  const std::vector<boost::intrusive_ptr<HostBeam>>& Beams() const { return beams_; }
  const std::vector<boost::intrusive_ptr<HostPlate>>& Plates() const { return plates_; }
  // The deck concepts, one per plate in the same order.
  const std::vector<boost::intrusive_ptr<HostDeck>>& DeckConcepts() const { return deckConcepts_; }
  const std::vector<boost::intrusive_ptr<HostJoint>>& Joints() const { return joints_; }
  const std::vector<boost::intrusive_ptr<HostSupportPoint>>& Supports() const { return supports_; }
  const std::vector<boost::intrusive_ptr<HostFixedBase>>& FixedBases() const { return fixedBases_; }
  const std::vector<boost::intrusive_ptr<HostPointMass>>& PointMasses() const { return pointMasses_; }
  const std::vector<boost::intrusive_ptr<HostEquipmentLoad>>& EquipmentLoads() const {
    return equipmentLoads_;
  }
  const std::vector<boost::intrusive_ptr<HostLoadCase>>& LoadCases() const { return loadCases_; }
  HostBracingSet& BracingSet() { return *bracingSet_; }
  HostStructure& Structure() { return *structure_; }
  HostLoadManager& LoadManager() { return loadManager_; }

  // The mirror of a load case by kind.
  HostLoadCase& LoadCaseMirror(LoadCaseKind kind);
  // Adds a section to the concept model and its mirror (not yet written);
  // returns its index.
  std::size_t AddSection(const std::string& name, const qlSection& section);
  // Takes a deleted beam's mirror out of the host's lists (the caller has
  // deleted it from the analysis model first).
  void ForgetBeam(std::size_t beam);

  // Writes the rigid-body rotation load of the rotation load case afresh.
  void WriteRotationLoad();

 private:
  void CreateMirrors();
  void WriteProperties();
  void WriteMembers();
  void WriteConcepts();
  void WriteLoads();

  ConceptModel concept_;
  mirror::TestMirrorModel model_;
  std::ostream* progress_;
  Mesh mesh_;
  HostLoadManager loadManager_;

  PropertyMirrors properties_;
  boost::intrusive_ptr<HostStructure> structure_;
  std::vector<boost::intrusive_ptr<HostBeam>> beams_;
  std::vector<boost::intrusive_ptr<HostPlate>> plates_;
  std::vector<boost::intrusive_ptr<HostDeck>> deckConcepts_;  // one per plate, same order
  std::vector<boost::intrusive_ptr<HostJoint>> joints_;
  std::vector<boost::intrusive_ptr<HostSupportPoint>> supports_;
  std::vector<boost::intrusive_ptr<HostFixedBase>> fixedBases_;
  boost::intrusive_ptr<HostBracingSet> bracingSet_;
  std::vector<boost::intrusive_ptr<HostPointMass>> pointMasses_;
  std::vector<boost::intrusive_ptr<HostLoadCase>> loadCases_;
  std::vector<boost::intrusive_ptr<mirror::IMirrorLoad>> loads_;
  std::vector<boost::intrusive_ptr<HostEquipmentLoad>> equipmentLoads_;
};

}  // namespace frame_host
