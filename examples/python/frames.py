"""aqsol's rows as a pandas DataFrame and a grid as an xarray Dataset (python3-pandas,
python3-xarray): python3 frames.py"""
import numpy as np

import aqsol

# One row per (solute, T, P): the states recycle as numpy broadcasts them; 0 is "sat".
frame = aqsol.properties(["CO2", "H2"], [25, 100, 400], [1, 300, 0], as_frame=True)
print(frame[["solute", "T_C", "P_bar", "phase", "lnkH", "status"]].to_string(index=False))
print("units of lnkH:", frame.attrs["units"]["lnkH"])

# A grid on the dimensions (solute, T_C, P_bar), each variable with its units.
T = np.arange(0, 301, 50)
P = [0, 100, 500]
grid = aqsol.dataset(["CO2", "CH4"], T, P)
print(grid["lnkH"].sel(solute="CH4", P_bar=500).values)
print("units of V2:", grid["V2"].attrs["units"])
