# Native tree: the portable core and its unit tests, under the sanitizers.
set(KAMOLT_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
target_compile_options(kamolt_core PRIVATE ${KAMOLT_SANITIZE})
target_link_options(kamolt_core PUBLIC ${KAMOLT_SANITIZE})
target_sources(kamolt_core PRIVATE base/file_io_posix.cpp)
target_compile_options(kamolt_png PRIVATE ${KAMOLT_SANITIZE})
find_package(PNG REQUIRED)
target_link_libraries(kamolt_png PUBLIC PNG::PNG)

find_package(GTest REQUIRED)
enable_testing()
add_subdirectory(tests/unit)
