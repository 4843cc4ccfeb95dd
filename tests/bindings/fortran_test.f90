! The Fortran module: one state and arrays of states, printed with 17 significant digits for the
! test that compares them with aqsol-table; a bad argument and a state that fails.
program fortran_test
  use aqsol
  use, intrinsic :: iso_c_binding, only: c_ptr
  implicit none
  real(8) :: T_C(6) = [0.01d0, 25d0, 100d0, 300d0, 400d0, 400d0]
  real(8) :: P_bar(6) = [1d0, 1d0, AQSOL_SAT, 100d0, AQSOL_SAT, 300d0]
  type(aqsol_values) :: one, many(6), mine(1)
  integer :: statuses(6), n, status
  character(len=AQSOL_MESSAGE_SIZE) :: message
  type(c_ptr) :: species

  if (aqsol_properties("CO2", T_C, P_bar, many, statuses, threads=2) /= AQSOL_OK) stop 1
  do n = 1, 6
    status = aqsol_properties("co2", T_C(n), P_bar(n), one, message)
    if (status /= statuses(n)) stop 2
    if (status == AQSOL_OK) then
      if (one%lnkH /= many(n)%lnkH .or. one%rho /= many(n)%rho) stop 3
      ! Every field of the bind(c) type, in its order: a field out of step with the C struct
      ! shows as a number in the wrong column.
      write (*, '(a,15(1x,es25.17e3),2(1x,i0))') "state", &
        many(n)%T_C, many(n)%P_bar, many(n)%rho, many(n)%drho_dP, many(n)%drho_dT, &
        many(n)%d2rho_dT2, many(n)%V_H2O, many(n)%Cp_H2O, many(n)%lnf_H2O, many(n)%lnkH, &
        many(n)%V2, many(n)%Cp2, many(n)%Gaq, many(n)%S2, many(n)%K_aq_gas, many(n)%phase, &
        many(n)%range
    else
      write (*, '(a,1x,a)') "failed", trim(message)
    end if
  end do
  if (aqsol_properties("XeF2", 25d0, 1d0, one, message) /= AQSOL_BAD_ARGUMENT) stop 4
  write (*, '(a,1x,a)') "refused", trim(message)
  write (*, '(a,1x,a,1x,a,1x,i0)') "version", aqsol_version(), aqsol_solute_name(5), &
    aqsol_solute_count()
  ! A solute of a species set: He of the G7-04 set.
  species = aqsol_species_new()
  if (aqsol_species_read(species, "g704", message) /= AQSOL_OK) stop 5
  if (aqsol_properties("He", [25d0], [1d0], mine, species=species) /= AQSOL_OK) stop 6
  write (*, '(a,1x,es25.17e3)') "species He", mine(1)%lnkH
  call aqsol_species_free(species)
  ! SI units with pressures in MPa: CO2 at 25 C and 0.1 MPa.
  if (aqsol_properties("CO2", [25d0], [0.1d0], mine, units=AQSOL_UNITS_SI + AQSOL_PRESSURE_MPA) &
      /= AQSOL_OK) stop 7
  write (*, '(a,2(1x,es25.17e3))') "si CO2", mine(1)%rho, mine(1)%lnkH
end program fortran_test
