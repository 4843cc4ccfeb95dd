PYTHONPATH=build-python/python /usr/bin/python3 -c 'import aqsol; print(aqsol.properties("CO2", 25, 1)["lnkH"])'
