# Compresses INPUT into OUTPUT as Debian's tools do, with neither the file's name nor its date in
# the header, so that two builds give the same bytes.
# Usage: cmake -DINPUT=… -DOUTPUT=… -P GzipReproducibly.cmake
execute_process(COMMAND gzip -9n -c "${INPUT}" OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${INPUT}")
endif()
