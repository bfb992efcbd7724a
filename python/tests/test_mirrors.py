"""A host written in Python: every mirror class subclassed, written into a
model, and incremental writes checked through the call trace."""

import pytest

import quilm
from host import Beam, ConstantEccentricity, Material, Section, Segment, Thickness, mesh_line, straight_beam


def written_sections(trace):
    return [call for call in trace if call.startswith("Element.SetSection")]


def test_beam_write_then_only_the_marked_segment_is_rewritten(model, xaf, trace):
    material = Material()
    first, second = Section("A"), Section("B", height=0.4)
    beam = straight_beam(xaf, [first, second], material)
    for mirror in (material, first, second):
        mirror.Write(model)
    beam.Write(model)
    beam.WriteConcept(model)
    for segment in beam.segments:
        segment.WriteConcept(model)

    assert [xaf.Elements().GetElement(e).GetSection() for e in beam.GetElements()] == [1, 1, 2, 2]
    assert len(written_sections(trace)) == 4
    assert not beam.IsModified() and not beam.segments[0].IsSectionModified()
    concepts = [xaf.StructureConcepts().GetConcept(i) for i in xaf.StructureConcepts().GetConceptIds()]
    assert [(c.name, c.type, c.parent) for c in concepts] == [("B1", 11, -1), ("", 12, 1), ("", 12, 1)]

    # A new section on the second segment: only its two elements change.
    trace.clear()
    third = Section("C", height=0.5)
    third.Write(model)
    beam.segments[1].section = third
    beam.segments[1].SetSectionModified(True)
    beam.Write(model)
    assert written_sections(trace) == ["Element.SetSection(3, 3)", "Element.SetSection(4, 3)"]
    assert not any(call.startswith("Element.SetMaterial") for call in trace)


def test_eccentricity_callback_reaches_the_elements(model, xaf):
    beam = straight_beam(xaf, [Section("A")], Material())
    beam.eccentricity = ConstantEccentricity(quilm.vec3d(0, 0, 0.25))
    beam.Write(model)
    element = quilm.MirrorElement(xaf, beam.GetElements()[0])
    assert element.GetEccentricityStart() == quilm.vec3d(0, 0, 0.25)
    assert element.GetTransformationStart().z() == quilm.vec3d(0, 0, 1)
    assert element.GetHingeStart() is None


class Joint(quilm.MirrorJoint):
    def GetName(self):
        return "J" + str(self.GetNode())


class Support(quilm.MirrorSupportPoint):
    pass


class Fixed(quilm.MirrorBoundaryCondition):
    def __init__(self, support):
        super().__init__()
        self.support = support

    def Delete(self, model):
        self.deleted = True

    def GetParentConcept(self):
        return self.support

    def GetConceptType(self):
        return (20, 1, 0)


class Steel(quilm.XanMirrorMaterial):
    def GetName(self):
        return "renamed " + super().GetName()


class Group(quilm.MirrorSet):
    def GetName(self):
        return "all"

    def GetEntitySet(self):
        return quilm.EntitySet([1, 2], [1])


class Lump(quilm.MirrorPointMass):
    def GetMass(self):
        return quilm.Mass(500.0)


class Slab(quilm.MirrorPlate):
    def __init__(self, thickness, material):
        super().__init__()
        self.thickness, self.material = thickness, material

    def GetThickness(self, position):
        return self.thickness

    def GetMaterial(self, position):
        return self.material


class Dead(quilm.MirrorLoadCase):
    def GetLoadCase(self):
        return 7

    def GetName(self):
        return "dead"

    def GetGravity(self):
        return quilm.vec3d(0, 0, -9.81)


class Wind(quilm.MirrorLoad):
    def __init__(self, elements):
        super().__init__()
        self.elements = elements

    def GetElements(self):
        return self.elements

    def GetLoadCase(self):
        return 7

    def GetElementLoad(self, element):
        return quilm.LineLoad(quilm.vec3d(1000, 0, 0))


