"""Properties of pure water and of dissolved gases and neutral solutes at infinite dilution in
water, from the saturation curve to the supercritical region, over numpy arrays of states.

solutes()                          the solute names in menu order
properties(solute, T_C, P_bar)     water and solute properties: a dict of arrays, or a pandas
                                   DataFrame with as_frame=True
water(T_C, P_bar)                  water properties alone
dataset(solutes, T_C, P)           a grid as an xarray Dataset on (solute, T_C, P_bar)
"""
import numpy as _np

from ._aqsol import RANGE_FLAGS, __version__, cpu_target, fit, solutes
from ._aqsol import columns as _columns
from ._aqsol import properties as _properties
from ._aqsol import water as _water

__all__ = ["RANGE_FLAGS", "__version__", "cpu_target", "dataset", "fit", "properties", "solutes",
           "water"]


def _require(module, package):
    """The optional module, or ImportError naming the package that provides it."""
    import importlib
    try:
        return importlib.import_module(module)
    except ImportError as missing:
        raise ImportError(f"aqsol: this needs {module}: apt install {package} (Debian's "
                          f"python3), or pip install {module}") from missing


def _range_words(bits):
    return " ".join(flag for n, flag in enumerate(RANGE_FLAGS) if bits >> n & 1)


def _frame(result, units, pressure_unit, kelvin=False):
    """A pandas DataFrame with the table's columns: one row per state, range and status as
    aqsol-table writes them; units in .attrs["units"]."""
    pandas = _require("pandas", "python3-pandas")
    messages = _np.asarray(result["messages"], dtype=object)
    data = {}
    for name, values in result.items():
        if name in ("messages", "range", "status"):
            continue
        data[name] = _np.asarray(values).reshape(-1)
    data["range"] = [_range_words(int(b)) for b in _np.asarray(result["range"]).reshape(-1)]
    data["status"] = messages[_np.asarray(result["status"]).reshape(-1)]
    frame = pandas.DataFrame(data)
    frame.attrs["units"] = {name: unit for name, _, unit
                            in _columns(units, pressure_unit, "K" if kelvin else "C")}
    return frame


def properties(solute, T_C=None, P=None, *, T_K=None, P_bar=None, threads=0, units="cal",
               pressure_unit="bar", species=None, as_frame=False):
    result = _properties(solute, T_C, P, T_K=T_K, P_bar=P_bar, threads=threads, units=units,
                         pressure_unit=pressure_unit, species=species)
    return _frame(result, units, pressure_unit, T_K is not None) if as_frame else result


def water(T_C=None, P=None, *, T_K=None, P_bar=None, threads=0, units="cal",
          pressure_unit="bar", as_frame=False):
    result = _water(T_C, P, T_K=T_K, P_bar=P_bar, threads=threads, units=units,
                    pressure_unit=pressure_unit)
    return _frame(result, units, pressure_unit, T_K is not None) if as_frame else result


properties.__doc__ = (_properties.__doc__ or "") + """
as_frame  True: a pandas DataFrame instead, one row per state (solutes outermost), with the
        range words and status messages as aqsol-table writes them and the units in
        frame.attrs["units"] (needs python3-pandas)
"""
water.__doc__ = (_water.__doc__ or "") + """
as_frame  True: a pandas DataFrame instead, as in properties()
"""


def _axis(values, name, saturation=False):
    """A grid's axis as a 1-D float array: numbers, and with `saturation` "sat" (any case) for
    0 as properties() takes it; an empty axis is refused."""
    items = [values] if isinstance(values, str) or _np.ndim(values) == 0 else list(
        _np.asarray(values, dtype=object).reshape(-1))
    if saturation:
        items = [0.0 if isinstance(v, str) and v.lower() == "sat" else v for v in items]
    try:
        axis = _np.asarray(items, dtype=float).reshape(-1)
    except (TypeError, ValueError):
        raise ValueError(f"{name}: expected numbers" + (', 0 or "sat"' if saturation else "")) \
            from None
    if axis.size == 0:
        raise ValueError(f"{name}: no values (an axis of the grid needs at least one)")
    return axis


def dataset(solutes, T_C, P=None, *, P_bar=None, threads=0, units="cal", pressure_unit="bar",
            species=None):
    """The grid of every solute, temperature and pressure as an xarray Dataset on the
    dimensions (solute, T_C, P_bar), with units and long names as attributes (needs
    python3-xarray).

    solutes  a name, a menu number, "all", or a list of them
    T_C      temperatures in degrees Celsius (a 1-D list or array)
    P        pressures in the pressure unit (a 1-D list or array; or P_bar= in bar, by
             keyword); 0 or "sat" is the saturation pressure at each temperature: the
             coordinate then holds 0, and the variable "pressure" the saturation pressure
             found (the coordinate P_MPa, in MPa, with pressure_unit="MPa")
    threads, units, pressure_unit, species  as in properties()

    Every column of properties() is a variable on (solute, T_C, P_bar): the numbers, "phase"
    (strings), "range" (uint8 bits, flag names in its attributes) and "status" (int32 codes,
    the messages in its attributes; NaN values where not 0).
    """
    xarray = _require("xarray", "python3-xarray")
    if isinstance(solutes, str):
        names = solutes if solutes.lower() == "all" else [solutes]
    else:
        names = [solutes] if _np.ndim(solutes) == 0 else list(solutes)
    if len(names) == 0:
        raise ValueError("solutes: no solute given")
    if (P is None) == (P_bar is None):  # refused, in the module's words
        _properties(names, 25, P, P_bar=P_bar, threads=threads, units=units,
                    pressure_unit=pressure_unit, species=species)
    temperatures = _axis(T_C, "T_C")
    named = "P" if P_bar is None else "P_bar"
    pressures = _axis(P if P_bar is None else P_bar, named, saturation=True)
    result = _properties(names, temperatures[:, None], **{named: pressures[None, :]},
                         threads=threads, units=units, pressure_unit=pressure_unit,
                         species=species)
    about = {name: (long_name, unit) for name, long_name, unit in _columns(units, pressure_unit)}
    pressure_name = next(name for name in about if name.startswith("P_"))
    dims = ("solute", "T_C", pressure_name)
    variables = {}
    for name, values in result.items():
        if name in ("solute", "T_C", pressure_name, "messages"):
            continue
        attrs = {}
        if name in about:
            attrs = {"long_name": about[name][0], "units": about[name][1]}
        elif name == "range":
            attrs = {"long_name": "where the model was not shown to work",
                     "flag_masks": [1 << n for n in range(len(RANGE_FLAGS))],
                     "flag_meanings": " ".join(RANGE_FLAGS)}
        elif name == "status":
            attrs = {"long_name": "0 where computed, else the index of the reason in messages",
                     "messages": list(result["messages"])}
        variables[name] = (dims, values, attrs)
    long_name, unit = about[pressure_name]
    variables["pressure"] = (dims, result[pressure_name],
                             {"long_name": long_name + " of the state", "units": unit})
    coords = {"solute": ("solute", result["solute"][:, 0, 0]),
              "T_C": ("T_C", temperatures, {"long_name": "temperature", "units": "C"}),
              pressure_name: (pressure_name, pressures if pressure_name == "P_bar" or
                              named == "P" else pressures * 0.1,
                              {"long_name": "pressure asked for (0: the saturation pressure)",
                               "units": unit})}
    return xarray.Dataset(variables, coords=coords,
                          attrs={"title": "aqsol: properties of water and of solutes at "
                                          "infinite dilution", "aqsol_version": __version__})
