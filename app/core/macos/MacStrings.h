#pragma once

// Text between std::string (UTF-8) and NSString, for the Objective-C++ services.
#import <Foundation/Foundation.h>

#include <string>

namespace tonvara::mac {

inline NSString* toNSString(const std::string& text) {
  return [[NSString alloc] initWithBytes:text.data()
                                  length:text.size()
                                encoding:NSUTF8StringEncoding];
}

inline std::string toString(NSString* text) {
  const char* bytes = text.UTF8String;
  return bytes != nullptr ? std::string(bytes) : std::string();
}

}  // namespace tonvara::mac
