"""ln kH of three gases along the saturation curve, plotted with matplotlib into henry.png (or
the file named): python3 henry_plot.py [FILE.png]"""
import sys

import matplotlib

matplotlib.use("Agg")  # draws into a file, with or without a display
import matplotlib.pyplot as plt
import numpy as np

import aqsol

T = np.linspace(0, 350, 351)
for gas in ("CO2", "CH4", "H2S"):
    plt.plot(T, aqsol.properties(gas, T_C=T, P="sat")["lnkH"], label=gas)
plt.xlabel("T (°C)")
plt.ylabel("ln kH (kH in bar)")
plt.legend()
output = sys.argv[1] if len(sys.argv) > 1 else "henry.png"
plt.savefig(output, dpi=100)
print(f"wrote {output}")
