# The R interface against aqsol-table, to the last bit; bad arguments as R errors naming them.
table_rows <- function(...) {
  binary <- Sys.getenv("AQSOL_TABLE", "aqsol-table")
  skip_if(Sys.which(binary) == "", "aqsol-table is not on PATH (or in AQSOL_TABLE)")
  out <- system2(binary, c(...), stdout = TRUE)
  header <- strsplit(out[1], ",")[[1]]
  text <- intersect(header, c("solute", "phase", "range", "status"))
  numbers <- setdiff(header, text)
  read.csv(text = out, colClasses = c(setNames(rep("character", length(text)), text),
                                      setNames(rep("double", length(numbers)), numbers)),
           na.strings = "")
}

test_that("rows are aqsol-table's, recycled as R recycles", {
  frame <- aqsol_properties(c("CO2", "ch4"), 25, c(1, 100))
  rows <- rbind(table_rows("--solute", "CO2", "--T", "25", "--P", "1"),
                table_rows("--solute", "CH4", "--T", "25", "--P", "100"))
  expect_identical(names(frame), names(rows))
  for (column in setdiff(names(rows), c("range", "status"))) {
    expect_identical(frame[[column]], rows[[column]], label = column)
  }
  expect_identical(frame$status, c("ok", "ok"))
  expect_equal(attr(frame, "units")[["Gaq"]], "cal/mol")
})

test_that("sat, failed states and water alone", {
  frame <- aqsol_properties(5, c(100, 400), "sat")
  rows <- table_rows("--solute", "CO2", "--T", "100,400", "--P", "sat")
  expect_identical(frame$P_bar, rows$P_bar)
  expect_identical(frame$lnkH, rows$lnkH)
  expect_true(is.na(frame$rho[2]))
  expect_identical(frame$status[2], rows$status[2])
  water <- aqsol_properties(NA, 25, 1)
  expect_true(is.na(water$lnkH))
  expect_identical(water$rho, table_rows("--T", "25", "--P", "1")$rho)
  expect_identical(aqsol_solutes()[5], "CO2")
  expect_match(aqsol_version(), "^[0-9]+\\.[0-9]+\\.[0-9]+$")
})

test_that("bad arguments are R errors that name the argument", {
  expect_error(aqsol_properties("XeF2", 25, 1), "solute")
  expect_error(aqsol_properties("CO2", -300, 1), "T_C")
  expect_error(aqsol_properties("CO2", 25, -1), "P_bar")  # the C library's name for it
  expect_error(aqsol_properties("CO2", 25, "high"), "^P: expected pressures")
  expect_error(aqsol_properties("CO2", c(1, 2, 3), c(1, 2)), "P: length 2")
  expect_error(aqsol_properties("CO2", c(1, 2, 3), P_bar = c(1, 2)), "P_bar: length 2")
  expect_error(aqsol_properties(list(), 25, 1), "solute")
})

test_that("a bad element is named by its position in the R vector, as R counts", {
  why <- tryCatch(aqsol_properties(c("CO2", "H2", "CO2"), c(25, 25, -300), 1),
                  error = conditionMessage)
  expect_match(why, "^T_C: temperature -300 ")
  expect_match(why, "(element 3)", fixed = TRUE)
  why <- tryCatch(aqsol_properties("CO2", 25, c(1, 2, -1)), error = conditionMessage)
  expect_match(why, "(element 3)", fixed = TRUE)
  expect_match(why, "sat or 0", fixed = TRUE)  # R's word for it, not the C library's
  expect_false(grepl("AQSOL_SAT", why))
  why <- tryCatch(aqsol_properties(c("CO2", "XeF2"), 25, 1), error = conditionMessage)
  expect_match(why, "^solute: unknown solute 'XeF2' \\(use a number 1-20 or a name: H2 N2 ")
  expect_match(why, "H2Se) (element 2)", fixed = TRUE)
  expect_error(aqsol_properties("CO2", 25, 1, threads = -1),
               "threads: expected 0 (one per core) or a thread count from 1 to 256 (found -1)",
               fixed = TRUE)
})

