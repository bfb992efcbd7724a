"""Results as numpy arrays.

The results of a solve come back in memory as the ``SolveResults`` that
``RunSolver`` returns; ``step_table`` turns one step into arrays.

Results stored in the model file are read through ``XafModel.Results()``:
``GetAnalyses()`` lists them and ``GetArrays(analysis, quantity)`` gives
(ids, values) arrays for the whole model.
"""

import numpy as np


def step_table(step):
    """The results of one ``StepResults`` as a dict of arrays:
    ``node`` (int64, n), ``displacement`` (float64, n x 3) and, for the nodes
    with a reaction, ``reaction_node`` and ``reaction``."""
    nodes, displacement = step.displacement_arrays()
    reaction_nodes, reaction = step.reaction_arrays()
    return {
        "node": nodes,
        "displacement": displacement,
        "reaction_node": reaction_nodes,
        "reaction": reaction,
    }


def max_displacement(step):
    """(node, |u|) of the largest displacement of a step; (None, 0.0) for none."""
    nodes, displacement = step.displacement_arrays()
    if len(nodes) == 0:
        return None, 0.0
    lengths = np.linalg.norm(displacement, axis=1)
    i = int(np.argmax(lengths))
    return int(nodes[i]), float(lengths[i])
