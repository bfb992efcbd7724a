// Trampolines: the C++ classes behind Python subclasses of the library's
// abstract classes. Each virtual operation looks for a Python override and
// calls it, else the library's own implementation (or raises for a pure
// one). Points and vectors are handed to Python as copies, so a Python
// method may keep them.
#pragma once

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <list>
#include <string>

#include "fast_override.hpp"
#include "holders.hpp"
#include "lifetime.hpp"
#include "mirror/mirror.hpp"

namespace Kestrum::Quilm::Python {

using namespace Mirror;

// A shared_ptr to an object of a Python subclass that keeps the Python
// object alive for as long as the library keeps the pointer.
struct KeepPythonObject {
  py::object object;
  void operator()(const void*) {
    py::gil_scoped_acquire gil;
    object = py::object();
  }
};

template <class T>
boost::shared_ptr<T> SharedFromPython(py::object object) {
  if (object.is_none()) return {};
  T* value = object.cast<T*>();
  return boost::shared_ptr<T>(value, KeepPythonObject{std::move(object)});
}

// The Python object behind a shared_ptr made by SharedFromPython, or None.
template <class T>
py::object PythonOf(const boost::shared_ptr<T>& pointer) {
  if (!pointer) return py::none();
  if (auto* keeper = boost::get_deleter<KeepPythonObject>(pointer)) return keeper->object;
  throw py::type_error("the object was not made in Python");
}

// The Python override of `name` on the object behind `self`, or a null
// function (then the caller raises for a pure operation).
template <class Base>
py::function OverrideOf(const Base* self, const char* name) {
  return py::get_override(self, name);
}

[[noreturn]] inline void PureVirtual(const char* cls, const char* name) {
  throw py::type_error(std::string(cls) + "." + name + " must be overridden by the Python subclass");
}

// Every mirror object: the name, Write and Delete.
#define QUILM_OBJECT_OVERRIDES(Base)                                                        \
  std::string GetName() const override { PYBIND11_OVERRIDE(std::string, Base, GetName, ); } \
  void Write(IMirrorModel& model) override { PYBIND11_OVERRIDE(void, Base, Write, model); } \
  void Delete(IMirrorModel& model) override { PYBIND11_OVERRIDE(void, Base, Delete, model); }

#define QUILM_OBJECT_OVERRIDES_PURE(Base)                                                        \
  std::string GetName() const override { PYBIND11_OVERRIDE(std::string, Base, GetName, ); }      \
  void Write(IMirrorModel& model) override { QUILM_PYTHON_PURE(void, Base, Write, model); } \
  void Delete(IMirrorModel& model) override { QUILM_PYTHON_PURE(void, Base, Delete, model); }

// Concepts: parent, type and registration.
#define QUILM_CONCEPT_OVERRIDES_PURE(Base)                                                                  \
  boost::intrusive_ptr<IMirrorConcept> GetParentConcept() const override {                                  \
    QUILM_OVERRIDE_PURE(boost::intrusive_ptr<IMirrorConcept>, Base, GetParentConcept, );                    \
  }                                                                                                         \
  ConceptType GetConceptType() const override { QUILM_OVERRIDE_PURE(ConceptType, Base, GetConceptType, ); } \
  void WriteConcept(IMirrorModel& model) override { PYBIND11_OVERRIDE(void, Base, WriteConcept, model); }

#define QUILM_CONCEPT_OVERRIDES(Base)                                                                     \
  boost::intrusive_ptr<IMirrorConcept> GetParentConcept() const override {                                \
    PYBIND11_OVERRIDE(boost::intrusive_ptr<IMirrorConcept>, Base, GetParentConcept, );                    \
  }                                                                                                       \
  ConceptType GetConceptType() const override { PYBIND11_OVERRIDE(ConceptType, Base, GetConceptType, ); } \
  void WriteConcept(IMirrorModel& model) override { PYBIND11_OVERRIDE(void, Base, WriteConcept, model); }

class PyMirrorObject : public IMirrorObject, public PythonSelf {
 public:
  QUILM_OBJECT_OVERRIDES_PURE(IMirrorObject)
};

class PyMirrorObjectWithTopology : public IMirrorObjectWithTopology, public PythonSelf {
 public:
  QUILM_OBJECT_OVERRIDES_PURE(IMirrorObjectWithTopology)
};

class PyMirrorConcept : public IMirrorConcept, public PythonSelf {
 public:
  QUILM_OBJECT_OVERRIDES_PURE(IMirrorConcept)
  QUILM_CONCEPT_OVERRIDES_PURE(IMirrorConcept)
};

template <class NodeConcept>
class PyNodeConcept : public NodeConcept, public PythonSelf {
 public:
  QUILM_OBJECT_OVERRIDES(NodeConcept)
  QUILM_CONCEPT_OVERRIDES(NodeConcept)
};
using PyMirrorJoint = PyNodeConcept<IMirrorJoint>;
using PyMirrorSupportPoint = PyNodeConcept<IMirrorSupportPoint>;

class PyMirrorBoundaryCondition : public IMirrorBoundaryCondition, public PythonSelf {
 public:
  std::string GetName() const override {
    PYBIND11_OVERRIDE(std::string, IMirrorBoundaryCondition, GetName, );
  }
  void Write(IMirrorModel& model) override {
    PYBIND11_OVERRIDE(void, IMirrorBoundaryCondition, Write, model);
  }
  void Delete(IMirrorModel& model) override {
    QUILM_PYTHON_PURE(void, IMirrorBoundaryCondition, Delete, model);
  }
  QUILM_CONCEPT_OVERRIDES_PURE(IMirrorBoundaryCondition)
};

// ---- properties -------------------------------------------------------------

template <class Material>
class PyMaterialOf : public Material, public PythonSelf {
 public:
  using Material::Material;
  QUILM_OBJECT_OVERRIDES(Material)
  boost::shared_ptr<qlMaterial> GetMaterial() const override {
    if constexpr (std::is_abstract_v<Material>) {
      QUILM_OVERRIDE_PURE(boost::shared_ptr<qlMaterial>, Material, GetMaterial, );
    } else {
      PYBIND11_OVERRIDE(boost::shared_ptr<qlMaterial>, Material, GetMaterial, );
    }
  }
  bool MeshBefore(const IMirrorMaterial* other) const override {
    PYBIND11_OVERRIDE(bool, Material, MeshBefore, other);
  }
  bool IsAnisotrop() const override { PYBIND11_OVERRIDE(bool, Material, IsAnisotrop, ); }
  boost::intrusive_ptr<IMirrorMaterial> GetAnisotropMaterial(const vec3d& direction) const override {
    PYBIND11_OVERRIDE(boost::intrusive_ptr<IMirrorMaterial>, Material, GetAnisotropMaterial,
                      vec3d(direction));
  }
};
using PyMirrorMaterial = PyMaterialOf<IMirrorMaterial>;
using PyXanMirrorMaterial = PyMaterialOf<XanMirrorMaterial>;

template <class Section>
class PySectionOf : public Section, public PythonSelf {
 public:
  using Section::Section;
  QUILM_OBJECT_OVERRIDES(Section)
  boost::shared_ptr<qlSection> GetSection() const override {
    if constexpr (std::is_abstract_v<Section>) {
      QUILM_OVERRIDE_PURE(boost::shared_ptr<qlSection>, Section, GetSection, );
    } else {
      PYBIND11_OVERRIDE(boost::shared_ptr<qlSection>, Section, GetSection, );
    }
  }
  bool MeshBefore(const IMirrorSection* other) const override {
    PYBIND11_OVERRIDE(bool, Section, MeshBefore, other);
  }
};
using PyMirrorSection = PySectionOf<IMirrorSection>;
using PyXanMirrorSection = PySectionOf<XanMirrorSection>;

class PyMirrorThickness : public IMirrorThickness, public PythonSelf {
 public:
  using IMirrorThickness::IMirrorThickness;
  QUILM_OBJECT_OVERRIDES(IMirrorThickness)
  double GetThickness() const override { QUILM_OVERRIDE_PURE(double, IMirrorThickness, GetThickness, ); }
  bool MeshBefore(const IMirrorThickness* other) const override {
    PYBIND11_OVERRIDE(bool, IMirrorThickness, MeshBefore, other);
  }
};

class PyMirrorSet : public IMirrorSet, public PythonSelf {
 public:
  using IMirrorSet::IMirrorSet;
  QUILM_OBJECT_OVERRIDES(IMirrorSet)
  boost::shared_ptr<EntitySet> GetEntitySet() const override {
    QUILM_OVERRIDE_PURE(boost::shared_ptr<EntitySet>, IMirrorSet, GetEntitySet, );
  }
};

class PyMirrorPointMass : public IMirrorPointMass, public PythonSelf {
 public:
  QUILM_OBJECT_OVERRIDES(IMirrorPointMass)
  boost::shared_ptr<Mass> GetMass() const override {
    QUILM_OVERRIDE_PURE(boost::shared_ptr<Mass>, IMirrorPointMass, GetMass, );
  }
};

// ---- beams and plates -------------------------------------------------------

// The callbacks, the load manager and the model have non-virtual
// destructors; their trampolines are only ever deleted as themselves.
class PyEccentricityCallback : public IEccentricityCallback {
 public:
  virtual ~PyEccentricityCallback() = default;
  vec3d GetEccentricity(const pos3d& position) override {
    QUILM_OVERRIDE_PURE(vec3d, IEccentricityCallback, GetEccentricity, pos3d(position));
  }
  // Python answers None (no constant eccentricity) or the vector.
  bool GetConstantEccentricity(vec3d& eccentricity) override {
    py::gil_scoped_acquire gil;
    py::function f = OverrideOf<IEccentricityCallback>(this, "GetConstantEccentricity");
    if (!f) PureVirtual("EccentricityCallback", "GetConstantEccentricity");
    py::object answer = f();
    if (answer.is_none()) return false;
    eccentricity = answer.cast<vec3d>();
    return true;
  }
};

class PyLocalSystemCallback : public ILocalSystemCallback {
 public:
  virtual ~PyLocalSystemCallback() = default;
  locsys3d GetLocalSystem(const pos3d& position) override {
    QUILM_OVERRIDE_PURE(locsys3d, ILocalSystemCallback, GetLocalSystem, pos3d(position));
  }
};

class PyMirrorSegment : public IMirrorSegment, public PythonSelf {
 public:
  QUILM_OBJECT_OVERRIDES(IMirrorSegment)
  QUILM_CONCEPT_OVERRIDES_PURE(IMirrorSegment)
  boost::intrusive_ptr<IMirrorSection> GetSection(const pos3d& position) override {
    QUILM_OVERRIDE_PURE(boost::intrusive_ptr<IMirrorSection>, IMirrorSegment, GetSection, pos3d(position));
  }
  boost::intrusive_ptr<IMirrorMaterial> GetMaterial(const pos3d& position) override {
    QUILM_OVERRIDE_PURE(boost::intrusive_ptr<IMirrorMaterial>, IMirrorSegment, GetMaterial, pos3d(position));
  }
};

class PyMirrorBeam : public IMirrorBeam, public PythonSelf {
 public:
  QUILM_OBJECT_OVERRIDES(IMirrorBeam)
  QUILM_CONCEPT_OVERRIDES_PURE(IMirrorBeam)
  boost::shared_ptr<IEccentricityCallback> GetEccentricityCallback() override {
    return Callback<IEccentricityCallback>("GetEccentricityCallback");
  }
  boost::shared_ptr<ILocalSystemCallback> GetLocalSystemCallback() override {
    return Callback<ILocalSystemCallback>("GetLocalSystemCallback");
  }
  boost::intrusive_ptr<IMirrorSegment> GetSegment(unsigned int index) const override {
    QUILM_OVERRIDE_PURE(boost::intrusive_ptr<IMirrorSegment>, IMirrorBeam, GetSegment, index);
  }
  unsigned int GetSegmentCount() const override {
    QUILM_OVERRIDE_PURE(unsigned int, IMirrorBeam, GetSegmentCount, );
  }
  std::list<long> GetElements() const override {
    PYBIND11_OVERRIDE(std::list<long>, IMirrorBeam, GetElements, );
  }

