# The layering check catches the headers of X11, xcb and AT-SPI outside the X11 backend and lets
# them pass inside it: each is planted alone in a tree of its own and the check run on it.
# Run as: cmake -DKX_CHECK=<LayerIncludes.cmake> -DKX_WORK=<a scratch folder> -P LayerIncludesPlants.cmake
set(failures "")
function(check_plant dir include expect_fault)
    set(tree ${KX_WORK}/plant)
    file(REMOVE_RECURSE ${tree})
    file(WRITE ${tree}/src/${dir}/Plant.cpp "${include}\n")
    execute_process(COMMAND ${CMAKE_COMMAND} -DKX_SRC=${tree}/src -P ${KX_CHECK}
                    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE said)
    if(expect_fault AND (result EQUAL 0 OR NOT said MATCHES "Plant.cpp"))
        set(failures "${failures}\n  not caught in ${dir}: ${include}" PARENT_SCOPE)
    elseif(NOT expect_fault AND NOT result EQUAL 0)
        set(failures "${failures}\n  refused in ${dir}: ${include}" PARENT_SCOPE)
    endif()
endfunction()

foreach(dir ui controller onboarding app engine platform platform/sim)
    foreach(include "#include <X11/Xlib.h>" "#include <X11/extensions/XTest.h>" "#include <xcb/xcb.h>"
                    "#include <atspi/atspi.h>" "#  include \"X11/Xlib.h\"")
        check_plant(${dir} "${include}" TRUE)
    endforeach()
endforeach()
foreach(dir platform/x11 platform/x11/keeper)
    check_plant(${dir} "#include <X11/Xlib.h>" FALSE)
    check_plant(${dir} "#include <atspi/atspi.h>" FALSE)
endforeach()
file(REMOVE_RECURSE ${KX_WORK}/plant)
if(failures)
    message(FATAL_ERROR "the layering check:${failures}")
endif()
