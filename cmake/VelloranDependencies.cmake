# Third-party libraries, found once for every target of the tree.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(LOG4CXX REQUIRED IMPORTED_TARGET liblog4cxx)
pkg_check_modules(SIMPLEINI REQUIRED IMPORTED_TARGET simpleini)
pkg_check_modules(ICU REQUIRED IMPORTED_TARGET icu-uc)
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(JPEG REQUIRED IMPORTED_TARGET libjpeg)
pkg_check_modules(TIFF REQUIRED IMPORTED_TARGET libtiff-4)
pkg_check_modules(OPENJP2 REQUIRED IMPORTED_TARGET libopenjp2)
pkg_check_modules(LIBRAW REQUIRED IMPORTED_TARGET libraw)
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
find_package(GIF REQUIRED)
find_library(MNG_LIBRARY mng REQUIRED)
# The Xerox connector: HTTPS through libcurl, the certificate pin through OpenSSL.
find_package(CURL REQUIRED)
find_package(OpenSSL REQUIRED)

find_package(GTest REQUIRED)
find_package(benchmark QUIET)
include(GoogleTest)
