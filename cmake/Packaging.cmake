# What a user installs (the program, its manual page, desktop entry, icon, metainfo, copyright
# and changelog), and the Debian and RPM packages that "cpack -G DEB" and "cpack -G RPM" make
# of it. Every file is written so that two builds give the same bytes.
include(GNUInstallDirs)

install(TARGETS tessary RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The C start-up objects bring a .comment section that neither stripping nor -fno-ident removes;
# it names the compiler and nothing else.
if(CMAKE_OBJCOPY)
    install(CODE "
        set(program \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tessary\")
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" -R .comment \"\${program}\"
                        RESULT_VARIABLE objcopy_result)
        if(NOT objcopy_result EQUAL 0)
            message(FATAL_ERROR \"objcopy could not remove the .comment section of \${program}\")
        endif()")
endif()

# The desktop entry, the icon and the metainfo share the application's id, which the program
# also gives the desktop, so that a Wayland compositor finds the entry and its icon.
install(FILES data/${TESSARY_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/tessary.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${TESSARY_APP_ID}.svg)

# The long description is written once, in data/description.txt: the packages take it as it
# stands, the metainfo as one <p> per paragraph.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS data/description.txt LICENSE)
file(READ data/description.txt TESSARY_DESCRIPTION)
string(STRIP "${TESSARY_DESCRIPTION}" TESSARY_DESCRIPTION)
string(REPLACE "&" "&amp;" description_xml "${TESSARY_DESCRIPTION}")
string(REPLACE "<" "&lt;" description_xml "${description_xml}")
string(REPLACE ">" "&gt;" description_xml "${description_xml}")
string(REGEX REPLACE "\n\n+" "\n    </p>\n    <p>\n" description_xml "${description_xml}")
string(REGEX REPLACE "\n([^ ])" "\n      \\1" description_xml "${description_xml}")
set(TESSARY_DESCRIPTION_XML "    <p>\n      ${description_xml}\n    </p>")
configure_file(data/${TESSARY_APP_ID}.metainfo.xml.in ${TESSARY_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${TESSARY_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual page and the changelog are compressed as Debian's tools compress them.
configure_file(data/tessary.1.in tessary.1 @ONLY)
set(docs ${CMAKE_CURRENT_BINARY_DIR}/docs)
add_custom_command(OUTPUT ${docs}/tessary.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${docs}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${CMAKE_CURRENT_BINARY_DIR}/tessary.1
            -DOUTPUT=${docs}/tessary.1.gz -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/GzipReproducibly.cmake
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/tessary.1 cmake/GzipReproducibly.cmake
    VERBATIM)
set(CPACK_PACKAGE_CONTACT "the Tessary developers <tessary@users.noreply.github.com>")
add_custom_command(OUTPUT ${docs}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${docs}
    COMMAND ${CMAKE_COMMAND} -DNEWS=${CMAKE_CURRENT_SOURCE_DIR}/NEWS -DOUTPUT=${docs}/changelog.gz
            -DPACKAGE=tessary "-DMAINTAINER=${CPACK_PACKAGE_CONTACT}"
            -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/DebianChangelog.cmake
    DEPENDS NEWS cmake/DebianChangelog.cmake cmake/GzipReproducibly.cmake
    VERBATIM)
add_custom_target(tessary_docs ALL DEPENDS ${docs}/tessary.1.gz ${docs}/changelog.gz)
# Installing the program installs these too, also after a build of the program alone.
add_dependencies(tessary tessary_docs)
install(FILES ${docs}/tessary.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${docs}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessary)

# The licence is shipped once, inside a machine-readable copyright file made from LICENSE.
file(STRINGS LICENSE licence_lines)
set(licence_text "")
foreach(line IN LISTS licence_lines)
    if(line STREQUAL "")
        string(APPEND licence_text " .\n")
    else()
        string(APPEND licence_text " ${line}\n")
    endif()
endforeach()
file(STRINGS LICENSE copyright_line REGEX "^Copyright ")
string(REGEX REPLACE "^Copyright (\\([cC]\\) )?" "" TESSARY_COPYRIGHT "${copyright_line}")
file(WRITE ${docs}/copyright.new
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Tessary
Upstream-Contact: ${CPACK_PACKAGE_CONTACT}
Source: ${TESSARY_SOURCE_URL}

Files: *
Copyright: ${TESSARY_COPYRIGHT}
License: Expat
${licence_text}")
# Rewritten only when it changes, so that a new configure does not make the package stale.
configure_file(${docs}/copyright.new ${docs}/copyright COPYONLY)
install(FILES ${docs}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessary)

set(CPACK_PACKAGE_NAME tessary)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the Tessary developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Inspect and patch any file byte by byte")
set(CPACK_PACKAGE_DESCRIPTION "${TESSARY_DESCRIPTION}")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://tessary.github.io/")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# Debian: the libraries it depends on, Qt's among them, are found by dpkg-shlibdeps.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads these as plugins, which dpkg-shlibdeps cannot see: the window icon and Wayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6svg6, qt6-wayland")

# RPM, for Fedora and openSUSE: rpmbuild finds the libraries it depends on. The folders that
# the file system package owns are left to it.
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_RPM_PACKAGE_GROUP "Applications/Editors")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${TESSARY_DESCRIPTION}")
set(CPACK_RPM_PACKAGE_AUTOREQPROV ON)
list(APPEND CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
    /usr/share/applications
    /usr/share/icons
    /usr/share/icons/hicolor
    /usr/share/icons/hicolor/scalable
    /usr/share/icons/hicolor/scalable/apps
    /usr/share/metainfo
    /usr/share/man
    /usr/share/man/man1)
# Preamble lines that CPack has no variable for. The plugins are named as Fedora names them.
# The build host and time come from the environment: SOURCE_DATE_EPOCH, when it is set, dates
# the package and its files, so that two builds give the same package.
set(CPACK_RPM_SPEC_MORE_DEFINE "Packager: ${CPACK_PACKAGE_CONTACT}
Recommends: qt6-qtsvg
Recommends: qt6-qtwayland
%define _buildhost reproducible
%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1
%define _build_id_links none")
include(CPack)
