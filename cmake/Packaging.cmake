set(CPACK_PACKAGE_NAME tonvara)
set(CPACK_PACKAGE_VENDOR "Tonvara")
set(CPACK_PACKAGE_CONTACT "Tonvara developers <tonvara@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")

if(APPLE)
  # A disk image holding the signed Tonvara.app and a link to /Applications to drag it onto.
  # Nothing is stripped: that would break the signature.
  set(CPACK_GENERATOR DragNDrop)
  set(CPACK_PACKAGE_FILE_NAME "Tonvara-${PROJECT_VERSION}")
  set(CPACK_DMG_VOLUME_NAME Tonvara)
  set(CPACK_DMG_FORMAT UDZO)
  set(CPACK_STRIP_FILES OFF)
  install(CODE "execute_process(COMMAND ln -sfn /Applications
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/Applications\")")
  include(CPack)
  return()
endif()

# A Debian package of the program: `cpack` in a build directory writes tonvara_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_INSTALL_DIRECTORY tonvara)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Only the program's own files: the tests and benchmarks install nothing, the libraries are static.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# The synopsis comes from the project's description; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tonvara sits in the system tray and sends the keyboard's play/pause, next and\nprevious keys to your music player over MPRIS, before any other\napplication sees them. Keys it does not take pass on unchanged.")
# The shared libraries as dpkg-shlibdeps finds them, plus a font to draw text with, which the
# program needs without linking it (with no font every glyph is a box).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
# Any MPRIS player will do; mpv needs its plug-in for that.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "mpv, mpv-mpris")
# Something to show the tray icon: GNOME has none of its own, the other desktops' panels do. apt
# installs the first alternative only when none is present, so every desktop with a tray is named
# (a Cinnamon or Budgie machine must not be handed GNOME Shell's extension).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "gnome-shell-extension-appindicator | plasma-workspace | xfce4-panel | lxqt-panel | mate-panel | cinnamon | budgie-core | trayer")

include(CPack)
