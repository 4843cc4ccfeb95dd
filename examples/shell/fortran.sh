export PKG_CONFIG_PATH=~/.local/lib/pkgconfig    # after make install; not with the Debian package
gfortran -c "$(pkg-config --variable=includedir aqsol)/aqsol/aqsol.f90"
gfortran examples/fortran/co2.f90 aqsol.o $(pkg-config --libs aqsol) -o co2_f && ./co2_f
