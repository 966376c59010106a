# The program is built in three layers, each a folder and a library: the Qt-free core at the
# bottom, the toolkit over Qt Widgets beside it, and the program above both. Every source names
# its includes by folder ("core/number_text.h"), and the repository's root is on no include path.
# Instead each layer gets a folder of its own in the build tree holding one link, to its own
# folder; a layer sees another only by linking it. An include that reaches up, or across from
# the core to the toolkit, therefore fails to compile.
function(tessary_layer target layer)
    set(root "${CMAKE_BINARY_DIR}/layers/${layer}")
    file(MAKE_DIRECTORY "${root}")
    file(CREATE_LINK "${TESSARY_SOURCE_ROOT}/${layer}" "${root}/${layer}" SYMBOLIC)
    target_include_directories(${target} PUBLIC "${root}")
endfunction()

# Warnings every layer is built with.
set(TESSARY_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
