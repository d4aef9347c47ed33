# The macOS platform: Quartz event taps, NSWorkspace, the scripting bridge, Apple Events, and
# libdispatch behind the work queues (its jobs get an autorelease pool and the asked-for QoS).
get_target_property(_engine_sources MediaKeyEngine SOURCES)
list(REMOVE_ITEM _engine_sources src/WorkQueue.cpp)
set_target_properties(MediaKeyEngine PROPERTIES SOURCES "${_engine_sources}")
target_sources(MediaKeyEngine PRIVATE
  macos/DispatchQueue.mm
  macos/MacApplicationPlatform.mm
  macos/MacEventTapPlatform.mm
  macos/MacPlatformDefaults.mm
)
target_compile_options(MediaKeyEngine PRIVATE $<$<COMPILE_LANGUAGE:OBJCXX>:-fobjc-arc>)
target_link_libraries(MediaKeyEngine PRIVATE
  "-framework ApplicationServices"
  "-framework AppKit"
  "-framework Carbon"
  "-framework Foundation"
  "-framework ScriptingBridge")
