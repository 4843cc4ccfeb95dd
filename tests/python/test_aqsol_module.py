"""The aqsol Python module: the same numbers as aqsol-table, numpy broadcasting, failed states
as NaN with a status, clear errors, and computation that runs beside other Python threads."""
import csv
import io
import math
import os
import subprocess
import sys
import threading
import time

import numpy as np
import pytest

import aqsol

TABLE = os.environ.get("AQSOL_TABLE", "aqsol-table")
VALUE_COLUMNS = ["T_C", "P_bar", "rho", "drho_dP", "drho_dT", "d2rho_dT2", "V_H2O", "Cp_H2O",
                 "lnf_H2O", "lnkH", "V2", "Cp2", "Gaq", "S2", "K_aq_gas"]


def range_words(bits):
    return " ".join(word for n, word in enumerate(aqsol.RANGE_FLAGS) if bits >> n & 1)


def table_rows(*args):
    output = subprocess.run([TABLE, *args], capture_output=True, check=True, text=True).stdout
    return list(csv.DictReader(io.StringIO(output)))


def test_solutes_in_menu_order():
    names = aqsol.solutes()
    assert len(names) == 20
    assert names[0] == "H2" and names[4] == "CO2" and names[-1] == "H2Se"


def test_values_are_aqsol_tables_to_the_bit():
    temperatures = [0.01, 25, 150, 300, 373, 374, 400, 700]
    pressures = [0, 1, 100, 221, 1000, 5000]
    rows = table_rows("--solute", "all", "--T", ",".join(map(str, temperatures)),
                      "--P", ",".join(map(str, pressures)))
    result = aqsol.properties("all", np.array(temperatures)[:, None], np.array(pressures))
    assert result["lnkH"].shape == (20, len(temperatures), len(pressures))
    messages = np.asarray(result.pop("messages"))
    flat = {key: value.reshape(-1) for key, value in result.items()}
    assert len(rows) == flat["status"].size
    failed = 0
    for i, row in enumerate(rows):
        assert flat["solute"][i] == row["solute"]
        assert flat["phase"][i] == row["phase"]  # none where the state failed
        assert messages[flat["status"][i]] == row["status"]
        assert range_words(flat["range"][i]) == row["range"]
        failed += row["status"] != "ok"
        for column in VALUE_COLUMNS:
            value = flat[column][i]
            if row[column] == "":
                assert math.isnan(value), (i, column)
            else:
                assert value == float(row[column]), (i, column)  # shortest round-trip text
    assert failed > 0


def test_scalars_arrays_and_broadcasting():
    assert aqsol.properties("CO2", 25, 1)["lnkH"] == pytest.approx(7.38960703023, abs=1e-11)
    assert aqsol.properties("CO2", 25, 1)["rho"].shape == ()
    assert aqsol.properties("co2", [25, 50], 1)["rho"].shape == (2,)
    grid = aqsol.properties(5, np.linspace(0, 350, 8)[:, None], [1, 100, 1000])
    assert grid["rho"].shape == (8, 3)
    assert grid["T_C"][3, 2] == 150 and grid["P_bar"][3, 2] == 1000
    assert aqsol.properties(["H2", 5], 25, [1, 2])["rho"].shape == (2, 2)
    water = aqsol.water(25, [1, 10])
    assert set(water) == {"T_C", "P_bar", "phase", "rho", "drho_dP", "drho_dT", "d2rho_dT2",
                          "V_H2O", "Cp_H2O", "lnf_H2O", "range", "status", "messages"}
    assert np.array_equal(water["rho"], aqsol.properties("H2", 25, [1, 10])["rho"])


def test_saturation_by_name_or_zero():
    by_name = aqsol.properties("CO2", np.arange(0, 371, 10), "sat")
    by_zero = aqsol.properties("CO2", np.arange(0, 371, 10), 0)
    for column in VALUE_COLUMNS:
        assert np.array_equal(by_name[column], by_zero[column])
    assert by_name["P_bar"][10] == pytest.approx(1.0133, abs=1e-3)  # 100 C
    assert (by_name["status"] == 0).all() and by_name["messages"] == ["ok"]


def test_failed_states_are_nan_with_a_status_and_never_raise():
    result = aqsol.properties("H2", [25, 400, 450], "sat")
    assert result["status"].tolist() == [0, 1, 1]
    assert result["messages"] == [
        "ok", "no saturation pressure at or above the critical temperature"]
    assert math.isnan(result["rho"][1]) and math.isnan(result["lnkH"][1])
    assert math.isnan(result["P_bar"][1])


