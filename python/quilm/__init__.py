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
* the solver bridge: ``ExportCcxDeck``, ``RunSolver``, and ``solve`` below.

The library's C++ operations keep their names (``GetName``, ``Write``,
``SetSectionModified``); what exists only in Python is in lower case.

Errors: ``ModelError`` (analysis model), ``GeometryError`` (a ``ValueError``),
``SolverError`` and its kind ``ExportError``. An exception raised in an
overridden method reaches the caller of the library unchanged.
"""

from ._quilm import *  # noqa: F401,F403
from ._quilm import ExportCcxDeck, ExportOptions, RunOptions, RunSolver
from . import results  # noqa: F401

__all__ = [name for name in dir() if not name.startswith("_")]


def solve(model, load_cases=(), frequencies=0, options=None, run_options=None):
    """Exports ``model`` (an XafModel) to a solver deck, runs the solver and
    returns ``(deck, results)``.

    ``load_cases``: the load cases to solve, in order (empty: all);
    ``frequencies``: above 0, also that many eigenfrequencies. ``options`` and
    ``run_options`` (ExportOptions, RunOptions) override the defaults.
    """
    if options is None:
        options = ExportOptions()
    options.loadCases = list(load_cases)
    if frequencies:
        options.frequencyCount = frequencies
    deck = ExportCcxDeck(model, options)
    return deck, RunSolver(deck, run_options if run_options is not None else RunOptions())
