"""Exceptions in both directions: the library's errors as Python classes, and
Python exceptions raised in overrides reaching the caller unchanged, with
flags and ids left as a C++ exception leaves them."""

import pytest

import quilm
from host import Material, Section, straight_beam


class HostFailure(Exception):
    pass


def test_library_errors_map_to_python_classes():
    assert issubclass(quilm.ModelError, RuntimeError)
    assert issubclass(quilm.GeometryError, ValueError)
    assert issubclass(quilm.ExportError, quilm.SolverError)


def test_section_failure_keeps_flag_and_id(model):
    error = HostFailure("no catalogue")

    class Broken(Section):
        def GetSection(self):
            raise error

    section = Broken("X")
    with pytest.raises(HostFailure) as info:
        section.Write(model)
    assert info.value is error
    assert section.IsModified() and section.GetId() == -1


@pytest.mark.parametrize("fail_at", [0, 2, 3])
def test_segment_failure_mid_write_is_retried_in_full(model, xaf, trace, fail_at):
    material, section = Material(), Section("A")
    material.Write(model)
    section.Write(model)
    beam = straight_beam(xaf, [section], material, elements_per_segment=4)
    segment = beam.segments[0]
    calls = []
    armed = [True]

    def failing(position):
        calls.append(position)
        if armed[0] and len(calls) == fail_at + 1:
            raise HostFailure(f"at element {fail_at}")
        return section

    segment.GetSection = failing
    with pytest.raises(HostFailure, match=f"at element {fail_at}"):
        beam.Write(model)
    assert segment.IsSectionModified() and beam.IsModified() and beam.IsLocalSystemModified()
    assert sum(call.startswith("Element.SetSection") for call in trace) == fail_at

    trace.clear()
    armed[0] = False
    beam.Write(model)
    assert sum(call.startswith("Element.SetSection") for call in trace) == 4
    assert not segment.IsSectionModified() and not beam.IsModified()


def test_model_error_raised_inside_an_override_travels_as_itself(model, xaf):
    class Curious(Section):
        def GetName(self):
            xaf.Elements().GetElement(12345)  # raises ModelError inside the library's Write

    section = Curious("Y")
    with pytest.raises(quilm.ModelError, match="12345"):
        section.Write(model)
    assert section.IsModified()


def test_a_missing_override_names_the_host_class_and_the_operation(model):
    class Forgetful(quilm.MirrorSection):
        def __init__(self):
            super().__init__()

        def GetName(self):
            return "F"

    section = Forgetful()
    section.SetModified(True)
    with pytest.raises(NotImplementedError, match=r"^Forgetful\.GetSection is not defined: a subclass of "
                                                  r"quilm\.MirrorSection must override GetSection$"):
        section.Write(model)


def test_wrong_answer_types_raise_type_errors(model, xaf):
    class Confused(Section):
        def GetSection(self):
            return "IPE 300"

    with pytest.raises((TypeError, RuntimeError)):
        Confused("Z").Write(model)
