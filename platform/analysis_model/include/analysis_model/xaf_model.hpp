// XafModel: the analysis model, its managers and element records.
//
// The model keeps its tables in memory and stores them in an SQLite database
// file. Changes live in memory until Flush(), which writes what changed since
// the last flush in one transaction; a model closed without Flush leaves its
// file as the last flush wrote it.
//
// Ids: nodes, elements, hinges, eccentricities and transformations count up
// from 1 and are never reused. Materials, sections (and thicknesses), sets and
// structure concepts are added with a previous id: -1 (or 0) asks for a new
// id; an id in use is replaced in place and returned again; a positive id not
// in use (for instance one handed out and since deleted) is taken as given.
// Eccentricities and transformations take an id the same way, except that a
// positive id must be in use. Every add refuses a previous id below -1 (an id
// of -5 throws ModelError, it never means "new"), and every id the model
// does not hold throws ModelError naming the table and id.
//
// Values: positions, eccentricities, transformation axes, hinge and
// boundary-condition fixities, masses, load values and gravity are checked
// when handed in, and refused values throw ModelError leaving the model as
// it was: coordinates, vectors, loads and gravity must be finite, masses
// finite and not negative, fixity factors within [0, 1]. Plate thicknesses
// are stored as given.
// In element references 0 means none and -1 (where allowed) "not written
// yet"; per-element eccentricity, transformation and fixation ids of -1 mean
// one id per node. Deleting a material or section that elements use keeps
// their references: adding a row under that id again restores them.
//
// Ids are signed 32-bit values: explicit ids above 2147483646 throw.
#pragma once

#include <boost/optional.hpp>
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis_model/connectivity.hpp"
#include "analysis_model/progress.hpp"
#include "analysis_model/records.hpp"
#include "analysis_model/results.hpp"
#include "analysis_model/trace.hpp"
#include "definitions/definitions.hpp"
#include "mirror/utility/compressed_set.hpp"

namespace Kestrum::Quilm::AnalysisModel {

// Every failure of the model: unknown ids, bad arguments, unreadable files.
class ModelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class XafModel;
struct ModelData;  // the tables; defined in the implementation

// ---- records handed out by managers --------------------------------------

class XafMaterial {
 public:
  XafMaterial(std::string name, boost::shared_ptr<qlMaterial> material)
      : name_(std::move(name)), material_(std::move(material)) {}
  const std::string& GetName() const noexcept { return name_; }
  boost::shared_ptr<qlMaterial> GetMaterial() const { return material_; }

 private:
  std::string name_;
  boost::shared_ptr<qlMaterial> material_;
};

// A row of the section table: a beam section or a plate thickness.
class XafSection {
 public:
  XafSection(std::string name, boost::shared_ptr<qlSection> section, boost::optional<double> thickness)
      : name_(std::move(name)), section_(std::move(section)), thickness_(thickness) {}
  const std::string& GetName() const noexcept { return name_; }
  // The beam section; empty for a thickness row.
  boost::shared_ptr<qlSection> GetSection() const { return section_; }
  // The plate thickness; absent for a beam section row.
  boost::optional<double> GetThickness() const { return thickness_; }

 private:
  std::string name_;
  boost::shared_ptr<qlSection> section_;
  boost::optional<double> thickness_;
};

class XafSet {
 public:
  XafSet(std::string name, EntitySet content) : name_(std::move(name)), content_(std::move(content)) {}
  const std::string& GetName() const noexcept { return name_; }
  const EntitySet& GetEntitySet() const noexcept { return content_; }

 private:
  std::string name_;
  EntitySet content_;
};

class XafEccentricity {
 public:
  explicit XafEccentricity(const vec3d& v) : v_(v) {}
  const vec3d& GetEccentricity() const noexcept { return v_; }

 private:
  vec3d v_;
};

// A transformation: a rotation given by its 3x3 matrix, stored by rows
// (row 0 local x, row 1 local y, row 2 local z in global coordinates), and
// the vector it was defined by (the local z axis for beams).
class XafTransformation {
 public:
  XafTransformation(const vec3d& vector, const std::array<double, 9>& matrix)
      : vector_(vector), matrix_(matrix) {}
  const vec3d& GetTransformationVector() const noexcept { return vector_; }
  const std::array<double, 9>& GetTransformationMatrix() const noexcept { return matrix_; }

