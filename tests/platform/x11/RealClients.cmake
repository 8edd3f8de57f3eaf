# The X11 tests with real clients (xterm, xlogo, a GTK 3 application) and the
# built Vistrel; included from this folder's CMakeLists.txt.
pkg_check_modules(REAL_CLIENTS_DEPS REQUIRED IMPORTED_TARGET xcb xcb-randr libheif)
find_package(OpenSSL REQUIRED)
sablekit_test(platform_x11_client_tests
  SOURCES X11RealClientsTests.cpp ../../support/X11Tools.cpp
  LIBS sablekit_capture_host sablekit_platform_x11 sablekit_protocol sablekit_test_support
    PkgConfig::REAL_CLIENTS_DEPS OpenSSL::Crypto
  LABELS display)
target_compile_definitions(platform_x11_client_tests PRIVATE
  VISTREL_PATH="$<TARGET_FILE:Vistrel>" SABLEKIT_DEFAULT_PLATFORM="${SABLEKIT_DEFAULT_PLATFORM}"
  SABLEKIT_GTK_TEST_APPLICATION="${PROJECT_SOURCE_DIR}/tests/support/gtk-test-application.py")
add_dependencies(platform_x11_client_tests Vistrel)
