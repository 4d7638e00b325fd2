# Native tree: the portable core and its unit tests, all under the sanitizers.
target_sources(kamolt_core PRIVATE base/file_io_posix.cpp base/page_readier_posix.cpp)
find_package(PNG REQUIRED)
target_link_libraries(kamolt_png PUBLIC PNG::PNG)
find_package(JPEG REQUIRED)
target_link_libraries(kamolt_jpeg PUBLIC JPEG::JPEG)

find_package(GTest REQUIRED)
enable_testing()
add_subdirectory(modules)
add_subdirectory(tools/virtual_scanner)
add_subdirectory(tests/fuzz)
add_subdirectory(tests/unit)
add_subdirectory(tests/roundtrip)
