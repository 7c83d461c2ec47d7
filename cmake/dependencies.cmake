# Every third-party package, found once for the whole tree.
find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)

if(WIN32)
    # Cross-built with mingw-w64: the Windows API stands in for SDL2, and the
    # header-only packages come from the build host.
    include(host_headers)
    tgl_host_headers(stb_headers stb /usr/include/stb)
    tgl_host_headers(cli11_headers CLI /usr/include/CLI)
    tgl_host_headers(json_headers nlohmann /usr/include/nlohmann)
    add_library(CLI11::CLI11 ALIAS cli11_headers)
    add_library(nlohmann_json::nlohmann_json ALIAS json_headers)
    if(TGL_BUILD_TESTS)
        # Debian ships GoogleTest as sources to build with the project's compiler.
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
        add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
        # (it names its targets GTest::gtest and GTest::gtest_main itself)
    endif()
    return()
endif()

# stb_image decodes PNG and JPEG on both platforms; stb_image_write encodes.
find_path(STB_INCLUDE_DIR stb/stb_image_write.h REQUIRED)
add_library(stb_headers INTERFACE)
target_include_directories(stb_headers SYSTEM INTERFACE ${STB_INCLUDE_DIR})
find_package(SDL2 REQUIRED)
find_package(SDL2_image REQUIRED)
find_package(SDL2_ttf REQUIRED)
find_package(CLI11 REQUIRED)
find_package(nlohmann_json REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(DEFLATE REQUIRED IMPORTED_TARGET libdeflate) # PNG image data
pkg_check_modules(WEBP REQUIRED IMPORTED_TARGET libwebp libwebpmux libwebpdemux)
find_package(GIF 5.1 REQUIRED) # giflib: GIF in and out of the tool
pkg_check_modules(GDK_PIXBUF REQUIRED IMPORTED_TARGET GLOBAL gdk-pixbuf-2.0) # the loader module
find_package(X11 REQUIRED) # the SDL driver's error handler, and the end-to-end tests
find_package(Qt5 5.15 REQUIRED COMPONENTS Core Gui) # the Qt image-format plug-in
find_package(KF5KIO 5.100 REQUIRED) # KDE's thumbnailer plug-in
if(TGL_BUILD_TESTS)
    find_package(GTest REQUIRED)
endif()
if(TGL_BUILD_BENCHMARKS)
    find_package(benchmark REQUIRED)
endif()
