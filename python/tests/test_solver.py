"""The solver bridge from Python: the example host's portal frame solved
through the module matches the C++ export tool's solve of the same file, and
the girder change shows up in the second solve."""

import os
import re
import shutil
import subprocess
import sys

import numpy as np
import pytest

import quilm

EXAMPLES = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "python")
sys.path.insert(0, EXAMPLES)
import portal_frame  # noqa: E402

needs_solver = pytest.mark.skipif(quilm.FindSolver() is None, reason="the solver (ccx) is not installed")


PREFIX = {"m": 1.0, "mm": 1e-3, "µm": 1e-6, "nm": 1e-9, "pm": 1e-12}


def lengths(fields):
    """Values printed as pairs of number and length unit, in metres."""
    return tuple(float(v) * PREFIX[unit] for v, unit in zip(fields[0::2], fields[1::2]))


def cpp_displacements(model_file):
    """{load case: {node: (ux, uy, uz)}} as the C++ export tool prints them
    (four significant digits, each with its unit)."""
    tool = os.environ.get("QUILM_EXPORT_TOOL")
    if not tool:
        pytest.skip("QUILM_EXPORT_TOOL is not set (run through ctest)")
    # The solve stores its results in the model, so it runs on a copy: the
    # host still holds the model file as its writer.
    copy = model_file + ".copy.qdb"
    shutil.copyfile(model_file, copy)
    out = subprocess.run([tool, copy, "--solve", "--full", "--quiet"], check=True, capture_output=True, text=True).stdout
    cases, current, in_displacements = {}, None, False
    for line in out.splitlines():
        if line.startswith("Load case"):
            current = cases.setdefault(int(line.split()[2]), {})
        elif line.strip() == "displacements":
            in_displacements = True
        elif line.strip() == "reactions":
            in_displacements = False
        elif in_displacements and current is not None and re.match(r"\s+\d+\s", line):
            fields = line.split()
            current[int(fields[0])] = lengths(fields[1:7])
    return cases


@needs_solver
def test_portal_frame_matches_the_cpp_solve_and_the_change_stiffens_the_girder(tmp_path, capsys):
    frame, first, second = portal_frame.main(["--out", str(tmp_path), "--elements", "4", "--no-plot"])
    assert "Girder" in capsys.readouterr().out

    expected = cpp_displacements(str(tmp_path / "portal_frame.qdb"))  # the file holds the changed frame
    assert sorted(expected) == [step.loadCase for step in second.steps] == [1, 2]
    for step in second.steps:
        nodes, u = step.displacement_arrays()
        assert u.dtype == np.float64 and u.shape == (len(nodes), 3)
        reference = np.array([expected[step.loadCase][int(n)] for n in nodes])
        np.testing.assert_allclose(u, reference, rtol=1e-3, atol=1e-12)

    girder_mid = frame.node_of["M"]
    dead_before = first.steps[0].displacements[girder_mid].z
    dead_after = second.steps[0].displacements[girder_mid].z
    assert dead_before < dead_after < 0  # sags less with the heavier section

    # Equilibrium of the wind case: the supports take all of the 2 kN/m on the
    # 4 m column, including the share lumped onto the loaded support's node.
    reactions = sum(second.steps[1].reactions[s.GetNode()].x for s in frame.supports)
    assert reactions == pytest.approx(-2000.0 * portal_frame.HEIGHT, rel=1e-6)


def test_export_errors_name_the_records(xaf, model):
    a, b = xaf.Nodes().AddNode((0, 0, 0)), xaf.Nodes().AddNode((1, 0, 0))
    xaf.Elements().AddElement(quilm.qlElementType.Beam2(), [a, b])  # no section, no material
    with pytest.raises(quilm.ExportError):
        quilm.ExportCcxDeck(xaf)


def test_a_failing_solver_raises_solver_error(xaf):
    deck = quilm.CcxDeck()
    options = quilm.RunOptions()
    options.executable = "/bin/false"
    with pytest.raises(quilm.SolverError):
        quilm.RunSolver(deck, options)


