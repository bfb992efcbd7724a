"""Lifetimes of Python mirror objects held by the library through their
reference count: alive while held, freed when neither side holds them."""

import gc
import sys
import weakref

import pytest

import quilm
from host import Beam, Material, Section, Segment, mesh_line


class Manager(quilm.MirrorLoadManager):
    def __init__(self, model):
        super().__init__()
        self.model = model

    def GetModel(self):
        return self.model


class HandOverBeam(Beam):
    """A beam that gives the library the only reference to each segment."""

    def GetSegment(self, index):
        segment = self.pending.pop()
        self.handed.append(weakref.ref(segment))
        return segment


class CollectingSection(Section):
    """A section that runs the collector while the library holds its segment."""

    def __init__(self, name, seen):
        super().__init__(name)
        self.seen = seen


class CollectingSegment(Segment):
    def GetSection(self, position):
        gc.collect()
        # The library holds this object; its Python state must still be here.
        self.section.seen.append((self.section.name, self.GetReferenceCount() > 1))
        return self.section


def test_object_handed_over_survives_collection_while_the_library_holds_it(model, xaf):
    seen = []
    section, material = CollectingSection("S", seen), Material()
    section.Write(model)
    material.Write(model)
    beam = HandOverBeam()
    beam.handed = []
    segment = CollectingSegment(beam, section, material)
    segment.AddElements(mesh_line(xaf, (0, 0, 0), (1, 0, 0), 3))
    elements = segment.GetElements()
    beam.segments = [None]  # GetSegmentCount says 1
    beam.pending = [segment]
    del segment
    gc.collect()

    beam.Write(model)

    assert seen == [("S", True)] * 3
    assert [xaf.Elements().GetElement(e).GetSection() for e in elements] == [section.GetId()] * 3
    # Once the library has let go, the segment is freed with the next collection.
    gc.collect()
    assert beam.handed[0]() is None


def test_fresh_parent_returned_by_an_override_is_registered_with_its_python_state(model, xaf):
    class Parent(quilm.MirrorConcept):
        def __init__(self, name):
            super().__init__()
            self.name = name

        def GetName(self):
            gc.collect()
            return self.name

        def GetParentConcept(self):
            return None

        def GetConceptType(self):
            return (30, 0, 0)

        def Write(self, model):
            pass

        def Delete(self, model):
            pass

    parents = []

    class Child(Segment):
        def GetParentConcept(self):
            parent = Parent("made on the fly")
            parents.append(weakref.ref(parent))
            return parent

    Child(None, None, None).WriteConcept(model)
    assert xaf.StructureConcepts().GetConcept(1).name == "made on the fly"
    gc.collect()
    assert parents[0]() is None


@pytest.mark.parametrize(
    "make, hand_over",
    [
        (lambda: Section("S"), False),
        (Material, False),
        (lambda: Segment(None, None, None), False),
        (lambda: Segment(None, None, None), True),
        (Beam, True),
    ],
)
def test_python_objects_are_freed_when_python_drops_them(model, make, hand_over):
    obj = make()
    probe = weakref.ref(obj)
    assert obj.GetReferenceCount() == 1
    if hand_over:  # the library takes a count for the call and gives it back
        Manager(model).DeleteLoadsForConcept(obj, 1)
        assert obj.GetReferenceCount() == 1
    del obj
    gc.collect()
    assert probe() is None


def test_no_leak_when_writing_and_dropping_many_objects(model, xaf):
    material = Material()
    material.Write(model)
    elements = mesh_line(xaf, (0, 0, 0), (1, 0, 0), 1)

    def round_trip():
        section = Section("S")
        section.Write(model)
        beam = Beam()
        segment = Segment(beam, section, material)
        segment.AddElements(elements)
        beam.segments.append(segment)
        beam.Write(model)

    for _ in range(500):  # warm up caches and free lists
        round_trip()
    gc.collect()
    before = sys.getallocatedblocks()
    for _ in range(4000):
        round_trip()
    gc.collect()
    # Each round trip makes four Python objects; a leak of any of them would
    # leave thousands of blocks behind.
    assert sys.getallocatedblocks() - before < 1000
    assert sum(isinstance(o, quilm.MirrorObject) for o in gc.get_objects()) == 1  # the material
