! aqsol from Fortran: properties of water and of dissolved gases and neutral solutes at infinite
! dilution, through the C library (link with -laqsol). Units are those of aqsol-table's default
! columns: C, bar, g/cm3, cm3/mol, cal/mol, cal/(mol K); over arrays, units=AQSOL_UNITS_SI and
! AQSOL_PRESSURE_MPA (summed) give aqsol-table's --units si and --pressure-unit MPa.
!
!   use aqsol
!   type(aqsol_values) :: v
!   integer :: status
!   status = aqsol_properties("CO2", 25d0, 1d0, v)          ! one state
!   status = aqsol_properties("CO2", T_C, P_bar, values)    ! arrays of states, all cores
module aqsol
  use, intrinsic :: iso_c_binding
  implicit none
  private

  integer, parameter, public :: AQSOL_OK = 0, AQSOL_NOT_COMPUTED = 1, &
                                AQSOL_BAD_ARGUMENT = 2, AQSOL_OUT_OF_MEMORY = 3
  integer, parameter, public :: AQSOL_PHASE_NONE = -1, AQSOL_PHASE_LIQUID = 0, &
                                AQSOL_PHASE_VAPOUR = 1, AQSOL_PHASE_SUPERCRITICAL = 2
  integer, parameter, public :: AQSOL_RANGE_ICE = 1, AQSOL_RANGE_METASTABLE = 2, &
                                AQSOL_RANGE_BEYOND_EOS = 4, AQSOL_RANGE_WATER_DEVIATES = 8, &
                                AQSOL_RANGE_NEAR_CRITICAL = 8, &
                                AQSOL_RANGE_SOLUTE_EXTRAPOLATED = 16, &
                                AQSOL_RANGE_REFERENCE_DEVIATES = 32, AQSOL_RANGE_UNREFERENCED = 64
  ! The pressure that stands for the saturation pressure at the temperature.
  real(c_double), parameter, public :: AQSOL_SAT = 0d0
  integer, parameter, public :: AQSOL_MESSAGE_SIZE = 256
  ! Units over arrays of states: J, m3, kg/m3; pressures (given and computed) in MPa.
  integer, parameter, public :: AQSOL_UNITS_SI = 1, AQSOL_PRESSURE_MPA = 2

  ! One computed state: aqsol-table's columns in their order (NaN where not computed).
  type, bind(c), public :: aqsol_values
    real(c_double) :: T_C, P_bar, rho, drho_dP, drho_dT, d2rho_dT2, V_H2O, Cp_H2O, lnf_H2O
    real(c_double) :: lnkH, V2, Cp2, Gaq, S2, K_aq_gas
    integer(c_int) :: phase
    integer(c_int) :: range  ! unsigned in C; the flags fit in its lower bits
  end type aqsol_values

  public :: aqsol_properties, aqsol_version, aqsol_solute_count, aqsol_solute_name
  public :: aqsol_species_new, aqsol_species_read, aqsol_species_free

  ! One state, or arrays of states (of one shape) on every core.
  interface aqsol_properties
    module procedure properties_one, properties_many
  end interface aqsol_properties

  interface
    integer(c_int) function c_properties(solute, T_C, P_bar, values, message, message_size) &
        bind(c, name="aqsol_properties")
      import :: c_char, c_double, c_int, c_size_t, aqsol_values
      character(kind=c_char), dimension(*), intent(in) :: solute
      real(c_double), value :: T_C, P_bar
      type(aqsol_values), intent(out) :: values
      character(kind=c_char), dimension(*), intent(out) :: message
      integer(c_size_t), value :: message_size
    end function c_properties

    integer(c_int) function c_properties_many(species, units, solute, count, T_C, P_bar, &
                                              threads, values, statuses, messages) &
        bind(c, name="aqsol_species_properties_in_units")
      import :: c_char, c_double, c_int, c_size_t, c_ptr, aqsol_values
      type(c_ptr), value :: species
      integer(c_int), value :: units
      character(kind=c_char), dimension(*), intent(in) :: solute
      integer(c_size_t), value :: count
      real(c_double), dimension(*), intent(in) :: T_C, P_bar
      integer(c_int), value :: threads
      type(aqsol_values), dimension(*), intent(out) :: values
      integer(c_int), dimension(*), intent(out) :: statuses
      type(c_ptr), value :: messages
    end function c_properties_many

    ! Solutes of your own: a set of the built-in solutes and those species files add.
    type(c_ptr) function aqsol_species_new() bind(c, name="aqsol_species_new")
      import :: c_ptr
    end function aqsol_species_new

    integer(c_int) function c_species_read(species, file, message) &
        bind(c, name="aqsol_species_read")
      import :: c_ptr, c_char, c_int
      type(c_ptr), value :: species
      character(kind=c_char), dimension(*), intent(in) :: file
      character(kind=c_char), dimension(*), intent(out) :: message
    end function c_species_read

    subroutine aqsol_species_free(species) bind(c, name="aqsol_species_free")
      import :: c_ptr
      type(c_ptr), value :: species
    end subroutine aqsol_species_free

    type(c_ptr) function c_version() bind(c, name="aqsol_version")
      import :: c_ptr
    end function c_version

    integer(c_int) function aqsol_solute_count() bind(c, name="aqsol_solute_count")
      import :: c_int
    end function aqsol_solute_count

    type(c_ptr) function c_solute_name(index) bind(c, name="aqsol_solute_name")
      import :: c_ptr, c_int
      integer(c_int), value :: index
    end function c_solute_name

    integer(c_size_t) function c_strlen(text) bind(c, name="strlen")
      import :: c_ptr, c_size_t
      type(c_ptr), value :: text
    end function c_strlen
  end interface

