Rscript examples/r/co2.R
