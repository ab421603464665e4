# cmake --install into DESTDIR, then: every file is where the desktop looks for it, the
# desktop entry, the AppStream data and the file type are valid, the icons have their
# sizes, and the installed programs start and find the installed examples.
set(dest "${WORK_DIR}/destdir")
set(usr "${dest}/usr")
file(REMOVE_RECURSE "${dest}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nfailed (${rc}):\n${out}${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} -E env DESTDIR=${dest} ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr)

file(GLOB examples RELATIVE ${SOURCE_DIR}/examples ${SOURCE_DIR}/examples/*.omp
     ${SOURCE_DIR}/examples/*.omp.regler)
set(expected
    bin/ombrix bin/ombrix-cli libexec/ombrix/ombrix-cli-qt libexec/ombrix/ombrix-metafile-reader
    share/applications/de.ombrix.Ombrix.desktop
    share/metainfo/de.ombrix.Ombrix.metainfo.xml
    share/mime/packages/ombrix.xml
    share/icons/hicolor/scalable/apps/ombrix.svg
    share/man/man1/ombrix.1.gz share/man/man1/ombrix-cli.1.gz
    share/doc/ombrix/copyright share/doc/ombrix/changelog.gz
    share/doc/ombrix/sprachuebersicht.md share/doc/ombrix/farbkreis.png
    share/ombrix/examples/titel.txt)
foreach(example ${examples})
  list(APPEND expected share/ombrix/examples/${example})
endforeach()
set(sizes 16 32 48 64 128 256)
foreach(size ${sizes})
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/ombrix.png)
endforeach()
foreach(file ${expected})
  if(NOT EXISTS "${usr}/${file}")
    message(FATAL_ERROR "not installed: /usr/${file}")
  endif()
endforeach()

# Each PNG is as large as the folder it is in says (width and height from its header).
foreach(size ${sizes})
  file(READ "${usr}/share/icons/hicolor/${size}x${size}/apps/ombrix.png" header
       OFFSET 16 LIMIT 8 HEX)
  string(SUBSTRING "${header}" 0 8 width)
  string(SUBSTRING "${header}" 8 8 height)
  math(EXPR width "0x${width}")
  math(EXPR height "0x${height}")
  if(NOT width EQUAL size OR NOT height EQUAL size)
    message(FATAL_ERROR "icon ${size}x${size} is ${width}x${height}")
  endif()
endforeach()

find_program(desktop_file_validate desktop-file-validate REQUIRED)
find_program(appstreamcli appstreamcli REQUIRED)
find_program(update_mime_database update-mime-database REQUIRED)
run(${desktop_file_validate} "${usr}/share/applications/de.ombrix.Ombrix.desktop")
run(${appstreamcli} validate --no-net "${usr}/share/metainfo/de.ombrix.Ombrix.metainfo.xml")

# The file type: the database built from the installed file maps *.omp to it, and the
# desktop entry offers Ombrix for it.
run(${update_mime_database} "${usr}/share/mime")
file(READ "${usr}/share/mime/globs2" globs)
if(NOT globs MATCHES "application/x-ombrix-project:\\*\\.omp")
  message(FATAL_ERROR "*.omp is no Ombrix project in the installed file types:\n${globs}")
endif()
file(READ "${usr}/share/applications/de.ombrix.Ombrix.desktop" entry)
if(NOT entry MATCHES "MimeType=application/x-ombrix-project;" OR NOT entry MATCHES "Exec=ombrix %f")
  message(FATAL_ERROR "the desktop entry does not open project files:\n${entry}")
endif()

# The installed programs run from their place: the window program answers --help, the
# command-line tool runs an installed example.
run("${usr}/bin/ombrix" --help)
if(NOT run_output MATCHES "Aufruf: ombrix")
  message(FATAL_ERROR "ombrix --help printed: ${run_output}")
endif()
execute_process(COMMAND "${usr}/bin/ombrix-cli" run --png "${WORK_DIR}/spirale.png"
                        "${usr}/share/ombrix/examples/spirale.omp"
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS "${WORK_DIR}/spirale.png")
  message(FATAL_ERROR "the installed example did not run (${rc}): ${err}")
endif()
# Metafiles are read by the installed reader, found from the installed program's place.
execute_process(COMMAND "${usr}/bin/ombrix-cli" run --picture "${SOURCE_DIR}/tests/platform/data/shapes.wmf"
                        --png "${WORK_DIR}/shapes.png" "${usr}/share/ombrix/examples/spirale.omp"
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS "${WORK_DIR}/shapes.png")
  message(FATAL_ERROR "the installed program read no metafile (${rc}): ${err}")
endif()
message(STATUS "installed and checked: ${dest}")
