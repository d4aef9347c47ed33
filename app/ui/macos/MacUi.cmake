# The user interface's macOS parts: the system's "Reduce motion" setting and the macOS texts.
enable_language(OBJCXX)
target_sources(tonvara_app_ui PRIVATE macos/SystemMotion.mm macos/PlatformTexts.cpp
                                        macos/TrayHostWatch.cpp)
target_include_directories(tonvara_app_ui PRIVATE macos)
target_compile_options(tonvara_app_ui PRIVATE $<$<COMPILE_LANGUAGE:OBJCXX>:-fobjc-arc>)
target_link_libraries(tonvara_app_ui PRIVATE "-framework AppKit")
