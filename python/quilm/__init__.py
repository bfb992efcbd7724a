"""Quilm: mirror a structural concept model into a finite-element analysis model.

The package wraps the C++ library. Its parts:

* geometry: ``pos3d``, ``vec3d``, ``locsys3d``, ``line3d`` (points and vectors
  also accept a tuple of three numbers);
* definitions: ``qlMaterial``, ``qlSection``, ``qlElementType``;
* the analysis model ``XafModel`` with its managers, element handles, the call
  trace (``SetTraceSink`` with any callable) and whole tables as numpy arrays
  (``node_coordinates``, ``element_connectivity``, ...);
* the mirror classes a host subclasses: ``MirrorSection``, ``MirrorMaterial``,
  ``MirrorThickness``, ``MirrorSet``, ``MirrorPointMass``, ``MirrorSegment``,
  ``MirrorBeam``, ``MirrorPlate``, ``MirrorJoint``, ``MirrorSupportPoint``,
  ``MirrorBoundaryCondition``, ``MirrorLoad``, ``MirrorLoadCase``,
  ``MirrorLoadManager`` and the beam callbacks, with ``TestMirrorModel`` (or
  a subclass of ``MirrorModel``) as the door to the analysis model;
* the solvers: the external one (``ExportCcxDeck``, ``RunSolver``), the
  native one (``SolveNative``), ``StoreSolveResults`` and ``solve`` below.

Lifetimes: an ``XafModel`` opened read-write (and a ``TestMirrorModel``)
holds its file's writer lock for as long as the Python object lives, and
every handle taken from it (a manager, an element, a mirror object that
wrote into it) keeps it alive. To release the lock, drop every reference
to the model and to what came from it (``del model, xaf, ...``), then
``gc.collect()`` so that reference cycles go too; a second writer opened
before that is refused with ModelError "... is in use by another writer".

The library's C++ operations keep their names (``GetName``, ``Write``,
``SetSectionModified``); what exists only in Python is in lower case.

Errors: ``ModelError`` (analysis model), ``GeometryError`` (a ``ValueError``),
``SolverError`` and its kind ``ExportError``. An exception raised in an
overridden method reaches the caller of the library unchanged.
"""

from ._quilm import *  # noqa: F401,F403
from ._quilm import (BucklingOptions, ExportCcxDeck, ExportOptions, FactorStorage, KeyByModelNodes, ModeOptions,
                     NativeMemoryError, NativeMemoryOptions, NativeOptions, RunOptions, RunSolver, SolveBuckling,
                     SolveModes, SolveNative, SolveResponseSpectrum, SpectrumOptions, StoreSolveResults, WithSpectrum)
from . import results  # noqa: F401

__all__ = [name for name in dir() if not name.startswith("_")]


def solve(model, load_cases=None, frequencies=None, options=None, run_options=None, solver="ccx", store=False):
    """Solves ``model`` (an XafModel) and returns ``(solved, results)``.

    ``solver``: ``"ccx"`` exports a deck and runs the external solver
    (``solved`` is the ``CcxDeck``); ``"native"`` runs the native solver
    (``solved`` is a ``SolvedModel``). ``load_cases``: the load cases to
    solve, in order (default: all); ``frequencies``: that many
    eigenfrequencies (external solver only). ``options`` (``ExportOptions``
    or ``NativeOptions``) and ``run_options`` (``RunOptions``, external
    solver) are taken as given: a value given both there and as an argument
    is refused with ValueError rather than one silently replacing the other.

    The results are keyed by the model's nodes only: the solver's own nodes
    are left out, and every model node is there (NaN where the solver gave
    no value, such as an eccentric beam end), so ``step.displacements[n]``
    works for every ``n`` in ``model.node_ids()``.

    ``store=True`` also stores the results in the model (``model.Results()``,
    stamped with the model's fingerprint when the solver read it); flush the
    model to keep them. The model must then be open read-write.
    """
    if solver not in ("ccx", "native"):
        raise ValueError(f"solver must be 'ccx' or 'native', not {solver!r}")
    native = solver == "native"
    expected = NativeOptions if native else ExportOptions
    if options is not None and not isinstance(options, expected):
        raise TypeError(f"solver={solver!r} takes options={expected.__name__}(), not {type(options).__name__}")
    if native and (frequencies or run_options is not None):
        raise ValueError("the native solver takes no frequencies and no run_options")
    # A copy: the caller's options are left as they were.
    options = _options_with(expected(options) if options is not None else expected(), load_cases, frequencies)
    if native:
        answer = SolveNative(model, options)
        solved, results, fingerprint = answer.solved, answer.results, answer.fingerprint
    else:
        fingerprint = model.Results().GetModelFingerprint()
        solved = ExportCcxDeck(model, options)
        results = RunSolver(solved, run_options if run_options is not None else RunOptions())
    if store:
        StoreSolveResults(model, results, solved, fingerprint)
    return solved, KeyByModelNodes(results, [int(n) for n in model.node_ids()])


def _options_with(options, load_cases, frequencies):
    """``options`` with the arguments given beside it; refuses a value given
    in both places that differs."""
    if load_cases is not None:
        wanted = [int(c) for c in load_cases]
        if options.loadCases and list(options.loadCases) != wanted:
            raise ValueError(f"load_cases={wanted} and options.loadCases={list(options.loadCases)} disagree: "
                             "give the load cases in one place")
        options.loadCases = wanted
    if frequencies:
        if options.frequencyCount and options.frequencyCount != frequencies:
            raise ValueError(f"frequencies={frequencies} and options.frequencyCount={options.frequencyCount} "
                             "disagree: give the count in one place")
        options.frequencyCount = frequencies
    return options
