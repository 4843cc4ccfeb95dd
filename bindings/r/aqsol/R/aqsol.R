#' Properties of water and of solutes at infinite dilution.
#'
#' aqsol_properties(solute, T_C, P_bar) computes one row per state: solute, T_C and P_bar are
#' recycled to a common length as R recycles vectors (each of length 1 or of that length).
#' solute: names (any case: "CO2") or menu numbers 1-20; NA for water alone.
#' T_C: temperatures in degrees Celsius, above -273.15.
#' P_bar: pressures in bar; "sat" or 0 for the saturation pressure at each temperature.
#' threads: computing threads, 0 (default: one per core) to 256.
#' species: species files (paths, or a shipped set's short name such as "g704") whose solutes
#' the solute names may name too; see docs/model.md.
#' Returns a data.frame with the columns of aqsol-table (units in attr(, "units")): a state that
#' cannot be computed has NA values and says why in its status column.
aqsol_properties <- function(solute, T_C, P_bar, threads = 0L, species = character()) {
  if (!(is.character(solute) || is.numeric(solute) || all(is.na(solute))) || length(solute) == 0)
    stop("solute: expected names or menu numbers 1-20", call. = FALSE)
  if (!is.numeric(T_C) || length(T_C) == 0)
    stop("T_C: expected temperatures in degrees Celsius", call. = FALSE)
  if (is.character(P_bar)) {
    sat <- tolower(P_bar) == "sat"
    if (any(is.na(sat) | !sat))
      stop("P_bar: expected pressures in bar, 0 or \"sat\"", call. = FALSE)
    P_bar <- rep(0, length(P_bar))
  }
  if (!is.numeric(P_bar) || length(P_bar) == 0)
    stop("P_bar: expected pressures in bar, 0 or \"sat\"", call. = FALSE)
  n <- max(length(solute), length(T_C), length(P_bar))
  for (argument in c("solute", "T_C", "P_bar")) {
    size <- length(get(argument))
    if (size != 1 && size != n)
      stop(sprintf("%s: length %d does not recycle to %d", argument, size, n), call. = FALSE)
  }
  if (!is.numeric(threads) || length(threads) != 1 || is.na(threads))
    stop("threads: expected 0 (one per core) or a thread count from 1 to 256", call. = FALSE)
  names <- ifelse(is.na(solute), "", as.character(solute))
  if (!is.character(species) || any(is.na(species)))
    stop("species: expected the paths of species files", call. = FALSE)
  frame <- aqsol_compute(rep_len(names, n), rep_len(as.double(T_C), n),
                         rep_len(as.double(P_bar), n), as.integer(threads), species)
  if (is.character(frame)) stop(frame, call. = FALSE)
  frame <- as.data.frame(frame, stringsAsFactors = FALSE)
  attr(frame, "units") <- c(T_C = "C", P_bar = "bar", rho = "g/cm3", drho_dP = "g/(cm3 bar)",
                            drho_dT = "g/(cm3 K)", d2rho_dT2 = "g/(cm3 K2)", V_H2O = "cm3/mol",
                            Cp_H2O = "cal/(mol K)", lnf_H2O = "ln(f/bar)", lnkH = "ln(kH/bar)",
                            V2 = "cm3/mol", Cp2 = "cal/(mol K)", Gaq = "cal/mol",
                            S2 = "cal/(mol K)", K_aq_gas = "bar/(mol/kg)")
  frame
}

#' The solute names in menu order (menu number = position).
aqsol_solutes <- function() aqsol_solute_names()

#' The version of aqsol.
aqsol_version <- function() aqsol_library_version()
