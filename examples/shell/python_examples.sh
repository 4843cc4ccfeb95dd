python3 examples/python/henry_plot.py henry.png    # needs python3-matplotlib
python3 examples/python/frames.py                  # needs python3-pandas and python3-xarray
