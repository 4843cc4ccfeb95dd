// The R interface of aqsol, over its C library.
#include <Rcpp.h>
#include <aqsol/aqsol.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

// The states, one solute name each ("" for water alone), computed one solute at a time; a data
// frame's columns as a list, or the message of a bad argument as a character string.
// [[Rcpp::export]]
SEXP aqsol_compute(Rcpp::CharacterVector solute, Rcpp::NumericVector T_C, Rcpp::NumericVector P_bar,
                   int threads) {
  const R_xlen_t n = T_C.size();
  std::map<std::string, std::vector<R_xlen_t>> bySolute;
  for (R_xlen_t i = 0; i < n; ++i) bySolute[Rcpp::as<std::string>(solute[i])].push_back(i);
  std::vector<aqsol_values> values(n);
  std::vector<int> statuses(n);
  std::vector<char> messages(static_cast<std::size_t>(n) * AQSOL_MESSAGE_SIZE);
  for (const auto& [name, indices] : bySolute) {
    std::vector<double> t, p;
    for (R_xlen_t i : indices) {
      t.push_back(T_C[i]);
      p.push_back(P_bar[i]);
    }
    std::vector<aqsol_values> part(indices.size());
    std::vector<int> codes(indices.size());
    std::vector<char> texts(indices.size() * AQSOL_MESSAGE_SIZE);
    const int call = aqsol_properties_many(name.c_str(), indices.size(), t.data(), p.data(),
                                           static_cast<unsigned>(threads), part.data(),
                                           codes.data(), texts.data());
    if (call != AQSOL_OK) {
      std::string why(texts.data());
      if (why.rfind("solute", 0) != 0 && why.rfind("T_C", 0) != 0 && why.rfind("P_bar", 0) != 0)
        why = "aqsol: " + why;
      return Rcpp::wrap(why);
    }
    for (std::size_t k = 0; k < indices.size(); ++k) {
      values[indices[k]] = part[k];
      statuses[indices[k]] = codes[k];
      std::copy_n(&texts[k * AQSOL_MESSAGE_SIZE], AQSOL_MESSAGE_SIZE,
                  &messages[indices[k] * AQSOL_MESSAGE_SIZE]);
    }
  }
  const auto column = [&](double aqsol_values::*field) {
    Rcpp::NumericVector out(n);
    for (R_xlen_t i = 0; i < n; ++i) {
      const double v = values[i].*field;
      out[i] = std::isnan(v) ? NA_REAL : v;
    }
    return out;
  };
  Rcpp::CharacterVector names(n), phase(n), range(n), status(n);
  for (R_xlen_t i = 0; i < n; ++i) {
    const bool ok = statuses[i] == AQSOL_OK;
    const int index = aqsol_solute_index(Rcpp::as<std::string>(solute[i]).c_str());
    names[i] = index >= 0 ? aqsol_solute_name(index) : "";
    const char* phaseName = aqsol_phase_name(values[i].phase);
    phase[i] = phaseName != nullptr ? phaseName : "";
    std::string words;
    for (unsigned bit = 1; bit <= AQSOL_RANGE_UNREFERENCED; bit <<= 1)
      if (ok && (values[i].range & bit) != 0)
        words += (words.empty() ? "" : " ") + std::string(aqsol_range_flag_name(bit));
    range[i] = words;
    status[i] = std::string(&messages[i * AQSOL_MESSAGE_SIZE]);
  }
  Rcpp::List frame = Rcpp::List::create(
      Rcpp::Named("solute") = names, Rcpp::Named("T_C") = column(&aqsol_values::T_C),
      Rcpp::Named("P_bar") = column(&aqsol_values::P_bar), Rcpp::Named("phase") = phase,
      Rcpp::Named("rho") = column(&aqsol_values::rho),
      Rcpp::Named("drho_dP") = column(&aqsol_values::drho_dP),
      Rcpp::Named("drho_dT") = column(&aqsol_values::drho_dT),
      Rcpp::Named("d2rho_dT2") = column(&aqsol_values::d2rho_dT2),
      Rcpp::Named("V_H2O") = column(&aqsol_values::V_H2O),
      Rcpp::Named("Cp_H2O") = column(&aqsol_values::Cp_H2O),
      Rcpp::Named("lnf_H2O") = column(&aqsol_values::lnf_H2O),
      Rcpp::Named("lnkH") = column(&aqsol_values::lnkH),
      Rcpp::Named("V2") = column(&aqsol_values::V2),
      Rcpp::Named("Cp2") = column(&aqsol_values::Cp2),
      Rcpp::Named("Gaq") = column(&aqsol_values::Gaq),
      Rcpp::Named("S2") = column(&aqsol_values::S2),
      Rcpp::Named("K_aq_gas") = column(&aqsol_values::K_aq_gas));
  frame.push_back(range, "range");
  frame.push_back(status, "status");
  return frame;
}

// [[Rcpp::export]]
Rcpp::CharacterVector aqsol_solute_names() {
  Rcpp::CharacterVector names;
  for (int i = 0; i < aqsol_solute_count(); ++i) names.push_back(aqsol_solute_name(i));
  return names;
}

// [[Rcpp::export]]
std::string aqsol_library_version() {
  return aqsol_version();
}
