#!/usr/bin/env python3
"""Python host timings against their C++ counterparts.

1. Writing 100,000 beam elements through Python subclasses of the mirror
   classes (10,000 beams of 2 segments of 5 elements, 200 sections, 10
   materials, a constant eccentricity and a local system per beam), against
   the same host in C++ (the python_host_bench program, Google Benchmark).
2. Reading 1,000,000 node coordinates as a numpy array against a raw copy
   of the same bytes.

    PYTHONPATH=build-rel/python python3 bench/python_host_bench.py \\
        --cpp-bench build-rel/bin/python_host_bench
"""

import argparse
import json
import os
import subprocess
import tempfile
import time

import quilm

BEAMS, SEGMENTS, ELEMENTS = 10000, 2, 5
SECTIONS, MATERIALS = 200, 10


class Section(quilm.MirrorSection):
    def __init__(self, height):
        super().__init__()
        self.height = height

    def GetName(self):
        return "R" + str(self.height)

    def GetSection(self):
        return quilm.qlSection.Rectangle(self.height, 0.2)


class Material(quilm.MirrorMaterial):
    def __init__(self, e):
        super().__init__()
        self.e = e

    def GetMaterial(self):
        return quilm.qlMaterial(self.e, 0.3, 7850.0)


class Segment(quilm.MirrorSegment):
    def __init__(self, beam, section, material):
        super().__init__()
        self.beam, self.section, self.material = beam, section, material

    def GetParentConcept(self):
        return self.beam

    def GetConceptType(self):
        return (12, 0, 0)

    def GetSection(self, position):
        return self.section

    def GetMaterial(self, position):
        return self.material


OFFSET = quilm.vec3d(0.0, 0.0, 0.1)
SYSTEM = quilm.locsys3d(quilm.vec3d(1, 0, 0), quilm.vec3d(0, 0, 1))


class Offset(quilm.EccentricityCallback):
    def GetEccentricity(self, position):
        return OFFSET

    def GetConstantEccentricity(self):
        return OFFSET


class Straight(quilm.LocalSystemCallback):
    def GetLocalSystem(self, position):
        return SYSTEM


class Beam(quilm.MirrorBeam):
    def __init__(self):
        super().__init__()
        self.segments, self.offset, self.system = [], Offset(), Straight()

    def GetParentConcept(self):
        return None

    def GetConceptType(self):
        return (11, 0, 0)

    def GetEccentricityCallback(self):
        return self.offset

    def GetLocalSystemCallback(self):
        return self.system

    def GetSegment(self, index):
        return self.segments[index]

    def GetSegmentCount(self):
        return len(self.segments)


def build_host(path):
    model = quilm.TestMirrorModel(path)
    xaf = model.GetXafModel()
    sections = [Section(0.1 + 0.001 * s) for s in range(SECTIONS)]
    materials = [Material(200e9 + 1e9 * m) for m in range(MATERIALS)]
    for mirror in sections + materials:
        mirror.Write(model)
    nodes, elements, beam2 = xaf.Nodes(), xaf.Elements(), quilm.qlElementType.Beam2()
    beams = []
    for b in range(BEAMS):
        beam = Beam()
        previous = nodes.AddNode((0.0, b, 0.0))
        for s in range(SEGMENTS):
            index = SEGMENTS * b + s
            segment = Segment(beam, sections[index % SECTIONS], materials[index % MATERIALS])
            ids = []
            for k in range(ELEMENTS):
                following = nodes.AddNode((s * ELEMENTS + k + 1.0, b, 0.0))
                ids.append(elements.AddElement(beam2, [previous, following]))
                previous = following
            segment.AddElements(ids)
            beam.segments.append(segment)
        beams.append(beam)
    return model, beams


def time_python_write(directory, runs):
    best = float("inf")
    for run in range(runs):
        model, beams = build_host(os.path.join(directory, f"host{run}.qdb"))
        start = time.perf_counter()
        for beam in beams:
            beam.Write(model)
        best = min(best, time.perf_counter() - start)
    return best


def time_cpp_write(program):
    out = subprocess.run([program, "--benchmark_format=json"], check=True, capture_output=True, text=True).stdout
    for entry in json.loads(out)["benchmarks"]:
        if entry["name"].startswith("FirstWrite"):
            scale = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}[entry["time_unit"]]
            return entry["real_time"] * scale
    raise RuntimeError("no FirstWrite result from " + program)


def time_node_table(directory, count, runs):
    xaf = quilm.XafModel(os.path.join(directory, "nodes.qdb"), create=True)
    add = xaf.Nodes().AddNode
    for i in range(count):
        add((float(i), 0.5 * i, 2.0))
    table = xaf.node_coordinates()
    best_read = best_copy = float("inf")
    for _ in range(runs):
        start = time.perf_counter()
        table = xaf.node_coordinates()
        best_read = min(best_read, time.perf_counter() - start)
        start = time.perf_counter()
        table.copy()
        best_copy = min(best_copy, time.perf_counter() - start)
    assert table.shape == (count, 3)
    return best_read, best_copy


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cpp-bench", help="the python_host_bench program (C++ side of the write comparison)")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--nodes", type=int, default=1000000)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as directory:
        python_write = time_python_write(directory, args.runs)
        print(f"write {BEAMS * SEGMENTS * ELEMENTS} beam elements, Python host: {python_write * 1000:8.1f} ms")
        if args.cpp_bench:
            cpp_write = time_cpp_write(args.cpp_bench)
            print(f"write {BEAMS * SEGMENTS * ELEMENTS} beam elements, C++ host:    {cpp_write * 1000:8.1f} ms")
            print(f"  ratio Python / C++: {python_write / cpp_write:.1f}x (target <= 10x)")
        read, copy = time_node_table(directory, args.nodes, 10)
        print(f"read {args.nodes} node coordinates as numpy: {read * 1000:8.2f} ms")
        print(f"raw copy of the same {args.nodes * 24} bytes:   {copy * 1000:8.2f} ms")
        print(f"  ratio: {read / copy:.1f}x (target <= 3x)")


if __name__ == "__main__":
    main()
