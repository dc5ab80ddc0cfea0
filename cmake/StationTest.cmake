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