 private:
  vec3d vector_;
  std::array<double, 9> matrix_;
};

class XafHinge {
 public:
  explicit XafHinge(const Hinge& h) : hinge_(h) {}
  const Hinge& GetHinge() const noexcept { return hinge_; }

 private:
  Hinge hinge_;
};

// A registered structure concept.
struct StructureConcept {
  long id = -1;
  TypeId type = 0;
  RoleId role = 0;
  long parent = -1;
  std::string name;
};

// What a concept owns in the mesh, as its host recorded it: ids ascending.
struct ConceptMembers {
  std::vector<long> nodes;
  std::vector<long> elements;
};

// ---- managers --------------------------------------------------------------

class XafStructureConceptManager {
 public:
  // Registers (or, with a previous id in use, replaces) a concept. The parent
  // must be -1 or a registered concept.
  long AddConcept(TypeId type, RoleId role, long parentId, const std::string& name, long previousId);
  StructureConcept GetConcept(long id) const;
  // Ids of all concepts, ascending.
  std::vector<long> GetConceptIds() const;
  // Records the nodes and elements the concept owns, replacing what was
  // recorded before (empty lists forget it). The concept and every id must
  // exist; removed elements stay listed, and readers skip them. A beam's
  // elements are best recorded on its segments: readers add a concept's
  // descendants' members to its own.
  void SetConceptMembers(long id, const ConceptMembers& members);
  // What SetConceptMembers recorded; empty lists when nothing was.
  ConceptMembers GetConceptMembers(long id) const;

 private:
  friend class XafModel;
  explicit XafStructureConceptManager(XafModel& m) : model_(m) {}
  XafModel& model_;
};

class XafMaterialManager {
 public:
  long AddMaterial(const qlMaterial& material, const std::string& name, long id);
  void DeleteMaterial(long id);
  // Empty when the model holds no material with this id.
  boost::shared_ptr<XafMaterial> GetMaterial(long id) const;
  std::vector<long> GetMaterialIds() const;

 private:
  friend class XafModel;
  explicit XafMaterialManager(XafModel& m) : model_(m) {}
  XafModel& model_;
};

class XafSectionManager {
 public:
  long AddSection(const qlSection& section, const std::string& name, long id);
  // Stores a plate thickness in the section table. Any value is stored as
  // given (negative values and NaN included); checking it is the caller's.
  long AddThickness(const double& thickness, const std::string& name, long id);
  void DeleteSection(long id);
  // Empty when the model holds no section with this id.
  boost::shared_ptr<XafSection> GetSection(long id) const;
  std::vector<long> GetSectionIds() const;

 private:
  friend class XafModel;
  explicit XafSectionManager(XafModel& m) : model_(m) {}
  XafModel& model_;
};

class XafSetManager {
 public:
  // Every node and element of the set must exist.
  long AddSet(const EntitySet& set, const std::string& name, long id);
  void DeleteSet(long id);
  // Empty when the model holds no set with this id.
  boost::shared_ptr<XafSet> GetSet(long id) const;
  std::vector<long> GetSetIds() const;