test_that("a table of many solutes comes back in the order of the states", {
  solutes <- rep(c("CO2", "H2", "CH4"), length.out = 70000)  # more than a slice
  frame <- aqsol_properties(solutes, 25, 1)
  expect_identical(frame$solute, solutes)
  expect_identical(unique(frame$lnkH[frame$solute == "H2"]),
                   aqsol_properties("H2", 25, 1)$lnkH)
})

test_that("a species file's solutes give aqsol-table's rows, and a bad file is named", {
  species <- tempfile(fileext = ".csv")
  writeLines(c("name,xi,a,b,gf298,s298,cpA,cpB,cpC,T_min_C,T_max_C",
               "Kr,0.05,-9.1,12.3,0,39.19,4.968,0,0,0,100"), species)
  frame <- aqsol_properties(c("Kr", "co2"), c(25, 150), c(1, 100), species = species)
  rows <- rbind(table_rows("--species", species, "--solute", "Kr", "--T", "25", "--P", "1"),
                table_rows("--species", species, "--solute", "CO2", "--T", "150", "--P", "100"))
  for (column in setdiff(names(rows), c("range", "status"))) {
    expect_identical(frame[[column]], rows[[column]], label = column)
  }
  expect_identical(frame$range[1], "")
  expect_error(aqsol_properties("Kr", 25, 1), "unknown solute 'Kr'", fixed = TRUE)
  writeLines(c("name,xi,a,b,gf298,s298,cpA,cpB,cpC", "Kr,0.05,x,12.3,0,39.19,4.968,0,0"), species)
  expect_error(aqsol_properties("Kr", 25, 1, species = species),
               paste0("species: '", species, "':2: a: 'x' is not a finite number"), fixed = TRUE)
  expect_identical(aqsol_properties("He", 25, 1, species = "g704")$status, "ok")
})

test_that("units and pressure units as aqsol-table's, the pressure read in its unit", {
  frame <- aqsol_properties("CO2", c(25, 150), c(0.1, 10), units = "SI", pressure_unit = "mpa")
  rows <- rbind(table_rows("--solute", "CO2", "--T", "25", "--P", "0.1", "--units", "si",
                           "--pressure-unit", "MPa"),
                table_rows("--solute", "CO2", "--T", "150", "--P", "10", "--units", "si",
                           "--pressure-unit", "MPa"))
  for (column in setdiff(names(rows), c("range", "status"))) {
    expect_identical(frame[[column]], rows[[column]], label = column)
  }
  expect_identical(names(frame)[3], "P_MPa")
  expect_identical(attr(frame, "units")[["rho"]], "kg/m3")
  expect_identical(attr(frame, "units")[["lnkH"]], "1")
  by_bar <- aqsol_properties("CO2", c(25, 150), P_bar = c(1, 100), units = "si",
                             pressure_unit = "MPa")
  expect_identical(by_bar$lnkH, frame$lnkH)
  expect_error(aqsol_properties("CO2", 25, 1, units = "imperial"),
               "units: unknown units 'imperial' (use cal or si)", fixed = TRUE)
})

test_that("temperatures in kelvin as aqsol-table --temperature-unit K gives them", {
  frame <- aqsol_properties("CO2", T_K = c(298.15, 573.15), P = c(1, 100))
  rows <- rbind(table_rows("--solute", "CO2", "--T", "298.15", "--P", "1",
                           "--temperature-unit", "K"),
                table_rows("--solute", "CO2", "--T", "573.15", "--P", "100",
                           "--temperature-unit", "K"))
  expect_identical(names(frame), names(rows))
  for (column in setdiff(names(rows), c("range", "status"))) {
    expect_identical(frame[[column]], rows[[column]], label = column)
  }
  expect_identical(attr(frame, "units")[["T_K"]], "K")
  expect_error(aqsol_properties("CO2", 25, 1, T_K = 298.15), "give one of them", fixed = TRUE)
  expect_error(aqsol_properties("CO2", T_K = -1, P = 1), "T_K: temperature -1 K", fixed = TRUE)
})
