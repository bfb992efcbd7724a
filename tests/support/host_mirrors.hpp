// Host mirror doubles with fixed answers: what a simple host derives from the
// library's mirror classes when every property is the same everywhere. Used
// by tests that build whole models (the solver's) and by the benchmarks; tests
// that check what the library asks of the host keep their own logging doubles.
#pragma once

#include <boost/intrusive_ptr.hpp>
#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>
#include <functional>
#include <list>
#include <string>
#include <utility>
#include <vector>

#include "mirror/beams/beam_callbacks.hpp"
#include "mirror/beams/mirror_beam.hpp"
#include "mirror/beams/mirror_segment.hpp"
#include "mirror/core/mirror_model.hpp"
#include "mirror/loads/mirror_load.hpp"
#include "mirror/loads/mirror_load_case.hpp"
#include "mirror/loads/mirror_load_manager.hpp"
#include "mirror/plates/mirror_plate.hpp"
#include "mirror/properties/mirror_material.hpp"
#include "mirror/properties/mirror_point_mass.hpp"
#include "mirror/properties/mirror_section.hpp"
#include "mirror/properties/mirror_thickness.hpp"

namespace Kestrum::Quilm::Testing {

class HostMaterial : public Mirror::IMirrorMaterial {
 public:
  explicit HostMaterial(const qlMaterial& m) : material_(boost::make_shared<qlMaterial>(m)) {}
  boost::shared_ptr<qlMaterial> GetMaterial() const override { return material_; }

 private:
  boost::shared_ptr<qlMaterial> material_;
};

class HostSection : public Mirror::IMirrorSection {
 public:
  explicit HostSection(const qlSection& s) : section_(boost::make_shared<qlSection>(s)) {}
  boost::shared_ptr<qlSection> GetSection() const override { return section_; }
  // The host edits the section: a new definition, marked for the next Write.
  void Change(const qlSection& s) {
    section_ = boost::make_shared<qlSection>(s);
    SetModified(true);
  }

 private:
  boost::shared_ptr<qlSection> section_;
};

class HostThickness : public Mirror::IMirrorThickness {
 public:
  explicit HostThickness(double t) : thickness_(t) {}
  double GetThickness() const override { return thickness_; }

 private:
  double thickness_;
};

// A segment with one section and one material along its whole length.
class HostSegment : public Mirror::IMirrorSegment {
 public:
  HostSegment(boost::intrusive_ptr<Mirror::IMirrorSection> s, boost::intrusive_ptr<Mirror::IMirrorMaterial> m)
      : section_(std::move(s)), material_(std::move(m)) {}
  boost::intrusive_ptr<Mirror::IMirrorConcept> GetParentConcept() const override { return {}; }
  AnalysisModel::ConceptType GetConceptType() const override { return AnalysisModel::ConceptType(3, 0, 0); }
  boost::intrusive_ptr<Mirror::IMirrorSection> GetSection(const pos3d&) override { return section_; }
  boost::intrusive_ptr<Mirror::IMirrorMaterial> GetMaterial(const pos3d&) override { return material_; }

 private:
  boost::intrusive_ptr<Mirror::IMirrorSection> section_;
  boost::intrusive_ptr<Mirror::IMirrorMaterial> material_;
};

class ConstantEccentricity : public Mirror::IEccentricityCallback {
 public:
  explicit ConstantEccentricity(const vec3d& e) : e_(e) {}
  vec3d GetEccentricity(const pos3d&) override { return e_; }
  bool GetConstantEccentricity(vec3d& e) override {
    e = e_;
    return true;
  }

 private:
  vec3d e_;
};

class ConstantLocalSystem : public Mirror::ILocalSystemCallback {
 public:
  explicit ConstantLocalSystem(const locsys3d& s) : system_(s) {}
  locsys3d GetLocalSystem(const pos3d&) override { return system_; }

