# tgl_host_headers(target name folder)
#
# A header-only package of the build host for a cross build: `folder` is
# linked as `name` into a folder of the target's own, which goes on the include
# path, so that <name/header> resolves without the host's whole /usr/include,
# whose headers are not the cross compiler's.
function(tgl_host_headers target name folder)
    set(base ${PROJECT_BINARY_DIR}/host-include/${target})
    file(MAKE_DIRECTORY ${base})
    file(CREATE_LINK ${folder} ${base}/${name} SYMBOLIC)
    add_library(${target} INTERFACE)
    target_include_directories(${target} SYSTEM INTERFACE ${base})
endfunction()