def test_text_columns_are_as_wide_as_their_widest_entry():
    liquid = aqsol.properties(["CO2", "H2"], [25, 50], 100)
    assert liquid["phase"].dtype == np.dtype("<U6") and liquid["solute"].dtype == np.dtype("<U3")
    assert liquid["phase"].tolist() == [["liquid"] * 2] * 2
    assert liquid["solute"].tolist() == [["CO2", "CO2"], ["H2", "H2"]]
    mixed = aqsol.properties("CO2", [25, 400, 450, 400], [100, 300, 0, 1])  # 0: saturation
    assert mixed["phase"].dtype == np.dtype("<U13")
    assert mixed["phase"].tolist() == ["liquid", "supercritical", "", "vapour"]
    failed = aqsol.properties("CO2", [450], "sat")
    assert failed["phase"].dtype == np.dtype("<U1") and failed["phase"].tolist() == [""]
    # Runs of one text of many lengths, each filled whole.
    kinds = [(25, 100, "liquid"), (400, 300, "supercritical"), (450, 0, ""), (400, 1, "vapour")]
    runs = [(kinds[n % 4], length) for n, length in enumerate([1, 2, 3, 5, 8, 13, 4, 7, 1])]
    T, P, expected = ([kind[k] for kind, length in runs for _ in range(length)] for k in range(3))
    both = aqsol.properties(["H2", "CH4"], T, P)
    assert both["phase"].tolist() == [expected] * 2
    assert both["solute"].tolist() == [["H2"] * len(T), ["CH4"] * len(T)]


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def test_large_results_hold_the_same_values_in_memory_of_their_own():
    # 72,000 states: the number columns, the phase column and the copies of T and P are large
    # arrays (1 MiB and up).
    T, P = np.linspace(5, 600, 600)[:, None], np.linspace(1, 1000, 120)
    large = aqsol.properties("CO2", T, P)
    assert large["phase"].nbytes >= 2 << 20 and 2 * large["T_C"].nbytes >= 1 << 20
    for row in (0, 250, 599):  # the same states, 120 at a time (small arrays)
        small = aqsol.properties("CO2", T[row], P)
        for column in VALUE_COLUMNS + ["phase", "range", "status"]:
            assert np.array_equal(large[column][row], small[column], equal_nan=column != "phase")
    # Each column its own values, writable, and alive for as long as it is kept.
    kept, expected = large["lnkH"], large["lnkH"].copy()
    large["rho"][:] = 0
    assert np.array_equal(large["lnkH"], expected, equal_nan=True) and (large["V_H2O"] > 0).all()
    del large
    reused = aqsol.properties("H2", T, P)  # memory given back is kept for arrays of its size
    assert np.array_equal(kept, expected, equal_nan=True)
    assert (reused["solute"] == "H2").all()  # written whole, with nothing left of CO2
    small = aqsol.properties("H2", T[250], P)
    for column in VALUE_COLUMNS + ["phase"]:
        assert np.array_equal(reused[column][250], small[column], equal_nan=column != "phase")
    del reused
    # Results dropped give their memory back.
    before = resident_bytes()
    for _ in range(20):  # about 13 MB each
        aqsol.properties("CO2", T, P)
    assert resident_bytes() < before + (40 << 20)


def test_statuses_take_four_bytes_a_state_and_each_message_once():
    # Failures that all differ (each names its own state) among many states that succeed.
    T = np.concatenate([np.linspace(5, 300, 20000), np.linspace(380, 500, 7)])
    result = aqsol.properties("CO2", T, "sat")
    assert result["status"].dtype == np.int32 and result["status"].nbytes == 4 * T.size
    assert (result["status"][:20000] == 0).all()
    assert result["status"][20000:].tolist() == [1] * 7
    assert len(result["messages"]) == 2
    varied = aqsol.properties("CO2", 25, [1e-400, 1, 1e6, 1e7])
    codes = varied["status"].tolist()
    assert codes[1] == 0 and len(varied["messages"]) == 1 + len(set(codes) - {0})


