# Builds the example demo: SRC/demo.json -> DST/demo.qvl with `qvl build`,
# and copies the images beside it, since the player opens them by bare
# name next to the demo file.
#   cmake -DQVL=path/to/qvl -DSRC=examples -DDST=build/example -P build-example.cmake
foreach(var QVL SRC DST)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "build-example.cmake needs -D${var}=...")
  endif()
endforeach()

file(MAKE_DIRECTORY "${DST}")
file(GLOB images "${SRC}/*.bmp" "${SRC}/*.BMP" "${SRC}/*.jpg" "${SRC}/*.JPG" "${SRC}/*.tga" "${SRC}/*.TGA"
     "${SRC}/*.mp3")
foreach(image ${images})
  file(COPY "${image}" DESTINATION "${DST}")
endforeach()

execute_process(
  COMMAND "${QVL}" build "${SRC}/demo.json" -o "${DST}/demo.qvl"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "qvl build failed for ${SRC}/demo.json")
endif()
