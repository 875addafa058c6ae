# The whole-job benchmarks and the corpus generator. The including directory sets
# ZARN_BENCH_HOST (its host side's source) and ZARN_BENCH_HOSTLIBS.
set(benchdir ${CMAKE_CURRENT_LIST_DIR})

add_library(benchcorpus STATIC ${benchdir}/corpus.cpp)
target_include_directories(benchcorpus PUBLIC ${benchdir})
project_warnings(benchcorpus)

add_executable(corpus ${benchdir}/corpus_tool.cpp)
target_link_libraries(corpus PRIVATE benchcorpus)
project_warnings(corpus)

add_library(benchgame STATIC ${benchdir}/benchgame.cpp ${benchdir}/discardbackups.cpp
    ${ZARN_BENCH_HOST})
target_link_libraries(benchgame PUBLIC galmend_core tallyhold_core benchcorpus ${ZARN_BENCH_HOSTLIBS})
target_compile_definitions(benchgame PUBLIC ZARN_DATA_DIR="${PROJECT_SOURCE_DIR}/data")
project_warnings(benchgame)

foreach(name convert_bench discover_bench manifest_bench manifestset_bench)
    add_executable(${name} ${benchdir}/${name}.cpp)
    target_link_libraries(${name} PRIVATE benchgame)
    project_warnings(${name})
endforeach()
