/usr/bin/python3 -m venv --system-site-packages ~/aqsol-env   # Debian's numpy stays visible
~/aqsol-env/bin/pip install .                  # builds with CMake; needs no network
~/aqsol-env/bin/python examples/python/henry_plot.py henry.png