 private:
  friend class XafModel;
  explicit XafSetManager(XafModel& m) : model_(m) {}
  XafModel& model_;
};

class XafNodePropertyManager {
 public:
  void SetName(long node, const std::string& name);
  std::string GetName(long node) const;
  // Adds a lumped mass; masses on one node accumulate. Throws ModelError for
  // a negative or non-finite mass or inertia.
  void AddMass(long node, const Mass& mass);
  // Removes every mass of the node.
  void RemoveMasses(long node);
  std::vector<Mass> GetMasses(long node) const;
  // The node's own transformation (for point elements); empty for none.
  boost::shared_ptr<long> GetTransnod(long node) const;
  // Gives the node a transformation (0 or below: none).
  void SetTransnod(long node, long transformation);
  // Fixes degrees of freedom of a node (a support): one factor per degree of
  // freedom ux, uy, uz, rx, ry, rz in global axes, 1 fixed, 0 free, values
  // between partial fixity; factors outside [0, 1] or NaN throw ModelError.
  void SetBoundaryCondition(long node, const Hinge& fixation);
  boost::optional<Hinge> GetBoundaryCondition(long node) const;
  void RemoveBoundaryCondition(long node);
  // Calls `visit(node, masses, support)` for every node that has a mass or a
  // support, in ascending node order, without copies: the bulk read of
  // large models, where asking each node in turn costs a look-up per node
  // though few have either. The model must not change during the visit;
  // what `visit` throws propagates.
  void ForEachMassOrSupport(
      const std::function<void(long node, const std::vector<Mass>& masses, const boost::optional<Hinge>& support)>&
          visit) const;

 private:
  friend class XafModel;
  explicit XafNodePropertyManager(XafModel& m) : model_(m) {}
  XafModel& model_;
};

class XafElement;

// One element's row as XafElementManager::ForEachElement hands it out,
// without a copy: valid only during the call that receives it.
struct ElementView {
  long id;
  const qlElementType* type;
  unsigned nodeCount;
  const std::int32_t* nodes;  // node ids, stored order
  // Element-wide ids as XafElement's getters give them (-1: per node).
  long section, material, eccentricity, transformation, fixation;
  // By stored node index, where the element-wide id is -1 (null otherwise).
  const std::int32_t* nodeEccentricities;

  // The eccentricity id at stored node index `k` (< nodeCount), as
  // XafElement::GetNodeEccentricity gives it.
  long NodeEccentricity(unsigned k) const {
    return eccentricity != -1 ? eccentricity : nodeEccentricities[k];
  }
};

class XafElementManager {
 public:
  virtual ~XafElementManager() = default;
  // Creates an element of the given type on existing nodes (stored order);
  // returns its id. Throws for unknown nodes, a node named twice or a node
  // count that does not fit the type. A new element has section, material,
  // eccentricity, transformation and fixation 0 (none).
  long AddElement(const qlElementType& type, const std::vector<long>& nodeIds);
  // A live handle on the element's row.
  boost::shared_ptr<XafElement> GetElement(long id);
  // Reverses the element's geometric node order; per-node ids move with
  // their nodes. Returns true.
  bool ReverseNodeNumbers(long id);
  // Removes the element and takes it out of every set; with removeLoads true
  // also its element loads in every load case (with false they stay, naming
  // the removed id, until DeleteElementLoad). Its id is never reused.
  // Returns true; throws for an unknown id.
  virtual bool RemoveElement(long id, bool removeLoads);
  bool Contains(long id) const;
  std::size_t Count() const;
  // Ids of all elements, ascending.
  std::vector<long> GetElementIds() const;
  // Calls `visit` with every element's row, in ascending id order, with no
  // allocation per element: the bulk read of large models, which
  // GetElementById and GetElement each answer with a new object. The model
  // must not change during the visit; what `visit` throws propagates.
  void ForEachElement(const std::function<void(const ElementView&)>& visit) const;

 private:
  friend class XafModel;
  explicit XafElementManager(XafModel& m) : model_(m) {}
  XafModel& model_;
};

class XafEccentricityManager {
 public:
  // id -1 (or 0) adds a new record; an existing id replaces its vector; ids
  // below -1 or not in use throw. Throws ModelError for a non-finite vector.
  long AddEccentricity(const vec3d& eccentricity, long id);
  boost::shared_ptr<XafEccentricity> GetEccentricity(long id) const;
  std::size_t Count() const;

