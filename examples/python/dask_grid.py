"""A grid of states too large for one machine's patience, computed by the workers of a Dask
cluster in chunks and gathered as an xarray Dataset (or written to netCDF).

Run it on this machine:             python3 dask_grid.py
On a cluster, name the scheduler:   python3 dask_grid.py tcp://scheduler:8786
Also write it to a netCDF file:     python3 dask_grid.py local co2_grid.nc   (about 120 MB)
"""
import sys

import numpy as np
import xarray
from dask.distributed import Client, LocalCluster

import aqsol


def chunk(solute, temperatures, pressures, start, stop):
    """States start to stop - 1 of the grid (T outermost), computed on a worker from the grid's
    axes, which are all it is sent: aqsol.properties, a dict of arrays."""
    t, p = np.unravel_index(np.arange(start, stop), (temperatures.size, pressures.size))
    return aqsol.properties(solute, temperatures[t], pressures[p], threads=1)


def one_message_list(parts):
    """The status codes of every chunk as indices into one list of messages."""
    messages, codes = ["ok"], []
    for part in parts:
        for message in part["messages"]:
            if message not in messages:
                messages.append(message)
        lookup = np.array([messages.index(m) for m in part["messages"]], dtype=np.int32)
        codes.append(lookup[part["status"]])
    return np.concatenate(codes), messages


def grid(client, solute, temperatures, pressures, states_per_chunk=100_000):
    """Every (T, P) of the grid for one solute, as an xarray Dataset on (T_C, P_bar)."""
    count = temperatures.size * pressures.size
    futures = [client.submit(chunk, solute, temperatures, pressures, start,
                             min(start + states_per_chunk, count))
               for start in range(0, count, states_per_chunk)]
    parts = client.gather(futures)
    shape, dims = (temperatures.size, pressures.size), ("T_C", "P_bar")
    variables = {name: (dims, np.concatenate([p[name] for p in parts]).reshape(shape))
                 for name in parts[0]
                 if name not in ("solute", "T_C", "P_bar", "status", "messages")}
    codes, messages = one_message_list(parts)
    variables["status"] = (dims, codes.reshape(shape), {"messages": messages})
    return xarray.Dataset(variables, coords={"T_C": temperatures, "P_bar": pressures})


if __name__ == "__main__":
    # python3 dask_grid.py [SCHEDULER|local] [OUTPUT.nc]: the grid is written only where asked.
    address = sys.argv[1] if len(sys.argv) > 1 and sys.argv[1] != "local" else None
    output = sys.argv[2] if len(sys.argv) > 2 else None
    if address:
        client = Client(address)              # a real cluster: only its address changes
    else:
        client = Client(LocalCluster(n_workers=2, threads_per_worker=1, processes=True))
    dataset = grid(client, "CO2", np.linspace(0, 350, 1001), np.linspace(1, 1000, 1000))
    if output:
        # The phase as CF flags, as aqsol-table writes it: a byte a state in the file.
        meanings = ["liquid", "vapour", "supercritical"]
        phase = np.select([dataset["phase"] == m for m in meanings], [0, 1, 2], -1)
        flags = {"flag_values": np.int8([0, 1, 2]), "flag_meanings": " ".join(meanings)}
        dataset["phase"] = (dataset["phase"].dims, phase.astype(np.int8), flags)
        print(f"writing {dataset.nbytes / 1e6:.0f} MB to {output}")
        dataset.to_netcdf(output)
    print(dataset)
