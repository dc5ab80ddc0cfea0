# station_add_test(<name> SOURCES <files...> LIBS <targets...>)
# Every test runs on the offscreen platform so that it needs no display, and in the C locale so
# that the programs it starts show their texts as written, whatever the machine's language.
function(station_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=qt.qpa.*=false;LC_ALL=C.UTF-8"
        TIMEOUT 300)
endfunction()

# station_add_test_runs(<exe> TIMEOUT <s> RUNS <name>:<function> ...)
# One test program of minutes-long runs on real time: each run is a test of its own (ctest name
# <name>_test), with its own time limit, so that runs go side by side.
function(station_add_test_runs exe)
    cmake_parse_arguments(T "" "TIMEOUT" "RUNS" ${ARGN})
    foreach(run ${T_RUNS})
        string(REPLACE ":" ";" run ${run})
        list(GET run 0 name)
        list(GET run 1 function)
        add_test(NAME ${name}_test COMMAND ${exe} ${function})
        set_tests_properties(${name}_test PROPERTIES TIMEOUT ${T_TIMEOUT}
                             ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
    endforeach()
endfunction()