 private:
  friend class XafModel;
  explicit XafEccentricityManager(XafModel& m) : model_(m) {}
  XafModel& model_;
};

class XafTransformationManager {
 public:
  // Adds a transformation given by its local z axis (id -1 or 0: new;
  // existing id: replaced; ids below -1 or not in use throw). The local x axis is completed as the global X
  // axis made perpendicular to z, or the global Y axis when z is parallel to X. Throws ModelError for a zero
  // or non-finite vector.
  long AddTransformation(const vec3d& zAxis, long id);
  // Adds a transformation given by a whole local system (vector: its z axis).
  long AddTransformation(const locsys3d& system);
  boost::shared_ptr<XafTransformation> GetTransformation(long id) const;
  // The transformation's local z axis as stored (GetTransformationVector of
  // its record), without handing out a record: for bulk reads. Throws as
  // GetTransformation does for an id not in use.
  vec3d GetZAxis(long id) const;
  std::size_t Count() const;

 private:
  friend class XafModel;
  explicit XafTransformationManager(XafModel& m) : model_(m) {}
  XafModel& model_;
};

class XafHingeManager {
 public:
  // Adds an element-end hinge; its factors must lie in [0, 1] (NaN throws).
  long AddHinge(const Hinge& hinge);
  boost::shared_ptr<XafHinge> GetHinge(long id) const;

 private:
  friend class XafModel;
  explicit XafHingeManager(XafModel& m) : model_(m) {}
  XafModel& model_;
};

// The kinds of entry a load case holds.
enum class LoadKind { Point, Line, Surface, InitialStrain, NodeAcceleration };

// One load of a load case: its kind, the node or element it acts on, the record.
struct LoadEntry {
  LoadKind kind;
  long target;
  boost::shared_ptr<const Load> record;
};

// Loads by load case. Load case ids are the host's (0 or above; others
// throw); a load case exists while it has a name, a gravity load or any load.
// Records are copied when added. Every value of a record (positions, forces,
// moments, pressures, strains) and of gravity must be finite; a line load
// goes on no surface element and a surface load on no line element: other
// calls throw ModelError and add nothing. Load records of classes other than
// the four of records.hpp can be added but not stored: Flush throws for them.
class XafLoadManager {
 public:
  void AddPointLoad(long loadCase, long node, const PointLoad& load);
  void AddLineLoad(long loadCase, long element, const LineLoad& load);
  void AddSurfaceLoad(long loadCase, long element, const SurfaceLoad& load);
  void AddElementInitialStrain(long loadCase, long element, const Load& load);
  void AddNodeAccelerationLoad(long loadCase, long node, const PointLoad& load);
  // Sets the load case's gravity acceleration; `option` is stored with it
  // (0: acts on the whole structure). Replaces an earlier gravity load.
  void AddGravityLoad(long loadCase, long option, double x, double y, double z);
  // Removes the point and node-acceleration loads of one node in one load case.
  void DeleteNodeLoad(long loadCase, long node);
  // Removes the element loads of one element in one load case. The element
  // need not exist any more (loads left by RemoveElement(id, false)).
  void DeleteElementLoad(long loadCase, long element);
  void DeleteGravityLoad(long loadCase);
  // Removes every load of the load case, gravity included (the name stays).
  void DeleteAllLoadsInLoadCase(long loadCase);
  void DeleteLoadCaseName(long loadCase);
  void SetLoadCaseName(long loadCase, const std::string& name);

  boost::optional<std::string> GetLoadCaseName(long loadCase) const;
  boost::optional<vec3d> GetGravityLoad(long loadCase) const;
  // The loads of the load case in the order they were added.
  std::vector<LoadEntry> GetLoads(long loadCase) const;
  // Calls `visit` with the loads of the load case (none for an unknown
  // one), in GetLoads's order, without copying them. The model must not
  // change during the visit; what `visit` throws propagates.
  void ForEachLoad(long loadCase, const std::function<void(const LoadEntry&)>& visit) const;
  // Ids of all load cases, ascending.
  std::vector<long> GetLoadCaseIds() const;

 private:
  friend class XafModel;
  explicit XafLoadManager(XafModel& m) : model_(m) {}
  XafModel& model_;
};

class XafNodeManager {
 public:
  using const_iterator = Utility::CompressedSet<long>::const_iterator;
  // Creates a node; ids count up from 1. Throws for a non-finite position.
  long AddNode(const pos3d& position);
  // All node ids in ascending order. begin() is a traced call
  // ("Nodes.begin"); end() is not, so a range-for reports one event.
  const_iterator begin() const;
  const_iterator end() const;
  const Utility::CompressedSet<long>& GetNodeIds() const;
  std::size_t Count() const;