 private:
  locsys3d system_;
};

// A beam over the segments it is given, with optional callbacks.
class HostBeam : public Mirror::IMirrorBeam {
 public:
  boost::intrusive_ptr<Mirror::IMirrorConcept> GetParentConcept() const override { return {}; }
  AnalysisModel::ConceptType GetConceptType() const override { return AnalysisModel::ConceptType(2, 0, 0); }
  boost::shared_ptr<Mirror::IEccentricityCallback> GetEccentricityCallback() override { return eccentricity; }
  boost::shared_ptr<Mirror::ILocalSystemCallback> GetLocalSystemCallback() override { return localSystem; }
  boost::intrusive_ptr<Mirror::IMirrorSegment> GetSegment(unsigned int i) const override {
    return segments.at(i);
  }
  unsigned int GetSegmentCount() const override { return static_cast<unsigned int>(segments.size()); }

  std::vector<boost::intrusive_ptr<Mirror::IMirrorSegment>> segments;
  boost::shared_ptr<Mirror::IEccentricityCallback> eccentricity;
  boost::shared_ptr<Mirror::ILocalSystemCallback> localSystem;
};

// A plate with one thickness and one material everywhere.
class HostPlate : public Mirror::IMirrorPlate {
 public:
  HostPlate(boost::intrusive_ptr<Mirror::IMirrorThickness> t, boost::intrusive_ptr<Mirror::IMirrorMaterial> m)
      : thickness_(std::move(t)), material_(std::move(m)) {}
  boost::intrusive_ptr<Mirror::IMirrorThickness> GetThickness(const pos3d&) override { return thickness_; }
  boost::intrusive_ptr<Mirror::IMirrorMaterial> GetMaterial(const pos3d&) override { return material_; }

 private:
  boost::intrusive_ptr<Mirror::IMirrorThickness> thickness_;
  boost::intrusive_ptr<Mirror::IMirrorMaterial> material_;
};

class HostLoadCase : public Mirror::IMirrorLoadCase {
 public:
  HostLoadCase(long id, std::string name, const vec3d& gravity)
      : id_(id), name_(std::move(name)), g_(gravity) {}
  std::string GetName() const override { return name_; }
  long GetLoadCase() override { return id_; }
  vec3d GetGravity() override { return g_; }

 private:
  long id_;
  std::string name_;
  vec3d g_;
};

// A load on a list of elements; `record` gives each element's load record.
class HostLoad : public Mirror::IMirrorLoad {
 public:
  HostLoad(long loadCase, std::vector<long> elements,
           std::function<boost::shared_ptr<AnalysisModel::Load>(long)> record)
      : loadCase_(loadCase), elements_(std::move(elements)), record_(std::move(record)) {}
  bool GetElements(std::list<long>& elements) override {
    elements.assign(elements_.begin(), elements_.end());
    return true;
  }
  long GetLoadCase() override { return loadCase_; }
  boost::shared_ptr<AnalysisModel::Load> GetElementLoad(long element) override { return record_(element); }

 private:
  long loadCase_;
  std::vector<long> elements_;
  std::function<boost::shared_ptr<AnalysisModel::Load>(long)> record_;
};

class HostPointMass : public Mirror::IMirrorPointMass {
 public:
  explicit HostPointMass(const AnalysisModel::Mass& m) : mass_(boost::make_shared<AnalysisModel::Mass>(m)) {}
  boost::shared_ptr<AnalysisModel::Mass> GetMass() const override { return mass_; }

 private:
  boost::shared_ptr<AnalysisModel::Mass> mass_;
};

// A load manager over a model. Not owned: the model must outlive it.
class HostLoadManager : public Mirror::IMirrorLoadManager {
 public:
  explicit HostLoadManager(Mirror::IMirrorModel& model) : model_(model) {}
  Mirror::IMirrorModel& GetModel() override { return model_; }

 private:
  Mirror::IMirrorModel& model_;
};

}  // namespace Kestrum::Quilm::Testing
