"""IAPWS-95 on many states at once, for comparing aqsol's water with it.

The residual Helmholtz function and its derivatives are Debian's python3-iapws's own (its
MEoS._phir, evaluated on numpy arrays); the ideal part and the density solve are written here
for arrays. Every function takes and returns numpy arrays: temperatures in K, pressures in
bar, densities in g/cm3, Cp in cal/(mol K), derivatives of the density per bar and per K.
A state whose density cannot be solved for on the branch asked for gives NaN.
"""
import math
import warnings

import numpy as np

MW = 18.015268  # g/mol
CAL = 4.184  # J/cal
TC = 647.096  # K
RHOC = 322.0  # kg/m3
R = 0.46151805  # kJ/(kg K)
PC_BAR = 220.64


class _NoExactOne(np.ndarray):
    """An array that compares unequal to every scalar: python3-iapws's residual part tests
    `delta == 1` to avoid a 0/0 that arises only at exactly the critical density, which the
    states here never are (they are nudged off it)."""

    def __eq__(self, other):
        if np.isscalar(other):
            return False
        return np.ndarray.__eq__(self, other)


def _model():
    from iapws.iapws95 import IAPWS95
    return IAPWS95()


_MODEL = None


def residual(tau, delta):
    """{fir, fird, firdd, firt, firtt, firdt} of IAPWS-95 at arrays tau = Tc/T, delta."""
    global _MODEL
    if _MODEL is None:
        _MODEL = _model()
    delta = np.where(delta == 1.0, np.nextafter(1.0, 2.0), delta)
    with warnings.catch_warnings(), np.errstate(all="ignore"):
        warnings.simplefilter("ignore")
        parts = _MODEL._phir(np.asarray(tau, float), np.asarray(delta, float).view(_NoExactOne))
    return {key: np.asarray(value, float) for key, value in parts.items()}


def ideal_tt(tau):
    """d2 phi0 / dtau2 of IAPWS-95's ideal part."""
    global _MODEL
    if _MODEL is None:
        _MODEL = _model()
    fi0 = _MODEL.Fi0
    result = -fi0["ao_log"][1] / tau ** 2
    for n, gamma in zip(fi0["ao_exp"], fi0["titao"]):
        e = np.exp(-gamma * tau)
        result = result - n * gamma ** 2 * e / (1 - e) ** 2
    return result


def elementwise(f, x):
    """f of a number, or of each element of an array, in Python floats: numpy's own loops for
    exp, log and powers differ in the last bit between processors (some have vector forms of
    their own), which a fit to the numbers then carries into every digit it writes."""
    if np.ndim(x) == 0:
        return f(float(x))
    x = np.asarray(x, float)
    return np.array([f(v) for v in x.ravel()]).reshape(x.shape)


def ln_vapour_pressure_bar(T):
    """ln of the vapour pressure of water (bar): the IAPWS auxiliary equation of the
    Revised Supplementary Release on Saturation Properties (consistent with IAPWS-95)."""
    a = (-7.85951783, 1.84408259, -11.7866497, 22.6807411, -15.9618719, 1.80122502)
    powers = (1, 1.5, 3, 3.5, 4, 7.5)

    def at(t):  # one temperature in Python floats: the C library's bits on every processor
        tau = 1 - t / TC
        return math.log(PC_BAR) + TC / t * sum(ai * tau ** n for ai, n in zip(a, powers))

    return elementwise(at, T)


def saturated_liquid_density(T):
    """The saturated liquid density (g/cm3) of the same release's auxiliary equation."""
    b = (1.99274064, 1.09965342, -0.510839303, -1.75493479, -45.5170352, -6.74694450e5)
    powers = (1 / 3, 2 / 3, 5 / 3, 16 / 3, 43 / 3, 110 / 3)
    tau = 1 - np.minimum(np.asarray(T, float), TC) / TC
    return RHOC / 1000 * (1 + sum(bi * tau ** n for bi, n in zip(b, powers)))


def _pressure_and_slope(T, delta):
    """P (bar) and dP/ddelta (bar) at T, delta."""
    r = residual(TC / T, delta)
    rho = delta * RHOC
    P = rho * R * T * (1 + delta * r["fird"]) / 100
    slope = RHOC * R * T * (1 + 2 * delta * r["fird"] + delta ** 2 * r["firdd"]) / 100
    return P, slope


