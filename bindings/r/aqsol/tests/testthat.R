library(testthat)
library(aqsol)
test_check("aqsol")
