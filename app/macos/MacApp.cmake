# The macOS application: the core's macOS services, then Tonvara.app with its Info.plist, Qt and
# the update framework inside, signed with the hardened runtime and the Apple-events entitlement.
enable_language(OBJCXX)

set(TONVARA_CODESIGN_IDENTITY "-" CACHE STRING "codesign identity; '-' signs ad hoc")
# Sparkle 2's framework, from its release archive (put it in <source>/Frameworks or pass the path).
find_library(TONVARA_SPARKLE_FRAMEWORK Sparkle REQUIRED PATHS ${PROJECT_SOURCE_DIR}/Frameworks)
find_program(TONVARA_MACDEPLOYQT macdeployqt REQUIRED
             HINTS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS} ${QT6_INSTALL_PREFIX}/bin)

# The update framework replaces the feed check.
get_target_property(_core_sources tonvara_app_core SOURCES)
list(REMOVE_ITEM _core_sources core/Appcast.cpp core/Updater.cpp)
set_target_properties(tonvara_app_core PROPERTIES SOURCES "${_core_sources}")
target_sources(tonvara_app_core PRIVATE
  core/macos/MacUpdater.cpp
  core/macos/MacDefaults.mm
  core/macos/MacLoginItem.mm
  core/macos/MacPermissions.cpp
  core/macos/MacPlatformServices.cpp
  core/macos/MacWorkspace.mm
  core/macos/SparkleUpdater.mm
)
target_include_directories(tonvara_app_core PUBLIC core/macos)
target_compile_options(tonvara_app_core PRIVATE $<$<COMPILE_LANGUAGE:OBJCXX>:-fobjc-arc>)
target_link_libraries(tonvara_app_core PUBLIC
  "-framework AppKit" "-framework ApplicationServices" "-framework Foundation"
  "-framework ServiceManagement" ${TONVARA_SPARKLE_FRAMEWORK})

configure_file(macos/Info.plist.in ${CMAKE_CURRENT_BINARY_DIR}/Info.plist @ONLY)
add_executable(tonvara MACOSX_BUNDLE main.cpp app.qrc)
set_target_properties(tonvara PROPERTIES
  OUTPUT_NAME ${TONVARA_BUNDLE_NAME}
  AUTORCC ON
  MACOSX_BUNDLE_INFO_PLIST ${CMAKE_CURRENT_BINARY_DIR}/Info.plist
  # Installing must not rewrite the signed binary.
  BUILD_WITH_INSTALL_RPATH ON
  INSTALL_RPATH "@executable_path/../Frameworks")
target_link_libraries(tonvara PRIVATE tonvara_app_wiring tonvara_warnings)

# Inside out: Qt's frameworks and plug-ins (signed by macdeployqt), the update framework's
# helpers and the framework itself, then the application with its entitlements.
set(_bundle $<TARGET_BUNDLE_DIR:tonvara>)
set(_sparkle ${_bundle}/Contents/Frameworks/Sparkle.framework)
# An ad hoc signature cannot carry a secure timestamp (a Developer ID one needs it), and has no
# team, so library validation would refuse to load Qt's and Sparkle's frameworks.
set(TONVARA_AD_HOC_ENTITLEMENTS "")
if(TONVARA_CODESIGN_IDENTITY STREQUAL "-")
  set(_timestamp --timestamp=none)
  set(_deploy_timestamp "")
  string(APPEND TONVARA_AD_HOC_ENTITLEMENTS "\n  <key>com.apple.security.cs.disable-library-validation</key>"
         "\n  <true/>")
else()
  set(_timestamp --timestamp)
  set(_deploy_timestamp -timestamp)
endif()
configure_file(macos/Tonvara.entitlements.in ${CMAKE_CURRENT_BINARY_DIR}/Tonvara.entitlements @ONLY)
set(_sign codesign --force --options runtime ${_timestamp} --sign ${TONVARA_CODESIGN_IDENTITY})
add_custom_command(TARGET tonvara POST_BUILD
  COMMAND ${TONVARA_MACDEPLOYQT} ${_bundle} -hardened-runtime ${_deploy_timestamp}
          -codesign=${TONVARA_CODESIGN_IDENTITY}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_bundle}/Contents/Frameworks
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${_sparkle}
  COMMAND ditto ${TONVARA_SPARKLE_FRAMEWORK} ${_sparkle}
  COMMAND ${_sign} ${_sparkle}/Versions/B/XPCServices/Installer.xpc
  COMMAND ${_sign} --preserve-metadata=entitlements
          ${_sparkle}/Versions/B/XPCServices/Downloader.xpc
  COMMAND ${_sign} ${_sparkle}/Versions/B/Autoupdate
  COMMAND ${_sign} ${_sparkle}/Versions/B/Updater.app
  COMMAND ${_sign} ${_sparkle}
  COMMAND ${_sign} --entitlements ${CMAKE_CURRENT_BINARY_DIR}/Tonvara.entitlements ${_bundle}
  COMMAND codesign --verify --strict --verbose=1 ${_bundle}
  VERBATIM)

install(TARGETS tonvara BUNDLE DESTINATION .)