def solve_delta(T, P, start, iterations=60):
    """Reduced densities at T (K) and P (bar) by Newton iteration from `start` (each step held
    within a factor 2 of the iterate); NaN where it did not converge to a mechanically stable
    root."""
    delta = np.array(start, float)
    done = np.zeros(delta.shape, bool)
    with np.errstate(all="ignore"):
        for _ in range(iterations):
            todo = ~done
            if not todo.any():
                break
            p, slope = _pressure_and_slope(T[todo], delta[todo])
            step = -(p - P[todo]) / slope
            bad = ~np.isfinite(step) | (slope <= 0)
            step = np.where(bad, 0.0, step)
            new = np.clip(delta[todo] + step, delta[todo] / 2, delta[todo] * 2)
            conv = (np.abs(new - delta[todo]) <= 1e-13 * delta[todo]) & ~bad
            delta[todo] = np.where(bad, np.nan, new)
            done[todo] = conv | bad
        p, slope = _pressure_and_slope(T, delta)
        # A root where the step it implies is below 1e-11 of delta (a liquid's pressure is
        # the small difference of large terms, so its rounding is judged in delta).
        ok = done & (slope > 0) & (np.abs(p - P) <= 1e-11 * slope * delta + 1e-9 * P)
    return np.where(ok, delta, np.nan)


def stable_delta(T, P, hint):
    """IAPWS-95's reduced density of the stable phase at T and P: below Tc, the liquid at or
    above the vapour pressure and the vapour below it, but the phase of `hint` within 0.2 % of
    the vapour pressure; `hint` (a reduced density, where one is known, else NaN) is tried
    first where it lies on the phase's side."""
    T = np.asarray(T, float)
    P = np.asarray(P, float)
    below = T < TC
    with np.errstate(all="ignore"):
        liquid = below & (np.log(P) >= ln_vapour_pressure_bar(np.where(below, T, TC - 1)))
    vapour = below & ~liquid
    ideal = P * 100 / (R * T) / RHOC
    liquid_start = np.maximum(saturated_liquid_density(T) * 1000 / RHOC, 1.0)
    # Within 0.2 % of the vapour pressure (about where the two equations' vapour pressures
    # differ) the phase of the hint is compared: IAPWS-95's same phase, metastable by a hair.
    with np.errstate(all="ignore"):
        beside = below & (np.abs(np.log(P) - ln_vapour_pressure_bar(np.where(below, T, TC - 1)))
                          <= 2e-3) & np.isfinite(hint)
    liquid = np.where(beside, hint >= 1, liquid)
    vapour = below & ~liquid
    side_ok = np.isfinite(hint) & ((~below) | (liquid & (hint >= 1)) | (vapour & (hint < 1)))
    delta = solve_delta(T, P, np.where(side_ok, hint, np.where(liquid, liquid_start, ideal)))
    on_side = (~below) | (liquid & (delta >= 1)) | (vapour & (delta < 1))
    delta = np.where(on_side, delta, np.nan)
    # Where the first start failed: the ideal gas for a vapour or above Tc, the saturated
    # liquid for a liquid, then a dense start above Tc.
    for start in (np.where(liquid, liquid_start, ideal), np.full(T.shape, 3.0)):
        missing = ~np.isfinite(delta)
        if not missing.any():
            break
        retry = solve_delta(T[missing], P[missing], start[missing])
        fits = (~below[missing]) | (liquid[missing] & (retry >= 1)) | (vapour[missing] & (retry < 1))
        delta[missing] = np.where(fits, retry, np.nan)
    return delta


def _at_density(T, delta):
    """{rho, Cp, drho_dP, drho_dT} at T (K) and reduced density delta."""
    tau = TC / T
    with np.errstate(all="ignore"):
        r = residual(tau, delta)
        rho = delta * RHOC
        dP_drho = R * T * (1 + 2 * delta * r["fird"] + delta ** 2 * r["firdd"])  # kPa m3/kg
        dP_dT = rho * R * (1 + delta * r["fird"] - delta * tau * r["firdt"])  # kPa/K
        cv = -R * tau ** 2 * (ideal_tt(tau) + r["firtt"])
        cp = cv + dP_dT ** 2 / (rho ** 2 * dP_drho) * T
        return {"delta": delta, "rho": rho / 1000, "Cp": cp * MW / CAL,
                "drho_dP": 100 / dP_drho / 1000, "drho_dT": -dP_dT / dP_drho / 1000}


def properties(T, P, hint):
    """{rho, Cp, drho_dP, drho_dT} of IAPWS-95's stable phase at T (K) and P (bar)."""
    return _at_density(T, stable_delta(T, P, hint))


def water(T, P, hint, dT=0.05):
    """properties() and d2rho_dT2 (g/(cm3 K2)) as the central difference of drho_dT over
    T -/+ dT on the same branch, each re-solution started from the solution moved along the
    isobar."""
    T = np.asarray(T, float)
    P = np.asarray(P, float)
    at = properties(T, P, hint)
    moved = at["drho_dT"] * 1000 / RHOC * dT
    sides = []
    for sign in (-1, 1):
        start = at["delta"] + sign * moved
        sides.append(_derivative_on_branch(T + sign * dT, P, start))
    at["d2rho_dT2"] = (sides[1] - sides[0]) / (2 * dT)
    return at


def _derivative_on_branch(T, P, start):
    """drho_dT at T (K) and P (bar) on the root the Newton iteration from `start` reaches."""
    delta = solve_delta(T, P, np.where(np.isfinite(start), start, 1.0))
    return _at_density(T, np.where(np.isfinite(start), delta, np.nan))["drho_dT"]
