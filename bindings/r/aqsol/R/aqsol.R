#' Properties of water and of solutes at infinite dilution.
#'
#' aqsol_properties(solute, T_C, P) computes one row per state: solute, T_C and P are recycled
#' to a common length as R recycles vectors (each of length 1 or of that length).
#' solute: names (any case: "CO2") or menu numbers 1-20; NA for water alone.
#' T_C: temperatures in degrees Celsius, above -273.15 (or T_K = in kelvin, which names the
#' column T_K).
#' P: pressures in the pressure unit (bar unless pressure_unit = "MPa"); "sat" or 0 for the
#' saturation pressure at each temperature. P_bar = gives them in bar whatever the unit.
#' threads: computing threads, 0 (default: one per core) to 256.
#' species: species files (paths, or a shipped set's short name such as "g704") whose solutes
#' the solute names may name too; see docs/model.md.
#' units: "cal" (default: cal, cm3, g/cm3) or "si" (J, m3, kg/m3); pressure_unit: "bar"
#' (default) or "MPa"; any case, as aqsol-table's --units and --pressure-unit.
#' Returns a data.frame with the columns of aqsol-table (units in attr(, "units")): a state that
#' cannot be computed has NA values and says why in its status column.
aqsol_properties <- function(solute, T_C, P, threads = 0L, species = character(),
                             units = "cal", pressure_unit = "bar", P_bar = NULL, T_K = NULL) {
  if (!(is.character(solute) || is.numeric(solute) || all(is.na(solute))) || length(solute) == 0)
    stop("solute: expected names or menu numbers 1-20", call. = FALSE)
  kelvin <- !is.null(T_K)
  if (missing(T_C) != kelvin)
    stop(if (kelvin) "T_C and T_K: give one of them"
         else "T_C: no temperature given (T_C in degrees Celsius, or T_K)", call. = FALSE)
  if (kelvin) {
    if (!is.numeric(T_K) || length(T_K) == 0)
      stop("T_K: expected temperatures in kelvin", call. = FALSE)
    cold <- which(!is.na(T_K) & T_K <= 0)
    if (length(cold) > 0)
      stop(sprintf("T_K: temperature %s K is at or below absolute zero", format(T_K[cold[1]])),
           call. = FALSE)
    T_C <- T_K - 273.15
  }
  if (!is.numeric(T_C) || length(T_C) == 0)
    stop("T_C: expected temperatures in degrees Celsius", call. = FALSE)
  bits <- aqsol_unit_bits(units, pressure_unit)
  if (is.character(bits)) stop(bits, call. = FALSE)
  if (missing(P) == is.null(P_bar))
    stop(if (missing(P)) "P: no pressure given (P, or P_bar in bar)"
         else "P and P_bar: give the pressures once", call. = FALSE)
  name <- if (missing(P)) "P_bar" else "P"
  P <- if (missing(P)) P_bar else P
  if (is.character(P)) {
    sat <- tolower(P) == "sat"
    if (any(is.na(sat) | !sat))
      stop(name, ": expected pressures, 0 or \"sat\"", call. = FALSE)
    P <- rep(0, length(P))
  }
  if (!is.numeric(P) || length(P) == 0)
    stop(name, ": expected pressures, 0 or \"sat\"", call. = FALSE)
  if (name == "P_bar" && bitwAnd(bits, 2L) != 0) P <- P / 10  # bar into the MPa asked for
  n <- max(length(solute), length(T_C), length(P))
  for (argument in list(list("solute", solute), list("T_C", T_C), list(name, P))) {
    size <- length(argument[[2]])
    if (size != 1 && size != n)
      stop(sprintf("%s: length %d does not recycle to %d", argument[[1]], size, n), call. = FALSE)
  }
  if (!is.numeric(threads) || length(threads) != 1 || is.na(threads))
    stop("threads: expected 0 (one per core) or a thread count from 1 to 256", call. = FALSE)
  names <- ifelse(is.na(solute), "", as.character(solute))
  if (!is.character(species) || any(is.na(species)))
    stop("species: expected the paths of species files", call. = FALSE)
  frame <- aqsol_compute(rep_len(names, n), rep_len(as.double(T_C), n),
                         rep_len(as.double(P), n), as.integer(threads), species, bits)
  if (is.character(frame)) stop(frame, call. = FALSE)
  frame <- as.data.frame(frame, stringsAsFactors = FALSE)
  unit_names <- aqsol_field_units(bits)
  if (kelvin) {  # the column in kelvin, T_C + 273.15 as aqsol-table --temperature-unit K writes
    frame$T_C <- frame$T_C + 273.15
    names(frame)[names(frame) == "T_C"] <- "T_K"
    unit_names[["T_C"]] <- "K"
    names(unit_names)[names(unit_names) == "T_C"] <- "T_K"
  }
  attr(frame, "units") <- unit_names
  frame
}

#' The solute names in menu order (menu number = position).
aqsol_solutes <- function() aqsol_solute_names()

#' The version of aqsol.
aqsol_version <- function() aqsol_library_version()
