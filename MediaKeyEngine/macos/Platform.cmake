# The macOS platform: Quartz event taps, NSWorkspace, the scripting bridge and Apple Events.
target_sources(MediaKeyEngine PRIVATE
  macos/MacApplicationPlatform.mm
  macos/MacEventTapPlatform.mm
  macos/MacPlatformDefaults.mm
)
set_source_files_properties(
  macos/MacApplicationPlatform.mm macos/MacEventTapPlatform.mm macos/MacPlatformDefaults.mm
  macos/ThreadName.mm
  PROPERTIES COMPILE_OPTIONS "-fobjc-arc")
target_link_libraries(MediaKeyEngine PRIVATE
  "-framework ApplicationServices"
  "-framework AppKit"
  "-framework Carbon"
  "-framework ScriptingBridge")
