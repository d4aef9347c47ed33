#import <Foundation/Foundation.h>

#include "MacStrings.h"
#include "MacSystem.h"

namespace tonvara::mac {

StoredValue readDefault(const std::string& key) {
  @autoreleasepool {
    const id value = [NSUserDefaults.standardUserDefaults objectForKey:toNSString(key)];
    StoredValue result;
    if (value == nil) {
      return result;
    }
    if ([value isKindOfClass:[NSString class]]) {
      result.kind = StoredValue::Kind::text;
      result.text = toString(static_cast<NSString*>(value));
    } else if ([value isKindOfClass:[NSNumber class]]) {
      // Booleans are NSNumbers too; only their CF type tells them apart.
      NSNumber* number = static_cast<NSNumber*>(value);
      const bool isBoolean = CFGetTypeID((__bridge CFTypeRef)number) == CFBooleanGetTypeID();
      result.kind = isBoolean ? StoredValue::Kind::boolean : StoredValue::Kind::number;
      result.boolean = number.boolValue;
      result.number = number.doubleValue;
    } else {
      result.kind = StoredValue::Kind::other;
    }
    return result;
  }
}

void writeDefault(const std::string& key, const StoredValue& value) {
  @autoreleasepool {
    NSUserDefaults* defaults = NSUserDefaults.standardUserDefaults;
    switch (value.kind) {
      case StoredValue::Kind::boolean:
        [defaults setBool:value.boolean forKey:toNSString(key)];
        break;
      case StoredValue::Kind::number:
        [defaults setDouble:value.number forKey:toNSString(key)];
        break;
      case StoredValue::Kind::text:
        [defaults setObject:toNSString(value.text) forKey:toNSString(key)];
        break;
      case StoredValue::Kind::absent:
      case StoredValue::Kind::other:
        [defaults removeObjectForKey:toNSString(key)];
        break;
    }
  }
}

std::optional<std::string> infoString(const std::string& key) {
  @autoreleasepool {
    const id value = [NSBundle.mainBundle objectForInfoDictionaryKey:toNSString(key)];
    if (![value isKindOfClass:[NSString class]]) {
      return std::nullopt;
    }
    return toString(static_cast<NSString*>(value));
  }
}

}  // namespace tonvara::mac