 private:
  friend class XafModel;
  explicit XafNodeManager(XafModel& m) : model_(m) {}
  XafModel& model_;
};

class XafConnectivityManager : public IConnectivityManager {
 public:
  Element GetElementById(long element) const override;
  pos3d GetElementPoint(long element) const override;
  Node GetNodeById(long node) const override;
  void GetElementNodes(long element, std::vector<pos3d>& positions, Element::SortOrder order) const override;

 private:
  friend class XafModel;
  explicit XafConnectivityManager(XafModel& m) : model_(m) {}
  XafModel& model_;
};

// A live handle on one element's row: reads and writes go to the model.
// Property ids: see the file banner. Setting a per-node id makes the
// element-wide id -1 (per node), the other nodes keeping the element-wide id
// they had; setting an element-wide id other than -1 clears the per-node ids
// of that kind, and setting -1 makes every node keep the element's id.
// Eccentricity, transformation and fixation ids below -1 mean none (stored
// as 0); section and material ids below -1 throw. Per-node reads of an
// element that is not per node give the element-wide id. Every call throws
// ModelError once the element has been removed.
class XafElement {
 public:
  XafElement(XafModel& model, long id) : model_(&model), id_(id) {}
  long GetId() const noexcept { return id_; }

  void SetSection(long section);    // -1, 0 or a section id
  void SetMaterial(long material);  // -1, 0 or a material id
  long GetSection() const;
  long GetMaterial() const;

  void SetEccentricity(long eccentricity);
  void SetTransformation(long transformation);
  void SetFixation(long hinge);
  long GetEccentricity() const;
  long GetTransformation() const;
  long GetFixation() const;

  // Per node, by stored node index; ids of 0 or below mean none. Return true
  // when the node's value changed.
  // Throw ModelError for an index outside the element.
  bool SetNodeEccentricity(unsigned node, long eccentricity);
  bool SetNodeTransformation(unsigned node, long transformation);
  bool SetNodeFixation(unsigned node, long hinge);
  long GetNodeEccentricity(unsigned node) const;
  long GetNodeTransformation(unsigned node) const;
  long GetNodeFixation(unsigned node) const;

  // The element's connectivity with the model's internal node ids.
  Element GetElementWithInternalNodeIds() const;

 private:
  XafModel* model_;
  long id_;
};

// Archive settings of the model file (stored in it). Its calls are traced as
// "Archive.SetArchiveMode" and "Archive.GetArchiveMode".
class XafArchive {
 public:
  // In archive mode every Flush is made durable on disk before it returns
  // (full synchronisation), so a completed flush survives a power loss. Out
  // of archive mode a flush is still atomic but may be lost with the last
  // seconds before a power loss. New models start out of archive mode.
  void SetArchiveMode(bool on);
  bool GetArchiveMode() const;

 private:
  friend class XafModel;
  explicit XafArchive(XafModel& m) : model_(m) {}
  XafModel& model_;
};

class XafModel {
 public:
  // Opens the model stored in the SQLite file `fileName`.
  //  accessMode: 1 read-write, 0 read-only (Flush then throws).
  //  unitSystem: 1 SI (N, m, kg, s), the only one supported; stored in the
  //              file and checked on reopening.
  //  create: when true a missing file starts a new, empty model (the file is
  //          created by the first Flush); when false a missing file throws.
  // A file that is not a model file, is damaged, or has a newer schema
  // version throws ModelError and is left untouched.
  //
  // One writer per file: a read-write model claims its file for its whole
  // life (an exclusive flock on "<fileName>-lock", which the kernel drops
  // when the process ends, even by a crash). A second read-write open, in
  // this process or another, throws ModelError "... is in use by another
  // writer (process N)". Read-only models take no claim; they read the last
  // completed flush, waiting up to 5 s for a writer's commit to end (then
  // "in use"). A read-only open never rolls back an interrupted flush: it
  // throws, asking for one read-write open to recover the file.
  XafModel(const std::string& fileName, long accessMode, long unitSystem, bool create);
  XafModel(const XafModel&) = delete;
  XafModel& operator=(const XafModel&) = delete;
  virtual ~XafModel();