class Manager(quilm.MirrorLoadManager):
    def __init__(self, model):
        super().__init__()
        self.model = model

    def GetModel(self):
        return self.model


def test_every_mirror_class_writes_from_python(model, xaf):
    elements = mesh_line(xaf, (0, 0, 0), (0, 0, 3), 2)
    material = Material()
    material.Write(model)

    joint, support = Joint(), Support()
    joint.SetNode(2)
    support.SetNode(1)
    fixed = Fixed(support)
    for mirror in (joint, support, fixed):
        mirror.Write(model)
    fixed.WriteConcept(model)
    assert xaf.NodeProperties().GetName(2) == "J2"
    assert [xaf.StructureConcepts().GetConcept(i).type for i in (1, 2)] == [1, 20]

    steel = Steel(model, material.GetId())
    assert steel.GetName() == "renamed S355" and steel.GetMaterial().YoungsModulus() == 2.1e11
    section = Section("HE")
    section.Write(model)
    assert quilm.XanMirrorSection(model, section.GetId()).GetSection() == section.GetSection()

    group, lump = Group(), Lump()
    lump.SetNode(3)
    group.Write(model)
    lump.Write(model)
    assert xaf.Sets().GetSet(group.GetId()).GetName() == "all"
    assert xaf.NodeProperties().GetMasses(3) == [quilm.Mass(500.0)]

    a, b, c, d = (xaf.Nodes().AddNode(p) for p in [(0, 5, 0), (1, 5, 0), (1, 6, 0), (0, 6, 0)])
    shell = xaf.Elements().AddElement(quilm.qlElementType.Shell4(), [a, b, c, d])
    thickness = Thickness(0.2)
    thickness.Write(model)
    slab = Slab(thickness, material)
    slab.AddElement(shell)
    slab.Write(model)
    assert xaf.Elements().GetElement(shell).GetSection() == thickness.GetId()
    assert xaf.Sections().GetSection(thickness.GetId()).GetThickness() == 0.2

    dead, wind = Dead(), Wind(elements)
    dead.Write(model)
    wind.Write(model)
    assert xaf.Loads().GetLoadCaseName(7) == "dead"
    assert [e.target for e in xaf.Loads().GetLoads(7)] == elements
    assert wind.GetLoadedElements() == elements

    manager = Manager(model)
    manager.DeleteAllLoadsInLoadCase(7)
    assert xaf.Loads().GetLoads(7) == [] and xaf.Loads().GetGravityLoad(7) is None
    slab.Delete(model)
    assert not xaf.Elements().Contains(shell)


@pytest.mark.parametrize(
    "cls, method",
    [
        (quilm.MirrorSection, "GetSection"),
        (quilm.MirrorSegment, "GetSection"),
        (quilm.MirrorBeam, "GetSegmentCount"),
        (quilm.MirrorLoad, "GetElements"),
        (quilm.EccentricityCallback, "GetConstantEccentricity"),
    ],
)
def test_missing_overrides_raise(cls, method):
    class Incomplete(cls):
        pass

    obj = Incomplete()
    with pytest.raises((RuntimeError, TypeError), match=method):
        getattr(obj, method)(*([quilm.pos3d()] if method == "GetSection" and cls is quilm.MirrorSegment else []))


def test_forgetting_super_init_is_an_error_not_a_crash():
    class Careless(quilm.MirrorSection):
        def __init__(self):
            pass

    with pytest.raises(TypeError):
        Careless()


def test_a_python_mirror_model_is_a_door_to_its_analysis_model(xaf):
    class Door(quilm.MirrorModel):
        def __init__(self, xaf):
            super().__init__()
            self.xaf = xaf

        def GetXafModel(self):
            return self.xaf

    door = Door(xaf)
    section = Section("A")
    section.Write(door)
    assert xaf.Sections().GetSection(section.GetId()).GetName() == "A"
    assert door.MangleName("a very long name", False, "S", 3) == "S3"
    assert door.GetNodePos(xaf.Nodes().AddNode((1, 2, 3))) == quilm.pos3d(1, 2, 3)