@pytest.mark.parametrize("args, named", [
    (("XYZ", 25, 1), "solute"),
    ((21, 25, 1), "solute"),
    ((3.5, 25, 1), "solute"),
    (("CO2", -273.15, 1), "T_C"),
    (("CO2", [25, float("nan")], 1), "T_C"),
    (("CO2", "warm", 1), "T_C"),
    (("CO2", [25, float("-inf")], 1), "T_C"),
    (("CO2", 25, -1), "P"),
    (("CO2", 25, [1, float("nan")]), "P"),
    (("CO2", 25, "high"), "P"),
    (("CO2", [1, 2], [1, 2, 3]), "T_C and P"),
    ((2**100, 25, 1), "solute"),
    ((["CO2", 2**70], 25, 1), "solute"),
    (([["CO2"]], 25, 1), "solute"),
    ((["CO2", None], 25, 1), "solute"),
])
def test_bad_arguments_raise_value_error_naming_them(args, named):
    with pytest.raises(ValueError, match="^" + named + ":"):
        aqsol.properties(*args)


def test_range_flags_say_where_the_model_was_not_shown_to_work():
    flags = aqsol.properties("CO2", [25, -10, 3000, 380], [1, 1, 1, 250])["range"]
    assert flags.dtype == np.uint8
    assert [range_words(bits) for bits in flags] == [
        "", "ice solute-extrapolated", "beyond-eos solute-extrapolated",
        "water-deviates solute-extrapolated"]
    assert range_words(aqsol.properties("HCl", 25, 1)["range"]) == "unreferenced"
    assert range_words(aqsol.water(-10, 1)["range"]) == "ice"


def test_a_list_that_holds_itself_is_refused():
    solutes = ["CO2"]
    solutes.append(solutes)
    with pytest.raises(ValueError, match="^solute: a list of solutes holds names"):
        aqsol.properties(solutes, 25, 1)


def test_ctrl_c_stops_a_large_call_at_once():
    # In a child interpreter, whose main thread receives the signal as a user's Ctrl+C would.
    child = """
import os, signal, sys, threading, time
import numpy as np
import aqsol
T = np.linspace(1, 350, 3_000_000)
threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT)).start()
start = time.monotonic()
try:
    aqsol.properties("CO2", T, 100)
except KeyboardInterrupt:
    print(f"interrupted {time.monotonic() - start:.3f}")
"""
    result = subprocess.run([sys.executable, "-c", child], capture_output=True, text=True,
                            timeout=120)
    assert result.stdout.startswith("interrupted"), result.stderr
    assert float(result.stdout.split()[1]) < 1.5  # the whole call takes several seconds


