# Fails when a layer's file includes a folder the layer must not reach, or when a file outside the
# X11 backend includes the headers of X11, xcb or AT-SPI. Every layer has all of src/ on its
# include path, so its link list alone misses a reach into another layer's headers.
# Run as: cmake -DKX_SRC=<the src folder> -P LayerIncludes.cmake
set(desktops "platform/x11|platform/sim")
set(above "ui|onboarding|app")
set(rules
    "platform=engine|stores|controller|${above}|${desktops}"
    "platform/x11=engine|stores|controller|${above}|platform/sim"
    "platform/sim=stores|controller|${above}|platform/x11"
    "engine=stores|controller|${above}|${desktops}"
    "stores=controller|${above}|${desktops}"
    "controller=${above}|${desktops}")
set(faults "")
foreach(rule ${rules})
    string(REPLACE "=" ";" parts "${rule}")
    list(GET parts 0 dir)
    list(GET parts 1 forbidden)
    file(GLOB files ${KX_SRC}/${dir}/*.h ${KX_SRC}/${dir}/*.cpp)
    foreach(file ${files})
        file(STRINGS ${file} reaches REGEX "^#include \"(${forbidden})/")
        foreach(line ${reaches})
            string(APPEND faults "\n  ${file}: ${line}")
        endforeach()
    endforeach()
endforeach()
# The X server and the accessibility bus are the X11 backend's alone: their headers anywhere else
# in src/ tie that code to one desktop, however the layer's link list reads.
set(backend "${KX_SRC}/platform/x11/")
file(GLOB_RECURSE files ${KX_SRC}/*.h ${KX_SRC}/*.cpp)
foreach(file ${files})
    string(FIND "${file}" "${backend}" inBackend)
    if(inBackend EQUAL 0)
        continue()
    endif()
    file(STRINGS ${file} reaches REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](X11|xcb|atspi)/")
    foreach(line ${reaches})
        string(APPEND faults "\n  ${file}: ${line}")
    endforeach()
endforeach()

if(faults)
    message(FATAL_ERROR "includes across the layering:${faults}")
endif()
