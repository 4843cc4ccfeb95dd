aqsol-table --species examples/solutes/my_gases.csv --solute Kr,CO2 --T 25,80 --P 1
aqsol-table --species g704 --solute He,Kr --T 25 --P 1 --columns solute,lnkH,range
