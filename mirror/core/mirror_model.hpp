// IMirrorModel: the door through which mirror objects reach the analysis
// model; TestMirrorModel: the model that opens an analysis model on a file.
#pragma once

#include <boost/shared_ptr.hpp>
#include <string>
#include <vector>

#include "mirror/analysis/analysis.hpp"
#include "mirror/core/export.hpp"

namespace Kestrum::Quilm::Mirror {

// Every mirror Write and Delete receives an IMirrorModel and asks it for the
// analysis model (GetXafModel) for the duration of one operation.
// The destructor is not virtual: destroy a model through its own class.
class QUILM_MIRROR_API IMirrorModel {
 public:
  IMirrorModel() = default;
  IMirrorModel(const IMirrorModel&) = default;
  IMirrorModel& operator=(const IMirrorModel&) = default;
  ~IMirrorModel() = default;

  // The name rule: a name longer than the limit (64 characters with
  // longNames, 8 without; without longNames the name is upper-cased first)
  // is replaced by prefix + decimal text of number.
  virtual std::string MangleName(std::string name, bool longNames, const std::string& prefix,
                                 unsigned int number) const;
  // The analysis model; callers hold the pointer for one operation only.
  virtual boost::shared_ptr<XafModel> GetXafModel() = 0;

  pos3d GetNodePos(long node);
  void Flush();
  // The archive of the analysis model; valid while some holder keeps the
  // analysis model alive (for TestMirrorModel, the model object itself).
  XafArchive& GetArchive();
  // The element's node positions in geometric order (sort order 2).
  void GetElementPositions(long element, std::vector<pos3d>& positions);
  // The element's node positions in stored order (sort order 0), each moved
  // by its node's eccentricity. Throws AnalysisModel::ModelError when the
  // connectivity manager gives fewer positions than the element has nodes.
  void GetEccentricElementPositions(long element, std::vector<pos3d>& positions);
  // A hook for warnings; does nothing.
  void Warning(const std::string& message, qlMetaObject* object, const std::string& context,
               const std::string& detail) const;
};

// Opens (or starts) the analysis model stored in a file and owns it. Copies
// share the one analysis model, which lives until its last holder lets go.
class QUILM_MIRROR_API TestMirrorModel : public IMirrorModel {
 public:
  // Opens `fileName` read-write in SI units, creating a new model when the
  // file does not exist, and switches archive mode on. Failures to open
  // propagate as AnalysisModel::ModelError.
  explicit TestMirrorModel(const std::string& fileName);
  TestMirrorModel(const TestMirrorModel&) = default;
  TestMirrorModel& operator=(const TestMirrorModel&) = default;

  // A copy of the owned pointer: the caller shares ownership of the model.
  boost::shared_ptr<XafModel> GetXafModel() override;
  // Releases this holder's share of the analysis model.
  virtual ~TestMirrorModel();

 private:
  boost::shared_ptr<XafModel> model_;
};

}  // namespace Kestrum::Quilm::Mirror
