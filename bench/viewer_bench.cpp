// Writing the VTU file and the viewer page of a large model against writing
// the same arrays raw: the formats' own cost (XML header, the page's escaping,
// JSON tables and compact copies) on top of moving the bytes to disk.
//
// The model is a synthetic deck of a million elements (half four-node
// shells, half beams), or the model file named by $QUILM_VIEW_BENCH_MODEL.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "model_arrays.hpp"
#include "page_writer.hpp"
#include "vtu_writer.hpp"

namespace {

using namespace quilm_view;

ModelArrays SyntheticModel(std::size_t cells) {
  ModelArrays a;
  std::size_t n = 2;
  while ((n - 1) * (n - 1) < cells / 2) ++n;  // n x n nodes give (n-1)^2 shells
  for (std::size_t i = 0; i < n * n; ++i) {
    a.nodeIds.push_back(static_cast<std::int32_t>(i + 1));
    a.points.insert(a.points.end(), {double(i % n), double(i / n), 3.6});
  }
  a.nodeConcept.assign(n * n, 0);
  a.fixity.assign(6 * n * n, 0.0);
  a.mass.assign(6 * n * n, 0.0);
  a.nodeNames.resize(n * n);
  auto add = [&a](int type, std::initializer_list<std::int32_t> nodes, std::int32_t section) {
    a.elementIds.push_back(static_cast<std::int32_t>(a.elementIds.size() + 1));
    a.elementType.push_back(static_cast<std::uint8_t>(type));
    a.vtkType.push_back(VtkCellType(type));
    a.connectivity.insert(a.connectivity.end(), nodes);
    a.offsets.push_back(static_cast<std::int32_t>(a.connectivity.size()));
    a.sectionId.push_back(section);
    a.materialId.push_back(1);
  };
  for (std::size_t y = 0; y + 1 < n && a.elementIds.size() < cells; ++y)
    for (std::size_t x = 0; x + 1 < n && a.elementIds.size() < cells; ++x) {
      const auto p = static_cast<std::int32_t>(y * n + x), q = static_cast<std::int32_t>(n);
      add(24, {p, p + 1, p + 1 + q, p + q}, 10);
      if (a.elementIds.size() < cells) add(15, {p, p + 1}, 4);
    }
  const std::size_t m = a.elementIds.size();
  a.conceptId.assign(m, 0);
  a.conceptNameIndex.assign(m, -1);
  a.thickness.assign(m, 0.2);
  for (auto* v : {&a.localX, &a.localY, &a.localZ, &a.eccentricityFirst, &a.eccentricityLast})
    v->assign(3 * m, 0.0);
  return a;
}

const ModelArrays& Model() {
  static const ModelArrays model = [] {
    const char* file = std::getenv("QUILM_VIEW_BENCH_MODEL");
    if (!file) return SyntheticModel(1000000);
    am::XafModel xaf(file, 0, 1, false);
    return GatherModel(xaf);
  }();
  return model;
}

std::string Scratch(const char* name) { return std::string("/tmp/quilm_viewer_bench_") + name; }

void WriteRaw(const std::vector<DataArray>& arrays, std::ofstream& out) {
  for (const DataArray& d : arrays)
    out.write(static_cast<const char*>(d.data), static_cast<std::streamsize>(d.Bytes()));
}

std::vector<DataArray> VtuRawArrays(const ModelArrays& a, VtuArrays& v) {
  v = ModelVtuArrays(a);
  std::vector<DataArray> all = v.pointData;
  all.insert(all.end(), v.cellData.begin(), v.cellData.end());
  for (DataArray d :
       {View("p", a.points), View("c", a.connectivity), View("o", a.offsets), View("t", a.vtkType)})
    all.push_back(d);
  return all;
}

void BM_VtuArraysRaw(benchmark::State& state) {
  const ModelArrays& a = Model();
  VtuArrays v;
  const auto arrays = VtuRawArrays(a, v);
  for (auto _ : state) {
    std::ofstream out(Scratch("raw_vtu"), std::ios::binary);
    WriteRaw(arrays, out);
  }
  std::remove(Scratch("raw_vtu").c_str());
}

void BM_Vtu(benchmark::State& state) {
  const ModelArrays& a = Model();
  for (auto _ : state) {
    std::ofstream out(Scratch("vtu"), std::ios::binary);
    WriteVtu(a, nullptr, out);
  }
  std::remove(Scratch("vtu").c_str());
}

void BM_PageArraysRaw(benchmark::State& state) {
  const ModelArrays& a = Model();
  const PageArrays page = MakePageArrays(a, {});
  for (auto _ : state) {
    std::ofstream out(Scratch("raw_page"), std::ios::binary);
    WriteRaw(page.arrays, out);
  }
  std::remove(Scratch("raw_page").c_str());
}

// The whole page: the compact copies of the arrays, the escaped block, tables, script.
void BM_Page(benchmark::State& state) {
  const ModelArrays& a = Model();
  for (auto _ : state) {
    std::ofstream out(Scratch("page"), std::ios::binary);
    WritePage(a, {}, PageSettings{}, out);
  }
  std::remove(Scratch("page").c_str());
}

BENCHMARK(BM_VtuArraysRaw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Vtu)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PageArraysRaw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Page)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
