#!/usr/bin/env python3
"""A complete host in Python: a steel portal frame.

The host keeps its own concept model (two columns and a girder of two
segments, their sections and material, the frame's corners and supports, two
load cases), meshes it into the analysis model, mirrors every concept with a
subclass of the library's mirror classes, writes and flushes the model, and
solves it. It prints the results per concept and plots the deformed frame.
Then the girder gets a heavier section: only the section mirror and the
girder's segments are written again, and the frame is solved a second time.

    python3 portal_frame.py [--out DIR] [--elements N] [--no-plot] [--solver ccx|native]

(Run it with the interpreter the module was built for, /usr/bin/python3 on
Debian.) --solver native solves without the external solver program.
"""

import argparse
import os
import sys

import quilm

# ---- the host's concept model ------------------------------------------------

SPAN, HEIGHT = 6.0, 4.0
CORNERS = {"A": (0, 0, 0), "B": (0, 0, HEIGHT), "C": (SPAN, 0, HEIGHT), "D": (SPAN, 0, 0)}
BEAM_TYPE, SEGMENT_TYPE = quilm.ConceptType(10, 0, 0), quilm.ConceptType(12, 0, 0)


class SteelMaterial(quilm.MirrorMaterial):
    def GetName(self):
        return "S355"

    def GetMaterial(self):
        return quilm.qlMaterial(2.1e11, 0.3, 7850.0)


class BoxSection(quilm.MirrorSection):
    """A rectangular hollow section from the host's catalogue."""

    def __init__(self, name, height, width, wall):
        super().__init__()
        self.name, self.dimensions = name, (height, width, wall, wall)

    def GetName(self):
        return self.name

    def GetSection(self):
        return quilm.qlSection.Box(*self.dimensions)


class FrameSegment(quilm.MirrorSegment):
    """A straight piece of a beam with one section."""

    def __init__(self, beam, section, material):
        super().__init__()
        self.beam, self.section, self.material = beam, section, material

    def GetParentConcept(self):
        return self.beam

    def GetConceptType(self):
        return SEGMENT_TYPE

    def GetSection(self, position):
        return self.section

    def GetMaterial(self, position):
        return self.material

    def ChangeSection(self, section):
        self.section = section
        self.SetSectionModified(True)


class InPlaneSystem(quilm.LocalSystemCallback):
    """Local x along the member, local z in the frame's plane (strong-axis bending)."""

    def __init__(self, start, end):
        super().__init__()
        self.x = quilm.vec3d(quilm.pos3d(start), quilm.pos3d(end))
        self.z = quilm.vec3d(0, 0, 1) if abs(self.x.z) < 1e-9 else quilm.vec3d(-1, 0, 0)

    def GetLocalSystem(self, position):
        return quilm.locsys3d(self.x, self.z)


class FrameBeam(quilm.MirrorBeam):
    def __init__(self, name, start, end):
        super().__init__()
        self.name, self.start, self.end, self.segments = name, start, end, []

    def GetName(self):
        return self.name

    def GetParentConcept(self):
        return None

    def GetConceptType(self):
        return BEAM_TYPE

    def GetSegmentCount(self):
        return len(self.segments)

    def GetSegment(self, index):
        return self.segments[index]

    def GetEccentricityCallback(self):
        return None

    def GetLocalSystemCallback(self):
        return InPlaneSystem(self.start, self.end)


class Corner(quilm.MirrorJoint):
    def __init__(self, name):
        super().__init__()
        self.name = name

    def GetName(self):
        return self.name


class Support(quilm.MirrorSupportPoint):
    def __init__(self, name):
        super().__init__()
        self.name = name

    def GetName(self):
        return self.name


class LoadCase(quilm.MirrorLoadCase):
    def __init__(self, number, name, gravity):
        super().__init__()
        self.number, self.name, self.gravity = number, name, gravity

    def GetLoadCase(self):
        return self.number

    def GetName(self):
        return self.name

    def GetGravity(self):
        return quilm.vec3d(*self.gravity)


