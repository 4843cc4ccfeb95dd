"""The solute's derived properties are the derivatives they claim to be, by central
differences on a grid of liquid states away from the critical point: V2 = R T dlnkH/dP,
S2 = -dGaq/dT and Cp2 = T dS2/dT, to 0.1 % (of the value, or of 1 in its unit where smaller).

The steps (10 bar, 1 K) are wide enough that the solver's convergence, which leaves the energies
at the density before its last step, does not show in the differences: between neighbouring
states whose last step differs, ln kH moves by up to about 5e-6."""
import numpy as np
import pytest

import aqsol

R_BAR = 83.14410001672  # bar cm3/(mol K)
T_C = np.arange(5, 241, 5.0)[:, None]
P_BAR = np.array([50, 100, 200, 500, 1000, 2000.0])
D_P, D_T = 10.0, 1.0


def relative(numeric, value):
    return np.abs(numeric - value) / np.maximum(np.abs(value), 1)


@pytest.mark.parametrize("solute", aqsol.solutes())
def test_volume_entropy_and_heat_capacity_are_derivatives(solute):
    at = aqsol.properties(solute, T_C, P_BAR)
    water_flags = at["range"] & 0b1111  # all but the solute's own
    assert (at["status"] == 0).all() and (water_flags == 0).all()
    T = T_C + 273.15
    higher_p, lower_p = (aqsol.properties(solute, T_C, P_BAR + s * D_P) for s in (1, -1))
    warmer, colder = (aqsol.properties(solute, T_C + s * D_T, P_BAR) for s in (1, -1))
    V2 = R_BAR * T * (higher_p["lnkH"] - lower_p["lnkH"]) / (2 * D_P)
    S2 = -(warmer["Gaq"] - colder["Gaq"]) / (2 * D_T)
    Cp2 = T * (warmer["S2"] - colder["S2"]) / (2 * D_T)
    assert relative(V2, at["V2"]).max() < 1e-3
    assert relative(S2, at["S2"]).max() < 1e-3
    assert relative(Cp2, at["Cp2"]).max() < 1e-3
