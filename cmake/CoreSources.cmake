# The core's sources, relative to the repository's root: the program's build and the fuzz
# targets' build both compile exactly these.
set(TESSARY_CORE_SOURCES
    core/byte_block.cpp
    core/byte_view.cpp
    core/fast_scan.cpp
    core/file_attributes.cpp
    core/file_descriptor.cpp
    core/file_io.cpp
    core/file_save.cpp
    core/path_walk.cpp
    core/number_text.cpp
    core/pattern_scan.cpp
    core/text_ops.cpp
)
