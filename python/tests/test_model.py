"""The analysis model from Python: files, managers, errors, numpy tables and the trace."""

import numpy as np
import pytest

import quilm


def test_create_flush_reopen_and_read_only(model_path):
    xaf = quilm.XafModel(model_path, create=True)
    n1 = xaf.Nodes().AddNode((0, 0, 0))
    n2 = xaf.Nodes().AddNode((1, 0, 0))
    xaf.Sections().AddSection(quilm.qlSection.Rectangle(0.3, 0.2), "R", -1)
    xaf.Elements().AddElement(quilm.qlElementType.Beam2(), [n1, n2])
    xaf.Flush()
    del xaf

    with pytest.raises(quilm.ModelError):
        quilm.XafModel(model_path + ".missing")
    reopened = quilm.XafModel(model_path, access_mode=0)
    assert reopened.IsReadOnly()
    assert reopened.Elements().Count() == 1
    assert reopened.Sections().GetSection(1).GetName() == "R"
    with pytest.raises(quilm.ModelError):
        reopened.Flush()


@pytest.mark.parametrize(
    "call",
    [
        lambda x: x.Elements().GetElement(99),
        lambda x: x.GetConnectivityManager().GetNodeById(0),
        lambda x: x.Materials().DeleteMaterial(5),
        lambda x: x.Elements().AddElement(quilm.qlElementType.Beam2(), [1, 1]),
        lambda x: x.Nodes().AddNode((float("nan"), 0, 0)),
    ],
)
def test_bad_ids_and_arguments_raise_model_error(xaf, call):
    xaf.Nodes().AddNode((0, 0, 0))
    with pytest.raises(quilm.ModelError):
        call(xaf)


@pytest.mark.parametrize(
    "call",
    [
        lambda x, m: x.Sections().AddSection(None, "none", -1),
        lambda x, m: quilm.MirrorElement(None, 1),
        lambda x, m: quilm.XanMirrorSection(None, 1),
        lambda x, m: quilm.TestMirrorModel(None),
        lambda x, m: x.Elements().GetElement(2**70),
        lambda x, m: quilm.ExportCcxDeck(None),
    ],
)
def test_none_and_out_of_range_raise_instead_of_crashing(xaf, model, call):
    with pytest.raises((TypeError, ValueError, OverflowError)):
        call(xaf, model)


def test_element_handles_keep_the_model_alive(model_path):
    xaf = quilm.XafModel(model_path, create=True)
    a, b = xaf.Nodes().AddNode((0, 0, 0)), xaf.Nodes().AddNode((0, 0, 3))
    handle = xaf.Elements().GetElement(xaf.Elements().AddElement(quilm.qlElementType.Beam2(), [a, b]))
    del xaf
    handle.SetSection(-1)
    assert handle.GetSection() == -1


def test_tables_have_shapes_dtypes_and_values(xaf):
    positions = np.random.default_rng(1).normal(size=(50, 3))
    ids = [xaf.Nodes().AddNode(tuple(p)) for p in positions]
    beam2, shell4 = quilm.qlElementType.Beam2(), quilm.qlElementType.Shell4()
    e1 = xaf.Elements().AddElement(beam2, ids[:2])
    e2 = xaf.Elements().AddElement(shell4, ids[2:6])
    e3 = xaf.Elements().AddElement(quilm.qlElementType.Beam3(), ids[6:9])
    xaf.Elements().RemoveElement(e1, True)

    coordinates = xaf.node_coordinates()
    assert coordinates.dtype == np.float64 and coordinates.shape == (50, 3)
    np.testing.assert_array_equal(coordinates, positions)
    np.testing.assert_array_equal(xaf.node_ids(), np.arange(1, 51))

    assert xaf.element_ids().tolist() == [e2, e3]
    assert xaf.element_types().tolist() == [24, 23]
    stored = xaf.element_connectivity()
    assert stored.dtype == np.int64 and stored.shape == (2, 4)
    assert stored.tolist() == [ids[2:6], ids[6:9] + [0]]
    # The three-node beam is stored (end, end, middle): geometric order walks along it.
    assert xaf.element_connectivity(quilm.Element.Geometric)[1].tolist() == [ids[6], ids[8], ids[7], 0]
    # An empty model gives empty tables of the same shapes.
    empty = quilm.XafModel(xaf.GetFileName() + ".empty.qdb", create=True)
    assert empty.node_coordinates().shape == (0, 3) and empty.element_connectivity().shape == (0, 4)


def test_trace_sees_every_call_and_a_raising_sink_stops_the_call(xaf, trace):
    xaf.Nodes().AddNode((1, 2, 3))
    assert trace == ["Nodes.AddNode((1, 2, 3))"]

    class Refused(Exception):
        pass

    def refuse(event):
        raise Refused(event.operation)

    xaf.SetTraceSink(refuse)
    with pytest.raises(Refused) as info:
        xaf.Nodes().AddNode((4, 5, 6))
    assert str(info.value) == "Nodes.AddNode"
    xaf.SetTraceSink(None)
    assert xaf.Nodes().Count() == 1 and xaf.GetTraceSink() is None
    with pytest.raises(TypeError):
        xaf.SetTraceSink(42)