class MemberLoad(quilm.MirrorLoad):
    """A uniform line load (N/m, global axes) on every element of some beams."""

    def __init__(self, load_case, beams, force):
        super().__init__()
        self.load_case, self.beams, self.force = load_case, beams, force

    def GetElements(self):
        return [e for beam in self.beams for e in beam.GetElements()]

    def GetLoadCase(self):
        return self.load_case

    def GetElementLoad(self, element):
        return quilm.LineLoad(quilm.vec3d(*self.force))


# ---- meshing ---------------------------------------------------------------


class Frame:
    """The concept model, its mesh and its mirrors."""

    def __init__(self, xaf, elements_per_member):
        self.xaf, self.n = xaf, elements_per_member
        self.material = SteelMaterial()
        self.column_section = BoxSection("RHS300x300x10", 0.3, 0.3, 0.010)
        self.girder_section = BoxSection("RHS400x200x10", 0.4, 0.2, 0.010)
        self.node_of = {name: xaf.Nodes().AddNode(p) for name, p in CORNERS.items()}
        self.beams = [
            self.beam("Left column", ["A", "B"], self.column_section),
            self.beam("Girder", ["B", "M", "C"], self.girder_section),
            self.beam("Right column", ["D", "C"], self.column_section),
        ]
        self.corners = [self.node_concept(Corner, "Corner " + c, c) for c in "BC"]
        self.supports = [self.node_concept(Support, "Support " + c, c) for c in "AD"]
        for support in self.supports:
            xaf.NodeProperties().SetBoundaryCondition(support.GetNode(), quilm.Hinge())
        self.load_cases = [LoadCase(1, "dead", (0, 0, -9.81)), LoadCase(2, "wind", (0, 0, 0))]
        self.loads = [
            MemberLoad(1, [self.beams[1]], (0, 0, -5000.0)),
            MemberLoad(2, [self.beams[0]], (2000.0, 0, 0)),
        ]

    def point(self, name):
        return CORNERS[name] if name != "M" else (SPAN / 2, 0, HEIGHT)

    def beam(self, name, points, section):
        beam = FrameBeam(name, self.point(points[0]), self.point(points[-1]))
        for a, b in zip(points, points[1:]):
            segment = FrameSegment(beam, section, self.material)
            segment.AddElements(self.mesh(a, b))
            beam.segments.append(segment)
        return beam

    def mesh(self, a, b):
        """Two-node beams from point a to point b, sharing the end nodes."""
        nodes = self.xaf.Nodes()
        pa, pb = self.point(a), self.point(b)
        for name in (a, b):
            if name not in self.node_of:
                self.node_of[name] = nodes.AddNode(self.point(name))
        inner = [nodes.AddNode(tuple(s + (e - s) * i / self.n for s, e in zip(pa, pb))) for i in range(1, self.n)]
        chain = [self.node_of[a]] + inner + [self.node_of[b]]
        beam2 = quilm.qlElementType.Beam2()
        return [self.xaf.Elements().AddElement(beam2, [p, q]) for p, q in zip(chain, chain[1:])]

    def node_concept(self, cls, name, corner):
        concept = cls(name)
        concept.SetNode(self.node_of[corner])
        return concept

    def write(self, model):
        """The first write: properties first, then beams, concepts, loads."""
        for mirror in (self.material, self.column_section, self.girder_section):
            mirror.Write(model)
        for beam in self.beams:
            beam.Write(model)
            beam.WriteConcept(model)
            for segment in beam.segments:
                segment.WriteConcept(model)
        for concept in self.corners + self.supports:
            concept.Write(model)
            concept.WriteConcept(model)
        for mirror in self.load_cases + self.loads:
            mirror.Write(model)

    def change_girder_section(self, model, section):
        """A heavier girder: write the new section, mark the girder's segments, rewrite the girder."""
        section.Write(model)
        girder = self.beams[1]
        for segment in girder.segments:
            segment.ChangeSection(section)
        girder.Write(model)


