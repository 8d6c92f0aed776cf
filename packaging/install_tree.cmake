# The install steps that depend on the prefix the tree is installed under, run
# by `cmake --install` and by CPack after the plain install rules. Variables
# come from packaging/CMakeLists.txt.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")

# gzip -9n: the best compression, and no name or time stamp in the file, so
# the same sources make the same package.
function(rover_gzip source target)
  get_filename_component(folder ${target} DIRECTORY)
  file(MAKE_DIRECTORY ${folder})
  execute_process(COMMAND gzip -9n -c ${source} OUTPUT_FILE ${target} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${source} failed")
  endif()
  message(STATUS "Installing: ${target}")
endfunction()

# The renamed programs are copies, which install(TARGETS) would have stripped:
# the same sections go as with Debian's own packages.
if(CMAKE_INSTALL_DO_STRIP)
  foreach(target IN LISTS ROVER_INSTALLED_TARGETS)
    execute_process(COMMAND ${ROVER_STRIP} --remove-section=.comment --remove-section=.note
                            ${root}/${ROVER_BINDIR}/rover-${target} RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "cannot strip rover-${target}")
    endif()
  endforeach()
  # install(TARGETS) stripped librover's symbols; the same sections go too.
  execute_process(COMMAND ${ROVER_STRIP} --remove-section=.comment --remove-section=.note ${root}/${ROVER_LIBRARY}
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot strip ${ROVER_LIBRARY}")
  endif()
endif()

# Installed Python programs run Debian's python3 whatever is first on PATH,
# and write no byte-code into the installed tree (-B).
file(RELATIVE_PATH to_share ${root}/${ROVER_BINDIR} ${root}/${ROVER_SHARE_DIR})
foreach(script IN LISTS ROVER_INSTALLED_SCRIPTS)
  set(file ${root}/${ROVER_SHARE_DIR}/tools/${script}/${script})
  file(READ ${file} text)
  string(REGEX REPLACE "^#![^\n]*\n" "#!/usr/bin/python3 -B\n" text "${text}")
  file(WRITE ${file} "${text}")
  file(REMOVE ${root}/${ROVER_BINDIR}/rover-${script})
  file(CREATE_LINK ${to_share}/tools/${script}/${script} ${root}/${ROVER_BINDIR}/rover-${script} SYMBOLIC)
  message(STATUS "Installing: ${root}/${ROVER_BINDIR}/rover-${script}")
endforeach()

foreach(page IN LISTS ROVER_MAN_PAGES)
  get_filename_component(name ${page} NAME)
  rover_gzip(${page} ${root}/${ROVER_MANDIR}/man1/${name}.gz)
endforeach()
rover_gzip(${ROVER_CHANGELOG} ${root}/${ROVER_DOCDIR}/changelog.gz)

# Debian 12 keeps its packages' units in /lib/systemd/system; an install
# under another prefix keeps them under it, where systemd also looks
# (/usr/local/lib/systemd/system).
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(unit_dir "$ENV{DESTDIR}/lib/systemd/system")
else()
  set(unit_dir "${root}/lib/systemd/system")
endif()
if(IS_ABSOLUTE "${ROVER_BINDIR}")
  set(ROVER_FULL_BINDIR "${ROVER_BINDIR}")
else()
  set(ROVER_FULL_BINDIR "${CMAKE_INSTALL_PREFIX}/${ROVER_BINDIR}")
endif()
set(ROVER_FULL_SHARE_DIR "${CMAKE_INSTALL_PREFIX}/${ROVER_SHARE_DIR}")
foreach(unit IN LISTS ROVER_UNIT_TEMPLATES)
  get_filename_component(name ${unit} NAME)
  configure_file(${unit} ${unit_dir}/${name} @ONLY)
  message(STATUS "Installing: ${unit_dir}/${name}")
endforeach()