def test_native_solve_stores_its_results_keyed_by_every_model_node(tmp_path):
    frame, _, _ = portal_frame.main(["--out", str(tmp_path), "--elements", "4", "--no-plot"])
    xaf = frame.xaf
    solved, results = quilm.solve(xaf, solver="native", store=True)
    node_ids = [int(n) for n in xaf.node_ids()]
    for step in results.steps:
        assert sorted(step.displacements) == node_ids  # model nodes only, every one
    stored = xaf.Results().GetAnalyses()
    assert [a.number for a in stored] == [step.loadCase for step in results.steps]
    assert not any(a.stale for a in stored)
    ids, _ = xaf.Results().GetArrays(stored[0].id, quilm.ResultQuantity.NodeMotion)
    assert ids.dtype == np.int64  # as the mesh tables' ids


def test_options_given_twice_are_refused_and_left_unchanged(xaf):
    options = quilm.ExportOptions()
    options.loadCases = [1]
    with pytest.raises(ValueError, match="load_cases"):
        quilm.solve(xaf, load_cases=[2], options=options)
    with pytest.raises(TypeError, match="NativeOptions"):
        quilm.solve(xaf, options=options, solver="native")
    assert list(options.loadCases) == [1]


def test_modes_buckling_and_a_spectrum_are_stored_with_their_kinds(tmp_path):
    frame, _, _ = portal_frame.main(["--out", str(tmp_path), "--elements", "4", "--no-plot"])
    xaf = frame.xaf
    options = quilm.SpectrumOptions()
    options.modes.count = 3
    options.modes.massShare = 0.0
    options.spectrum = "ag=3 S=1.2 TB=0.15 TC=0.5 TD=2"
    rsa = quilm.SolveResponseSpectrum(xaf, options)
    frequencies = list(rsa.results.frequencies)
    assert len(frequencies) == 3 and frequencies == sorted(frequencies) and frequencies[0] > 0
    assert rsa.baseShear[0] > 0 and rsa.baseShear[2] == 0
    buckling = quilm.BucklingOptions()
    buckling.loads = [(xaf.Loads().GetLoadCaseIds()[0], 1.0)]
    buckling.count = 2
    factors = [s.eigenvalue for s in quilm.SolveBuckling(xaf, buckling).results.buckling]
    assert len(factors) == 2 and 0 < factors[0] < factors[1]
    quilm.StoreSolveResults(xaf, rsa.results, rsa.solved, rsa.fingerprint)
    kinds = {a.kind for a in xaf.Results().GetAnalyses()}
    assert {quilm.StoredAnalysisKind.Mode, quilm.StoredAnalysisKind.Spectrum} <= kinds
    with pytest.raises(quilm.SolverError):
        bad = quilm.SpectrumOptions()
        bad.spectrum = "0 1\n0.5 x\n"
        quilm.SolveResponseSpectrum(xaf, bad)


def test_out_of_core_gives_the_in_core_answer(tmp_path):
    frame, _, _ = portal_frame.main(["--out", str(tmp_path), "--elements", "4", "--no-plot"])
    xaf = frame.xaf
    in_core = quilm.SolveNative(xaf)
    options = quilm.NativeOptions()
    options.memory.storage = quilm.FactorStorage.OutOfCore
    options.memory.outOfCoreFolder = str(tmp_path)
    out_of_core = quilm.SolveNative(xaf, options)
    assert out_of_core.statistics.outOfCore and not in_core.statistics.outOfCore
    for a, b in zip(in_core.results.steps, out_of_core.results.steps):
        for node, u in a.displacements.items():
            assert abs(b.displacements[node].z - u.z) <= 1e-10 * max(1e-12, abs(u.z))
    assert issubclass(quilm.NativeMemoryError, quilm.SolverError)  # a refusal is caught as any solver error
