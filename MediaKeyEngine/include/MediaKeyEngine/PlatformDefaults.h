#pragma once

#include <memory>

#include "MediaKeyEngine/ApplicationPlatform.h"
#include "MediaKeyEngine/EventTapPlatform.h"
#include "MediaKeyEngine/MusicController.h"

// Supplied by exactly one platform library (null, linux or macos) at link time.
namespace tonvara::platform {

std::shared_ptr<EventTapPlatform> defaultEventTapPlatform();
std::shared_ptr<ApplicationPlatform> defaultApplicationPlatform();
MusicController::PlayPauseAfterLaunch defaultPlayPauseAfterLaunch();

}  // namespace tonvara::platform
