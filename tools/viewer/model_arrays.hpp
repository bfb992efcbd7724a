// The analysis model as flat arrays: what the VTU writer and the viewer page
// draw, gathered once through the model's public read API. Nodes are points
// (index = position in `nodeIds`), elements are cells (index = position in
// `elementIds`); every per-point array has one entry (or `components`
// entries) per point and every per-cell array one per cell.
//
// Results have no place here yet: they arrive as AnalysisFields (see
// analysis_fields.hpp), one set of point and cell arrays per analysis, on
// the same point and cell indices.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analysis_model/xaf_model.hpp"

namespace quilm_view {

namespace am = Kestrum::Quilm::AnalysisModel;

// A row of the section, material or concept tables, as the page lists it.
struct NamedRow {
  std::string name;
  std::string description;  // e.g. "IProfile(0.3, 0.3, 0.011, 0.019)"; empty for concepts
  double thickness = 0.0;   // plate thickness (m) of a thickness row, else 0
};

// One load of a load case, on a point or a cell index.
struct LoadItem {
  enum Kind : std::uint8_t { PointForce = 1, LineForce = 2, Pressure = 3, Acceleration = 4, Strain = 8 };
  Kind kind;
  std::uint32_t target;  // point index (PointForce, Acceleration) or cell index
  // PointForce, Acceleration: force (or acceleration) xyz, moment xyz.
  // LineForce: force per length at the first and at the last node.
  // Pressure: {p, 0...}; Strain: {strain, 0...}.
  float values[6];
};

// A load case; its loads are ModelArrays' loads [start, start + count).
struct LoadCaseArrays {
  long id = 0;
  std::string name;
  bool hasGravity = false;
  double gravity[3] = {0, 0, 0};
  std::size_t start = 0, count = 0;
  std::size_t skipped = 0;  // loads on nodes or elements the model no longer holds
};

// Named rows by ascending id. Flat rather than a map: a large model has
// hundreds of thousands of concepts, and the page lists every one.
struct NamedTable {
  std::vector<long> ids;       // ascending
  std::vector<NamedRow> rows;  // rows[i] is the row of ids[i]

  // Keeps the ids ascending whatever order they come in (the model hands
  // them out ascending, so this appends).
  void Add(long id, NamedRow row);
  const NamedRow* Find(long id) const noexcept;
  std::size_t Size() const noexcept { return ids.size(); }
};

struct ModelArrays {
  std::string modelFile;

  // ---- points
  std::vector<std::int32_t> nodeIds;      // ascending
  std::vector<double> points;             // x, y, z per point (m)
  std::vector<std::int32_t> nodeConcept;  // the node concept named like the node; 0: none
  std::vector<double> fixity;             // ux uy uz rx ry rz per point: 1 fixed, 0 free (all 0: no support)
  std::vector<double> mass;               // summed masses: mx my mz (kg), Ixx Iyy Izz (kg m2) per point
  std::vector<std::string> nodeNames;     // empty for unnamed nodes
  // The few points with a support or a mass, ascending, so that the page
  // need not scan every point's fixity and masses.
  std::vector<std::uint32_t> supportPoints, massPoints;

  // ---- cells
  std::vector<std::int32_t> elementIds;   // ascending
  std::vector<std::uint8_t> elementType;  // the model's type number (15, 23, 24, 25, 1)
  std::vector<std::uint8_t> vtkType;      // VTK cell type
  // 32-bit, so that the page can embed them as they are.
  std::vector<std::int32_t> offsets;           // end of each cell's points in `connectivity`
  std::vector<std::int32_t> connectivity;      // point indices, VTK node order
  std::vector<std::int32_t> conceptId;         // structure concept owning the element; 0: none recorded
  std::vector<std::int32_t> conceptNameIndex;  // index into conceptNames; -1: none
  std::vector<std::int32_t> sectionId;         // 0 none, -1 not written
  std::vector<std::int32_t> materialId;
  std::vector<double> thickness;                            // plate thickness (m); 0 for beams
  std::vector<double> localX, localY, localZ;               // beam axes, 3 per cell; zero for other cells
  std::vector<double> eccentricityFirst, eccentricityLast;  // beam end offsets (m), 3 per cell
  std::vector<std::uint32_t> eccentricCells;                // cells with a nonzero offset, ascending

  // ---- tables
  NamedTable sections, materials, concepts;
  std::vector<std::string> conceptNames;  // distinct names of the concepts in conceptId, sorted
  std::map<std::string, std::vector<std::uint32_t>> setCells, setPoints;  // named sets by cell/point index
  std::vector<LoadCaseArrays> loadCases;
  // The loads of all load cases, case after case, in columns as the page
  // embeds them (see LoadItem for the kinds and values).
  std::vector<std::uint8_t> loadKind;
  std::vector<std::uint32_t> loadTarget;  // point or cell index
  std::vector<float> loadValues;          // 6 per load

  std::size_t PointCount() const noexcept { return nodeIds.size(); }
  std::size_t CellCount() const noexcept { return elementIds.size(); }
};

// Reads the whole model. Elements whose section or material row is missing
// keep their ids (the page and the VTU show them as they are stored).
// Throws ModelError for a model the read API cannot walk.
ModelArrays GatherModel(am::XafModel& model);

// The VTK cell type of a model element type number; 0 for none.
std::uint8_t VtkCellType(int elementType) noexcept;

}  // namespace quilm_view
