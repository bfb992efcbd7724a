// A text image of every table of a model, read through the public calls
// only, so that two models (before and after a file round trip) compare
// table by table.
#pragma once

#include <map>
#include <sstream>
#include <string>

#include "analysis_model/xaf_model.hpp"

namespace Kestrum::Quilm::AnalysisModel::Testing {

// One entry per table; doubles printed with full precision.
inline std::map<std::string, std::string> Snapshot(XafModel& m) {
  std::map<std::string, std::string> tables;
  auto vec = [](std::ostream& os, double x, double y, double z) {
    os << "(" << x << "," << y << "," << z << ")";
  };
  {
    std::ostringstream os;
    os.precision(17);
    for (long n : m.Nodes().GetNodeIds()) {
      const pos3d p = m.GetConnectivityManager().GetNodeById(n).GetPos();
      os << n;
      vec(os, p.x, p.y, p.z);
      os << " name=" << m.NodeProperties().GetName(n) << " masses=";
      for (const Mass& mass : m.NodeProperties().GetMasses(n))
        for (double v : mass.Values()) os << v << ",";
      auto t = m.NodeProperties().GetTransnod(n);
      os << " transnod=" << (t ? *t : 0);
      if (auto bc = m.NodeProperties().GetBoundaryCondition(n))
        for (double v : bc->Fixations()) os << " bc" << v;
      os << "\n";
    }
    tables["nodes"] = os.str();
  }
  {
    std::ostringstream os;
    for (long e : m.Elements().GetElementIds()) {
      auto x = m.Elements().GetElement(e);
      const Element el = x->GetElementWithInternalNodeIds();
      os << e << " type=" << el.GetElementType().Number() << " nodes=";
      for (long n : el.GetNodeIds()) os << n << ",";
      os << " s=" << x->GetSection() << " m=" << x->GetMaterial() << " e=" << x->GetEccentricity()
         << " t=" << x->GetTransformation() << " f=" << x->GetFixation() << " per-node:";
      for (unsigned i = 0; i < el.NodeCount(); ++i)
        os << " " << x->GetNodeEccentricity(i) << "/" << x->GetNodeTransformation(i) << "/"
           << x->GetNodeFixation(i);
      os << "\n";
    }
    tables["elements"] = os.str();
  }
  {
    std::ostringstream os;
    os.precision(17);
    for (long id = 1; id <= static_cast<long>(m.Eccentricities().Count()); ++id) {
      const vec3d v = m.Eccentricities().GetEccentricity(id)->GetEccentricity();
      vec(os, v.x, v.y, v.z);
    }
    os << "|";
    for (long id = 1; id <= static_cast<long>(m.Transformations().Count()); ++id) {
      auto t = m.Transformations().GetTransformation(id);
      vec(os, t->GetTransformationVector().x, t->GetTransformationVector().y, t->GetTransformationVector().z);
      for (double v : t->GetTransformationMatrix()) os << v << ",";
    }
    tables["eccentricities+transformations"] = os.str();
  }
  {
    std::ostringstream os;
    for (long id = 1;; ++id) {
      try {
        const auto hinge = m.Hinges().GetHinge(id);
        for (double v : hinge->GetHinge().Fixations()) os << v << ",";
        os << ";";
      } catch (const ModelError&) {
        break;
      }
    }
    tables["hinges"] = os.str();
  }
  {
    std::ostringstream os;
    os.precision(17);
    for (long id : m.StructureConcepts().GetConceptIds()) {
      const StructureConcept c = m.StructureConcepts().GetConcept(id);
      os << c.id << " " << c.type << " " << c.role << " " << c.parent << " " << c.name << "\n";
    }
    for (long id : m.Materials().GetMaterialIds()) {
      auto r = m.Materials().GetMaterial(id);
      const qlMaterial& q = *r->GetMaterial();
      os << "M" << id << " " << r->GetName() << " " << q.YoungsModulus() << " " << q.PoissonsRatio() << " "
         << q.Density() << " " << q.ThermalExpansion() << " " << q.DampingRatio() << "\n";
    }
    for (long id : m.Sections().GetSectionIds()) {
      auto r = m.Sections().GetSection(id);
      os << "S" << id << " " << r->GetName() << " ";
      if (r->GetSection()) {
        const auto& p = r->GetSection()->Properties();
        os << r->GetSection()->Describe() << " " << p.area << " " << p.iy << " " << p.iz << " " << p.it << " "
           << p.shearAreaY << " " << p.shearAreaZ;
      }
      if (r->GetThickness()) os << "t=" << *r->GetThickness();
      os << "\n";
    }
    for (long id : m.Sets().GetSetIds()) {
      auto r = m.Sets().GetSet(id);
      os << "T" << id << " " << r->GetName() << " n:";
      for (long n : r->GetEntitySet().Nodes()) os << n << ",";
      os << " e:";
      for (long e : r->GetEntitySet().Elements()) os << e << ",";
      os << "\n";
    }
    tables["properties"] = os.str();
  }
  {
    std::ostringstream os;
    os.precision(17);
    for (long lc : m.Loads().GetLoadCaseIds()) {
      auto name = m.Loads().GetLoadCaseName(lc);
      os << "LC" << lc << " name=" << (name ? "\"" + *name + "\"" : std::string("none"));
      if (auto g = m.Loads().GetGravityLoad(lc)) vec(os, g->x, g->y, g->z);
      os << "\n";
      for (const LoadEntry& e : m.Loads().GetLoads(lc))
        os << "  " << static_cast<int>(e.kind) << " " << e.target << " " << e.record->loadType() << " "
           << e.record->Describe() << "\n";
    }
    tables["loads"] = os.str();
  }
  return tables;
}

}  // namespace Kestrum::Quilm::AnalysisModel::Testing
