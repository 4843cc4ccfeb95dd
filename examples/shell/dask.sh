python3 examples/python/dask_grid.py                        # a local cluster of two workers
python3 examples/python/dask_grid.py local co2_grid.nc      # and the grid in a netCDF file
