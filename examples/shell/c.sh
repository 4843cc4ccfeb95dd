export PKG_CONFIG_PATH=~/.local/lib/pkgconfig    # after make install; not with the Debian package
cc examples/c/co2.c $(pkg-config --cflags --libs aqsol) -o co2 && ./co2
cc examples/c/co2.c $(pkg-config --cflags --libs aqsol-static) -o co2_static && ./co2_static
