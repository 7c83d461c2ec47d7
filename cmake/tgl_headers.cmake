# tgl_headers(target [PUBLIC headers...] [PRIVATE headers...])
#
# Sources include headers by their path from the repository root
# ("image/image.h"), but a target sees only its own headers and the public
# ones of what it links: each list is linked into a folder of the target's own
# under the build tree, laid out like the repository, and that folder is put on
# the include path with the same scope. An INTERFACE library takes PUBLIC.
function(tgl_headers target)
    cmake_parse_arguments(HEADERS "" "" "PUBLIC;PRIVATE" ${ARGN})
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    get_target_property(type ${target} TYPE)
    set(base ${PROJECT_BINARY_DIR}/include/${target})
    file(REMOVE_RECURSE ${base})
    foreach(scope PUBLIC PRIVATE)
        if(NOT HEADERS_${scope})
            continue()
        endif()
        string(TOLOWER ${scope} name)
        foreach(header ${HEADERS_${scope}})
            set(link ${base}/${name}/${folder}/${header})
            get_filename_component(linkFolder ${link} DIRECTORY)
            file(MAKE_DIRECTORY ${linkFolder})
            file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${link} SYMBOLIC)
        endforeach()
        set(visibility ${scope})
        if(type STREQUAL "INTERFACE_LIBRARY")
            set(visibility INTERFACE)
        endif()
        target_include_directories(${target} ${visibility} ${base}/${name})
    endforeach()
endfunction()