def test_several_threads_at_once_get_the_same_results():
    T, P = np.linspace(5, 600, 60)[:, None], np.linspace(1, 1000, 50)
    expected = aqsol.properties("CH4", T, P, threads=1)
    results = [None] * 4

    def call(n):
        results[n] = aqsol.properties("CH4", T, P)

    threads = [threading.Thread(target=call, args=(n,)) for n in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for result in results:
        for column in VALUE_COLUMNS:
            assert np.array_equal(result[column], expected[column], equal_nan=True)


def test_the_gil_is_released_while_computing():
    done = threading.Event()
    ticks = 0

    def large_call():
        aqsol.properties("CO2", np.linspace(5, 300, 300)[:, None], np.linspace(50, 1000, 300),
                         threads=1)
        done.set()

    worker = threading.Thread(target=large_call)
    start = time.monotonic()
    worker.start()
    while not done.is_set():
        ticks += 1
        time.sleep(0.001)
    worker.join()
    elapsed = time.monotonic() - start
    # With the GIL held, the loop would get at most a tick or two in during the call.
    assert elapsed > 0.05 and ticks > 10


def test_the_processor_path_is_named_alike():
    """aqsol.cpu_target() names the path aqsol-table --version names, under every AQSOL_LANES."""
    for forced in ("1", "4", "8", ""):
        env = dict(os.environ, AQSOL_LANES=forced)
        version = subprocess.run([TABLE, "--version"], env=env, capture_output=True, check=True,
                                 text=True).stdout.splitlines()
        named = subprocess.run([sys.executable, "-c", "import aqsol; print(aqsol.cpu_target())"],
                               env=env, capture_output=True, check=True, text=True).stdout.strip()
        assert version[1].startswith(f"Processor path: {named}: "), (forced, version[1])
        assert (named == "baseline") == (forced == "1" or "one state" in version[1])


def test_phase_units_and_version():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../..")
    with open(os.path.join(root, "VERSION")) as version:
        assert aqsol.__version__ == version.read().strip()
    cal = aqsol.properties("CO2", [25, 100, 400], [1, 1, 300])
    assert list(cal["phase"]) == ["liquid", "vapour", "supercritical"]
    failed = aqsol.water(400, "sat")
    assert failed["status"] != 0 and failed["phase"] == ""
    si = aqsol.properties("CO2", [25, 100, 400], P_bar=[1, 1, 300], units="si",
                          pressure_unit="MPa")
    assert "P_MPa" in si and "P_bar" not in si
    in_mpa = aqsol.properties("CO2", [25, 100, 400], [0.1, 0.1, 30], units="SI",
                              pressure_unit="mpa")  # P in the pressure unit; words any case
    for name in ("P_MPa", "rho", "lnkH"):
        assert np.array_equal(in_mpa[name], si[name]), name
    assert np.array_equal(si["rho"], cal["rho"] * 1e3)
    assert np.array_equal(si["Gaq"], cal["Gaq"] * 4.184)
    assert np.array_equal(si["lnkH"], cal["lnkH"] - math.log(10))  # numpy's log may be 1 ulp off
    with pytest.raises(ValueError, match="units"):
        aqsol.water(25, 1, units="imperial")


def test_a_solute_named_twice_has_an_entry_each_time():
    """One entry per solute asked for, in order: names zip with their rows."""
    names = ["H2", "CO2", "h2", "5"]
    result = aqsol.properties(names, 25, 1)
    assert result["lnkH"].shape == (4,)
    single = {n: aqsol.properties(n, 25, 1)["lnkH"] for n in ("H2", "CO2")}
    assert result["lnkH"].tolist() == [single["H2"], single["CO2"], single["H2"], single["CO2"]]


def test_a_result_that_could_never_fit_is_refused_before_any_work():
    """20 solutes on a 10,000 x 10,000 grid would need hundreds of GB: MemoryError at once,
    saying how much, instead of minutes of work and then the same error."""
    with pytest.raises(MemoryError, match=r"^the result of 2000000000 states would take about "
                                          r"\d+ GB, more than this machine's \d+ GB of memory"):
        aqsol.properties("all", np.zeros(10**4)[:, None], np.ones(10**4)[None, :])


def test_a_fit_gives_the_numbers_aqsol_fit_gives():
    """aqsol.fit and aqsol-fit on the same measurements: the same parameters to the last digit,
    and the solute's own ln kH gives its parameters back."""
    rows = table_rows("--solute", "N2", "--T", "0:350:25", "--P", "sat,500")
    T = [float(r["T_C"]) for r in rows if r["status"] == "ok"]
    P = [float(r["P_bar"]) for r in rows if r["status"] == "ok"]
    lnkH = [float(r["lnkH"]) + 0.01 * math.sin(7 * n) for n, r in enumerate(rows)
            if r["status"] == "ok"]
    result = aqsol.fit(T, lnkH, P)
    data = "T_C,P_bar,lnkH\n" + "".join(f"{t!r},{p!r},{y!r}\n" for t, p, y in zip(T, P, lnkH))
    report = subprocess.run([os.environ.get("AQSOL_FIT", "aqsol-fit"), "--data", "-", "--name",
                             "N2x", "--like", "N2"], input=data, capture_output=True, text=True,
                            check=True).stdout
    printed = {line.split()[0]: float(line.split()[1]) for line in report.splitlines()
               if line.split()[:1] in (["xi"], ["a"], ["b"]) and len(line.split()) == 3}
    assert (result["xi"], result["a"], result["b"]) == (printed["xi"], printed["a"], printed["b"])
    assert result["points_used"] == len(T) and result["worst_residual"] < 0.02
    assert result["correlation"].shape == (3, 3) and abs(result["correlation"][0, 0] - 1) < 1e-12
    exact = aqsol.fit(T, [float(r["lnkH"]) for r in rows if r["status"] == "ok"], P_bar=P)
    assert abs(exact["xi"] - (-0.032)) < 1e-9 and abs(exact["b"] - 14.6278) < 1e-8
    with pytest.raises(ValueError, match="^fit: the data cannot tell"):
        aqsol.fit([25] * 5, [7.0] * 5, 1)


def test_the_module_shows_only_its_own_names():
    assert [n for n in dir(aqsol) if not n.startswith("_")] == [
        "RANGE_FLAGS", "cpu_target", "dataset", "fit", "properties", "solutes", "water"]
