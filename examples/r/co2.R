# CO2 and CH4 through the aqsol R package: Rscript co2.R
library(aqsol)

frame <- aqsol_properties(c("CO2", "ch4"), 25, c(1, 100))
print(frame[, c("solute", "T_C", "P_bar", "phase", "lnkH", "V2")])
along <- aqsol_properties("CO2", c(25, 100, 200), "sat")  # the saturation pressure
print(along[, c("T_C", "P_bar", "lnkH")])
cat("units of lnkH:", attr(frame, "units")[["lnkH"]], "\n")
cat("solute 5 of the menu:", aqsol_solutes()[5], "\n")
