find_package(GTest REQUIRED)
include(GoogleTest)

# One room's unit tests: a GoogleTest executable whose cases ctest runs under the label unit.
function(unit_tests target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LIBRARIES")
    add_executable(${target} ${arg_SOURCES})
    target_link_libraries(${target} PRIVATE ${arg_LIBRARIES} GTest::gtest_main)
    project_warnings(${target})
    gtest_discover_tests(${target} PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
endfunction()
