station_add_test(ip_listener_test SOURCES tst_listener.cpp LIBS inbound)
station_add_test(ip_addresscolumns_test SOURCES tst_addresscolumns.cpp LIBS inbound dbtool)
station_add_test(ip_station_test SOURCES tst_ipstation.cpp LIBS desk test_support)
if(UNIX)
    station_add_test(ip_station_inbound_test SOURCES tst_station_inbound.cpp
                     LIBS sms scheduler Qt6::Network)
    target_include_directories(ip_station_inbound_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../e2e)
    target_compile_definitions(ip_station_inbound_test PRIVATE GSMSIM="$<TARGET_FILE:gsmsim>"
                               GSMSTATION="$<TARGET_FILE:gsmstation>"
                               GSMCOLLECT="$<TARGET_FILE:gsmcollect>")
    add_dependencies(ip_station_inbound_test gsmsim gsmstation gsmcollect)
endif()
