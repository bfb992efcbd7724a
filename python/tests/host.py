"""A small Python host for the tests: one class per mirror class, each
answering from its own attributes, and a helper that meshes a straight beam."""

import quilm


class Section(quilm.MirrorSection):
    def __init__(self, name, height=0.3):
        super().__init__()
        self.name, self.height = name, height

    def GetName(self):
        return self.name

    def GetSection(self):
        return quilm.qlSection.Rectangle(self.height, 0.2)


class Material(quilm.MirrorMaterial):
    def __init__(self, name="S355", e=2.1e11):
        super().__init__()
        self.name, self.e = name, e

    def GetName(self):
        return self.name

    def GetMaterial(self):
        return quilm.qlMaterial(self.e, 0.3, 7850.0)


class Thickness(quilm.MirrorThickness):
    def __init__(self, value):
        super().__init__()
        self.value = value

    def GetThickness(self):
        return self.value


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


class LocalSystem(quilm.LocalSystemCallback):
    def GetLocalSystem(self, position):
        return quilm.locsys3d((1, 0, 0), (0, 0, 1))


class ConstantEccentricity(quilm.EccentricityCallback):
    def __init__(self, offset):
        super().__init__()
        self.offset = offset

    def GetEccentricity(self, position):
        return self.offset

    def GetConstantEccentricity(self):
        return self.offset


class Beam(quilm.MirrorBeam):
    def __init__(self, name="B1", eccentricity=None):
        super().__init__()
        self.name, self.segments, self.eccentricity = name, [], eccentricity

    def GetName(self):
        return self.name

    def GetParentConcept(self):
        return None

    def GetConceptType(self):
        return quilm.ConceptType(11, 0, 0)

    def GetSegmentCount(self):
        return len(self.segments)

    def GetSegment(self, index):
        return self.segments[index]

    def GetEccentricityCallback(self):
        return self.eccentricity

    def GetLocalSystemCallback(self):
        return LocalSystem()


def mesh_line(xaf, start, end, count):
    """Nodes and two-node beams from start to end; returns the element ids."""
    nodes = xaf.Nodes()
    ids = [nodes.AddNode(tuple(s + (e - s) * i / count for s, e in zip(start, end))) for i in range(count + 1)]
    elements = xaf.Elements()
    beam2 = quilm.qlElementType.Beam2()
    return [elements.AddElement(beam2, [a, b]) for a, b in zip(ids, ids[1:])]


def straight_beam(xaf, sections, material, elements_per_segment=2):
    """A beam along x with one segment per section, meshed and ready to write."""
    beam = Beam()
    for i, section in enumerate(sections):
        segment = Segment(beam, section, material)
        segment.AddElements(mesh_line(xaf, (i, 0, 0), (i + 1, 0, 0), elements_per_segment))
        beam.segments.append(segment)
    return beam
