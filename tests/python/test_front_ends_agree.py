"""The calculator's dialogue (aqsol-console's transcript), aqsol-table and the Python module give
the same answer for the same state: the same states fail with the same message, and every digit
the dialogue prints is the table's value rounded to that digit. The grid crosses the saturation
curve within half a kelvin of the critical point, where the temperature derivatives re-solve the
density on the other side of it."""
import math
import os
import re
import subprocess

import numpy as np

import aqsol

TABLE = os.environ.get("AQSOL_TABLE", "aqsol-table")
CONSOLE = os.environ.get("AQSOL_CONSOLE", "aqsol-console")

TEMPERATURES = [25, 100, 300, 371.6, 372.1, 372.6, 373.9, 400, 10000]
PRESSURES = ["sat", 1, 217, 220.6, 1000]

# The dialogue's names of the values it prints, and the table's.
LABELS = {"lnfH2O": "lnf_H2O", "dH2O": "rho", "VH2O": "V_H2O", "CpH2O": "Cp_H2O",
          "ddH2O/dPbar": "drho_dP", "ddH2O/dTK": "drho_dT", "d2dH2O/dTK2": "d2rho_dT2",
          "lnkH": "lnkH", "V2": "V2", "Cp2": "Cp2", "Gaq": "Gaq", "S2": "S2",
          "K_aq_gas": "K_aq_gas"}
SCREEN_WIDTH = 80


def table_rows():
    text = subprocess.run(
        [TABLE, "--solute", "CO2", "--T", ",".join(map(str, TEMPERATURES)),
         "--P", ",".join(map(str, PRESSURES))], capture_output=True, check=True, text=True).stdout
    header, *lines = text.splitlines()
    names = header.split(",")
    rows = []
    for line in lines:
        fields = re.findall(r'"(?:[^"]|"")*"|[^,]+|(?<=,)(?=,|$)', line)
        rows.append(dict(zip(names, (f.strip('"').replace('""', '"') for f in fields))))
    return rows


def dialogue_passes():
    """Per pass: (failure message, None) or (None, {table column: printed text})."""
    keys = "5\n" + "".join(f"{t}\n{0 if p == 'sat' else p}\n"
                           for t in TEMPERATURES for p in PRESSURES)
    transcript = subprocess.run([CONSOLE, "--muted"], input=keys.encode("cp437"),
                                capture_output=True, check=True).stdout.decode()
    lines = transcript.splitlines()
    starts = [n for n, line in enumerate(lines) if line.startswith(" Temp in C =")]
    passes = []
    for first, after in zip(starts, starts[1:]):
        body = [line for line in lines[first + 1:after] if "Date " not in line]
        if not body[0].startswith("  lnfH2O"):
            message = body[0][2:]
            for previous, line in zip(body, body[1:]):  # a long message wraps at the edge
                message += ("" if len(previous) == SCREEN_WIDTH else " ") + line
            passes.append((message, None))
            continue
        text = " ".join(body).replace("K(aq=>gas)", "K_aq_gas")
        values = dict(re.findall(r"(\S+) =\s+(%?-?[\d.]+(?:D[+-]\d+)?)", text))
        passes.append((None, {LABELS[name]: value for name, value in values.items()}))
    return passes


def agrees(printed, value):
    """Whether `printed` (fixed or D-exponent, % for a field too narrow) is `value` rounded to
    its last printed digit."""
    mantissa, _, exponent = printed.lstrip("%").partition("D")
    decimals = len(mantissa.partition(".")[2])
    unit = 10.0 ** (int(exponent or 0) - decimals)
    return abs(float(mantissa) * 10.0 ** int(exponent or 0) - value) <= unit / 2 * (1 + 1e-9)


def test_the_dialogue_the_table_and_the_module_agree():
    rows = table_rows()
    passes = dialogue_passes()
    assert len(passes) == len(rows)
    module = aqsol.properties("CO2", np.repeat(TEMPERATURES, len(PRESSURES)),
                              [0 if p == "sat" else p for p in PRESSURES] * len(TEMPERATURES))
    messages = np.asarray(module["messages"])
    failed = 0
    for n, (row, (message, values)) in enumerate(zip(rows, passes)):
        state = f"{row['T_C']} C, {row['P_bar'] or 'sat'} bar"
        assert messages[module["status"][n]] == row["status"], state
        if row["status"] != "ok":
            failed += 1
            assert message == row["status"], state
            continue
        assert message is None, f"{state}: {message}"
        for column, printed in values.items():
            table_value = float(row[column])
            assert agrees(printed, table_value), f"{state}: {column} {printed} {table_value}"
            assert module[column][n] == table_value, f"{state}: {column}"
    assert 0 < failed < len(passes) / 2
