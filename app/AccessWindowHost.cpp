#include "AccessWindowHost.h"

namespace tonvara {

AccessWindowHost::AccessWindowHost(ui::UiModel& model) : controller_(model, scheduler_) {}

AccessWindowHost::~AccessWindowHost() = default;

}  // namespace tonvara
