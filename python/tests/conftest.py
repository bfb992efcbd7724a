"""Shared fixtures: a fresh model file per test and a small Python host."""

import os
import sys

import pytest

sys.path.insert(0, os.path.dirname(__file__))

import quilm  # noqa: E402


@pytest.fixture
def model_path(tmp_path):
    return str(tmp_path / "model.qdb")


@pytest.fixture
def model(model_path):
    """A TestMirrorModel on a new file."""
    return quilm.TestMirrorModel(model_path)


@pytest.fixture
def xaf(model):
    return model.GetXafModel()


@pytest.fixture
def trace(xaf):
    """The operations the analysis model sees, as 'Manager.Operation(args)' strings."""
    events = []
    xaf.SetTraceSink(lambda event: events.append(str(event)))
    yield events
    xaf.SetTraceSink(None)