# ---- results -----------------------------------------------------------------


def report(frame, results, title):
    """Prints, per load case, the largest displacement of each beam and the support reactions."""
    print(f"\n{title}")
    for step in results.steps:
        print(f"  load case {step.loadCase} ({step.name})")
        for beam in frame.beams:
            nodes = {n for e in beam.GetElements() for n in frame.xaf.GetConnectivityManager().GetElementById(e).GetNodeIds()}
            node, u = max(((n, step.displacements[n].length()) for n in nodes), key=lambda item: item[1])
            print(f"    {beam.GetName():13s} max |u| = {u * 1000:8.3f} mm at node {node}")
        for support in frame.supports:
            r = step.reactions[support.GetNode()]
            print(f"    {support.GetName():13s} reaction = ({r.x / 1000:8.2f}, {r.y / 1000:8.2f}, {r.z / 1000:8.2f}) kN")


def plot(frame, results, path, scale=200.0):
    """The frame and its deformed shape per load case, as a PNG (needs matplotlib)."""
    try:
        import matplotlib

        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib is not installed: no plot")
        return None
    xaf = frame.xaf
    ids, xyz = xaf.node_ids(), xaf.node_coordinates()
    row = {int(n): i for i, n in enumerate(ids)}
    connectivity = xaf.element_connectivity()[:, :2]
    fig, axes = plt.subplots(1, len(results.steps), figsize=(5 * len(results.steps), 4), squeeze=False)
    for ax, step in zip(axes[0], results.steps):
        nodes, u = step.displacement_arrays()
        moved = xyz.copy()
        moved[[row[int(n)] for n in nodes]] += scale * u
        for a, b in connectivity:
            ax.plot(xyz[[row[a], row[b]], 0], xyz[[row[a], row[b]], 2], color="0.7")
            ax.plot(moved[[row[a], row[b]], 0], moved[[row[a], row[b]], 2], color="tab:blue")
        ax.set_title(f"{step.name} (x{scale:g})")
        ax.set_aspect("equal")
    fig.savefig(path, dpi=100)
    plt.close(fig)
    return path


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--out", default=".", help="directory for the model file and the plots")
    parser.add_argument("--elements", type=int, default=8, help="elements per member (default 8)")
    parser.add_argument("--no-plot", action="store_true")
    parser.add_argument("--solver", choices=("ccx", "native"), default="ccx",
                        help="the external solver (default) or the native one")
    args = parser.parse_args(argv)
    os.makedirs(args.out, exist_ok=True)
    path = os.path.join(args.out, "portal_frame.qdb")
    if os.path.exists(path):
        os.remove(path)

    model = quilm.TestMirrorModel(path)
    xaf = model.GetXafModel()
    frame = Frame(xaf, args.elements)
    frame.write(model)
    model.Flush()
    print(f"{path}: {xaf.Nodes().Count()} nodes, {xaf.Elements().Count()} elements")

    if args.solver == "ccx" and quilm.FindSolver() is None:
        print("the solver (ccx) is not installed: nothing to solve")
        return frame, None, None
    _, first = quilm.solve(xaf, solver=args.solver)
    report(frame, first, "First solve")
    if not args.no_plot:
        plot(frame, first, os.path.join(args.out, "portal_frame_1.png"))

    heavier = BoxSection("RHS500x300x16", 0.5, 0.3, 0.016)
    frame.change_girder_section(model, heavier)
    model.Flush()
    _, second = quilm.solve(xaf, solver=args.solver)
    report(frame, second, "After the girder change")
    if not args.no_plot:
        plot(frame, second, os.path.join(args.out, "portal_frame_2.png"))
    return frame, first, second


if __name__ == "__main__":
    main()
    sys.exit(0)
