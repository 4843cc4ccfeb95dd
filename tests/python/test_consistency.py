"""The solute's derived properties are the derivatives they claim to be, by central
differences on a grid of liquid states away from the critical point: V2 = R T dlnkH/dP,
S2 = -dGaq/dT and Cp2 = T dS2/dT, to 0.1 % (of the value, or of 1 in its unit where smaller).

The properties come from the converged density, so the differences show no trace of how many
steps each state's solve took."""
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
    # Stable fluid water (some of these states depart from IAPWS-95 in d2rho_dT2, which the
    # derivatives here do not use).
    phase_flags = at["range"] & 0b111  # ice, metastable, beyond-eos
    assert (at["status"] == 0).all() and (phase_flags == 0).all()
    T = T_C + 273.15
    higher_p, lower_p = (aqsol.properties(solute, T_C, P_BAR + s * D_P) for s in (1, -1))
    warmer, colder = (aqsol.properties(solute, T_C + s * D_T, P_BAR) for s in (1, -1))
    V2 = R_BAR * T * (higher_p["lnkH"] - lower_p["lnkH"]) / (2 * D_P)
    S2 = -(warmer["Gaq"] - colder["Gaq"]) / (2 * D_T)
    Cp2 = T * (warmer["S2"] - colder["S2"]) / (2 * D_T)
    assert relative(V2, at["V2"]).max() < 1e-3
    assert relative(S2, at["S2"]).max() < 1e-3
    assert relative(Cp2, at["Cp2"]).max() < 1e-3