  XafStructureConceptManager& StructureConcepts() noexcept { return concepts_; }
  XafMaterialManager& Materials() noexcept { return materials_; }
  XafSectionManager& Sections() noexcept { return sections_; }
  XafSetManager& Sets() noexcept { return sets_; }
  XafNodePropertyManager& NodeProperties() noexcept { return nodeProperties_; }
  XafElementManager& Elements() noexcept { return elements_; }
  XafEccentricityManager& Eccentricities() noexcept { return eccentricities_; }
  XafTransformationManager& Transformations() noexcept { return transformations_; }
  XafHingeManager& Hinges() noexcept { return hinges_; }
  XafLoadManager& Loads() noexcept { return loads_; }
  XafNodeManager& Nodes() noexcept { return nodes_; }
  XafConnectivityManager& GetConnectivityManager() noexcept { return connectivity_; }
  // Stored analysis results (results.hpp).
  XafResultManager& Results() noexcept { return results_; }

  // Writes what changed since the last flush to the file, in one transaction;
  // the first flush of a new model creates the file. A flush that fails
  // leaves the file as the last completed flush wrote it and keeps the
  // changes in memory for the next flush. Throws ModelError when read-only.
  // Before writing, Flush checks that the file is still the one this model
  // last read or wrote; one deleted, replaced, truncated or changed by
  // another program since throws ModelError, writing nothing and keeping
  // every change (SaveAs then stores the model).
  // Reports its progress as the step "flush", one unit per table written.
  void Flush();
  // Writes the whole model into the file `fileName` (a file of that name is
  // replaced only once the new one is complete), claims it and continues
  // there: later flushes write to it, and the previous file is released
  // unchanged. Saving under the model's own name rewrites its file whole.
  // Throws ModelError when read-only or when another writer holds
  // `fileName`; on failure the model stays on its previous file.
  void SaveAs(const std::string& fileName);
  XafArchive& GetArchive();

  const std::string& GetFileName() const noexcept;
  bool IsReadOnly() const noexcept;

  // Attaches a trace sink (not owned; nullptr detaches).
  void SetTraceSink(TraceSink* sink) noexcept { trace_ = sink; }
  TraceSink* GetTraceSink() const noexcept { return trace_; }

  // Sets the callback that Flush reports its progress to (see progress.hpp);
  // an empty one, the default, reports nothing.
  void SetProgressCallback(ProgressCallback callback) { progress_ = std::move(callback); }

  // Checks the cross-references of all tables; returns "" when they hold,
  // otherwise a description of the first violation.
  std::string Validate() const;

 private:
  // The tables are reached only by the library's own code, through DataOf()
  // of its internal header model_data.hpp.
  friend inline ModelData& DataOf(XafModel& model) noexcept;
  friend inline const ModelData& DataOf(const XafModel& model) noexcept;

  std::unique_ptr<ModelData> data_;
  TraceSink* trace_ = nullptr;
  ProgressCallback progress_;
  XafStructureConceptManager concepts_{*this};
  XafMaterialManager materials_{*this};
  XafSectionManager sections_{*this};
  XafSetManager sets_{*this};
  XafNodePropertyManager nodeProperties_{*this};
  XafElementManager elements_{*this};
  XafEccentricityManager eccentricities_{*this};
  XafTransformationManager transformations_{*this};
  XafHingeManager hinges_{*this};
  XafLoadManager loads_{*this};
  XafNodeManager nodes_{*this};
  XafConnectivityManager connectivity_{*this};
  XafArchive archive_{*this};
  XafResultManager results_{*this};
};

// True when a read-write XafModel, in this process or another, holds the
// model file `fileName` now (through this name or any other name of the
// same file). For tools that must not replace a file another program has
// open as a model. Opens and closes the file: a process holding SQLite
// connections to it should not call it.
bool IsModelFileHeld(const std::string& fileName);

}  // namespace Kestrum::Quilm::AnalysisModel
