"""Geometry and definitions as Python sees them: conversions, operators and errors."""

import math
import pickle

import pytest

import quilm


def test_points_and_vectors_convert_from_sequences_and_back():
    p = quilm.pos3d((1, 2, 3))
    assert tuple(p) == (1.0, 2.0, 3.0) and p[-1] == 3.0
    assert quilm.vec3d(p, quilm.pos3d(4, 6, 3)) == quilm.vec3d(3, 4, 0)
    assert quilm.vec3d(3, 4, 0).length() == 5.0
    assert pickle.loads(pickle.dumps(p)) == p
    # Anything taking a point takes a tuple or list too.
    assert quilm.line3d((0, 0, 0), [2, 0, 0]).project((1, 1, 0))[1] == pytest.approx(1.0)


@pytest.mark.parametrize(
    "make",
    [
        lambda: quilm.locsys3d((1, 0, 0), (2, 0, 0)),  # parallel axes
        lambda: quilm.locsys3d((0, 0, 0), (0, 0, 1)),  # zero axis
        lambda: quilm.line3d((1, 1, 1), (1, 1, 1)).project((0, 0, 0)),
    ],
)
def test_geometry_errors_are_value_errors(make):
    with pytest.raises(quilm.GeometryError) as info:
        make()
    assert isinstance(info.value, ValueError)


@pytest.mark.parametrize("bad", [(1, 2), (1, 2, 3, 4), ("a", 0, 0)])
def test_bad_sequences_raise_instead_of_converting(bad):
    with pytest.raises((TypeError, ValueError)):
        quilm.pos3d(bad)


def test_a_point_from_numpy_converts_and_a_wrong_one_is_refused_in_one_line(xaf):
    import numpy as np

    node = xaf.Nodes().AddNode(np.array([1.0, 2.0, 3.0]))
    assert tuple(xaf.GetConnectivityManager().GetNodeById(node).GetPos()) == (1.0, 2.0, 3.0)
    for bad in [(1, 2), np.array([1.0, 2.0]), np.zeros((3, 3))]:
        with pytest.raises(TypeError) as info:
            xaf.Nodes().AddNode(bad)
        assert "pos3d needs three numbers" in str(info.value) and "\n" not in str(info.value)


def test_local_system_is_orthonormal_and_right_handed():
    s = quilm.locsys3d((1, 1, 0), (0, 0, 5))
    assert s.x().length() == pytest.approx(1.0)
    assert s.x().cross(s.y()).dot(s.z()) == pytest.approx(1.0)
    assert s.x().x == pytest.approx(math.sqrt(0.5))


def test_definitions_check_their_input():
    assert quilm.qlSection.Pipe(0.3, 0.01).GetKind() == quilm.qlSection.Kind.Pipe
    assert quilm.qlElementType.FromNumber(24).NodeCount() == 4
    assert quilm.qlElementType.Beam3().Shape() == int(quilm.ElementShape.Line)
    with pytest.raises(ValueError):
        quilm.qlSection.Rectangle(-1.0, 0.2)
    with pytest.raises(ValueError):
        quilm.qlMaterial(2.1e11, 0.7, 7850.0)
    with pytest.raises(ValueError):
        quilm.qlElementType.FromNumber(99)
