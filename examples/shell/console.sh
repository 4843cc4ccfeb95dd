printf '5\n25\n1\n' | aqsol-console --muted        # CO2 at 25 °C and 1 bar
