#include "../AccessTexts.h"

namespace tonvara::ui {

const AccessTexts& platformTexts() { return linuxTexts(); }

}  // namespace tonvara::ui
