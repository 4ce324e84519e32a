# What the Debian package adds to the programs: manual pages, the nightly service and timer with
# the maintainer scripts that make its account and /etc/varnoklis, bash completion, the copyright
# file, the changelog, the README and the pages of doc/. Included at the end of the top
# CMakeLists.txt, so that the batch program is installed when its target exists.

set(PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(PACKAGED_DIR ${CMAKE_BINARY_DIR}/packaged)

# The changelog's top entry names the version that project() sets; a version raised in one place
# only fails here rather than in lintian.
file(STRINGS ${PACKAGING_DIR}/debian/changelog CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT CHANGELOG_TOP MATCHES "^varnoklis \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog: the top entry is not version ${PROJECT_VERSION}")
endif()

set(MAN_PAGES varnoklis varnoklis-ini varnoklis-show varnoklis-explain)
if(TARGET varnoklis-batch)
  list(APPEND MAN_PAGES varnoklis-batch)
endif()

# gzip -9n: the best compression, and no name or time stamp, so the package is reproducible.
function(compress_file source target)
  add_custom_command(OUTPUT ${target}
    COMMAND gzip -9nc ${source} > ${target}
    DEPENDS ${source} VERBATIM)
endfunction()

set(COMPRESSED)
foreach(page IN LISTS MAN_PAGES)
  compress_file(${PACKAGING_DIR}/man/${page}.1 ${PACKAGED_DIR}/${page}.1.gz)
  list(APPEND COMPRESSED ${PACKAGED_DIR}/${page}.1.gz)
endforeach()
compress_file(${PACKAGING_DIR}/debian/changelog ${PACKAGED_DIR}/changelog.gz)
list(APPEND COMPRESSED ${PACKAGED_DIR}/changelog.gz)
# Policy asks for documents over 4 KB to be compressed.
compress_file(${CMAKE_SOURCE_DIR}/README.md ${PACKAGED_DIR}/README.md.gz)
list(APPEND COMPRESSED ${PACKAGED_DIR}/README.md.gz)
# The README's reference detail, beside it as in the source tree, so that its links keep their shape.
file(MAKE_DIRECTORY ${PACKAGED_DIR}/doc)
file(GLOB DOC_PAGES RELATIVE ${CMAKE_SOURCE_DIR}/doc ${CMAKE_SOURCE_DIR}/doc/*.md)
set(DOC_FILES)
foreach(page IN LISTS DOC_PAGES)
  compress_file(${CMAKE_SOURCE_DIR}/doc/${page} ${PACKAGED_DIR}/doc/${page}.gz)
  list(APPEND DOC_FILES ${PACKAGED_DIR}/doc/${page}.gz)
endforeach()
list(APPEND COMPRESSED ${DOC_FILES})
# The completion completes the keywords of the layouts (cmake/layouts.cmake).
configure_file(${PACKAGING_DIR}/completion/varnoklis.in ${PACKAGED_DIR}/completions/varnoklis @ONLY)
add_custom_target(packaged_files ALL DEPENDS ${COMPRESSED})

list(TRANSFORM MAN_PAGES REPLACE "(.+)" "${PACKAGED_DIR}/\\1.1.gz" OUTPUT_VARIABLE MAN_FILES)
install(FILES ${MAN_FILES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PACKAGED_DIR}/changelog.gz ${PACKAGED_DIR}/README.md.gz
  ${PACKAGING_DIR}/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${DOC_FILES} DESTINATION ${CMAKE_INSTALL_DOCDIR}/doc)
install(FILES ${PACKAGING_DIR}/systemd/varnoklis-batch.service
  ${PACKAGING_DIR}/systemd/varnoklis-batch.timer DESTINATION lib/systemd/system)
install(FILES ${PACKAGING_DIR}/jobs.example DESTINATION ${CMAKE_INSTALL_DATADIR}/varnoklis)

# One completion file serves the five programs; bash-completion loads it by the program's name.
set(COMPLETIONS ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${PACKAGED_DIR}/completions/varnoklis DESTINATION ${COMPLETIONS})
foreach(program varnoklis-ini varnoklis-show varnoklis-batch varnoklis-explain)
  file(CREATE_LINK varnoklis ${PACKAGED_DIR}/completions/${program} SYMBOLIC)
  install(FILES ${PACKAGED_DIR}/completions/${program} DESTINATION ${COMPLETIONS})
endforeach()

if(TARGET varnoklis-batch)
  install(TARGETS varnoklis-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# Debian package (scripts/package). Depends comes from the libraries the programs link
# (dpkg-shlibdeps), plus adduser for the service's account.
set(VARNOKLIS_MAINTAINER "VARNOKLIS maintainers <varnoklis@example.org>" CACHE STRING
  "Maintainer field of the Debian package: \"Name <mail>\"")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnoklis)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VARNOKLIS_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VARNOKLIS_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "download files for time-attendance and access-control terminals")
# CPack puts the summary above this text as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "VARNOKLIS builds the download file of each data-collection terminal of a
time-attendance and access-control system: one record per badge that may book
time or pass an access reader there, read from the system's database (SQL
Server, or an embedded SQLite store) through unixODBC.
.
The package holds varnoklis (one terminal, one download function),
varnoklis-batch with a nightly systemd timer for a whole site (installed, not
enabled), varnoklis-ini for the enciphered credentials and varnoklis-show,
which prints and compares download files.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
# odbcinst registers drivers with the driver manager; every site needs one of the two drivers,
# but which one is the site's choice (and the Microsoft driver comes from outside Debian).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "odbcinst, libsqliteodbc | tdsodbc")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "sqlite3, bash-completion")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PACKAGING_DIR}/debian/postinst
  ${PACKAGING_DIR}/debian/prerm ${PACKAGING_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES ON)
include(CPack)