contains

  ! A Fortran string as a C string: trailing blanks removed, a terminating zero added.
  function c_string(text) result(c)
    character(len=*), intent(in) :: text
    character(kind=c_char, len=len_trim(text) + 1) :: c
    c = trim(text)//c_null_char
  end function c_string

  ! A C string as a Fortran string.
  function f_string(pointer) result(text)
    type(c_ptr), intent(in) :: pointer
    character(len=:), allocatable :: text
    character(kind=c_char), pointer :: chars(:)
    integer :: n
    if (.not. c_associated(pointer)) then
      text = ""
      return
    end if
    call c_f_pointer(pointer, chars, [c_strlen(pointer)])
    allocate (character(len=size(chars)) :: text)
    do n = 1, size(chars)
      text(n:n) = chars(n)
    end do
  end function f_string

  ! One state. `message`, when given, receives "ok" or why the state was not computed.
  integer function properties_one(solute, T_C, P_bar, values, message) result(status)
    character(len=*), intent(in) :: solute
    real(c_double), intent(in) :: T_C, P_bar
    type(aqsol_values), intent(out) :: values
    character(len=*), intent(out), optional :: message
    character(kind=c_char) :: buffer(AQSOL_MESSAGE_SIZE)
    status = c_properties(c_string(solute), T_C, P_bar, values, buffer, &
                          int(AQSOL_MESSAGE_SIZE, c_size_t))
    if (present(message)) call copy_message(buffer, message)
  end function properties_one

  ! A C message buffer into a Fortran string, up to its terminating zero.
  subroutine copy_message(buffer, message)
    character(kind=c_char), intent(in) :: buffer(AQSOL_MESSAGE_SIZE)
    character(len=*), intent(out) :: message
    integer :: n
    message = ""
    do n = 1, min(len(message), AQSOL_MESSAGE_SIZE)
      if (buffer(n) == c_null_char) exit
      message(n:n) = buffer(n)
    end do
  end subroutine copy_message

  ! Adds a species file's solutes to a set (from aqsol_species_new); `message`, when given,
  ! receives "ok" or FILE:LINE: why.
  integer function aqsol_species_read(species, file, message) result(status)
    type(c_ptr), intent(in) :: species
    character(len=*), intent(in) :: file
    character(len=*), intent(out), optional :: message
    character(kind=c_char) :: buffer(AQSOL_MESSAGE_SIZE)
    status = c_species_read(species, c_string(file), buffer)
    if (present(message)) call copy_message(buffer, message)
  end function aqsol_species_read

  ! Arrays of states of one shape; `statuses`, when given, receives each state's status; with
  ! `species` (from aqsol_species_new), its solutes; with `units`, those units (P_bar then in
  ! MPa where they name it). The result is AQSOL_OK when every argument was good (see
  ! `statuses` for each state).
  integer function properties_many(solute, T_C, P_bar, values, statuses, threads, species, &
                                   units) result(status)
    character(len=*), intent(in) :: solute
    real(c_double), intent(in) :: T_C(:), P_bar(:)
    type(aqsol_values), intent(out) :: values(:)
    integer(c_int), intent(out), optional :: statuses(:)
    integer, intent(in), optional :: threads
    type(c_ptr), intent(in), optional :: species
    integer, intent(in), optional :: units
    integer(c_int), allocatable :: codes(:)
    integer(c_int) :: workers, chosen
    type(c_ptr) :: set
    if (size(P_bar) /= size(T_C) .or. size(values) /= size(T_C)) then
      status = AQSOL_BAD_ARGUMENT
      return
    end if
    workers = 0
    if (present(threads)) workers = int(threads, c_int)
    set = c_null_ptr
    if (present(species)) set = species
    chosen = 0
    if (present(units)) chosen = int(units, c_int)
    allocate (codes(size(T_C)))
    status = c_properties_many(set, chosen, c_string(solute), int(size(T_C), c_size_t), T_C, &
                               P_bar, workers, values, codes, c_null_ptr)
    if (present(statuses)) statuses = codes
  end function properties_many

  ! The version, as "1.0.0".
  function aqsol_version() result(text)
    character(len=:), allocatable :: text
    text = f_string(c_version())
  end function aqsol_version

  ! The name of solute `number` (1-20, the menu number), or "".
  function aqsol_solute_name(number) result(text)
    integer, intent(in) :: number
    character(len=:), allocatable :: text
    text = f_string(c_solute_name(int(number - 1, c_int)))
  end function aqsol_solute_name

end module aqsol
