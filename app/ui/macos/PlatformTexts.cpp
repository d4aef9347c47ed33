#include "../AccessTexts.h"

namespace tonvara::ui {

const AccessTexts& platformTexts() { return macTexts(); }

}  // namespace tonvara::ui
