"""The range flags over the whole T-P plane, against an independent implementation of IAPWS
R14-08 (python3-iapws) and the limits of the validation report: a state the report compares with
IAPWS-95 (10-1000 C, up to 10,000 bar, not in an ice field) is never flagged ice or beyond-eos,
and the ice flag marks exactly the states where the stable phase is a solid."""
import numpy as np
import pytest

import aqsol

iapws = pytest.importorskip("iapws._iapws", reason="needs Debian's python3-iapws")

T_C = np.arange(-120, 1301, 10.0)
P_BAR = np.concatenate([10.0 ** np.arange(-3, 5.01, 0.25), [200, 220, 240, 260, 280]])
ICE, BEYOND = (1 << aqsol.RANGE_FLAGS.index(word) for word in ("ice", "beyond-eos"))


def solid_is_stable(T, P):
    """The stable phase at T (K), P (bar) by python3-iapws's R14-08 curves (MPa inside)."""
    p = P / 10
    if T < 50:
        return True
    if T <= 273.16 and p <= iapws._Sublimation_Pressure(T):
        return False
    if T < 251.165:
        return True
    if T < 273.16 and p <= iapws._Melting_Pressure(T, "Ih"):
        return True
    if T >= 715:
        return False
    upper = "III" if T < 256.164 else "V" if T < 273.31 else "VI" if T < 355 else "VII"
    return p >= iapws._Melting_Pressure(T, upper)


def test_flags_over_the_whole_plane():
    water = aqsol.water(T_C[:, None], P_BAR)
    compared = 0
    for i, t in enumerate(T_C):
        for j, p in enumerate(P_BAR):
            if water["status"][i, j] != 0:
                continue
            flags = int(water["range"][i, j])
            solid = solid_is_stable(t + 273.15, p)
            assert bool(flags & ICE) == solid, (t, p)
            assert bool(flags & BEYOND) == (t > 1000 or p > 10_000 or t < -95), (t, p)
            if 10 <= t <= 1000 and p <= 10_000 and not solid:
                compared += 1
                assert flags & (ICE | BEYOND) == 0, (t, p)
    assert compared > 2000
