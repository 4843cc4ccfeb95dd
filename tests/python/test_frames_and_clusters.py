"""The shapes people use: pandas DataFrames, xarray Datasets, and a grid spread over a Dask
cluster of two worker processes, each against aqsol-table or one direct call, bit for bit."""
import csv
import importlib.util
import io
import math
import os
import shutil
import subprocess
import sys

import numpy as np
import pytest

import aqsol

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../..")
TABLE = os.environ.get("AQSOL_TABLE", "aqsol-table")


def test_a_data_frame_is_the_table():
    pandas = pytest.importorskip("pandas", reason="python3-pandas is not installed")
    frame = aqsol.properties(["CO2", "H2"], [25, 100, 400], [1, 300, 0], as_frame=True)
    listed = subprocess.run([TABLE, "--solute", "CO2,H2", "--states", "-"], check=True,
                            input=b"T_C,P_bar\n25,1\n100,300\n400,sat\n",
                            capture_output=True).stdout.decode()
    rows = list(csv.DictReader(io.StringIO(listed)))
    assert isinstance(frame, pandas.DataFrame)
    assert list(frame.columns) == list(rows[0])
    records = frame.to_dict("records")
    assert len(records) == len(rows) == 6
    for record, row in zip(records, rows):
        for name, text in row.items():
            if name in ("solute", "phase", "range", "status"):
                assert record[name] == text, name
            elif text == "":
                assert math.isnan(record[name]), name
            else:
                assert record[name] == float(text), name
    assert frame.attrs["units"]["Gaq"] == "cal/mol"
    si = aqsol.properties("CO2", 25, 1, as_frame=True, units="si")
    assert si.attrs["units"]["Gaq"] == "J/mol"
    assert aqsol.water([25, 30], 1, as_frame=True).shape == (2, 12)


def test_a_dataset_is_the_grid():
    pytest.importorskip("xarray", reason="python3-xarray is not installed")
    T, P = [0.01, 25, 150, 400], [0, 1, 500]
    grid = aqsol.dataset(["CO2", "CH4"], T, P)
    assert dict(grid.sizes) == {"solute": 2, "T_C": 4, "P_bar": 3}
    direct = aqsol.properties(["CO2", "CH4"], np.array(T)[:, None], np.array(P)[None, :])
    for name in ("rho", "lnkH", "Gaq", "range", "status"):
        assert np.array_equal(grid[name].values, direct[name], equal_nan=name not in
                              ("range", "status")), name
    assert np.array_equal(grid["pressure"].values, direct["P_bar"], equal_nan=True)
    assert grid["lnkH"].attrs == {"long_name": "ln Henry constant", "units": "1"}
    assert grid["V2"].attrs["units"] == "cm3/mol"
    assert grid["status"].attrs["messages"] == list(direct["messages"])
    assert grid["phase"].sel(solute="CO2", T_C=400, P_bar=500).item() == "supercritical"
    si = aqsol.dataset("CO2", [25], P_bar=[10], units="si", pressure_unit="MPa")
    assert si["P_MPa"].values.tolist() == [1.0] and si["rho"].attrs["units"] == "kg/m3"
    in_mpa = aqsol.dataset("CO2", [25], [1], units="si", pressure_unit="MPa")
    assert in_mpa["P_MPa"].values.tolist() == [1.0]
    assert np.array_equal(in_mpa["lnkH"].values, si["lnkH"].values)


def test_a_dataset_takes_what_properties_takes_and_refuses_empty_axes():
    pytest.importorskip("xarray", reason="python3-xarray is not installed")
    by_number = aqsol.dataset(np.int64(5), [25], ["sat", 1])
    assert by_number["solute"].values.tolist() == ["CO2"]
    assert np.array_equal(by_number["lnkH"].values,
                          aqsol.dataset("CO2", [25], [0, 1])["lnkH"].values)
    assert aqsol.dataset("co2", 25, "SAT")["lnkH"].shape == (1, 1, 1)
    for args, message in ((("CO2", [], [1]), "T_C: no values"),
                          (("CO2", [25], []), "P: no values"),
                          (([], [25], [1]), "solutes: no solute"),
                          (("CO2", [25], ["x"]), 'P: expected numbers, 0 or "sat"')):
        with pytest.raises(ValueError, match="^" + message):
            aqsol.dataset(*args)


def test_a_cluster_of_two_workers_gives_one_calls_numbers():
    pytest.importorskip("xarray", reason="python3-xarray is not installed")
    pytest.importorskip("distributed", reason="python3-distributed is not installed")
    from dask.distributed import Client, LocalCluster
    path = os.path.join(ROOT, "examples/python/dask_grid.py")
    found = importlib.util.spec_from_file_location("dask_grid", path)
    example = importlib.util.module_from_spec(found)
    found.loader.exec_module(example)
    temperatures, pressures = np.linspace(0, 700, 1000), np.linspace(0, 2000, 1000)  # 10**6
    # The workers find the module where this process does.
    os.environ["PYTHONPATH"] = os.pathsep.join(sys.path)
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        spread = example.grid(client, "CO2", temperatures, pressures)
    direct = aqsol.properties("CO2", temperatures[:, None], pressures[None, :])
    for name in ("rho", "Cp_H2O", "lnkH", "V2", "Cp2", "Gaq", "S2", "K_aq_gas", "range"):
        assert np.array_equal(spread[name].values, direct[name], equal_nan=name != "range"), name
    spelled = np.asarray(spread["status"].attrs["messages"])[spread["status"].values]
    assert np.array_equal(spelled, np.asarray(direct["messages"])[direct["status"]])
    assert (direct["status"] != 0).any() and (direct["status"] == 0).sum() > 900_000
    with open(os.path.join(ROOT, "docs/scale-out.md")) as doc, open(path) as code:
        assert code.read() in doc.read()  # the document shows the code this test ran


