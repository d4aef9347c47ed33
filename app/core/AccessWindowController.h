#pragma once

#include <functional>
#include <memory>

namespace tonvara {

class AppModel;

// The setup window's controller, made once by the model on first use and kept for its life.
class AccessWindowController {
 public:
  virtual ~AccessWindowController() = default;
  // Creates the window if needed and brings it to the front.
  virtual void show() = 0;
};

using AccessWindowFactory = std::function<std::unique_ptr<AccessWindowController>(AppModel&)>;

// Stands in until a user interface supplies the real window: shows nothing.
class PlaceholderAccessWindow final : public AccessWindowController {
 public:
  void show() override {}
};

}  // namespace tonvara