 private:
  template <class T>
  boost::shared_ptr<T> Callback(const char* name) {
    py::gil_scoped_acquire gil;
    py::function f = OverrideOf<IMirrorBeam>(this, name);
    if (!f) PureVirtual("MirrorBeam", name);
    return SharedFromPython<T>(f());
  }
};

class PyMirrorPlate : public IMirrorPlate, public PythonSelf {
 public:
  QUILM_OBJECT_OVERRIDES(IMirrorPlate)
  boost::intrusive_ptr<IMirrorThickness> GetThickness(const pos3d& position) override {
    QUILM_OVERRIDE_PURE(boost::intrusive_ptr<IMirrorThickness>, IMirrorPlate, GetThickness, pos3d(position));
  }
  boost::intrusive_ptr<IMirrorMaterial> GetMaterial(const pos3d& position) override {
    QUILM_OVERRIDE_PURE(boost::intrusive_ptr<IMirrorMaterial>, IMirrorPlate, GetMaterial, pos3d(position));
  }
};

// ---- loads -----------------------------------------------------------------

class PyMirrorLoad : public IMirrorLoad, public PythonSelf {
 public:
  QUILM_OBJECT_OVERRIDES(IMirrorLoad)
  // Python answers None (nothing to write) or the element ids in order.
  bool GetElements(std::list<long>& elements) override {
    py::gil_scoped_acquire gil;
    py::function f = OverrideOf<IMirrorLoad>(this, "GetElements");
    if (!f) PureVirtual("MirrorLoad", "GetElements");
    py::object answer = f();
    if (answer.is_none()) return false;
    for (py::handle id : py::iter(answer)) elements.push_back(id.cast<long>());
    return true;
  }
  long GetLoadCase() override { QUILM_OVERRIDE_PURE(long, IMirrorLoad, GetLoadCase, ); }
  boost::shared_ptr<Load> GetElementLoad(long element) override {
    QUILM_OVERRIDE_PURE(boost::shared_ptr<Load>, IMirrorLoad, GetElementLoad, element);
  }
};

class PyMirrorLoadCase : public IMirrorLoadCase, public PythonSelf {
 public:
  QUILM_OBJECT_OVERRIDES(IMirrorLoadCase)
  long GetLoadCase() override { QUILM_OVERRIDE_PURE(long, IMirrorLoadCase, GetLoadCase, ); }
  vec3d GetGravity() override { QUILM_OVERRIDE_PURE(vec3d, IMirrorLoadCase, GetGravity, ); }
};

class PyMirrorLoadManager : public IMirrorLoadManager {
 public:
  virtual ~PyMirrorLoadManager() = default;
  // The model answered last is kept here, so that the reference handed to
  // the library stays valid however Python made it.
  IMirrorModel& GetModel() override {
    py::gil_scoped_acquire gil;
    py::function f = OverrideOf<IMirrorLoadManager>(this, "GetModel");
    if (!f) PureVirtual("MirrorLoadManager", "GetModel");
    py::object answer = f();
    IMirrorModel& model = answer.cast<IMirrorModel&>();
    model_ = std::move(answer);
    return model;
  }

 private:
  py::object model_;
};

// ---- the mirror model -------------------------------------------------------

class PyMirrorModel : public IMirrorModel {
 public:
  virtual ~PyMirrorModel() = default;
  std::string MangleName(std::string name, bool longNames, const std::string& prefix,
                         unsigned int number) const override {
    PYBIND11_OVERRIDE(std::string, IMirrorModel, MangleName, name, longNames, prefix, number);
  }
  boost::shared_ptr<XafModel> GetXafModel() override {
    QUILM_OVERRIDE_PURE(boost::shared_ptr<XafModel>, IMirrorModel, GetXafModel, );
  }
};

}  // namespace Kestrum::Quilm::Python