def test_netcdf_holds_the_csv_value_for_value(tmp_path):
    xarray = pytest.importorskip("xarray", reason="python3-xarray is not installed")
    grid = ["--solute", "CO2,H2", "--T", "25,100,373.9,400", "--P", "sat,1,300"]
    path = tmp_path / "grid.nc"
    subprocess.run([TABLE, *grid, "--format", "netcdf", "-o", str(path)], check=True)
    rows = list(csv.DictReader(io.StringIO(subprocess.run(
        [TABLE, *grid], capture_output=True, check=True).stdout.decode())))
    with xarray.open_dataset(path, mask_and_scale=False) as data:
        # The saturation pressure has no value of its own: it is missing from P_bar and marked
        # in the flag variable `saturation`, along a dimension that is no coordinate.
        assert dict(data.sizes)["solute"] == 2 and "P_bar" not in data.dims
        assert np.isnan(data["P_bar"].values[0]) and data["P_bar"].values[1:].tolist() == [1, 300]
        assert data["saturation"].values.tolist() == [1, 0, 0]
        assert {"P_bar", "saturation"} <= set(data["rho"].coords)
        messages = ["ok"] + [m.strip() for m in data["status_message"].values.astype(str)]
        flags = data["range"].attrs["flag_meanings"].split()
        phases = data["phase"].attrs["flag_meanings"].split()
        n = 0
        for s, solute in enumerate(data["solute"].values.astype(str)):
            for t in range(data.sizes["T_C"]):
                for p in range(data.sizes["pressure_item"]):
                    row, at = rows[n], (s, t, p)
                    n += 1
                    assert row["solute"] == solute and float(row["T_C"]) == data["T_C"][t]
                    assert messages[int(data["status"].values[at])] == row["status"]
                    for name in ("rho", "Cp_H2O", "lnf_H2O", "lnkH", "Gaq", "K_aq_gas"):
                        value = data[name].values[at]
                        assert (math.isnan(value) if row[name] == "" else
                                value == float(row[name])), (name, at)
                    pressure = data["pressure"].values[at]
                    assert (math.isnan(pressure) if row["P_bar"] == "" else
                            pressure == float(row["P_bar"]))
                    bits = int(data["range"].values[at])
                    assert " ".join(f for k, f in enumerate(flags) if bits >> k & 1) == row["range"]
                    phase = int(data["phase"].values[at])
                    assert (phases[phase] if phase >= 0 else "") == row["phase"]
        assert n == len(rows)
        assert data["lnkH"].attrs["units"] == "1" and data["rho"].attrs["units"] == "g/cm3"
        # UDUNITS's "cal" is the International Table calorie: aqsol's is the thermochemical one.
        assert data["Gaq"].attrs["units"] == "thermochemical_calorie/mol"
        assert data["S2"].attrs["units"] == "thermochemical_calorie/(mol K)"
    header = subprocess.run(["ncdump", "-h", str(path)], capture_output=True, text=True)
    assert header.returncode == 0 and ":Conventions = \"CF-1.8\"" in header.stdout


def test_netcdf_coordinates_ascend_and_convert_with_udunits(tmp_path):
    """CF: coordinates ascend, each value once, whatever order the options gave; a UDUNITS
    conversion of Gaq to J/mol multiplies aqsol's calories by 4.184."""
    netCDF4 = pytest.importorskip("netCDF4", reason="python3-netcdf4 is not installed")
    if shutil.which("udunits2") is None:
        pytest.skip("udunits2 (udunits-bin) is not installed")
    path = tmp_path / "unordered.nc"
    subprocess.run([TABLE, "--solute", "CO2", "--T", "100,25,60,25", "--P", "10,1,5", "--format",
                    "netcdf", "-o", str(path), "--quiet"], check=True)
    rows = list(csv.DictReader(io.StringIO(subprocess.run(
        [TABLE, "--solute", "CO2", "--T", "25,60,100", "--P", "1,5,10"], capture_output=True,
        check=True).stdout.decode())))
    with netCDF4.Dataset(path) as data:
        assert data["T_C"][:].tolist() == [25, 60, 100]
        assert data["P_bar"][:].tolist() == [1, 5, 10] and "saturation" not in data.variables
        unit = data["Gaq"].units
        gaq = data["Gaq"][:].ravel().tolist()
    answer = subprocess.run(["udunits2", "-H", unit, "-W", "J/mol"], capture_output=True,
                            text=True, check=True).stdout.split()
    factor = float(answer[answer.index("=") + 1])
    assert factor == 4.184
    for row, value in zip(rows, gaq):
        assert factor * value == pytest.approx(4.184 * float(row["Gaq"]), rel=1e-15)


def test_netcdf_of_a_list_of_water_states(tmp_path):
    xarray = pytest.importorskip("xarray", reason="python3-xarray is not installed")
    path = tmp_path / "list.nc"
    subprocess.run([TABLE, "--states", "-", "--units", "si", "--format", "netcdf", "-o",
                    str(path)], input=b"T_C,P_bar\n25,1\n300,sat\n500,100\n", check=True)
    with xarray.open_dataset(path) as data:
        assert "state" in data.dims and "T_C" not in data.dims
        assert "lnkH" not in data and data["rho"].attrs["units"] == "kg/m3"
        assert data["T_C"].values.tolist() == [25, 300, 500]
        direct = aqsol.water([25, 300, 500], [1, 0, 100], units="si")
        assert np.array_equal(data["rho"].values, direct["rho"])
        assert np.array_equal(data["pressure"].values, direct["P_bar"])
