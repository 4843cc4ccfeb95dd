! CO2 at 25 C and 1 bar, then along the saturation curve, through the aqsol Fortran module.
! gfortran -c aqsol.f90 && gfortran co2.f90 aqsol.o $(pkg-config --libs aqsol) -o co2_f
program co2
  use aqsol
  implicit none
  real(8) :: T_C(4) = [25d0, 100d0, 200d0, 400d0]
  real(8) :: P_bar(4) = [AQSOL_SAT, AQSOL_SAT, AQSOL_SAT, AQSOL_SAT]
  type(aqsol_values) :: one, along(4)
  integer :: statuses(4), n
  character(len=AQSOL_MESSAGE_SIZE) :: message

  if (aqsol_properties("CO2", 25d0, 1d0, one, message) /= AQSOL_OK) then
    print '(a)', trim(message)
    stop 1
  end if
  print '(a,es24.16e3)', "CO2 at 25 C and 1 bar: lnkH = ", one%lnkH
  if (aqsol_properties("CO2", T_C, P_bar, along, statuses) /= AQSOL_OK) stop 1
  do n = 1, 4
    if (statuses(n) == AQSOL_OK) then
      print '(f6.1,a,es24.16e3,a,es24.16e3)', T_C(n), " C, ", along(n)%P_bar, " bar: lnkH = ", &
        along(n)%lnkH
    else
      print '(f6.1,a,a)', T_C(n), " C: ", "not computed"
    end if
  end do
end program co2
