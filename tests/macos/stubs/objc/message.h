// objc_msgSend without the old variadic prototype (the default): callers cast it to the method's type.
#pragma once
extern "C" void objc_msgSend(void);
