# Packaging: what `cmake --install` puts where, and the Debian package CPack
# builds from it (`cpack -G DEB` in the build directory, or the `package`
# target).
#
# Layout under the prefix (/usr for the package):
#   bin/tabcopy                        the program (src/app/tabform)
#   share/tabcopy/tabcopy.dat          its message catalogue, which the
#                                      program looks for in ../share/tabcopy
#                                      from its own folder (catalogue/)
#   share/tabcopy/templates/           the DDL templates, one per database
#   share/tabcopy/examples/            the example run, with its own copy of
#                                      templates/: example.par names
#                                      templates/postgresql.tpl relative to
#                                      the working directory, so a copy of
#                                      this folder runs as it is
#   share/doc/tabcopy/                 the user guide and references (every
#                                      docs/*.md, linked to one another by
#                                      relative name), README.md, copyright
#   share/man/man1/tabcopy.1.gz        the manual page
include(GNUInstallDirs)

set(TABCOPY_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/tabcopy)
set(TABCOPY_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tabcopy)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/templates/
        DESTINATION ${TABCOPY_SHARE_DIR}/templates
        FILES_MATCHING PATTERN "*.tpl")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
        DESTINATION ${TABCOPY_SHARE_DIR}/examples
        PATTERN "*.sql" EXCLUDE
        PATTERN "*.rpt" EXCLUDE
        PATTERN "kvxerr.log" EXCLUDE)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/
        DESTINATION ${TABCOPY_DOC_DIR}
        FILES_MATCHING PATTERN "*.md" PATTERN "*.json")
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${TABCOPY_DOC_DIR})
# Debian looks for the copyright notice of every package here.
set(tabcopy_copyright ${PROJECT_BINARY_DIR}/copyright)
file(CONFIGURE OUTPUT ${tabcopy_copyright} CONTENT
     "tabcopy ${PROJECT_VERSION}\n\nCopyright (c) 2026 Brantix. All rights reserved.\n")
install(FILES ${tabcopy_copyright} DESTINATION ${TABCOPY_DOC_DIR})

# The manual page is written with the guide; the path can be pointed
# elsewhere for a build made before it exists.
set(TABCOPY_MAN_PAGE ${PROJECT_SOURCE_DIR}/docs/tabcopy.1 CACHE FILEPATH
    "Manual page installed as share/man/man1/tabcopy.1")
# Debian wants manual pages and the changelog compressed, reproducibly
# (gzip -n: no name or time stamp in the file).
set(tabcopy_man_gz ${PROJECT_BINARY_DIR}/tabcopy.1.gz)
set(tabcopy_changelog ${PROJECT_SOURCE_DIR}/cmake/changelog)
set(tabcopy_changelog_gz ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${tabcopy_man_gz}
                   COMMAND gzip -9 -n -c ${TABCOPY_MAN_PAGE} > ${tabcopy_man_gz}
                   DEPENDS ${TABCOPY_MAN_PAGE} VERBATIM)
add_custom_command(OUTPUT ${tabcopy_changelog_gz}
                   COMMAND gzip -9 -n -c ${tabcopy_changelog} > ${tabcopy_changelog_gz}
                   DEPENDS ${tabcopy_changelog} VERBATIM)
add_custom_target(tabcopy_compressed_docs ALL DEPENDS ${tabcopy_man_gz} ${tabcopy_changelog_gz})
install(FILES ${tabcopy_man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${tabcopy_changelog_gz} DESTINATION ${TABCOPY_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tabcopy)
set(CPACK_PACKAGE_VENDOR Brantix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Generates SQL table definitions (DDL) from COBOL copybooks")
# Lines of the long description stay within 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "tabcopy reads COBOL record definitions (copybooks), derives SQL-legal
column names and writes one expansion of a DDL template per record: a
CREATE TABLE with column types, sizes, null clauses and key columns.
Templates for PostgreSQL, SQLite, Db2, SQL Server, Oracle and MySQL are
included.")
set(CPACK_PACKAGE_CONTACT "Brantix <tabcopy@brantix.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_NAME tabcopy)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# ICU 72 is Debian 12's; the C and C++ runtimes come with every system.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libicu72")
include(CPack)
