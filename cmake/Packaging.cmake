# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
#
# What the Debian package ships beside the programs, and how CPack makes it.
# Included last, so that it sees every program target.

set(vr2710_packaging_dir ${PROJECT_SOURCE_DIR}/packaging)

# The changelog names the version it describes; a release without its entry is a mistake.
file(STRINGS ${vr2710_packaging_dir}/changelog vr2710_changelog_head LIMIT_COUNT 1)
if(NOT vr2710_changelog_head MATCHES "^${PROJECT_NAME} \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog starts with \"${vr2710_changelog_head}\"; add an "
                        "entry for ${PROJECT_NAME} ${PROJECT_VERSION} at its top")
endif()

# Every program installed to bin/ comes with its page.
set(vr2710_manual_pages vr2710-demo vr2710-virtual-printer vr2710-print)

# Debian wants manual pages and the changelog compressed at the highest level, without a
# time stamp in the header (-n), so that the package is the same on every build.
set(vr2710_compressed_docs)
function(vr2710_compress source name)
    set(copy ${CMAKE_CURRENT_BINARY_DIR}/packaging/${name})
    add_custom_command(OUTPUT ${copy}.gz
                       COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
                       COMMAND gzip -9nf ${copy}
                       DEPENDS ${source}
                       COMMENT "Compressing ${name}"
                       VERBATIM)
    set(vr2710_compressed_docs ${vr2710_compressed_docs} ${copy}.gz PARENT_SCOPE)
endfunction()

foreach(page IN LISTS vr2710_manual_pages)
    vr2710_compress(${vr2710_packaging_dir}/man/${page}.1 ${page}.1)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/${page}.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
vr2710_compress(${vr2710_packaging_dir}/changelog changelog)
add_custom_target(vr2710-docs DEPENDS ${vr2710_compressed_docs})
# Built with the demo, so that installing after ./run.sh finds them.
add_dependencies(vr2710-demo vr2710-docs)

install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz
              ${vr2710_packaging_dir}/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${vr2710_packaging_dir}/org.vr2710.Demo.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "VR2710 Demo Developers")
set(CPACK_PACKAGE_CONTACT "VR2710 Demo Developers <maintainers@vr2710.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Debian shows the description as written: lines under 80 characters, a blank line between
# paragraphs.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "A window for whoever sets up or evaluates a KORiVANT VR2710 receipt printer:"
    "choose the port (LPT1, COM1 or COM2), edit the body of a sample receipt and"
    "print it at 15, 12 or 8 characters per inch. A failed print job says which"
    "port failed, why, and what to do about it."
    ""
    "The package also holds vr2710-virtual-printer, which stands in for the"
    "printer: it offers the ports as pseudo-terminals and a FIFO, decodes what"
    "arrives and shows each receipt as an image of the paper roll, so receipts can"
    "be tried without hardware."
    ""
    "With vr2710-print the same receipt is printed from the command line.")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vr2710.org/")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Library dependencies come from dpkg-shlibdeps; these are loaded at run time, not linked.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation2")
# No debug symbols in what is shipped, whatever the build type.
set(CPACK_STRIP_FILES ON)
# Directories as Debian expects them, whatever the umask of whoever builds the package.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
