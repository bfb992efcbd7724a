"""Stored results from Python: analyses, whole quantities as NumPy arrays, a
round trip through the file and the stale mark after a change."""

import numpy as np
import pytest

import quilm

Q = quilm.ResultQuantity


def test_results_round_trip_as_arrays_and_turn_stale(model_path):
    xaf = quilm.XafModel(model_path, create=True)
    nodes = [xaf.Nodes().AddNode((x, 0, 0)) for x in range(3)]
    beam = xaf.Elements().AddElement(quilm.qlElementType.Beam2(), nodes[:2])
    results = xaf.Results()
    case = results.AddAnalysis(quilm.StoredAnalysisKind.LoadCase, 1, "dead")
    for n in nodes:
        results.SetValues(case, Q.NodeMotion, n, [0, 0, -0.001 * n, 0, 0.01 * n, 0])
    results.SetValues(case, Q.BeamForces, beam, list(range(12)))
    xaf.Flush()
    del results, xaf  # the results manager keeps its model (and its claim on the file) alive

    xaf = quilm.XafModel(model_path)
    results = xaf.Results()
    [analysis] = results.GetAnalyses()
    assert (analysis.kind, analysis.number, analysis.name, analysis.stale) == (quilm.StoredAnalysisKind.LoadCase, 1, "dead", False)
    ids, motion = results.GetArrays(analysis.id, Q.NodeMotion)
    assert ids.tolist() == nodes and motion.shape == (3, 6) and motion.dtype == np.float64
    np.testing.assert_array_equal(motion[:, 2], [-0.001 * n for n in nodes])
    ids, forces = results.GetArrays(analysis.id, Q.BeamForces)
    assert ids.tolist() == [beam] and forces.shape == (1, 12) and forces[0, 11] == 11
    assert results.GetArrays(analysis.id, Q.ShellStress)[0].size == 0

    xaf.Nodes().AddNode((5, 5, 5))  # the mesh the solver saw has changed
    assert results.IsStale(analysis.id) and results.GetAnalyses()[0].stale
    with pytest.raises(quilm.ModelError):
        results.GetValues(analysis.id + 1, Q.NodeMotion, nodes[0])
